// Where QX.Print and QX.dump show their text: the platform message box (stderr when
// headless) unless a sink is set; tests set one to read what would have been shown.
#pragma once
#include <functional>
#include <string_view>

void qxMessageBox(std::string_view text, std::string_view caption);
// An empty function restores the platform message box.
void setQXMessageBoxSink(std::function<void(std::string_view text, std::string_view caption)> sink);
