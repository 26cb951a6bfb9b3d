// The controller interface: one input source as numbered channels, each with a level and
// a counter, polled once per tick. Channel indices out of a controller's range read as 0
// (false) and are ignored when written.
#pragma once
#include <cstdint>

namespace qxinput {
class Device;
}

namespace qxin {

enum CtrlKind : int32_t { kKeyboard = 0, kMouse = 1, kJoypad = 2, kLog = 3 };

class IFCtrl {
 public:
  virtual ~IFCtrl() = default;

  virtual void setActive(bool on) = 0;
  // Reads the source and recomputes levels and counters; false when it could not be read.
  virtual bool update() = 0;
  virtual int32_t level(int32_t ch) const = 0;
  virtual int32_t kind() const = 0;
  virtual void clear() = 0;
  // level(ch + 1) when above 0, else -level(ch): the first channel of a (-, +) pair.
  virtual int32_t axis(int32_t ch) const {
    const int32_t up = ch < INT32_MAX ? level(ch + 1) : 0;
    return up > 0 ? up : -level(ch);
  }
  // The device the typed-key and mouse trace read; null for a log.
  virtual qxinput::Device* device() = 0;
  virtual bool repeat(int32_t ch) const = 0;
  virtual bool pressed(int32_t ch) const = 0;
  virtual bool held(int32_t ch) const = 0;
  virtual bool released(int32_t ch) const = 0;
  virtual void setRepeat(int32_t delay, int32_t interval) = 0;

  // The controller's own RIData handle value (filled for logs only; not counted).
  uint32_t handleWord = 0;
};

}  // namespace qxin
