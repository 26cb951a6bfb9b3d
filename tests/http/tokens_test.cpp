#include <gtest/gtest.h>

#include <cmath>

#include "net/http/header_tokens.h"
#include "net/http/http_date.h"

using namespace httptok;

namespace {
HeaderToken tok(std::string_view s) { return readToken(s, kValueDelims); }
}  // namespace

TEST(HeaderTokens, ScalarsAreTypedAndTheLongestReadWins) {
  const struct {
    const char* text;
    TypedValue value;
    size_t length;
  } cases[] = {
      {"200\r\n", TypedValue::integer(200), 3},
      {"true;", TypedValue::boolean(true), 4},
      {"-2.5e1", TypedValue::real(-25.0), 6},
      {"application/json; charset=utf-8", TypedValue::string("application/json"), 16},
      {"200 OK\r\n", TypedValue::string("200 OK"), 6},  // a number followed by more text
      {"trueish", TypedValue::string("trueish"), 7},
      {"  42  \r\n", TypedValue::integer(42), 4},  // trailing blanks do not make a string
      {"\r\n42", TypedValue(), 0},                    // a value never starts on the next line
      {"  \"a b; c\" ; x", TypedValue::string("a b; c"), 10},
      {"9223372036854775807", TypedValue::integer(INT64_MAX), 19},
      {"1e400", TypedValue::real(HUGE_VAL), 5},  // beyond the double range: infinity, not 0
      {"-1e400", TypedValue::real(-HUGE_VAL), 6},
      // A quoted string never crosses a line; unclosed it reads nothing.
      {"\"unclosed", TypedValue(), 0},
      {"\"abc\r\nX: \"", TypedValue(), 0},
  };
  for (const auto& c : cases) {
    HeaderToken t = tok(c.text);
    EXPECT_EQ(t.value, c.value) << c.text;
    EXPECT_EQ(t.length, c.length) << c.text;
  }
  EXPECT_EQ(skipBlanks(" \t\r\nx", false), 2u);
  EXPECT_EQ(skipBlanks(" \t\r\nx", true), 4u);
}

TEST(HeaderTokens, IntegerValuesSaturateAtTheInt64Range) {
  // Beyond int64 the number reads as a real; its integer value saturates.
  HeaderToken big = tok("99999999999999999999");
  EXPECT_EQ(big.value.tag(), TypedValue::kReal);
  EXPECT_EQ(big.value.integerValue(), INT64_MAX);
  EXPECT_EQ(tok("5000000000").value.integerValue(), 5000000000);
  const struct {
    double real;
    int64_t integer;
  } cases[] = {{-3.9, -3},
               {9223372036854774784.0, 9223372036854774784},  // the largest double below 2^63
               {9223372036854775808.0, INT64_MAX},
               {-9223372036854775808.0, INT64_MIN},
               {-HUGE_VAL, INT64_MIN},
               {std::nan(""), 0}};
  for (const auto& c : cases) EXPECT_EQ(TypedValue::real(c.real).integerValue(), c.integer) << c.real;
  EXPECT_EQ(TypedValue::string("12").integerValue(), 0);
}

TEST(HeaderTokens, DatesInBothLayouts) {
  HeaderToken t = tok("Sun, 06 Nov 1994 08:49:37 GMT\r\n");
  ASSERT_EQ(t.value.tag(), TypedValue::kTime);
  EXPECT_EQ(t.value.asTime(), 784111777);
  EXPECT_EQ(t.length, 29u);
  // Second layout, abbreviated weekday: a two-digit year is 20xx.
  HeaderToken t2 = tok("Sun, 06-Nov-94 08:49:37 UTC");
  ASSERT_EQ(t2.value.tag(), TypedValue::kTime);
  EXPECT_EQ(t2.value.asTime(),
            784111777 + (httpdate::daysFromCivil(2094, 11, 6) - httpdate::daysFromCivil(1994, 11, 6)) * 86400);
  // A full weekday name does not match: the string up to the comma is read instead.
  EXPECT_EQ(tok("Sunday, 06-Nov-94 08:49:37 GMT").value, TypedValue::string("Sunday"));
  // Other zones, bad months, or a date broken by a line end are not dates.
  for (const char* bad : {"Sun, 06 Nov 1994 08:49:37 PST", "Sun, 06 Nox 1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:",
                          "Sun, 06 Nov\r\n 1994 08:49:37 GMT", "Sun, 06 Nov-94 08:49:37 GMT"})
    EXPECT_NE(tok(bad).value.tag(), TypedValue::kTime) << bad;
}
