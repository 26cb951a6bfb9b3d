#include "platform/window/message_box.h"

#include <SDL.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/window/dialog_text.h"
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

uint32_t sdlIcon(uint32_t type) {
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

MessageBoxLayout messageBoxLayout(uint32_t type) {
  using B = MessageBoxButton;
  const B ok{kIdBoxOk, "OK"}, cancel{kIdBoxCancel, "Cancel"}, abort{kIdBoxAbort, "Abort"},
      retry{kIdBoxRetry, "Retry"}, ignore{kIdBoxIgnore, "Ignore"}, yes{kIdBoxYes, "Yes"}, no{kIdBoxNo, "No"},
      tryAgain{kIdBoxTryAgain, "Try Again"}, cont{kIdBoxContinue, "Continue"};
  MessageBoxLayout out;
  out.icon = sdlIcon(type);
  switch (type & 0x0F) {
    case kMbOkCancel: out.buttons = {ok, cancel}; break;
    case kMbAbortRetryIgnore: out.buttons = {abort, retry, ignore}; break;
    case kMbYesNoCancel: out.buttons = {yes, no, cancel}; break;
    case kMbYesNo: out.buttons = {yes, no}; break;
    case kMbRetryCancel: out.buttons = {retry, cancel}; break;
    case kMbCancelTryContinue: out.buttons = {cancel, tryAgain, cont}; break;
    default: out.buttons = {ok}; break;
  }
  size_t def = (type & kMbDefButtonMask) >> 8;
  if (def >= out.buttons.size()) def = 0;
  out.buttons[def].returnKey = true;
  for (B& b : out.buttons) {
    if (b.id == kIdBoxCancel) b.escapeKey = true;
  }
  if (out.buttons.size() == 1) out.buttons[0].escapeKey = true;
  return out;
}

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

int showMessageBox(std::string_view text, std::string_view caption, uint32_t type) {
  if (!messageBoxesGoToStderr()) {
    // SDL's boxes draw a tab as a stray glyph.
    const std::string t = expandTabs(text), c = expandTabs(caption);
    const MessageBoxLayout layout = messageBoxLayout(type);
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (const MessageBoxButton& b : layout.buttons) {
      Uint32 flags = 0;
      if (b.returnKey) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
      if (b.escapeKey) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
      buttons.push_back({flags, b.id, b.label});
    }
    SDL_MessageBoxData data{};
    data.flags = layout.icon | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.title = c.c_str();
    data.message = t.c_str();
    data.numbuttons = int(buttons.size());
    data.buttons = buttons.data();
    int pressed = 0;
    if (SDL_ShowMessageBox(&data, &pressed) == 0) return pressed < 0 ? 0 : pressed;
  }
  writeToStderr(text, caption);
  return 0;
}

}  // namespace qxplat
