#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

TEST(URLBody, ParsesAndWritesBack) {
  URLBody b;
  std::string_view text = "b=2&a=1";
  EXPECT_EQ(b.parse(text.data(), text.size()), text.size());
  ASSERT_NE(b.get("a"), nullptr);
  EXPECT_EQ(*b.get("a"), "1");
  EXPECT_EQ(b.get("c"), nullptr);
  std::string out;
  b.write(out);
  EXPECT_EQ(out, "a=1&b=2");
  HeaderPairs pairs;
  b.listPairs(pairs);
  EXPECT_EQ(pairs.size(), 2u);
}

TEST(URLBody, DecodesEscapes) {
  URLBody b;
  std::string_view text = "oauth_token=a%2Fb&x+y=1+2&%E3%81%82=%25\r\ntrailing";
  ASSERT_GT(b.parse(text.data(), text.size()), 0u);
  EXPECT_EQ(*b.get("oauth_token"), "a/b");
  EXPECT_EQ(*b.get("x y"), "1 2");
  EXPECT_EQ(*b.get("\xE3\x81\x82"), "%");
  EXPECT_EQ(b.get("trailing"), nullptr);
  // A lone name on its line ends the pairs read so far...
  std::string_view lone = "a=1&b\r\nc=2";
  EXPECT_GT(b.parse(lone.data(), lone.size()), 0u);
  EXPECT_EQ(b.params().size(), 1u);
}

TEST(URLBody, MalformedTextEmptiesTheMap) {
  for (std::string_view bad : {"a=1&", "=1", "a", "&a=1", "a=1&&b=2", "", "a=\"1", "word\r\n", "a=&b=1", "a=1&b=", "a=\r\n"}) {
    URLBody b;
    b.set("keep", "no");
    EXPECT_EQ(b.parse(bad.data(), bad.size()), 0u) << bad;
    EXPECT_TRUE(b.params().empty()) << bad;
  }
}

TEST(Bodies, TypedByContentType) {
  auto form = typed("application/x-www-form-urlencoded", "a=1");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->kind(), HTTPBody::kForm);
  // text/html is tried as a form first, then as text.
  EXPECT_EQ(typed("text/html", "oauth_token=t&oauth_token_secret=s")->kind(), HTTPBody::kForm);
  auto html = typed("text/html", "<html><body>hi</body></html>");
  ASSERT_NE(html, nullptr);
  ASSERT_EQ(html->kind(), HTTPBody::kText);
  EXPECT_EQ(static_cast<TEXTBody&>(*html).text(), "<html><body>hi</body></html>");
  auto json = typed("Application/JSON", "{\"id\": 5, \"text\": \"a\\nb\"}");
  ASSERT_NE(json, nullptr);
  ASSERT_EQ(json->kind(), HTTPBody::kJson);
  const JSONValue& v = static_cast<JSONBody&>(*json).value();
  ASSERT_NE(v.find("id"), nullptr);
  EXPECT_EQ(v.find("id")->asInt64(), 5);
  // Broken JSON is kept as bytes rather than lost.
  auto broken = typed("application/json", "{\"id\": ");
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(broken->kind(), HTTPBody::kRaw);
  std::string_view png("\x89PNG\r\n\x1a\n\0\0", 10);
  auto raw = typed("image/png", png);
  ASSERT_EQ(raw->kind(), HTTPBody::kRaw);
  auto& rb = static_cast<RAWBody&>(*raw);
  EXPECT_EQ(std::string_view(rb.data(), rb.size()), png);
  EXPECT_EQ(typed("text/plain", ""), nullptr);
  // ...but text whose first line is a bare word is not an empty form: it stays text.
  auto page = typed("text/html", "<!DOCTYPE html>\r\n<p>a=b</p>");
  ASSERT_EQ(page->kind(), HTTPBody::kText);
}

