// Where message boxes go, and which video driver a run without a display gets: stderr
// and the offscreen driver whenever no one could see a screen.
#include <gtest/gtest.h>

#include <string>

#include "platform/window/display_env.h"
#include "platform/window/message_box.h"
#include "window_test_env.h"

namespace {

class DisplayEnvTest : public testing::Test {
 protected:
  qxtest::ClearedEnv env_{"QX_MSGBOX", "SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
};

TEST_F(DisplayEnvTest, StderrWhenAskedOrWhenNothingCouldShowABox) {
  EXPECT_TRUE(qxplat::messageBoxesGoToStderr());  // no display at all
  setenv("DISPLAY", ":0", 1);
  EXPECT_FALSE(qxplat::messageBoxesGoToStderr());
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  EXPECT_TRUE(qxplat::messageBoxesGoToStderr());
  setenv("SDL_VIDEODRIVER", "x11", 1);
  setenv("QX_MSGBOX", "stderr", 1);
  EXPECT_TRUE(qxplat::messageBoxesGoToStderr());
  unsetenv("QX_MSGBOX");
  unsetenv("DISPLAY");
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  EXPECT_FALSE(qxplat::messageBoxesGoToStderr());
}

TEST_F(DisplayEnvTest, HeadlessBoxIsOneLineOnStderr) {
  setenv("QX_MSGBOX", "stderr", 1);
  setenv("DISPLAY", ":0", 1);  // even with a display, the setting wins
  testing::internal::CaptureStderr();
  qxplat::showMessageBox("構文エラー at line 3", "lua構文エラー", qxplat::kMbIconError);
  qxplat::showMessageBox("no caption", "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "lua構文エラー: 構文エラー at line 3\nno caption\n");
}

TEST_F(DisplayEnvTest, OffscreenOnlyWhenNoDisplayAndNoDriverIsNamed) {
  ASSERT_NE(qxplat::fallbackVideoDriver(), nullptr);
  EXPECT_STREQ(qxplat::fallbackVideoDriver(), "offscreen");
  setenv("DISPLAY", "", 1);  // empty names nothing
  EXPECT_STREQ(qxplat::fallbackVideoDriver(), "offscreen");
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  EXPECT_EQ(qxplat::fallbackVideoDriver(), nullptr);
  unsetenv("WAYLAND_DISPLAY");
  setenv("DISPLAY", ":1", 1);
  EXPECT_EQ(qxplat::fallbackVideoDriver(), nullptr);
  unsetenv("DISPLAY");
  setenv("SDL_VIDEODRIVER", "kmsdrm", 1);  // the user's choice stands
  EXPECT_EQ(qxplat::fallbackVideoDriver(), nullptr);
}

}  // namespace
