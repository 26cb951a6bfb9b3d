// The engine's main thread, started by the UI thread (runUiThread).
#pragma once
#include <cstdint>
#include <string>

// Runs the engine until the script stops or the window is closed. The resources are read
// from <resourceBase>\resource (empty: the program's folder); the debug log "log.txt" is
// written in the program's folder. Gives the process's exit code (EngineRunReport::exitCode).
int mainThreadProc(uint32_t uiThreadId, const std::u16string& resourceBase = {});
