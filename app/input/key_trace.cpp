#include "app/input/key_trace.h"

#include <array>
#include <tuple>

#include "app/input/ctrl.h"

namespace qxin {

namespace {

constexpr int32_t kControl = 0x100;
constexpr int32_t kShift = 0x200;
constexpr int32_t kAlt = 0x400;
constexpr uint8_t kNone = 0xFF;

struct Entry {
  uint8_t scan;
  uint8_t plain;
  uint8_t shifted;
};

constexpr Entry kEntries[] = {
    {0x01, 0x1B, kNone}, {0x0B, 0x30, kNone}, {0x0C, 0x2D, 0x3D}, {0x0D, 0x5E, 0x7E}, {0x0E, 0x08, kNone},
    {0x0F, 0x09, kNone}, {0x1A, 0x5B, 0x7B}, {0x1B, 0x5D, 0x7D}, {0x1C, 0x0A, 0x0A}, {0x27, 0x3B, 0x2B},
    {0x28, 0x27, kNone}, {0x29, 0x60, kNone}, {0x2B, 0x5C, 0x5F}, {0x33, 0x2C, 0x3C}, {0x34, 0x2E, 0x3E},
    {0x35, 0x2F, 0x3F}, {0x37, 0x2A, 0x2A}, {0x39, 0x20, 0x20}, {0x47, 0x37, 0x37}, {0x48, 0x38, 0x38},
    {0x49, 0x39, 0x39}, {0x4A, 0x2D, 0x2D}, {0x4B, 0x34, 0x34}, {0x4C, 0x35, 0x35}, {0x4D, 0x36, 0x36},
    {0x4E, 0x2B, 0x2B}, {0x4F, 0x31, 0x31}, {0x50, 0x32, 0x32}, {0x51, 0x33, 0x33}, {0x52, 0x30, 0x30},
    {0x53, 0x2E, 0x2E}, {0x7D, 0x5C, 0x5C}, {0x7E, 0x2E, 0x2E}, {0x8D, 0x3D, 0x3D}, {0x91, 0x40, 0x60},
    {0x92, 0x3A, 0x2A}, {0x93, 0x5F, 0x5F}, {0x9C, 0x0A, 0x0A}, {0xB3, 0x2C, 0x2C}, {0xB5, 0x2F, 0x2F},
    {0xC7, 0x86, 0x86}, {0xC8, 0x80, 0x80}, {0xC9, 0x84, 0x84}, {0xCB, 0x82, 0x82}, {0xCD, 0x83, 0x83},
    {0xCF, 0x87, 0x87}, {0xD0, 0x81, 0x81}, {0xD1, 0x85, 0x85}, {0xD2, 0x8C, 0x8C}, {0xD3, 0x7F, 0x7F},
    {0xFF, 0x00, 0x00},
};

using Table = std::array<std::array<uint8_t, 256>, 2>;

Table buildTable() {
  Table t;
  t[0].fill(kNone);
  t[1].fill(kNone);
  auto letters = [&](uint8_t scan, const char* run) {
    for (; *run; ++run, ++scan) {
      t[0][scan] = static_cast<uint8_t>(*run);
      t[1][scan] = static_cast<uint8_t>(*run - 'a' + 'A');
    }
  };
  letters(0x10, "qwertyuiop");
  letters(0x1E, "asdfghjkl");
  letters(0x2C, "zxcvbnm");
  static const uint8_t kShiftedDigits[9] = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29};
  for (int i = 0; i < 9; ++i) {
    t[0][0x02 + i] = static_cast<uint8_t>(0x31 + i);
    t[1][0x02 + i] = kShiftedDigits[i];
  }
  for (const Entry& e : kEntries) {
    t[0][e.scan] = e.plain;
    t[1][e.scan] = e.shifted;
  }
  return t;
}

// The code a special key returns from a read, 0 for other codes.
int32_t specialCode(uint8_t code) {
  if (code >= 0x80 && code <= 0x87) return code;
  switch (code) {
    case 0x0A: return 0x88;
    case 0x08: return 0x89;
    case 0x7F: return 0x8A;
    case 0x1B: return 0x8B;
    default: return 0;
  }
}

bool isShift(uint32_t s) { return s == 0x2A || s == 0x36; }
bool isControl(uint32_t s) { return s == 0x1D || s == 0x9D; }
bool isAlt(uint32_t s) { return s == 0x38 || s == 0xB8; }

bool isAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int32_t editingKey(std::string_view name) {
  static const std::pair<std::string_view, int32_t> kNames[] = {
      {"LEFT", 0x82}, {"RIGHT", 0x83}, {"UP", 0x80}, {"DOWN", 0x81},
      // These two name the codes that home and end give.
      {"PAGEUP", 0x86}, {"PAGEDOWN", 0x87}};
  for (const auto& [n, code] : kNames) {
    if (n == name) return code;
  }
  return -1;
}

}  // namespace

uint8_t keyChar(int shiftIndex, uint8_t scanCode) {
  static const Table kTable = buildTable();
  return kTable[shiftIndex ? 1 : 0][scanCode];
}

bool KeyBuffer::setOn(bool on) {
  const bool was = on_;
  keys_.clear();
  readPos_ = 0;
  on_ = on;
  return was;
}

