// What the environment says about the screen the program may use.
#pragma once

namespace qxplat {

// True when DISPLAY or WAYLAND_DISPLAY names a display.
bool displayAvailable();

// The video driver SDL should use when the environment chooses none: "offscreen" when no
// driver is named (SDL_VIDEODRIVER) and there is no display, so the program runs headless
// as it is; otherwise null (SDL's own choice, or the one the user named, stands).
const char* fallbackVideoDriver();

}  // namespace qxplat
