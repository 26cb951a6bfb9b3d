// SIGINT and SIGTERM while the UI thread runs: the system (a terminal, a desktop that logs
// out, a service manager) asks the program to end. The handler only raises a flag; the
// event pump ends on it as on a closed window, and a modal box that is open closes.
#pragma once

namespace qxplat {

// Installs the handlers, keeping the previous ones, and lowers the flag. A signal that is
// ignored (nohup, a background job) is left so.
void installQuitSignals();
// Puts the previous handlers back; the flag stays as it is.
void restoreQuitSignals();
// True once SIGINT or SIGTERM came since installQuitSignals.
bool quitSignalled();

}  // namespace qxplat
