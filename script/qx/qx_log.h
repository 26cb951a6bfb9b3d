// The debug log "log.txt" in the program's folder: lines of "[" + milliseconds + "]: " +
// message, each flushed as it is written. QX.log, QX.Error and QX.rpt write here, and the
// program may route the script bridge's debug log here too (setScriptDebugLogSink).
#pragma once
#include <string>
#include <string_view>

// Opens the log in the program's folder as it is now, emptying an existing file. False
// when it cannot be created or no program folder is set (lines are then dropped until
// the next open).
bool openQXLog();
void closeQXLog();
// Writes one line, opening the log first when it has not been opened.
void writeQXLog(std::string_view message);
// The host path the log is written to ("" when none is open).
std::string qxLogPath();
