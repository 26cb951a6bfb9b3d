#include <gtest/gtest.h>

#include <stdexcept>
#include <typeinfo>

#include "net/http/header_values.h"

TEST(HTTPNmlH, ParsesValuesAndAttributes) {
  HTTPNmlH h;
  std::string_view text = "text/html; charset=utf-8\r\nNext: x";
  EXPECT_EQ(h.parse(text), 26u);
  ASSERT_EQ(h.valueCount(), 1u);
  EXPECT_EQ(h.valueAt(0), TypedValue::string("text/html"));
  ASSERT_EQ(h.attributes().size(), 1u);
  EXPECT_EQ(h.attributes().at("charset"), TypedValue::string("utf-8"));
}

TEST(HTTPNmlH, TypesItsValues) {
  HTTPNmlH h;
  ASSERT_GT(h.parse("12\r\n"), 0u);
  EXPECT_EQ(h.valueAt(0), TypedValue::integer(12));
  HTTPNmlH d;
  ASSERT_GT(d.parse(" Sun, 06 Nov 1994 08:49:37 GMT\r\n"), 0u);
  EXPECT_EQ(d.valueAt(0).tag(), TypedValue::kTime);
  // A cookie line: attributes, a dated attribute and bare flags.
  HTTPNmlH c;
  ASSERT_GT(c.parse("id=a3f; Expires=Wed, 21 Oct 2015 07:28:00 GMT; Secure; HttpOnly\r\n"), 0u);
  EXPECT_EQ(c.attributes().at("id"), TypedValue::string("a3f"));
  EXPECT_EQ(c.attributes().at("Expires").tag(), TypedValue::kTime);
  ASSERT_EQ(c.valueCount(), 2u);
  EXPECT_EQ(c.valueAt(0), TypedValue::string("Secure"));
  EXPECT_EQ(c.valueAt(1), TypedValue::string("HttpOnly"));
  // Inside a list only integers keep their type.
  HTTPNmlH l;
  ASSERT_GT(l.parse("1, true, x\r\n"), 0u);
  ASSERT_EQ(l.valueCount(), 3u);
  EXPECT_EQ(l.valueAt(0), TypedValue::integer(1));
  EXPECT_EQ(l.valueAt(1), TypedValue::string("true"));
}

TEST(HTTPNmlH, FailsOnMalformedValues) {
  HTTPNmlH h;
  EXPECT_EQ(h.parse("text/html"), 0u);  // runs to the end of the text
  EXPECT_EQ(h.valueCount(), 0u);
  EXPECT_EQ(HTTPNmlH().parse("\r\n"), 0u);
  EXPECT_EQ(HTTPNmlH().parse("5=x\r\n"), 0u);       // attribute name must be a string
  EXPECT_EQ(HTTPNmlH().parse("a=\r\n"), 0u);        // empty attribute value needs ';'
  EXPECT_EQ(HTTPNmlH().parse("a=b c=d\r\n"), 0u);
  EXPECT_EQ(HTTPNmlH().parse("\"open\r\n"), 0u);
  HTTPNmlH e;
  EXPECT_GT(e.parse("a=;b\r\n"), 0u);
  EXPECT_EQ(e.attributes().at("a"), TypedValue::string(""));
}

TEST(HTTPNmlH, WritesMergesListsAndDetaches) {
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
  EXPECT_EQ(other.valueCount(), 0u);
  EXPECT_TRUE(other.attributes().empty());
  HeaderPairs pairs;
  h.list(pairs);
  ASSERT_EQ(pairs.size(), 4u);
  EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>("q", "0")));
  EXPECT_EQ(pairs[1], (std::pair<std::string, std::string>("", "Keep-Alive")));
  auto moved = h.detach();
  EXPECT_EQ(moved->text(), "q=0; Keep-Alive; x; y");
  EXPECT_EQ(h.text(), "");
  EXPECT_THROW(h.valueAt(0), std::out_of_range);
}

TEST(HTTPOAuthH, WritesParametersInNameOrder) {
  HTTPOAuthH a;
  EXPECT_EQ(a.text(), "OAuth ");
  a.setAttribute("oauth_version", "1.0");
  a.setAttribute("oauth_consumer_key", "key");
  a.setAttribute("oauth_signature", "a%2Bb%3D");
  EXPECT_EQ(a.text(), "OAuth oauth_consumer_key=\"key\",oauth_signature=\"a%2Bb%3D\",oauth_version=\"1.0\"");
  a.addValue("ignored");
  EXPECT_EQ(a.valueCount(), 0u);
  EXPECT_THROW(a.valueAt(0), std::bad_cast);
  EXPECT_THROW(a.parse("x\r\n"), std::exception);
  EXPECT_THROW(a.detach(), std::exception);
  a.clear();
  EXPECT_EQ(a.text(), "OAuth ");
}
