// The X server going away (a logout, an X crash, a lost remote display). Xlib then calls
// its I/O error handler, and the default one calls exit(): static destructors would run
// on a thread that holds the display's lock, and hang. Ours ends the process at once.
#pragma once

namespace qxplat {

// Installs the handler: once per process, before the first display connection (SDL's,
// the input manager's, and the one a forked message-box child opens all share it). The
// process that installs it writes one line, to stderr and to the log descriptor, and
// ends with exit code 1; a forked child (SDL's box) only ends with 1.
void installDisplayLostHandler();
// The descriptor the line is appended to as "[<ms>]: <line>" (-1: none). The previous
// one is given back for its owner to close.
int setDisplayLostLog(int fd);

}  // namespace qxplat
