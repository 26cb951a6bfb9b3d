// The data the input devices hand out, laid out as the engine reads them: keyboard state
// as 256 scan-code bytes, mouse and joystick states with their fields at fixed offsets, and
// buffered events of one changed field each.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qxinput {

enum class DeviceClass : uint8_t { mouse, keyboard, gamepad };

// Device types as the engine tells them apart.
constexpr uint8_t kTypeMouse = 18;
constexpr uint8_t kTypeKeyboard = 19;
constexpr uint8_t kTypeJoystick = 20;
constexpr uint8_t kTypeGamepad = 21;

// Instance ids are 16 bytes; each present device has its own.
using DeviceId = std::array<uint8_t, 16>;

struct DeviceInfo {
  DeviceId id{};
  uint8_t type = 0;
  std::u16string instanceName;
  std::u16string productName;
};

enum class Result : uint8_t {
  ok,
  inputLost,    // the device went away (a pad unplugged)
  notAcquired,  // not acquired, or acquisition was lost with the focus
  otherError,   // acquiring is refused (foreground device without focus)
};
inline bool failed(Result r) { return r != Result::ok; }

struct KeyboardState {
  uint8_t keys[256];  // bit 7: down
};

// Relative motion since the last read; wheel 120 per notch.
struct MouseState {
  int32_t x;
  int32_t y;
  int32_t z;
  uint8_t buttons[8];
};
static_assert(sizeof(MouseState) == 20);

// Axes scaled to -1000..1000.
struct JoyState {
  int32_t x, y, z, rx, ry, rz;
  int32_t sliders[2];
  uint32_t pov[4];
  uint8_t buttons[32];
};
static_assert(sizeof(JoyState) == 80);

// Field offsets of the mouse state, which buffered mouse events name.
constexpr uint32_t kMouseOffsetX = 0;
constexpr uint32_t kMouseOffsetY = 4;
constexpr uint32_t kMouseOffsetZ = 8;
constexpr uint32_t kMouseOffsetButton0 = 12;
constexpr int kMouseButtons = 5;  // left, right, middle, X1, X2
constexpr int kPadButtons = 16;
constexpr int32_t kAxisRange = 1000;
constexpr int32_t kWheelNotch = 120;

// One buffered change: offset = scan code (keyboard) or state field; data = bit 7 for a
// key or button, the delta for an axis.
struct DeviceEvent {
  uint32_t offset = 0;
  uint32_t data = 0;
  uint32_t timeStamp = 0;
  uint32_t sequence = 0;
};
// Buffered events kept per device; later ones are dropped while it is full.
constexpr size_t kEventBufferSize = 32;

// The engine's system values where the desktop tells none: the keyboard's auto-repeat
// delay and interval in ms (Windows' defaults: delay 1 is 500 ms, speed 31 is 10000 / 291
// ms), the caret blink in ms (all bits set for none), whether the primary and secondary
// mouse buttons are swapped.
struct SystemValues {
  int32_t keyDelayMs = 500;
  int32_t keyIntervalMs = 34;
  uint32_t caretBlinkMs = 530;
  bool swapButtons = false;
};

}  // namespace qxinput
