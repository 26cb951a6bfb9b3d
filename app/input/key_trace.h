// Typed keys and mouse trackers, fed from the buffered events of the traced keyboard and
// mouse.
//
// Key values are (modifier bits | key code): 0x100 control, 0x200 shift, 0x400 alt; key
// codes are characters, 0x80..0x87 the editing keys (up, down, left, right, page up, page
// down, home, end), 0x8C insert and 0x7F delete. A read returns the text typed up to the
// first stop value or special key and a code saying which ended it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace qxin {

class IFCtrl;

// The key code of a scan code in the unshifted (0) or shifted (1) column; 0xFE and 0xFF
// mean the key types nothing.
uint8_t keyChar(int shiftIndex, uint8_t scanCode);

class KeyBuffer {
 public:
  KeyBuffer() { keys_.reserve(256); }

  bool on() const { return on_; }
  // Empties the buffer and sets the switch; gives the previous setting.
  bool setOn(bool on);
  // The buffer emptied and the modifiers read from the keyboard's held keys (null: none).
  void flush(const IFCtrl* keyboard);
  // One buffered keyboard event.
  void onKey(uint32_t scanCode, bool down);
  // Replaces the stops: "_" adds control, "@" shift, "|" alt to the next value; "%NAME"
  // names an editing key (LEFT RIGHT UP DOWN PAGEUP PAGEDOWN); any other byte is itself.
  void setStops(std::string_view spec);
  // The text up to the first stop or special key, and the code: the stop's 1-based
  // position, the special key's code (0x80..0x87 themselves, enter 0x88, backspace 0x89,
  // delete 0x8A, escape 0x8B), or 0 when the buffer ran out.
  std::pair<std::string, int32_t> take();

  const std::vector<uint16_t>& keys() const { return keys_; }
  const std::vector<int32_t>& stops() const { return stops_; }
  int32_t modifiers() const { return modifiers_; }

 private:
  int32_t modifiers_ = 0;
  int32_t shiftIndex_ = 0;
  std::vector<uint16_t> keys_;
  size_t readPos_ = 0;
  std::vector<int32_t> stops_;
  bool on_ = false;
};

// dx, dy, dz wrap at 8 bits; each button byte: bit 7 down, bits 0..6 presses since read.
struct MousePosRecord {
  int8_t dx = 0;
  int8_t dy = 0;
  int8_t dz = 0;
  uint8_t buttons[8] = {};
};

class MouseTrackers {
 public:
  // A new tracker, with the buttons the mouse holds marked down; gives its index.
  int32_t add(const IFCtrl* mouse);
  void remove(int32_t index);
  void zeroAll();
  // One buffered mouse event (offset in the mouse state, data as delivered).
  void onEvent(uint32_t offset, uint32_t data, bool swapButtons);
  // The tracing failed: every button reads up (counts stay).
  void allUp();
  // Read and reset; zeros for an index out of range.
  std::tuple<int32_t, int32_t, int32_t> takeAxes(int32_t index);
  std::pair<bool, int32_t> takeButton(int32_t index, int32_t button);
  size_t size() const { return records_.size(); }

 private:
  MousePosRecord* at(int32_t index);
  std::vector<MousePosRecord> records_;
};

}  // namespace qxin
