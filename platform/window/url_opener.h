// Opening a web address in the user's browser.
#pragma once
#include <string>

namespace qxplat {

// The text shown when the browser could not be started.
extern const char* const kBrowserFailedText;

// Runs `program` (found on PATH) with the URL as its one argument, never through a shell,
// and waits for it. False, after a warning message box, when it could not be started or
// did not exit with 0.
bool openUrl(const std::string& url, const std::string& program);

// The program uiOpenUrl runs: "xdg-open" unless replaced (tests record instead).
std::string urlOpener();
void setUrlOpener(std::string program);

}  // namespace qxplat
