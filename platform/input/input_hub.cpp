#include "platform/input/input_hub.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/thread/thread.h"

namespace qxinput {

namespace {

DeviceId makeId(char tag, uint32_t number) {
  DeviceId id{};
  id[0] = 'Q';
  id[1] = 'X';
  id[2] = 'I';
  id[3] = static_cast<uint8_t>(tag);
  for (int i = 0; i < 4; ++i) id[4 + i] = static_cast<uint8_t>(number >> (8 * i));
  return id;
}

}  // namespace

struct DeviceRecord {
  DeviceClass cls = DeviceClass::keyboard;
  uint32_t pad = 0;
  bool foreground = false;
  bool buffered = false;
  bool acquired = false;
  int32_t dx = 0, dy = 0, dz = 0;
  std::deque<DeviceEvent> queue;
};

struct Pad {
  uint32_t number = 0;
  bool present = true;
  DeviceInfo info;
  JoyState state{};
};

struct HubState {
  std::mutex lock;
  bool focused = true;
  uint8_t keys[256] = {};
  uint8_t buttons[8] = {};
  int32_t cursorX = 0, cursorY = 0, width = 0, height = 0;
  uint32_t nextPad = 1;
  uint32_t sequence = 0;
  std::vector<Pad> pads;
  std::vector<std::weak_ptr<DeviceRecord>> devices;
  std::function<void()> backgroundPadObserver;
  bool backgroundPad = false;
  std::shared_ptr<DesktopSource> desktop;

  Pad* pad(uint32_t number) {
    for (Pad& p : pads) {
      if (p.number == number) return &p;
    }
    return nullptr;
  }

