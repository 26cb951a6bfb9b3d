#include <gtest/gtest.h>

#include "net/http/http_body.h"
#include "net/http/json_body.h"

namespace {
std::unique_ptr<HTTPBody> typed(const char* type, std::string_view bytes) {
  return makeBody(type, bytes.data(), bytes.size());
}
}  // namespace

TEST(URLBody, ParsesDecodesAndWritesBackInNameOrder) {
  URLBody b;
  std::string_view text = "b=2&oauth_token=a%2Fb&x+y=1+2&%E3%81%82=%25\r\ntrailing";
  EXPECT_EQ(b.parse(text.data(), text.size()), text.size() - 8);
  EXPECT_EQ(b.params(), (std::map<std::string, std::string>{
                            {"b", "2"}, {"oauth_token", "a/b"}, {"x y", "1 2"}, {"\xE3\x81\x82", "%"}}));
  EXPECT_EQ(b.get("c"), nullptr);
  std::string out;
  b.write(out);
  EXPECT_EQ(out, "b=2&oauth_token=a%2Fb&x%20y=1%202&%E3%81%82=%25");
  std::string_view nul("a=1\0b=2", 7);  // a NUL ends the text
  EXPECT_EQ(b.parse(nul.data(), nul.size()), 3u);
  // A lone name on its line ends the pairs read so far.
  std::string_view lone = "a=1&b\r\nc=2";
  EXPECT_EQ(b.parse(lone.data(), lone.size()), 7u);
  EXPECT_EQ(b.params().size(), 1u);
}

TEST(URLBody, MalformedTextEmptiesTheMap) {
  for (std::string_view bad : {"a=1&", "=1", "a", "&a=1", "a=1&&b=2", "", "a=\"1", "word\r\n", "a=&b=1", "a=1&b=",
                               "a=\r\n"}) {
    URLBody b;
    b.set("keep", "no");
    EXPECT_EQ(b.parse(bad.data(), bad.size()), 0u) << bad;
    EXPECT_TRUE(b.params().empty()) << bad;
  }
}

TEST(Bodies, TypedByContentType) {
  const struct {
    const char* type;
    std::string bytes;
    int kind;  // -1: no body
  } cases[] = {
      {"application/x-www-form-urlencoded", "a=1", HTTPBody::kForm},
      // text/html is tried as a form first, then as text.
      {"text/html", "oauth_token=t&oauth_token_secret=s", HTTPBody::kForm},
      {"text/html", "<html><body>hi</body></html>", HTTPBody::kText},
      {"text/html", "<!DOCTYPE html>\r\n<p>a=b</p>", HTTPBody::kText},  // a bare word is no empty form
      {"TEXT/Plain", "a b", HTTPBody::kText},
      {"Application/JSON", "[1]", HTTPBody::kJson},
      {"application/jsox", "[1]", HTTPBody::kRaw},  // names compare whole, not by their first letter
      {"aPPLICATION/JSON", "[1]", HTTPBody::kJson},
      {"application/json", "{\"id\": ", HTTPBody::kRaw},  // broken JSON is kept as bytes, not lost
      {"image/png", std::string("\x89PNG\r\n\x1a\n\0\0", 10), HTTPBody::kRaw},
      {"text/plain", "", -1},
  };
  for (const auto& c : cases) {
    auto b = typed(c.type, c.bytes);
    ASSERT_EQ(b ? b->kind() : -1, c.kind) << c.type << " " << c.bytes;
    if (c.kind == HTTPBody::kText) {
      EXPECT_EQ(static_cast<TEXTBody&>(*b).text(), c.bytes);
    } else if (c.kind == HTTPBody::kRaw) {
      EXPECT_EQ(std::string(static_cast<RAWBody&>(*b).data(), c.bytes.size()), c.bytes);
    }
  }
  auto json = typed("application/json", "{\"id\": 5, \"text\": \"a\\nb\"}");
  EXPECT_EQ(static_cast<JSONBody&>(*json).value().find("id")->asInt64(), 5);
}
