// Message boxes for the user. With a display they are SDL message boxes; headless runs
// (QX_MSGBOX=stderr, no display, or a windowless video driver) write them to stderr
// instead, so nothing ever waits for a click no one can give.
#pragma once
#include <cstdint>
#include <string_view>

namespace qxplat {

// The icon bits of the Windows message-box type that callers hand over.
constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;

// Shows `text` under `caption` (both UTF-8) with one OK button and returns when it is
// dismissed. Callable from any thread.
void showMessageBox(std::string_view text, std::string_view caption, uint32_t type = kMbOk);

// True when message boxes go to stderr.
bool messageBoxesGoToStderr();

}  // namespace qxplat
