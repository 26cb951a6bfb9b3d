// Where message boxes go: stderr whenever no one could answer an SDL box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/window/message_box.h"

namespace {

class MessageBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVars) {
      const char* v = std::getenv(name);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) setenv(kVars[i], saved_[i]->c_str(), 1);
      else unsetenv(kVars[i]);
    }
  }
  static constexpr const char* kVars[] = {"QX_MSGBOX", "SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
  std::vector<std::optional<std::string>> saved_;
};

TEST_F(MessageBoxTest, StderrWhenAskedOrWhenNothingCouldShowABox) {
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

TEST_F(MessageBoxTest, HeadlessBoxIsOneLineOnStderr) {
  setenv("QX_MSGBOX", "stderr", 1);
  setenv("DISPLAY", ":0", 1);  // even with a display, the setting wins
  testing::internal::CaptureStderr();
  qxplat::showMessageBox("構文エラー at line 3", "lua構文エラー", qxplat::kMbIconError);
  qxplat::showMessageBox("no caption", "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "lua構文エラー: 構文エラー at line 3\nno caption\n");
}

}  // namespace
