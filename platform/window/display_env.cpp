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

const char* fallbackVideoDriver() {
  if (envSet("SDL_VIDEODRIVER") || displayAvailable()) return nullptr;
  return "offscreen";
}

}  // namespace qxplat
