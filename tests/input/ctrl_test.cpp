// Controllers over a hub fed by the test: levels, counters, repeats, focus.
#include <gtest/gtest.h>

#include "app/input/device_ctrls.h"
#include "app/input/levels.h"
#include "platform/input/input_hub.h"

namespace {

using namespace qxin;
using qxinput::DeviceClass;
using qxinput::InputHub;

std::unique_ptr<qxinput::Device> first(InputHub& hub, DeviceClass cls) {
  return hub.createDevice(hub.enumDevices(cls).at(0).id);
}

TEST(InputLevels, RepeatTicksFollowDelayAndInterval) {
  struct Case {
    int32_t delay, interval;
    std::vector<int32_t> repeatsUpTo34;
  };
  const Case cases[] = {
      {-1, 0, {1}},
      {0, 0, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
              29, 30, 31, 32, 33, 34}},
      {20, 3, {25, 29, 33}},
      {10, 2, {14, 17, 20, 23, 26, 29, 32}},
      {10, -5, {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> got;
    for (int32_t n = -1; n <= 34; ++n) {
      if (isRepeatTick(n, c.delay, c.interval)) got.push_back(n);
    }
    EXPECT_EQ(got, c.repeatsUpTo34) << c.delay << "," << c.interval;
  }
}

TEST(InputControllers, JoypadHalfAxesScaleBeyondTheDeadZone) {
  InputHub hub;
  const uint32_t pad = hub.padAdded(u"Pad", true);
  auto ctrl = IFJoypadCtrl::create(first(hub, DeviceClass::gamepad), true);
  ASSERT_NE(ctrl, nullptr);
  struct Case {
    int axis;  // hub axis: 0 X, 1 Y, 2 Z, 5 Rz
    int32_t value;
    int32_t negative, positive;
    int channel;
  };
  const Case cases[] = {{0, 574, 0, 49, 0}, {0, 575, 0, 50, 0},   {0, 1000, 0, 100, 0}, {0, -150, 0, 0, 0},
                        {0, -160, 1, 0, 0}, {1, -1000, 100, 0, 2}, {2, 700, 0, 64, 4},   {5, -400, 29, 0, 6}};
  for (const Case& c : cases) {
    hub.padAxis(pad, c.axis, c.value);
    ASSERT_TRUE(ctrl->update());
    EXPECT_EQ(ctrl->level(c.channel), c.negative) << c.value;
    EXPECT_EQ(ctrl->level(c.channel + 1), c.positive) << c.value;
    hub.padAxis(pad, c.axis, 0);
  }
  hub.padButton(pad, 15, true);
  ctrl->update();
  EXPECT_EQ(ctrl->level(23), 100);
  // Unplugged: the lost device cannot be recovered, so the pad reads released.
  hub.padRemoved(pad);
  EXPECT_FALSE(ctrl->update());
  EXPECT_EQ(ctrl->level(23), 0);
  EXPECT_TRUE(ctrl->released(23));
}

TEST(InputControllers, MouseMotionWheelAndSwappedButtons) {
  InputHub hub;
  auto ctrl = IFMouseCtrl::create(first(hub, DeviceClass::mouse), hub.systemValues());
  ASSERT_NE(ctrl, nullptr);
  hub.mouseMotion(-100, 30);
  hub.mouseMotion(-50, 0);
  hub.mouseWheel(1);
  ASSERT_TRUE(ctrl->update());
  const int32_t want[6] = {100, 0, 0, 30, 0, 100};
  for (int ch = 0; ch < 6; ++ch) EXPECT_EQ(ctrl->level(ch), want[ch]) << ch;
  EXPECT_EQ(ctrl->axis(0), -100);
  // Motion is relative: a resting mouse reads 0 and the axes are released.
  ctrl->update();
  EXPECT_EQ(ctrl->level(0), 0);
  EXPECT_TRUE(ctrl->released(0));

  hub.mouseButton(0, true);
  ctrl->update();
  EXPECT_EQ(ctrl->level(6), 100);
  auto swapped = hub.systemValues();
  swapped.swapButtons = true;
  hub.setSystemValues(swapped);
  ctrl->update();
  EXPECT_EQ(ctrl->level(6), 0);
  EXPECT_EQ(ctrl->level(7), 100);
  EXPECT_EQ(ctrl->level(-1), 0);
}

TEST(InputControllers, KeyboardCountersClearAndRepeat) {
  InputHub hub;
  auto ctrl = IFKeybdCtrl::create(first(hub, DeviceClass::keyboard), true);
  ASSERT_NE(ctrl, nullptr);
  hub.keyEvent(0x39, true);
  std::vector<int32_t> pressedAt, repeatAt;
  ctrl->setRepeat(10, 2);
  for (int t = 1; t <= 21; ++t) {
    ctrl->update();
    if (ctrl->pressed(0x39)) pressedAt.push_back(t);
    if (ctrl->repeat(0x39)) repeatAt.push_back(t);
  }
  EXPECT_EQ(pressedAt, std::vector<int32_t>{1});
  EXPECT_EQ(repeatAt, (std::vector<int32_t>{14, 17, 20}));
  // A clear while held: released once, then pressed again by the next poll.
  ctrl->clear();
  EXPECT_TRUE(ctrl->released(0x39));
  EXPECT_EQ(ctrl->level(0x39), 0);
  ctrl->update();
  EXPECT_TRUE(ctrl->pressed(0x39));
  hub.keyEvent(0x39, false);
  ctrl->update();
  EXPECT_TRUE(ctrl->released(0x39));
  ctrl->update();
  EXPECT_FALSE(ctrl->released(0x39) || ctrl->held(0x39));
  EXPECT_FALSE(ctrl->pressed(256));
}

TEST(InputControllers, EachControllerTakesOnlyItsOwnKindOfDevice) {
  InputHub hub;
  hub.padAdded(u"Pad", false);
  EXPECT_EQ(IFKeybdCtrl::create(first(hub, DeviceClass::mouse), true), nullptr);
  EXPECT_EQ(IFMouseCtrl::create(first(hub, DeviceClass::keyboard), hub.systemValues()), nullptr);
  EXPECT_EQ(IFJoypadCtrl::create(first(hub, DeviceClass::keyboard), true), nullptr);
  EXPECT_EQ(IFMouseCtrl::create(nullptr, hub.systemValues()), nullptr);
  EXPECT_NE(IFJoypadCtrl::create(first(hub, DeviceClass::gamepad), false), nullptr);
}

// Without the focus nothing stays held: keys and mouse buttons go up for every device,
// a foreground pad reads released; only a background pad keeps reporting.
TEST(InputControllers, FocusLossReleasesKeysButtonsAndForegroundPadsButNotBackgroundPads) {
  InputHub hub;
  const uint32_t pad = hub.padAdded(u"Pad", true);
  auto mouse = IFMouseCtrl::create(first(hub, DeviceClass::mouse), hub.systemValues());
  auto fg = IFKeybdCtrl::create(first(hub, DeviceClass::keyboard), true);
  auto bg = IFKeybdCtrl::create(first(hub, DeviceClass::keyboard), false);
  auto fgPad = IFJoypadCtrl::create(first(hub, DeviceClass::gamepad), true);
  auto bgPad = IFJoypadCtrl::create(first(hub, DeviceClass::gamepad), false);
  auto pollAll = [&] {
    fg->update();
    bg->update();
    mouse->update();
    fgPad->update();
    bgPad->update();
  };
  hub.keyEvent(0x1E, true);
  hub.mouseButton(0, true);
  hub.padButton(pad, 3, true);
  pollAll();
  ASSERT_TRUE(fg->pressed(0x1E) && bg->pressed(0x1E) && mouse->pressed(6) && fgPad->pressed(11) && bgPad->pressed(11));
  hub.focus(false);
  pollAll();
  EXPECT_TRUE(fg->released(0x1E));
  EXPECT_TRUE(bg->released(0x1E));
  EXPECT_TRUE(mouse->released(6));
  EXPECT_TRUE(fgPad->released(11));
  EXPECT_TRUE(bgPad->held(11));
  pollAll();
  EXPECT_FALSE(fg->held(0x1E) || fg->released(0x1E) || bg->held(0x1E) || fgPad->held(11) || fgPad->released(11));
  EXPECT_EQ(fgPad->level(11), 0);
  EXPECT_EQ(bgPad->level(11), 100);
  // Back in front: the first poll re-acquires (and still reads nothing), the next reads a
  // key that goes down again as a new press.
  hub.focus(true);
  hub.keyEvent(0x1E, true);
  pollAll();
  pollAll();
  EXPECT_TRUE(fg->pressed(0x1E));
  EXPECT_TRUE(bg->held(0x1E));
  EXPECT_TRUE(fgPad->held(11));
}

}  // namespace