TEST(Bodies, TakeLeavesTheSourceEmpty) {
  auto raw = typed("x/y", "abc");
  auto moved = raw->take();
  EXPECT_EQ(static_cast<RAWBody&>(*raw).size(), 0u);
  auto& m = static_cast<RAWBody&>(*moved);
  size_t n = 0;
  auto bytes = m.release(n);
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(bytes.get()), n), "abc");
  EXPECT_EQ(m.size(), 0u);
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

// Form text with "&", "=", "%", "+" and UTF-8 read by Python's urllib.parse, and Python's
// own urlencode output read by ours.
TEST(URLBody, RoundTripsWithPythonUrllib) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"a&b", "x=y"}, {"pct%", "100%"}, {"plus+", "1+1 = 2"}, {"utf8", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
      {"status", "Hello, world! ~_-. \"q\" <tag>"}, {"\xC3\xA9t\xC3\xA9", "caf\xC3\xA9"}};
  URLBody ours;
  for (const auto& [n, v] : pairs) ours.set(n, v);
  std::string encoded;
  ours.write(encoded);

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("qx_http_form_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  auto hex = [](std::string_view s) {
    std::string h;
    char buf[3];
    for (unsigned char c : s) {
      std::snprintf(buf, sizeof buf, "%02x", c);
      h += buf;
    }
    return h;
  };
  {
    std::ofstream in(dir / "in.txt", std::ios::binary);
    in << encoded << "\n";
    for (const auto& [n, v] : pairs) in << hex(n) << " " << hex(v) << "\n";
  }
  {
    std::ofstream py(dir / "check.py");
    py << "import sys, urllib.parse\n"
          "lines = open(sys.argv[1], 'rb').read().decode('ascii').split('\\n')\n"
          "theirs = urllib.parse.parse_qsl(lines[0], keep_blank_values=True, strict_parsing=True,\n"
          "                                encoding='utf-8', errors='strict')\n"
          "want = [tuple(bytes.fromhex(x).decode('utf-8') for x in l.split(' ')) for l in lines[1:] if l]\n"
          "out = open(sys.argv[2], 'w')\n"
          "out.write('same\\n' if sorted(theirs) == sorted(want) else 'differ %r\\n' % (theirs,))\n"
          "out.write(urllib.parse.urlencode(want) + '\\n')\n";
  }
  std::string cmd = "python3 '" + (dir / "check.py").string() + "' '" + (dir / "in.txt").string() + "' '" +
                    (dir / "out.txt").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream res(dir / "out.txt", std::ios::binary);
  std::string verdict, pyEncoded;
  std::getline(res, verdict);
  std::getline(res, pyEncoded);
  fs::remove_all(dir);
  EXPECT_EQ(verdict, "same") << encoded;

  URLBody back;
  ASSERT_GT(back.parse(pyEncoded.data(), pyEncoded.size()), 0u) << pyEncoded;
  EXPECT_EQ(back.params(), ours.params()) << pyEncoded;
}

// A download writes a raw body's exact bytes into its file; the other kinds write nothing.
TEST(Bodies, OnlyRawBodiesWriteBytesToAStream) {
  std::string big(10000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  for (const std::string& bytes : {std::string("\x89PNG\r\n\0", 7), big}) {
    std::string file;
    {
      qx::obitstream out(std::make_unique<CollectingSink>(&file));
      auto raw = typed("image/png", bytes);
      EXPECT_EQ(raw->writeBytes(out), bytes.size());
      EXPECT_TRUE(out.flush());
    }
    EXPECT_EQ(file, bytes);
  }
  std::string file;
  {
    qx::obitstream out(std::make_unique<CollectingSink>(&file));
    EXPECT_EQ(typed("text/plain", "text")->writeBytes(out), 0u);
    EXPECT_EQ(typed("application/json", "[1]")->writeBytes(out), 0u);
    EXPECT_EQ(typed("application/x-www-form-urlencoded", "a=1")->writeBytes(out), 0u);
    EXPECT_EQ(RAWBody().writeBytes(out), 0u);
  }
  EXPECT_EQ(file, "");
}
