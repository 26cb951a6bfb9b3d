// The UI thread: the process's first thread. It owns SDL's video and event pump, starts
// the engine's main thread and serves requests from other threads (creating the window,
// running closures, opening URLs) until the main thread ends or the window is closed.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/window/window.h"

namespace qxplat {

// Run on the process's first thread. Initialises SDL video, starts `mainThread` on a new
// thread with this thread's id, and pumps events and requests until the main thread
// returns, the window is closed, SDL asks to quit, or SIGINT or SIGTERM comes (which
// also closes a modal box then open: quit_signal.h). Then the request queue closes, the
// main thread is waited for, the windows are destroyed and SDL quits.
// Returns 0; 1 when SDL video cannot start, in which case `mainThread` never runs: the
// reason goes to `failed` (when given) and then to a message box.
int runUiThread(const std::function<void(uint32_t uiThreadId)>& mainThread,
                const std::function<void(const std::string& why)>& failed = nullptr);

// The running UI thread's id (qxplat::currentThreadId), 0 when none runs.
uint32_t uiThreadId();
// True once the pump has ended (window closed, quit asked, or the main thread ended): the
// main thread's frame loop stops when it sees this.
bool uiPumpEnded();

// UI thread only: keeps the GL library loaded until the process ends (any window may load
// it: see pinGlLibrary); every window the UI thread makes calls it first.
void uiPinGlLibrary();
// UI thread only: true when id is the SDL window id of one of the program's windows.
bool uiIsProgramWindow(uint32_t id);

// Requests, callable from any thread. While no pump runs (before it starts, after it
// ended, or without a UI thread at all) each completes at once with a null result.
// Closures run on the UI thread; a waiting request made from the UI thread itself runs
// in place.

// Runs `task` and waits for it: false when it never ran. An exception from it is
// rethrown to the caller.
bool uiRunWaiting(std::function<void()> task);
// Fire and forget: false (and `task` destroyed unrun) when the queue is closed. Tasks
// still queued when the pump ends are destroyed unrun.
bool uiPost(std::function<void()> task);
// Creates a window and waits for it; null when the queue is closed or SDL failed.
Window* uiCreateWindow(const WindowSpec& spec);
// Closes a window made by uiCreateWindow (fire and forget): it is hidden and no longer
// open. The SDL window itself lives until the run ends, since a GL context made for it
// may outlive the caller's use of it.
bool uiCloseWindow(Window* window);
// Opens the URL in the browser on a short-lived thread of its own (urlOpener(), the URL as
// its one argument); a failure shows a message box. False when the queue is closed.
bool uiOpenUrl(std::string url);

}  // namespace qxplat
