#include <gtest/gtest.h>

#include "net/http/http_body.h"
#include "net/http/json_body.h"
#include "runtime/fs/bitstream.h"

namespace {
// Collects what a stream hands over, as a download's file would.
struct CollectingSink : qx::OBuffer {
  std::string* bytes;
  explicit CollectingSink(std::string* b) : bytes(b) {}
  void close() override {}
  bool isOpen() const override { return true; }
  size_t write(const void* src, size_t n) override {
    bytes->append(static_cast<const char*>(src), n);
    return n;
  }
  int64_t seek(int64_t) override { return -1; }
  int64_t seekRelative(int64_t) override { return -1; }
  void setFileTime(qx::FileTime, qx::FileTime, qx::FileTime) override {}
};

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
  HeaderPairs pairs;
  b.listPairs(pairs);
  EXPECT_EQ(pairs.size(), 4u);
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

TEST(Bodies, TakeLeavesTheSourceEmpty) {
  auto raw = typed("x/y", "abc");
  auto moved = raw->take();
  EXPECT_EQ(static_cast<RAWBody&>(*raw).size(), 0u);
  auto& m = static_cast<RAWBody&>(*moved);
  size_t n = 0;
  auto bytes = m.release(n);
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(bytes.get()), n), "abc");
  EXPECT_EQ(m.release(n), nullptr);
  EXPECT_EQ(n, 0u);

  auto json = typed("application/json", "[1,2]");
  auto j2 = json->take();
  EXPECT_TRUE(static_cast<JSONBody&>(*json).value().isNull());
  std::string out;
  j2->write(out);
  EXPECT_NE(out.find('2'), std::string::npos);

  auto form = typed("application/x-www-form-urlencoded", "a=1");
  auto f2 = form->take();
  EXPECT_EQ(form->get("a"), nullptr);
  EXPECT_EQ(*f2->get("a"), "1");
}

// A download writes a raw body's exact bytes into its file; the other kinds write nothing.
TEST(Bodies, OnlyRawBodiesWriteBytesToAStream) {
  std::string big(10000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  std::string file;
  {
    qx::obitstream out(std::make_unique<CollectingSink>(&file));
    EXPECT_EQ(typed("image/png", big)->writeBytes(out), big.size());
    for (auto [type, text] : {std::pair{"text/plain", "x"}, {"application/json", "[1]"},
                              {"application/x-www-form-urlencoded", "a=1"}})
      EXPECT_EQ(typed(type, text)->writeBytes(out), 0u) << type;
    EXPECT_EQ(RAWBody().writeBytes(out), 0u);
    EXPECT_TRUE(out.flush());
  }
  EXPECT_EQ(file, big);
}
