// Where the script bridge reports: the debug log and the user's message box. The log can
// be routed to the program's log file; message boxes go through the platform (stderr when
// headless) unless a sink is set.
#pragma once
#include <functional>
#include <string>
#include <string_view>

// Writes one line to the debug log (stderr until a sink is set).
void scriptDebugLog(std::string_view message);
void setScriptDebugLogSink(std::function<void(std::string_view)> sink);

// Shows a message box with an OK button and an exclamation icon. Text and caption are
// UTF-8.
void scriptMessageBox(std::string_view text, std::string_view caption);
void setScriptMessageBoxSink(std::function<void(std::string_view text, std::string_view caption)> sink);
