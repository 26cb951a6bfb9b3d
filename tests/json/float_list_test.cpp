// Reading number lists from annotation and material text.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "runtime/json/float_list.h"
#include "tests/core/comma_locale.h"

namespace {

struct Read {
  bool ok;
  float v[5];
};

Read readList(const char* text, int n) {
  Read r{};
  for (float& f : r.v) f = -99.0f;
  r.ok = parseFloatList(r.v, text, n);
  return r;
}

TEST(FloatList, SeparatedBySpacesCommasAndBrackets) {
  Read r = readList("1 2 3", 3);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.v[0], 1.0f);
  EXPECT_EQ(r.v[1], 2.0f);
  EXPECT_EQ(r.v[2], 3.0f);
  EXPECT_EQ(r.v[3], -99.0f);

  r = readList("(1, 2, 3, 4)", 4);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.v[0], 1.0f);
  EXPECT_EQ(r.v[3], 4.0f);

  r = readList("0.5,  0.25, 1e2", 3);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.v[1], 0.25f);
  EXPECT_EQ(r.v[2], 100.0f);
}

TEST(FloatList, LeadingPointAndMinus) {
  Read r = readList(".5 -.5", 2);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.v[0], 5.0f);  // the point is skipped as a separator
  EXPECT_EQ(r.v[1], -0.5f);
}

TEST(FloatList, OnlyASpaceEndsAToken) {
  Read r = readList("1\t2 3", 3);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.v[0], 1.0f);
  EXPECT_EQ(r.v[1], 3.0f);
  EXPECT_EQ(r.v[2], -99.0f);
}

TEST(FloatList, LettersCountAsZero) {
  Read r = readList("abc 2", 2);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.v[0], 0.0f);
  EXPECT_EQ(r.v[1], 2.0f);
}

TEST(FloatList, ResultTellsThreeNumbersFromFour) {
  // The material lists try 3 and then 4.
  EXPECT_FALSE(readList("1 2 3 4", 3).ok);
  Read r = readList("1 2 3 4", 3);
  EXPECT_EQ(r.v[2], 3.0f);
  EXPECT_EQ(r.v[3], -99.0f);
  EXPECT_TRUE(readList("1 2 3 4", 4).ok);
  EXPECT_FALSE(readList("1 2 3", 4).ok);
  EXPECT_TRUE(readList("1 2 3 ,", 3).ok);  // trailing separators are no token
}

TEST(FloatList, EmptyAndNonAsciiText) {
  Read r = readList("", 3);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.v[0], -99.0f);
  EXPECT_FALSE(readList("   ", 1).ok);
  // Bytes from 0x80 up separate tokens like punctuation does.
  r = readList("\xE2\x80\x9C" "1 \xC2\xB0" "2", 2);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.v[0], 1.0f);
  EXPECT_EQ(r.v[1], 2.0f);
  float out[1] = {7.0f};
  EXPECT_FALSE(parseFloatList(out, nullptr, 1));
  EXPECT_FALSE(parseFloatList(out, "1", 0));
  EXPECT_EQ(out[0], 7.0f);
}

TEST(FloatList, CustomConverterAndLocale) {
  float out[2];
  EXPECT_TRUE(parseFloatList(out, "1.5 2", 2, [](const char* t) { return std::atof(t) * 2; }));
  EXPECT_EQ(out[0], 3.0f);
  CommaDecimalLocale comma;
  ASSERT_TRUE(comma.active()) << "could not build a comma-decimal locale";
  EXPECT_TRUE(parseFloatList(out, "1.5 2.25", 2));
  EXPECT_EQ(out[0], 1.5f);
  EXPECT_EQ(out[1], 2.25f);
}

TEST(FloatList, AtofCMatchesAtofInTheCLocale) {
  for (const char* t : {"1.5", "  -2e3x", "+7", "abc", "", ".25", "1e999", "-1e999", "1e-999", "1e-5000", "-1e-5000",
                        "1e5000", "--1", "0x10", "0x1p-99999", "\t4"}) {
    EXPECT_EQ(atofC(t), std::atof(t)) << t;
  }
}

}  // namespace
