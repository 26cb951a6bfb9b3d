// Where the script bridge reports: the debug log and the user's message box. Both are
// seams so the program can route them (the window's message box, the log file) while the
// bridge itself stays free of platform code.
#pragma once
#include <functional>
#include <string>
#include <string_view>

// Writes one line to the debug log (stderr until a sink is set).
void scriptDebugLog(std::string_view message);
void setScriptDebugLogSink(std::function<void(std::string_view)> sink);

// Shows a message box with an OK button and an exclamation icon (stderr until a sink is
// set). Text and caption are UTF-8.
void scriptMessageBox(std::string_view text, std::string_view caption);
void setScriptMessageBoxSink(std::function<void(std::string_view text, std::string_view caption)> sink);
