// Message boxes for the user. With a display they are SDL message boxes; headless runs
// (QX_MSGBOX=stderr, no display, or a windowless video driver) write them to stderr
// instead, so nothing ever waits for a click no one can give.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qxplat {

// The icon bits of the Windows message-box type that callers hand over.
constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;

// Button sets (the low four bits of a type) and the default-button bits.
constexpr uint32_t kMbOkCancel = 0x01;
constexpr uint32_t kMbAbortRetryIgnore = 0x02;
constexpr uint32_t kMbYesNoCancel = 0x03;
constexpr uint32_t kMbYesNo = 0x04;
constexpr uint32_t kMbRetryCancel = 0x05;
constexpr uint32_t kMbCancelTryContinue = 0x06;
constexpr uint32_t kMbDefButtonMask = 0x300;

// The ids of the buttons (Windows values).
constexpr int kIdBoxOk = 1, kIdBoxCancel = 2, kIdBoxAbort = 3, kIdBoxRetry = 4, kIdBoxIgnore = 5, kIdBoxYes = 6,
              kIdBoxNo = 7, kIdBoxTryAgain = 10, kIdBoxContinue = 11;

// What a message-box type asks for, in the terms SDL's boxes know.
struct MessageBoxButton {
  int id = 0;
  const char* label = "";
  bool returnKey = false;  // the default button
  bool escapeKey = false;
};
struct MessageBoxLayout {
  uint32_t icon = 0;  // SDL_MESSAGEBOX_ERROR, _WARNING, _INFORMATION or 0
  std::vector<MessageBoxButton> buttons;  // left to right
};
// The buttons of the type's set (OK alone for a set that does not exist), the default the
// MB_DEFBUTTON bits name (the first button when they name none of them), Escape on
// Cancel where the set has one and on OK alone, and the icon: hand as error, exclamation
// as warning, asterisk and question as information (SDL has no question icon).
MessageBoxLayout messageBoxLayout(uint32_t type);

// What a box shows of a text on a screen of that size in pixels: tabs as spaces, lines
// wrapped to the box's width and cut, ending with "…", to the lines the screen holds. SDL's
// boxes grow with their text: a long line or many lines would ask the X server for a
// window it refuses, which takes the program down.
struct BoxText {
  std::string text;
  bool whole = true;  // nothing was cut
};
BoxText messageBoxText(std::string_view text, int screenWidth, int screenHeight);
// Whether a box shown now shows all of the text (on stderr it always does).
bool messageBoxShowsWhole(std::string_view text);

// Shows `text` under `caption` (both UTF-8) with the buttons of the type and returns when
// it is dismissed, with the id of the button used (0 when none could be shown, for
// instance on stderr). A text the box cannot show whole also goes to stderr whole.
// Callable from any thread.
int showMessageBox(std::string_view text, std::string_view caption, uint32_t type = kMbOk);

// True when message boxes go to stderr.
bool messageBoxesGoToStderr();
// "caption: text" on stderr in one write, as a box headless shows it.
void writeMessageToStderr(std::string_view text, std::string_view caption);

}  // namespace qxplat
