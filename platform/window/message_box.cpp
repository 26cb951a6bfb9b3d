#include "platform/window/message_box.h"

#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/core/utf.h"
#include "platform/window/box_closer.h"
#include "platform/window/dialog_text.h"
#include "platform/window/display_env.h"
#include "platform/window/quit_signal.h"

namespace qxplat {

void writeMessageToStderr(std::string_view text, std::string_view caption) {
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

namespace {

// SDL's boxes draw with an X core font of 12 points; a cell this size holds one of its
// characters at 75 and at 100 dpi, and a CJK character, a symbol of U+2000-U+2BFF (★ ━ →
// ♪ ※, which the font set draws about 16 pixels wide), or one beyond the 16-bit plane
// (emoji, about 14 pixels), in two.
constexpr int kColumnPixels = 10;
constexpr int kLinePixels = 20;
// Past this a line is hard to read, however wide the screen.
constexpr int kMaxColumns = 100;
constexpr int kMinColumns = 20;
// Room around the text: the frame and title bar, the margins and the row of buttons.
constexpr int kFrameWidth = 80;
constexpr int kFrameHeight = 160;
// The screen assumed where SDL knows none.
constexpr int kFallbackScreenWidth = 1024;
constexpr int kFallbackScreenHeight = 768;

bool isWideSymbol(char32_t c) { return c >= 0x2000 && c <= 0x2BFF; }

int columnsOf(char32_t c) { return isCjk(c) || isWideSymbol(c) || c > 0xFFFF ? 2 : 1; }

int boxColumns(int screenWidth) {
  return std::clamp((screenWidth - kFrameWidth) / kColumnPixels, kMinColumns, kMaxColumns);
}

void screenSize(int& width, int& height) {
  SDL_Rect r{};
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayBounds(0, &r) == 0 && r.w > 0 && r.h > 0) {
    width = r.w;
    height = r.h;
  } else {
    width = kFallbackScreenWidth;
    height = kFallbackScreenHeight;
  }
}

std::string joinLines(const std::vector<std::u32string>& lines) {
  std::string out;
  for (const std::u32string& line : lines) {
    if (!out.empty()) out.push_back('\n');
    out += qcore::utf32ToUtf8(line);
  }
  return out;
}

// A caption is one line: the title bar shows no more.
std::string captionText(std::string_view caption, int screenWidth) {
  const int columns = boxColumns(screenWidth);
  return joinLines(cutLines(wrapText(qcore::utf8ToUtf32(expandTabs(caption)), columns, columnsOf), 1, columns,
                            columnsOf));
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

BoxText messageBoxText(std::string_view text, int screenWidth, int screenHeight) {
  const int columns = boxColumns(screenWidth);
  const size_t lines = size_t(std::max(1, (screenHeight - kFrameHeight) / kLinePixels));
  std::vector<std::u32string> wrapped = wrapText(qcore::utf8ToUtf32(expandTabs(text)), columns, columnsOf);
  BoxText out;
  out.whole = wrapped.size() <= lines;
  out.text = joinLines(cutLines(std::move(wrapped), lines, columns, columnsOf));
  return out;
}

bool messageBoxShowsWhole(std::string_view text) {
  if (messageBoxesGoToStderr()) return true;
  int width = 0, height = 0;
  screenSize(width, height);
  return messageBoxText(text, width, height).whole;
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
  bool onStderr = false;
  // Once the program is asked to end, no box waits for a click: the text goes to stderr.
  if (!messageBoxesGoToStderr() && !quitSignalled()) {
    int width = 0, height = 0;
    screenSize(width, height);
    const BoxText t = messageBoxText(text, width, height);
    const std::string c = captionText(caption, width);
    // What the box cannot show still reaches a person.
    if (!t.whole) {
      writeMessageToStderr(text, caption);
      onStderr = true;
    }
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
    data.message = t.text.c_str();
    data.numbuttons = int(buttons.size());
    data.buttons = buttons.data();
    int pressed = 0;
    int shown = -1;
    {
      // A box blocks until it is dismissed, except that the system's request to end the
      // program (SIGINT, SIGTERM) closes it: a desktop that logs out, or a service
      // manager, must not wait on a click no one may give.
      const std::unique_ptr<BoxCloser> closer = BoxCloser::watch(c);
      shown = SDL_ShowMessageBox(&data, &pressed);
    }
    // A box closed that way may not have been read.
    if (shown == 0 && quitSignalled() && !onStderr) writeMessageToStderr(text, caption);
    if (shown == 0) return pressed < 0 ? 0 : pressed;
  }
  if (!onStderr) writeMessageToStderr(text, caption);
  return 0;
}

}  // namespace qxplat
