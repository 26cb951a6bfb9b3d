#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/json/float_list.h"
#include "tests/core/comma_locale.h"

namespace {

TEST(FloatList, TokensSeparatorsAndCounts) {
  const struct {
    const char* text;
    int n;
    bool ok;
    std::vector<float> values;  // the slots written; the rest keep -99
  } cases[] = {
      {"1 2 3", 3, true, {1, 2, 3}},
      {"9 8 0", 3, true, {9, 8, 0}},
      {"(1, 2, 3, 4)", 4, true, {1, 2, 3, 4}},
      {"0.5,  0.25, 1e2", 3, true, {0.5f, 0.25f, 100}},
      {".5 -.5", 2, true, {0.5f, -0.5f}},  // a point before a digit starts a number
      {"1\t2 3", 3, true, {1, 2, 3}},      // tabs, commas and brackets end one as spaces do
      {"1,0.5,.05", 3, true, {1, 0.5f, 0.05f}},
      {"[1,2](3)\t{4}", 4, true, {1, 2, 3, 4}},
      {"1 . 2.", 2, true, {1, 2}},  // a point before no digit separates
      {"abc z Z 2", 4, true, {0, 0, 0, 2}},  // letters count as 0
      // The material lists try 3 and then 4: the result tells them apart.
      {"1 2 3 4", 3, false, {1, 2, 3}},
      {"1 2 3 4", 4, true, {1, 2, 3, 4}},
      {"1 2 3", 4, false, {1, 2, 3}},
      {"1 2 3 ,", 3, true, {1, 2, 3}},  // trailing separators are no token
      {"", 3, false, {}},
      {"   ", 1, false, {}},
      // Bytes from 0x80 up separate tokens like punctuation does.
      {"\xE2\x80\x9C" "1 \xC2\xB0" "2", 2, true, {1, 2}},
      {"1", 0, false, {}},
  };
  for (const auto& c : cases) {
    float out[5] = {-99, -99, -99, -99, -99};
    EXPECT_EQ(parseFloatList(out, c.text, c.n), c.ok) << c.text;
    for (size_t i = 0; i < 5; ++i)
      EXPECT_EQ(out[i], i < c.values.size() ? c.values[i] : -99.0f) << c.text << " slot " << i;
  }
  float out[1] = {7.0f};
  EXPECT_FALSE(parseFloatList(out, nullptr, 1));
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

}  // namespace
