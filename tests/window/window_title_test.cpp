// Window title text and the program folder.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "platform/core/utf.h"
#include "platform/window/program_folder.h"
#include "platform/window/window.h"

namespace {

using qxplat::clampWindowTitle;
using qxplat::makeWindowTitle;

TEST(WindowTitle, ScriptTitleThenVersionAndLocalDate) {
  EXPECT_EQ(makeWindowTitle("Demo", 2024, 3, 7), "Demo:QX v0.03[2024: Mar7]");
  EXPECT_EQ(makeWindowTitle("", 1999, 12, 31), ":QX v0.03[1999: Dec31]");
  EXPECT_EQ(makeWindowTitle("ほげ", 2025, 1, 1), "ほげ:QX v0.03[2025: Jan1]");
  const std::string today = makeWindowTitle("T");
  EXPECT_EQ(today.rfind("T:QX v0.03[", 0), 0u);
  EXPECT_EQ(today.back(), ']');
}

TEST(WindowTitle, ClampedToWhatTheTitleFieldHolds) {
  EXPECT_EQ(clampWindowTitle("short"), "short");
  EXPECT_EQ(clampWindowTitle(std::string(200, 'a')), std::string(127, 'a'));
  // Counted in UTF-16 units, not bytes.
  std::string kana;
  for (int i = 0; i < 130; ++i) kana += "あ";
  EXPECT_EQ(qcore::utf8ToUtf16(clampWindowTitle(kana)).size(), 127u);
  // A character outside the BMP that would be cut in half is left out whole.
  const std::string emoji = std::string(126, 'a') + "\xF0\x9F\x98\x80" + "b";
  EXPECT_EQ(clampWindowTitle(emoji), std::string(126, 'a'));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
  char expected[PATH_MAX];
  ASSERT_NE(realpath(QX_BINARY_DIR "/tests/window", expected), nullptr);
  EXPECT_EQ(qxplat::programFolder(), std::string(expected));
}

}  // namespace
