#include <gtest/gtest.h>

#include "hud/text/markup.h"

namespace {

using namespace hudtext;

constexpr char32_t ctl(uint32_t param, uint32_t code) { return char32_t((param << kParamShift) | code); }

struct MarkupCase {
  std::u16string in;
  std::u32string out;
  int32_t visible, control;
};

TEST(Markup, ConvertsEscapesAndCounts) {
  const MarkupCase cases[] = {
      {u"a%%b", U"a%b", 2, 1},
      {u"%q", U"q", 1, 0},
      {u"x%w12y", {U'x', ctl(12, kCtlWidth), U'y'}, 2, 1},
      {u"x%wy", U"x", 0, 0},
      {u"%cFF8000", {ctl(0xFF, kCtlRed), ctl(0x80, kCtlGreen), ctl(0, kCtlBlue)}, 0, 3},
      {u"%cFF80", U"", 0, 0},
      {u"%cFF800001", U"", 0, 0},
      {u"%c0a0B0cz", {ctl(0x0A, kCtlRed), ctl(0x0B, kCtlGreen), ctl(0x0C, kCtlBlue), U'z'}, 1, 3},
      // Each digit range at its ends.
      {u"%cAaFf09", {ctl(0xAA, kCtlRed), ctl(0xFF, kCtlGreen), ctl(0x09, kCtlBlue)}, 0, 3},
      {u"%s!", {ctl(0, kCtlS), U'!'}, 1, 1},
      {u"a\r\nb", U"a\nb", 3, 0},
      {u"a%\r\nb", U"a\nb", 3, 0},
      {u"ab%", U"ab%", 3, 0},                                 // a lone last "%" stays
      {u"%", U"%", 1, 0},
      {u"%%%", U"%%", 1, 1},
      {u"%w99999999999999999999", /* the low 11 bits of the number */ {ctl(2047, kCtlWidth)}, 0, 1},
      {u"\U00020B9F%\U00020B9F", U"\U00020B9F\U00020B9F", 2, 0},  // surrogate pairs
  };
  for (const MarkupCase& c : cases) {
    U32String out = U"<";
    auto counts = markupToUtf32(c.in.c_str(), out);
    EXPECT_EQ(out, U"<" + c.out) << std::string(c.in.begin(), c.in.end());
    EXPECT_EQ(counts, std::make_pair(c.visible, c.control)) << std::string(c.in.begin(), c.in.end());
  }
}

TEST(Markup, ConvertsBackWithCrLfAndWithoutControls) {
  U32String text;
  markupToUtf32(u"a\r\nb%cFF8000%w7%s\U00020B9F\uE123", text);
  std::u16string back = u">";
  utf32ToWide(back, text);
  EXPECT_EQ(back, u">a\r\nb\U00020B9F");
}

TEST(Markup, CountsLines) {
  struct Case {
    U32String text;
    int32_t lines, first;
    std::vector<int32_t> rows;
  } cases[] = {
      {U"", 1, 0, {}},
      {U"a\n", 1, 2, {2, 0}},
      {U"a\nb", 2, 2, {2, 1}},
      {U"ab", 1, 2, {2}},
      {U"\n\nxyz", 3, 1, {1, 1, 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(countLines(c.text.c_str()), c.lines);
    EXPECT_EQ(firstLineLength(c.text.c_str()), c.first);
    std::vector<int32_t> rows = {-1};
    countLineLengths(rows, c.text);
    std::vector<int32_t> want = {-1};
    want.insert(want.end(), c.rows.begin(), c.rows.end());
    EXPECT_EQ(rows, want);
  }
}

}  // namespace
