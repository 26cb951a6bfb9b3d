// What the environment says about the screen the program may use.
#pragma once

namespace qxplat {

// True when DISPLAY or WAYLAND_DISPLAY names a display.
bool displayAvailable();

// The video drivers SDL is offered when the environment names none (SDL_VIDEODRIVER):
// those of the displays that are named ("x11", "wayland", or "x11,wayland" in SDL's own
// order), so a named display that cannot be reached fails instead of falling through to
// a window nobody sees; "offscreen" when no display is named, so the program runs
// headless as it is. Null when SDL_VIDEODRIVER names a driver: the user's choice stands.
const char* videoDriverChoice();

}  // namespace qxplat
