#include <gtest/gtest.h>

#include <cmath>

#include "net/http/header_tokens.h"
#include "net/http/http_date.h"

using namespace httptok;

namespace {
HeaderToken tok(std::string_view s) { return readToken(s, kValueDelims); }
}  // namespace

TEST(HeaderTokens, ScalarsAreTyped) {
  HeaderToken t = tok("200\r\n");
  EXPECT_EQ(t.value, TypedValue::integer(200));
  EXPECT_EQ(t.length, 3u);
  EXPECT_EQ(tok("true;").value, TypedValue::boolean(true));
  EXPECT_EQ(tok("-2.5e1").value, TypedValue::real(-25.0));
  EXPECT_EQ(tok("application/json; charset=utf-8").value, TypedValue::string("application/json"));
  // A number followed by more text is the longer string.
  EXPECT_EQ(tok("200 OK\r\n").value, TypedValue::string("200 OK"));
  EXPECT_EQ(tok("trueish").value, TypedValue::string("trueish"));
  // Trailing blanks do not turn a number into a string.
  EXPECT_EQ(tok("  42  \r\n").value, TypedValue::integer(42));
}

TEST(HeaderTokens, IntegersAreSixtyFourBit) {
  EXPECT_EQ(tok("9223372036854775807").value, TypedValue::integer(INT64_MAX));
  EXPECT_EQ(tok("5000000000").value.integerValue(), 5000000000);
  // Beyond int64 the number reads as a real; its integer value saturates.
  HeaderToken big = tok("99999999999999999999");
  EXPECT_EQ(big.value.tag(), TypedValue::kReal);
  EXPECT_EQ(big.value.integerValue(), INT64_MAX);
  // Beyond the double range a real reads as an infinity, not as 0.
  EXPECT_EQ(tok("1e400").value, TypedValue::real(HUGE_VAL));
  EXPECT_EQ(tok("-1e400").value, TypedValue::real(-HUGE_VAL));
  EXPECT_EQ(tok("-1e400").value.integerValue(), INT64_MIN);
  EXPECT_EQ(TypedValue::real(-3.9).integerValue(), -3);
  EXPECT_EQ(TypedValue::real(std::nan("")).integerValue(), 0);
  EXPECT_EQ(TypedValue::string("12").integerValue(), 0);
}

TEST(HeaderTokens, QuotedStringsKeepSpacesAndNeverCrossLines) {
  HeaderToken t = tok("  \"a b; c\" ; x");
  EXPECT_EQ(t.value, TypedValue::string("a b; c"));
  EXPECT_EQ(t.length, 10u);
  EXPECT_EQ(tok("\"unclosed").length, 0u);
  EXPECT_EQ(tok("\"abc\r\nX: \"").length, 0u);
}

TEST(HeaderTokens, DatesInBothLayouts) {
  HeaderToken t = tok("Sun, 06 Nov 1994 08:49:37 GMT\r\n");
  ASSERT_EQ(t.value.tag(), TypedValue::kTime);
  EXPECT_EQ(t.value.asTime(), 784111777);
  EXPECT_EQ(t.length, 29u);
  // Second layout, abbreviated weekday: a two-digit year is 20xx.
  HeaderToken t2 = tok("Sun, 06-Nov-94 08:49:37 UTC");
  ASSERT_EQ(t2.value.tag(), TypedValue::kTime);
  EXPECT_EQ(t2.value.asTime(), 784111777 + (httpdate::daysFromCivil(2094, 11, 6) - httpdate::daysFromCivil(1994, 11, 6)) * 86400);
  // A full weekday name does not match: the string up to the comma is read instead.
  EXPECT_EQ(tok("Sunday, 06-Nov-94 08:49:37 GMT").value, TypedValue::string("Sunday"));
  // Other zones, bad months, or a date broken by a line end are not dates.
  EXPECT_NE(tok("Sun, 06 Nov 1994 08:49:37 PST").value.tag(), TypedValue::kTime);
  EXPECT_NE(tok("Sun, 06 Nox 1994 08:49:37 GMT").value.tag(), TypedValue::kTime);
  EXPECT_NE(tok("Sun, 06 Nov\r\n 1994 08:49:37 GMT").value.tag(), TypedValue::kTime);
  EXPECT_NE(tok("Sun, 06 Nov 1994 08:49:").value.tag(), TypedValue::kTime);
}

TEST(TypedValue, Texts) {
  EXPECT_EQ(TypedValue().text(), "");
  EXPECT_EQ(TypedValue::integer(-5000000000).text(), "-5000000000");
  EXPECT_EQ(TypedValue::real(1.5).text(), "1.500000");
  EXPECT_EQ(TypedValue::boolean(false).text(), "false");
  EXPECT_EQ(TypedValue::time(784111777).text(), "Sun Nov  6 08:49:37 1994");
  EXPECT_EQ(TypedValue::time(-1).text(), "Wed Dec 31 23:59:59 1969");
  EXPECT_EQ(TypedValue::time(951782400).text(), "Tue Feb 29 00:00:00 2000");
  EXPECT_FALSE(TypedValue::time(INT64_MIN).text().empty());
}

TEST(HeaderTokens, SkipBlanks) {
  EXPECT_EQ(skipBlanks(" \t\r\nx", false), 2u);
  EXPECT_EQ(skipBlanks(" \t\r\nx", true), 4u);
  EXPECT_EQ(skipBlanks("", true), 0u);
}
