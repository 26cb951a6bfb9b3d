#include "platform/window/message_box.h"

#include <SDL.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/window/display_env.h"

namespace qxplat {

namespace {

void writeToStderr(std::string_view text, std::string_view caption) {
  std::string line;
  if (!caption.empty()) {
    line.append(caption);
    line.append(": ");
  }
  line.append(text);
  line.push_back('\n');
  // One write, so boxes from several threads do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

Uint32 sdlFlags(uint32_t type) {
  switch (type & 0xF0) {
    case kMbIconError:
      return SDL_MESSAGEBOX_ERROR;
    case kMbIconWarning:
      return SDL_MESSAGEBOX_WARNING;
    case kMbIconQuestion:
    case kMbIconInformation:
      return SDL_MESSAGEBOX_INFORMATION;
    default:
      return 0;
  }
}

}  // namespace

bool messageBoxesGoToStderr() {
  const char* mode = std::getenv("QX_MSGBOX");
  if (mode != nullptr && std::string_view(mode) == "stderr") return true;
  // These drivers show nothing: a box would wait on a screen no one sees.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver != nullptr && (strcasecmp(driver, "offscreen") == 0 || strcasecmp(driver, "dummy") == 0)) {
    return true;
  }
  return !displayAvailable();
}

void showMessageBox(std::string_view text, std::string_view caption, uint32_t type) {
  if (!messageBoxesGoToStderr()) {
    const std::string t(text), c(caption);
    if (SDL_ShowSimpleMessageBox(sdlFlags(type), c.c_str(), t.c_str(), nullptr) == 0) return;
  }
  writeToStderr(text, caption);
}

}  // namespace qxplat
