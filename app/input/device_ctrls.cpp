#include "app/input/device_ctrls.h"

#include <utility>

namespace qxin {

using qxinput::Result;

namespace {

// Poll, then acquire; a lost device is re-acquired. False: the poll failed for good.
bool pollKeyboardOrMouse(qxinput::Device& d) {
  const Result hr = d.poll();
  d.acquire();
  if (!failed(hr)) return true;
  return hr == Result::inputLost && !failed(d.acquire());
}

}  // namespace

std::unique_ptr<IFKeybdCtrl> IFKeybdCtrl::create(std::unique_ptr<qxinput::Device> device, bool foreground) {
  if (!device || device->type() != qxinput::kTypeKeyboard) return nullptr;
  device->setCooperative(foreground);
  device->setBuffered(true);
  device->poll();
  device->acquire();
  return std::unique_ptr<IFKeybdCtrl>(new IFKeybdCtrl(std::move(device)));
}

bool IFKeybdCtrl::update() {
  if (!pollKeyboardOrMouse(*device_)) {
    clear();
    return false;
  }
  qxinput::KeyboardState s;
  device_->keyboardState(s);
  for (int n = 0; n < kChannels; ++n) level_[n] = (s.keys[n] & 0x80) ? kLevelMax : 0;
  advanceAll();
  return true;
}

std::unique_ptr<IFMouseCtrl> IFMouseCtrl::create(std::unique_ptr<qxinput::Device> device,
                                                 const qxinput::SystemValues& system) {
  if (!device || device->type() != qxinput::kTypeMouse) return nullptr;
  device->setCooperative(true);
  device->setBuffered(true);
  device->poll();
  device->acquire();
  return std::unique_ptr<IFMouseCtrl>(new IFMouseCtrl(std::move(device), system));
}

bool IFMouseCtrl::update() {
  if (!pollKeyboardOrMouse(*device_)) {
    clear();
    return false;
  }
  qxinput::MouseState s;
  device_->mouseState(s);
  const int32_t axes[3] = {s.x, s.y, s.z};
  for (int a = 0; a < 3; ++a) {
    level_[2 * a] = clampLevel(-static_cast<int64_t>(axes[a]));
    level_[2 * a + 1] = clampLevel(axes[a]);
  }
  for (int b = 0; b < 8; ++b) level_[6 + b] = (s.buttons[b] & 0x80) ? kLevelMax : 0;
  if (system_.swapButtons) std::swap(level_[6], level_[7]);
  advanceAll();
  return true;
}

std::unique_ptr<IFJoypadCtrl> IFJoypadCtrl::create(std::unique_ptr<qxinput::Device> device, bool foreground) {
  if (!device || (device->type() != qxinput::kTypeJoystick && device->type() != qxinput::kTypeGamepad)) {
    return nullptr;
  }
  device->setCooperative(foreground);
  std::unique_ptr<IFJoypadCtrl> c(new IFJoypadCtrl(std::move(device)));
  c->device_->poll();
  c->device_->acquire();
  return c;
}

int32_t joypadLevel(int32_t value, int32_t deadZone) {
  const int64_t v = static_cast<int64_t>(value) - deadZone;
  if (v <= 0) return 0;
  return clampLevel(v * 100 / (1000 - deadZone));
}

bool IFJoypadCtrl::update() {
  Result hr = device_->poll();
  device_->acquire();
  if (failed(hr)) {
    // Without the focus a foreground pad reads nothing: its buttons are released, never held.
    if (hr == Result::notAcquired) clear();
    if (hr != Result::inputLost) return false;
    device_->acquire();
    if (failed(device_->poll())) {
      clear();
      return false;
    }
  }
  qxinput::JoyState s;
  device_->joyState(s);
  const int32_t axes[4] = {s.x, s.y, s.z, s.rz};
  for (int a = 0; a < 4; ++a) {
    level_[2 * a] = joypadLevel(-axes[a], deadZone_[a]);  // axes are within +-1000
    level_[2 * a + 1] = joypadLevel(axes[a], deadZone_[a]);
  }
  for (int b = 0; b < 16; ++b) level_[8 + b] = (s.buttons[b] & 0x80) ? kLevelMax : 0;
  advanceAll();
  return true;
}

}  // namespace qxin
