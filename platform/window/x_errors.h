// What ends the program from inside Xlib. Its default handlers call exit(): static
// destructors would then run while the other threads go on, on a thread that may hold
// the display's lock, and hang or crash. Ours write one line and end the process at once.
// - The X server going away (a logout, an X crash, a lost remote display): Xlib's I/O
//   error handler.
// - The X server refusing a request (another client destroyed the window, say): the error
//   handler. SDL's safety net hands the errors it does not expect on to it; SDL's
//   temporary handlers around requests that may fail still take theirs.
#pragma once

namespace qxplat {

// Installs both handlers: once per process, before the first display connection (SDL's,
// the input manager's, and the one a forked message-box child opens all share them). The
// process that installs them writes one line, to stderr and to the log descriptor, and
// ends with exit code 1; a forked child (SDL's box) only ends with 1.
void installXErrorHandlers();
// The descriptor the line is appended to as "[<ms>]: <line>" (-1: none). The previous
// one is given back for its owner to close.
int setXErrorLog(int fd);

}  // namespace qxplat