  // Queues an event on every acquired, buffered device of the class; caller holds lock.
  template <class F>
  void forDevices(DeviceClass cls, F&& f) {
    devices.erase(std::remove_if(devices.begin(), devices.end(), [](const auto& w) { return w.expired(); }),
                  devices.end());
    for (auto& w : devices) {
      auto rec = w.lock();
      if (rec && rec->cls == cls && rec->acquired) f(*rec);
    }
  }
  void queue(DeviceRecord& rec, uint32_t offset, uint32_t data) {
    if (!rec.buffered || rec.queue.size() >= kEventBufferSize) return;
    rec.queue.push_back({offset, data, qxplat::monotonicMs(), ++sequence});
  }
};

// ---- Device ----------------------------------------------------------------------------

Device::Device(std::shared_ptr<HubState> hub, std::shared_ptr<DeviceRecord> rec, DeviceInfo info)
    : hub_(std::move(hub)), rec_(std::move(rec)), info_(std::move(info)), type_(info_.type) {}

Device::~Device() = default;

void Device::setCooperative(bool foreground) {
  std::function<void()> observer;
  {
    std::lock_guard<std::mutex> g(hub_->lock);
    rec_->foreground = foreground;
    if (!foreground && rec_->cls == DeviceClass::gamepad) {
      hub_->backgroundPad = true;
      observer = hub_->backgroundPadObserver;
    }
  }
  if (observer) observer();
}

void Device::setBuffered(bool on) {
  std::lock_guard<std::mutex> g(hub_->lock);
  rec_->buffered = on;
  if (!on) rec_->queue.clear();
}

Result Device::acquire() {
  std::lock_guard<std::mutex> g(hub_->lock);
  if (rec_->cls == DeviceClass::gamepad) {
    const Pad* p = hub_->pad(rec_->pad);
    if (!p || !p->present) return Result::inputLost;
  }
  if (rec_->foreground && !hub_->focused) return Result::otherError;
  if (!rec_->acquired) {
    rec_->acquired = true;
    rec_->dx = rec_->dy = rec_->dz = 0;
  }
  return Result::ok;
}

void Device::unacquire() {
  std::lock_guard<std::mutex> g(hub_->lock);
  rec_->acquired = false;
  rec_->queue.clear();
}

Result Device::readable() {
  if (rec_->cls == DeviceClass::gamepad) {
    const Pad* p = hub_->pad(rec_->pad);
    if (!p || !p->present) return Result::inputLost;
  }
  return rec_->acquired ? Result::ok : Result::notAcquired;
}

Result Device::poll() {
  std::lock_guard<std::mutex> g(hub_->lock);
  return readable();
}

Result Device::keyboardState(KeyboardState& out) {
  std::memset(&out, 0, sizeof out);
  std::shared_ptr<DesktopSource> desktop;
  {
    std::lock_guard<std::mutex> g(hub_->lock);
    const Result r = rec_->cls == DeviceClass::keyboard ? readable() : Result::otherError;
    if (r != Result::ok) return r;
    if (!rec_->foreground) desktop = hub_->desktop;
    if (!desktop) {
      std::memcpy(out.keys, hub_->keys, sizeof out.keys);
      return r;
    }
  }
  // The desktop is asked without the lock: the window's events go on meanwhile.
  if (desktop->keys(out.keys)) return Result::ok;
  std::lock_guard<std::mutex> g(hub_->lock);
  std::memcpy(out.keys, hub_->keys, sizeof out.keys);
  return Result::ok;
}

Result Device::mouseState(MouseState& out) {
  std::memset(&out, 0, sizeof out);
  std::lock_guard<std::mutex> g(hub_->lock);
  const Result r = rec_->cls == DeviceClass::mouse ? readable() : Result::otherError;
  if (r != Result::ok) return r;
  out.x = rec_->dx;
  out.y = rec_->dy;
  out.z = rec_->dz;
  rec_->dx = rec_->dy = rec_->dz = 0;
  std::memcpy(out.buttons, hub_->buttons, sizeof out.buttons);
  return r;
}

Result Device::joyState(JoyState& out) {
  std::memset(&out, 0, sizeof out);
  std::lock_guard<std::mutex> g(hub_->lock);
  const Result r = rec_->cls == DeviceClass::gamepad ? readable() : Result::otherError;
  if (r == Result::ok) out = hub_->pad(rec_->pad)->state;
  return r;
}

Result Device::getData(DeviceEvent* out, uint32_t max, uint32_t& count) {
  count = 0;
  std::lock_guard<std::mutex> g(hub_->lock);
  const Result r = readable();
  if (r != Result::ok) return r;
  while (count < max && !rec_->queue.empty()) {
    out[count++] = rec_->queue.front();
    rec_->queue.pop_front();
  }
  return r;
}

// ---- InputHub --------------------------------------------------------------------------

InputHub::InputHub() : state_(std::make_shared<HubState>()) {}
InputHub::~InputHub() = default;

std::vector<DeviceInfo> InputHub::enumDevices(DeviceClass cls) {
  std::vector<DeviceInfo> out;
  if (cls == DeviceClass::keyboard) {
    out.push_back({makeId('K', 0), kTypeKeyboard, u"Keyboard", u"Keyboard"});
  } else if (cls == DeviceClass::mouse) {
    out.push_back({makeId('M', 0), kTypeMouse, u"Mouse", u"Mouse"});
  } else {
    std::lock_guard<std::mutex> g(state_->lock);
    for (const Pad& p : state_->pads) {
      if (p.present) out.push_back(p.info);
    }
  }
  return out;
}

std::unique_ptr<Device> InputHub::createDevice(const DeviceId& id) {
  auto rec = std::make_shared<DeviceRecord>();
  DeviceInfo info;
  if (id == makeId('K', 0)) {
    rec->cls = DeviceClass::keyboard;
    info = enumDevices(DeviceClass::keyboard)[0];
  } else if (id == makeId('M', 0)) {
    rec->cls = DeviceClass::mouse;
    info = enumDevices(DeviceClass::mouse)[0];
  } else {
    std::lock_guard<std::mutex> g(state_->lock);
    auto it = std::find_if(state_->pads.begin(), state_->pads.end(),
                           [&](const Pad& p) { return p.present && p.info.id == id; });
    if (it == state_->pads.end()) return nullptr;
    rec->cls = DeviceClass::gamepad;
    rec->pad = it->number;
    info = it->info;
  }
  std::lock_guard<std::mutex> g(state_->lock);
  state_->devices.push_back(rec);
  return std::unique_ptr<Device>(new Device(state_, rec, std::move(info)));
}

void InputHub::setBackgroundPadObserver(std::function<void()> observer) {
  bool already = false;
  {
    std::lock_guard<std::mutex> g(state_->lock);
    state_->backgroundPadObserver = observer;
    already = state_->backgroundPad;
  }
  if (already && observer) observer();
}

void InputHub::keyRepeat(int32_t& delayMs, int32_t& intervalMs) {
  std::shared_ptr<DesktopSource> desktop;
  {
    std::lock_guard<std::mutex> g(state_->lock);
    desktop = state_->desktop;
  }
  if (desktop && desktop->keyRepeat(delayMs, intervalMs)) return;
  delayMs = system_.keyDelayMs;
  intervalMs = system_.keyIntervalMs;
}

void InputHub::setDesktop(std::shared_ptr<DesktopSource> desktop) {
  std::lock_guard<std::mutex> g(state_->lock);
  state_->desktop = std::move(desktop);
}

void InputHub::cursor(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
  std::lock_guard<std::mutex> g(state_->lock);
  x = state_->cursorX;
  y = state_->cursorY;
  width = state_->width;
  height = state_->height;
}

void InputHub::keyEvent(uint8_t scanCode, bool down) {
  std::lock_guard<std::mutex> g(state_->lock);
  HubState& s = *state_;
  const uint8_t bits = down ? 0x80 : 0;
  if (s.keys[scanCode] == bits) return;
  s.keys[scanCode] = bits;
  s.forDevices(DeviceClass::keyboard, [&](DeviceRecord& r) { s.queue(r, scanCode, bits); });
}

void InputHub::mouseMotion(int32_t dx, int32_t dy) {
  std::lock_guard<std::mutex> g(state_->lock);
  HubState& s = *state_;
  s.forDevices(DeviceClass::mouse, [&](DeviceRecord& r) {
    r.dx += dx;
    r.dy += dy;
    if (dx) s.queue(r, kMouseOffsetX, static_cast<uint32_t>(dx));
    if (dy) s.queue(r, kMouseOffsetY, static_cast<uint32_t>(dy));
  });
}

void InputHub::cursorAt(int32_t x, int32_t y) {
  std::lock_guard<std::mutex> g(state_->lock);
  state_->cursorX = x;
  state_->cursorY = y;
}

void InputHub::setClientSize(int32_t width, int32_t height) {
  std::lock_guard<std::mutex> g(state_->lock);
  state_->width = width;
  state_->height = height;
}

void InputHub::mouseWheel(int32_t notches) {
  std::lock_guard<std::mutex> g(state_->lock);
  HubState& s = *state_;
  const int32_t dz = notches * kWheelNotch;
  s.forDevices(DeviceClass::mouse, [&](DeviceRecord& r) {
    r.dz += dz;
    if (dz) s.queue(r, kMouseOffsetZ, static_cast<uint32_t>(dz));
  });
}

void InputHub::mouseButton(int button, bool down) {
  if (button < 0 || button >= kMouseButtons) return;
  std::lock_guard<std::mutex> g(state_->lock);
  HubState& s = *state_;
  const uint8_t bits = down ? 0x80 : 0;
  if (s.buttons[button] == bits) return;
  s.buttons[button] = bits;
  s.forDevices(DeviceClass::mouse,
               [&](DeviceRecord& r) { s.queue(r, kMouseOffsetButton0 + static_cast<uint32_t>(button), bits); });
}

void InputHub::focus(bool gained) {
  std::lock_guard<std::mutex> g(state_->lock);
  HubState& s = *state_;
  s.focused = gained;
  if (gained) return;
  for (auto& w : s.devices) {
    auto rec = w.lock();
    if (rec && rec->foreground) {
      rec->acquired = false;
      rec->queue.clear();
    }
  }
  // Their releases would go to another window: nothing may stay held here.
  for (int k = 0; k < 256; ++k) {
    if (!s.keys[k]) continue;
    s.keys[k] = 0;
    s.forDevices(DeviceClass::keyboard, [&](DeviceRecord& r) { s.queue(r, static_cast<uint32_t>(k), 0); });
  }
  for (int b = 0; b < 8; ++b) {
    if (!s.buttons[b]) continue;
    s.buttons[b] = 0;
    const uint32_t offset = kMouseOffsetButton0 + static_cast<uint32_t>(b);
    s.forDevices(DeviceClass::mouse, [&](DeviceRecord& r) { s.queue(r, offset, 0); });
  }
}

uint32_t InputHub::padAdded(const std::u16string& name, bool gamepad) {
  std::lock_guard<std::mutex> g(state_->lock);
  HubState& s = *state_;
  Pad p;
  p.number = s.nextPad++;
  p.info.id = makeId('P', p.number);
  p.info.type = gamepad ? kTypeGamepad : kTypeJoystick;
  p.info.productName = name;
  std::u16string n;
  for (char c : std::to_string(p.number)) n += static_cast<char16_t>(c);
  p.info.instanceName = name + u" #" + n;
  s.pads.push_back(std::move(p));
  return s.pads.back().number;
}

void InputHub::padRemoved(uint32_t pad) {
  std::lock_guard<std::mutex> g(state_->lock);
  if (Pad* p = state_->pad(pad)) p->present = false;
}

void InputHub::padAxis(uint32_t pad, int axis, int32_t value) {
  if (axis < 0 || axis > 5) return;
  std::lock_guard<std::mutex> g(state_->lock);
  Pad* p = state_->pad(pad);
  if (!p) return;
  int32_t* axes[6] = {&p->state.x, &p->state.y, &p->state.z, &p->state.rx, &p->state.ry, &p->state.rz};
  *axes[axis] = std::clamp(value, -kAxisRange, kAxisRange);
}

void InputHub::padButton(uint32_t pad, int button, bool down) {
  if (button < 0 || button >= 32) return;
  std::lock_guard<std::mutex> g(state_->lock);
  if (Pad* p = state_->pad(pad)) p->state.buttons[button] = down ? 0x80 : 0;
}

}  // namespace qxinput
