// Message boxes go to stderr whenever no one could see a screen, and SDL is offered only
// the drivers of the displays that are named.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <iterator>
#include <string>

#include "platform/core/utf.h"
#include "platform/window/display_env.h"
#include "platform/window/message_box.h"
#include "platform/window/window.h"
#include "window_test_env.h"

namespace {

TEST(DisplayEnv, StderrBoxesAndTheDriversOfTheNamedDisplays) {
  // Each row: QX_MSGBOX, SDL_VIDEODRIVER, DISPLAY, WAYLAND_DISPLAY (null: unset), then
  // whether boxes go to stderr and the drivers SDL is offered (null: SDL_VIDEODRIVER's).
  const struct {
    const char *msgbox, *driver, *x11, *wayland;
    bool toStderr;
    const char* offered;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, true, "offscreen"},
      {nullptr, nullptr, "", nullptr, true, "offscreen"},  // empty names nothing
      {nullptr, "", "", "", true, "offscreen"},
      {nullptr, nullptr, ":0", nullptr, false, "x11"},
      {nullptr, "", ":0", nullptr, false, "x11"},
      {nullptr, nullptr, nullptr, "wayland-0", false, "wayland"},
      {nullptr, nullptr, "", "wayland-0", false, "wayland"},
      {nullptr, nullptr, ":0", "wayland-0", false, "x11,wayland"},
      {nullptr, "offscreen", ":0", nullptr, true, nullptr},  // the user's choice stands
      {"stderr", "x11", ":0", nullptr, true, nullptr},
      {nullptr, "wayland", ":0", "wayland-0", false, nullptr},
      {nullptr, "kmsdrm", nullptr, nullptr, true, nullptr},
  };
  const char* names[] = {"QX_MSGBOX", "SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
  for (size_t row = 0; row < std::size(cases); ++row) {
    qxtest::ClearedEnv env{names[0], names[1], names[2], names[3]};
    const auto& c = cases[row];
    const char* values[] = {c.msgbox, c.driver, c.x11, c.wayland};
    for (int i = 0; i < 4; ++i)
      if (values[i]) setenv(names[i], values[i], 1);
    EXPECT_EQ(qxplat::messageBoxesGoToStderr(), c.toStderr) << "row " << row;
    EXPECT_STREQ(qxplat::videoDriverChoice(), c.offered) << "row " << row;
  }
}

TEST(DisplayEnv, HeadlessBoxIsOneLineOnStderr) {
  qxtest::ClearedEnv env{"QX_MSGBOX", "DISPLAY"};
  setenv("QX_MSGBOX", "stderr", 1);
  setenv("DISPLAY", ":0", 1);  // even with a display, the setting wins
  testing::internal::CaptureStderr();
  qxplat::showMessageBox("構文エラー at line 3", "lua構文エラー", qxplat::kMbIconError);
  qxplat::showMessageBox("no caption", "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "lua構文エラー: 構文エラー at line 3\nno caption\n");
}

using qxplat::clampWindowTitle;
using qxplat::makeWindowTitle;

TEST(WindowTitle, ScriptTitleThenVersionAndLocalDateClampedToTheTitleField) {
  EXPECT_EQ(makeWindowTitle("Demo", 2024, 3, 7), "Demo:QX v0.03[2024: Mar7]");
  EXPECT_EQ(makeWindowTitle("", 1999, 12, 31), ":QX v0.03[1999: Dec31]");
  EXPECT_EQ(clampWindowTitle(std::string(200, 'a')), std::string(127, 'a'));
  // Counted in UTF-16 units, not bytes.
  std::string kana;
  for (int i = 0; i < 130; ++i) kana += "あ";
  EXPECT_EQ(qcore::utf8ToUtf16(clampWindowTitle(kana)).size(), 127u);
  // A character outside the BMP that would be cut in half is left out whole.
  EXPECT_EQ(clampWindowTitle(std::string(126, 'a') + "\xF0\x9F\x98\x80" + "b"), std::string(126, 'a'));
}

}  // namespace
