#include "platform/window/display_env.h"

#include <cstdlib>

namespace qxplat {

namespace {

bool envSet(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0';
}

}  // namespace

bool displayAvailable() { return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY"); }

const char* videoDriverChoice() {
  if (envSet("SDL_VIDEODRIVER")) return nullptr;
  const bool x11 = envSet("DISPLAY");
  const bool wayland = envSet("WAYLAND_DISPLAY");
  if (x11 && wayland) return "x11,wayland";
  if (x11) return "x11";
  if (wayland) return "wayland";
  return "offscreen";
}

}  // namespace qxplat
