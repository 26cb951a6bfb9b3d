// The input hub: what an input source (the SDL event pump on the UI thread, or a test)
// reports, kept under one lock, and the devices the engine thread makes from it.
//
//   auto hub = std::make_shared<qxinput::InputHub>();
//   hub->keyEvent(0x39, true);                          // source side, any thread
//   auto list = hub->enumDevices(DeviceClass::keyboard);  // engine side
//   auto kb = hub->createDevice(list[0].id);
//   kb->setCooperative(true); kb->setBuffered(true); kb->acquire();
//   KeyboardState s; kb->keyboardState(s);
//
// There is one keyboard and one mouse (SDL merges them); pads come and go. A device
// reads the hub's state when asked; a buffered device also queues the changes that happen
// while it is acquired. A foreground device loses its acquisition when the window loses
// the focus and cannot be acquired again until the focus returns. Losing the focus also
// releases every key and mouse button (the window sees no more of them); pads keep
// their state, which only background devices can still read. Where the desktop tells
// which keys are down whatever window has the focus (a DesktopSource), background
// keyboards read them from it.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/input/input_types.h"

namespace qxinput {

struct HubState;
struct DeviceRecord;

// What the desktop tells without the window's focus, where the platform can ask it.
class DesktopSource {
 public:
  virtual ~DesktopSource() = default;
  // The keys down now, whatever window has the focus: bit 7 of each scan code.
  virtual bool keys(uint8_t (&down)[256]) = 0;
  // The keyboard's auto-repeat: the delay before the first repeat and the interval, in ms.
  virtual bool keyRepeat(int32_t& delayMs, int32_t& intervalMs) = 0;
};

class Device {
 public:
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  uint8_t type() const { return type_; }
  const DeviceInfo& info() const { return info_; }

  // Foreground: loses input with the window's focus. Give before acquiring.
  void setCooperative(bool foreground);
  // Whether changes are queued for getData (up to kEventBufferSize).
  void setBuffered(bool on);
  Result acquire();
  void unacquire();
  // ok while acquired; notAcquired otherwise, inputLost for a pad that went away.
  Result poll();
  // The state of the device's class; a failure leaves the output zeroed.
  Result keyboardState(KeyboardState& out);
  Result mouseState(MouseState& out);
  Result joyState(JoyState& out);
  // Takes up to max queued events, oldest first.
  Result getData(DeviceEvent* out, uint32_t max, uint32_t& count);

 private:
  friend class InputHub;
  Device(std::shared_ptr<HubState> hub, std::shared_ptr<DeviceRecord> rec, DeviceInfo info);
  Result readable();

  std::shared_ptr<HubState> hub_;
  std::shared_ptr<DeviceRecord> rec_;
  DeviceInfo info_;
  uint8_t type_;
};

class InputHub {
 public:
  InputHub();
  ~InputHub();
  InputHub(const InputHub&) = delete;
  InputHub& operator=(const InputHub&) = delete;

  // ---- engine side ----
  // Present devices of the class, keyboard and mouse first-made, pads in arrival order.
  std::vector<DeviceInfo> enumDevices(DeviceClass cls);
  // Null when the id names no present device.
  std::unique_ptr<Device> createDevice(const DeviceId& id);
  // The last cursor position in client coordinates and the client size.
  void cursor(int32_t& x, int32_t& y, int32_t& width, int32_t& height);
  const SystemValues& systemValues() const { return system_; }
  // Called (on the thread that made the device) when a pad device asks for background
  // access, and at once when one already did: pads must then report without the focus.
  void setBackgroundPadObserver(std::function<void()> observer);
  void setSystemValues(const SystemValues& v) { system_ = v; }
  // The keyboard's auto-repeat in ms: the desktop's, or the system values where it tells none.
  void keyRepeat(int32_t& delayMs, int32_t& intervalMs);
  // Null: none (the window's events are all there is).
  void setDesktop(std::shared_ptr<DesktopSource> desktop);

  // ---- source side ----
  void keyEvent(uint8_t scanCode, bool down);
  void mouseMotion(int32_t dx, int32_t dy);
  void cursorAt(int32_t x, int32_t y);
  void setClientSize(int32_t width, int32_t height);
  void mouseWheel(int32_t notches);
  // Buttons 0..4: left, right, middle, X1, X2.
  void mouseButton(int button, bool down);
  void focus(bool gained);
  // A new pad; gives its number for the calls below.
  uint32_t padAdded(const std::u16string& name, bool gamepad);
  void padRemoved(uint32_t pad);
  // Axis 0..5: X, Y, Z, Rx, Ry, Rz; value -1000..1000.
  void padAxis(uint32_t pad, int axis, int32_t value);
  void padButton(uint32_t pad, int button, bool down);

 private:
  std::shared_ptr<HubState> state_;
  SystemValues system_;
};

}  // namespace qxinput
