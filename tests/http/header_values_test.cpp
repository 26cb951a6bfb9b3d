#include <gtest/gtest.h>

#include "net/http/header_values.h"

TEST(HTTPNmlH, ParsesTypedValuesAndAttributes) {
  HTTPNmlH h;
  EXPECT_EQ(h.parse("text/html; charset=utf-8\r\nNext: x"), 26u);
  ASSERT_EQ(h.valueCount(), 1u);
  EXPECT_EQ(h.valueAt(0), TypedValue::string("text/html"));
  EXPECT_EQ(h.attributes(), (std::map<std::string, TypedValue>{{"charset", TypedValue::string("utf-8")}}));
  // A cookie line: attributes, a dated attribute and bare flags.
  HTTPNmlH c;
  ASSERT_GT(c.parse("id=a3f; Expires=Wed, 21 Oct 2015 07:28:00 GMT; Secure; HttpOnly\r\n"), 0u);
  EXPECT_EQ(c.attributes().at("id"), TypedValue::string("a3f"));
  EXPECT_EQ(c.attributes().at("Expires").tag(), TypedValue::kTime);
  ASSERT_EQ(c.valueCount(), 2u);
  EXPECT_EQ(c.valueAt(1), TypedValue::string("HttpOnly"));
  // Inside a list only integers keep their type.
  HTTPNmlH l;
  ASSERT_GT(l.parse("1, true, x\r\n"), 0u);
  ASSERT_EQ(l.valueCount(), 3u);
  EXPECT_EQ(l.valueAt(0), TypedValue::integer(1));
  EXPECT_EQ(l.valueAt(1), TypedValue::string("true"));
  HTTPNmlH e;
  EXPECT_GT(e.parse("a=;b\r\n"), 0u);
  EXPECT_EQ(e.attributes().at("a"), TypedValue::string(""));
}

TEST(HTTPNmlH, FailsOnMalformedValues) {
  // Runs to the end of the text; empty; a number as attribute name; an empty attribute
  // value without ';'; two attributes without a separator; an open quote.
  for (const char* bad : {"text/html", "\r\n", "5=x\r\n", "a=\r\n", "a=b c=d\r\n", "\"open\r\n"}) {
    HTTPNmlH h;
    EXPECT_EQ(h.parse(bad), 0u) << bad;
    EXPECT_EQ(h.valueCount(), 0u) << bad;
  }
}

TEST(HTTPNmlH, WritesAndMergesLists) {
  HTTPNmlH h;
  h.addValue("Keep-Alive");
  h.addValue("x");
  EXPECT_EQ(h.text(), "Keep-Alive; x");
  HTTPNmlH other;
  other.setAttribute("q", "1");
  other.addValue("y");
  h.setAttribute("q", "0");
  h.merge(other);
  EXPECT_EQ(h.text(), "q=0; Keep-Alive; x; y");
  HeaderPairs pairs;
  h.list(pairs);
  EXPECT_EQ(pairs, (HeaderPairs{{"q", "0"}, {"", "Keep-Alive"}, {"", "x"}, {"", "y"}}));
}