void KeyBuffer::flush(const IFCtrl* kb) {
  keys_.clear();
  readPos_ = 0;
  modifiers_ = 0;
  shiftIndex_ = 0;
  if (!kb) return;
  if (kb->held(0x2A) || kb->held(0x36)) {
    modifiers_ |= kShift;
    shiftIndex_ = 1;
  }
  if (kb->held(0x1D) || kb->held(0x9D)) modifiers_ |= kControl;
  if (kb->held(0x38) || kb->held(0xB8)) modifiers_ |= kAlt;
}

void KeyBuffer::onKey(uint32_t scan, bool down) {
  auto setBit = [&](int32_t bit) { modifiers_ = down ? (modifiers_ | bit) : (modifiers_ & ~bit); };
  if (isShift(scan)) {
    setBit(kShift);
    shiftIndex_ = down ? 1 : 0;
  } else if (isControl(scan)) {
    setBit(kControl);
  } else if (isAlt(scan)) {
    setBit(kAlt);
  } else if (down && scan < 256) {
    const uint8_t code = keyChar(shiftIndex_, static_cast<uint8_t>(scan));
    if (code != 0xFE && code != 0xFF) keys_.push_back(static_cast<uint16_t>(modifiers_ | code));
  }
}

void KeyBuffer::setStops(std::string_view spec) {
  stops_.clear();
  int32_t m = 0;
  for (size_t i = 0; i < spec.size();) {
    const char c = spec[i++];
    if (c == '_') {
      m += kControl;
    } else if (c == '@') {
      m += kShift;
    } else if (c == '|') {
      m += kAlt;
    } else if (c == '%') {
      const size_t start = i;
      while (i < spec.size() && isAlnum(spec[i])) ++i;
      stops_.push_back(editingKey(spec.substr(start, i - start)) | m);
      m = 0;
    } else {
      stops_.push_back(static_cast<int32_t>(static_cast<int8_t>(c)) | m);
      m = 0;
    }
  }
}

std::pair<std::string, int32_t> KeyBuffer::take() {
  std::string text;
  const size_t n = keys_.size();
  while (readPos_ < n) {
    const uint16_t v = keys_[readPos_];
    int32_t code = 0;
    for (size_t s = 0; s < stops_.size() && code == 0; ++s) {
      if (stops_[s] == v) code = static_cast<int32_t>(s + 1);
    }
    if (code == 0) code = specialCode(static_cast<uint8_t>(v));
    ++readPos_;
    if (code != 0) {
      if (readPos_ >= n) {
        keys_.clear();
        readPos_ = 0;
      }
      return {text, code};
    }
    text.push_back(static_cast<char>(v & 0xFF));
  }
  keys_.clear();
  readPos_ = 0;
  return {text, 0};
}

int32_t MouseTrackers::add(const IFCtrl* mouse) {
  MousePosRecord r;
  for (int b = 0; b < 8; ++b) {
    if (mouse && mouse->held(6 + b)) r.buttons[b] = 0x80;
  }
  records_.push_back(r);
  return static_cast<int32_t>(records_.size() - 1);
}

void MouseTrackers::remove(int32_t index) {
  if (at(index)) records_.erase(records_.begin() + index);
}

void MouseTrackers::zeroAll() {
  for (MousePosRecord& r : records_) r = MousePosRecord{};
}

void MouseTrackers::onEvent(uint32_t offset, uint32_t data, bool swapButtons) {
  const int8_t delta = static_cast<int8_t>(data & 0xFF);
  const bool down = (data & 0x80) != 0;
  for (MousePosRecord& r : records_) {
    int8_t* axis = offset == 0 ? &r.dx : offset == 4 ? &r.dy : offset == 8 ? &r.dz : nullptr;
    if (axis) {
      *axis = static_cast<int8_t>(static_cast<uint8_t>(*axis) + static_cast<uint8_t>(delta));
      continue;
    }
    if (offset < 12 || offset > 19) continue;
    uint32_t b = offset - 12;
    if (b < 2 && swapButtons) b ^= 1;
    uint8_t& byte = r.buttons[b];
    if (down && !(byte & 0x80)) byte = static_cast<uint8_t>((byte & 0x80) | (((byte & 0x7F) + 1) & 0x7F));
    byte = static_cast<uint8_t>(down ? (byte | 0x80) : (byte & 0x7F));
  }
}

void MouseTrackers::allUp() {
  for (MousePosRecord& r : records_) {
    for (uint8_t& b : r.buttons) b &= 0x7F;
  }
}

MousePosRecord* MouseTrackers::at(int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < records_.size() ? &records_[index] : nullptr;
}

std::tuple<int32_t, int32_t, int32_t> MouseTrackers::takeAxes(int32_t index) {
  MousePosRecord* r = at(index);
  if (!r) return {0, 0, 0};
  std::tuple<int32_t, int32_t, int32_t> out{r->dx, r->dy, r->dz};
  r->dx = r->dy = r->dz = 0;
  return out;
}

std::pair<bool, int32_t> MouseTrackers::takeButton(int32_t index, int32_t button) {
  MousePosRecord* r = at(index);
  if (!r || button < 0 || button > 7) return {false, 0};
  uint8_t& b = r->buttons[button];
  const std::pair<bool, int32_t> out{(b & 0x80) != 0, b & 0x7F};
  b &= 0x80;
  return out;
}

}  // namespace qxin
