// Controllers over the platform's keyboard, mouse and joypad devices.
//
//   keyboard  channel n = scan code n (0..255)
//   mouse     0 -X, 1 +X, 2 -Y, 3 +Y, 4 wheel -Z, 5 wheel +Z, 6..13 buttons 0..7
//   joypad    0 -X, 1 +X, 2 -Y, 3 +Y, 4 -Z, 5 +Z, 6 -Rz, 7 +Rz, 8..23 buttons 0..15
#pragma once
#include <array>
#include <memory>

#include "app/input/ctrl.h"
#include "app/input/levels.h"
#include "platform/input/input_hub.h"

namespace qxin {

// Levels and counters of N channels with the repeat parameters.
template <int N>
class ChannelCtrl : public IFCtrl {
 public:
  static constexpr int32_t kChannels = N;

  int32_t level(int32_t ch) const override { return in(ch) ? level_[ch] : 0; }
  void clear() override {
    level_.fill(0);
    for (int32_t& c : counter_) c = clearedCounter(c);
  }
  qxinput::Device* device() override { return device_.get(); }
  void setActive(bool on) override {
    if (on) device_->acquire();
    else device_->unacquire();
  }
  bool repeat(int32_t ch) const override { return in(ch) && isRepeatTick(counter_[ch], delay_, interval_); }
  bool pressed(int32_t ch) const override { return in(ch) && counter_[ch] == 1; }
  bool held(int32_t ch) const override { return in(ch) && counter_[ch] > 0; }
  bool released(int32_t ch) const override { return in(ch) && counter_[ch] == -1; }
  void setRepeat(int32_t delay, int32_t interval) override {
    delay_ = delay;
    interval_ = interval < 0 ? 0 : interval;
  }

 protected:
  explicit ChannelCtrl(std::unique_ptr<qxinput::Device> device) : device_(std::move(device)) {}
  static bool in(int32_t ch) { return ch >= 0 && ch < N; }
  void advanceAll() {
    for (int i = 0; i < N; ++i) counter_[i] = advanceCounter(counter_[i], level_[i]);
  }

  std::unique_ptr<qxinput::Device> device_;
  std::array<int32_t, N> level_{};
  std::array<int32_t, N> counter_{};
  int32_t delay_ = -1;
  int32_t interval_ = 0;
};

class IFKeybdCtrl final : public ChannelCtrl<256> {
 public:
  static std::unique_ptr<IFKeybdCtrl> create(std::unique_ptr<qxinput::Device> device, bool foreground);
  bool update() override;
  int32_t kind() const override { return kKeyboard; }

 private:
  using ChannelCtrl::ChannelCtrl;
};

class IFMouseCtrl final : public ChannelCtrl<14> {
 public:
  // swapButtons is asked on every poll.
  static std::unique_ptr<IFMouseCtrl> create(std::unique_ptr<qxinput::Device> device,
                                             const qxinput::SystemValues& system);
  bool update() override;
  int32_t kind() const override { return kMouse; }

 private:
  IFMouseCtrl(std::unique_ptr<qxinput::Device> device, const qxinput::SystemValues& system)
      : ChannelCtrl(std::move(device)), system_(system) {}
  const qxinput::SystemValues& system_;
};

class IFJoypadCtrl final : public ChannelCtrl<24> {
 public:
  static constexpr int32_t kDeadZone = 150;
  static std::unique_ptr<IFJoypadCtrl> create(std::unique_ptr<qxinput::Device> device, bool foreground);
  bool update() override;
  int32_t kind() const override { return kJoypad; }

 private:
  using ChannelCtrl::ChannelCtrl;
  std::array<int32_t, 4> deadZone_{kDeadZone, kDeadZone, kDeadZone, kDeadZone};
};

// The level of one joypad half-axis: the part beyond the dead zone, scaled to 0..100.
int32_t joypadLevel(int32_t value, int32_t deadZone);

}  // namespace qxin
