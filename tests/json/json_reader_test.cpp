#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "platform/core/checksum.h"
#include "platform/core/utf.h"
#include "runtime/json/json.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Parses text from a heap block of exactly its size, so a read past the end is caught
// by the address sanitizer.
JSONParseResult parseExact(const std::string& text, JSONValue& out) {
  std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
  std::memcpy(block.get(), text.data(), text.size());
  return jsonParse(block.get(), text.size(), out);
}

JSONValue parsed(const std::string& text) {
  JSONValue v;
  JSONParseResult r = parseExact(text, v);
  EXPECT_TRUE(r.ok()) << text << ": " << (r.error ? r.error : "") << " at " << r.errorOffset;
  return v;
}

std::string decoded(const std::string& jsonString) { return parsed(jsonString).asUtf8(); }

size_t scalar(const std::string& text, JSONScalar& out) {
  std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
  std::memcpy(block.get(), text.data(), text.size());
  return jsonParseScalar(block.get(), text.size(), out);
}

TEST(JsonReader, CommentsBlanksAndNesting) {
  const std::string text =
      "/*a*/{ \"a\": 1, // the first member\n"
      "  \"b\": [true, null, 2.5e3]/**/,\"c\":{}\r\n\t} /* never closed";
  JSONValue v;
  JSONParseResult r = parseExact(text, v);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.values, 7u);
  EXPECT_EQ(r.end, text.size());
  ASSERT_TRUE(v.isObject());
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v.at(0)->keyRaw(), "a");
  EXPECT_EQ(v.at(0)->keyHash(), GetMemCRC32("a", 1));
  EXPECT_EQ(v.at(0)->asInt64(), 1);
  const JSONValue* b = v.find("b");
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(b->isArray());
  ASSERT_EQ(b->size(), 3u);
  EXPECT_TRUE(b->at(0)->asBool());
  EXPECT_FALSE(b->at(0)->hasKey());
  EXPECT_EQ(b->at(1)->tag(), JSONType::Null);
  EXPECT_EQ(b->at(2)->tag(), JSONType::Real);
  EXPECT_EQ(b->at(2)->asReal(), 2500.0);
  EXPECT_TRUE(v.find("c")->isObject());
  EXPECT_EQ(parsed("  42 // end without line break").asInt64(), 42);
  EXPECT_EQ(parsed("[1]//").size(), 1u);
  EXPECT_EQ(parsed("[ ]").tag(), JSONType::Array);
}

TEST(JsonReader, Numbers) {
  const struct {
    const char* text;
    size_t used;
    JSONKind kind;
    double value;  // asReal() of the token
  } cases[] = {
      {"-5", 2, JSONKind::Integer, -5},
      {"2E+2", 4, JSONKind::Real, 200},
      {"1e-2", 4, JSONKind::Real, 0.01},
      {"0.1", 3, JSONKind::Real, 0.1},
      {"-.5", 3, JSONKind::Real, -0.5},
      {"  200 OK", 5, JSONKind::Integer, 200},
      // Beyond the int64 range the value survives as a real rather than saturating.
      {"9223372036854775808", 19, JSONKind::Real, 9223372036854775808.0},
      {"-9223372036854775809", 20, JSONKind::Real, -9223372036854775808.0},
      {"18446744073709551616", 20, JSONKind::Real, 18446744073709551616.0},
      {"1e-400", 6, JSONKind::Real, 0},
      {"5e-324", 6, JSONKind::Real, 5e-324},
      {"1e400", 5, JSONKind::Real, kInf},
      {"-1e400", 6, JSONKind::Real, -kInf},
  };
  for (const auto& c : cases) {
    JSONScalar s;
    EXPECT_EQ(scalar(c.text, s), c.used) << c.text;
    EXPECT_EQ(s.kind(), c.kind) << c.text;
    EXPECT_EQ(s.asReal(), c.value) << c.text;
  }
  // The ends of the int64 range stay exact integers.
  JSONScalar s;
  EXPECT_EQ(scalar("9223372036854775807", s), 19u);
  EXPECT_EQ(s.asInt64(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(scalar("-9223372036854775808", s), 20u);
  EXPECT_EQ(s.kind(), JSONKind::Integer);
  EXPECT_EQ(s.asInt64(), std::numeric_limits<int64_t>::min());
  // Far below even the long double range the value is still a signed 0.
  EXPECT_EQ(scalar("-1e-5000", s), 8u);
  EXPECT_TRUE(std::signbit(s.asReal()));
  // A real converts to an integer truncated, saturating exactly at the int64 range.
  const struct {
    double real;
    int64_t integer;
  } conversions[] = {{-2.9, -2},
                     {9223372036854774784.0, 9223372036854774784},
                     {9223372036854775808.0, std::numeric_limits<int64_t>::max()},
                     {-9223372036854775808.0, std::numeric_limits<int64_t>::min()},
                     {-1e300, std::numeric_limits<int64_t>::min()},
                     {std::nan(""), 0}};
  for (const auto& c : conversions) EXPECT_EQ(JSONScalar::fromReal(c.real).asInt64(), c.integer) << c.real;
}

TEST(JsonReader, StringEscapesDecodeWhenRead) {
  JSONValue v = parsed("\"a\\\"b\\\\c\\/d\"");
  EXPECT_EQ(v.scalar().raw(), "a\\\"b\\\\c\\/d");
  EXPECT_EQ(v.asUtf8(), "a\"b\\c/d");
  const struct {
    const char* json;
    std::string utf8;
  } cases[] = {
      {"\"one\\ntwo\\r\\nthree\"", "one\ntwo\r\nthree"},
      // A raw tab stays a tab; the escape gives four spaces; \b removes a whole character.
      {"\"\t\\there\"", "\t    here"},
      {"\"ab\\bc\"", "ac"},
      {"\"\\bx\"", "x"},
      {"\"a\\fb\"", "ab"},
      {"\"x\xE3\x81\x82\\b\"", "x"},
      {"\"x\\ud83d\\ude00\\b\"", "x"},
      {"\"\\u0041\\u00e9\\u3042\"", "A\xC3\xA9\xE3\x81\x82"},
      {"\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80"},
      {"\"\\ud800\\udc00\\udbff\\udfff\"", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},  // the ends of the ranges
      // Unpaired halves become the replacement character.
      {"\"\\ud83dx\"", "\xEF\xBF\xBDx"},
      {"\"\\ude00\"", "\xEF\xBF\xBD"},
      {"\"\\ud83d\\u0041\"", "\xEF\xBF\xBD" "A"},
      {"\"\\u0000\"", std::string(1, '\0')},
      // Bytes that are not UTF-8 read as replacement characters, one per bad sequence.
      {"\"a\xFF" "b\"", "a\xEF\xBF\xBD" "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decoded(c.json), c.utf8) << c.json;
    EXPECT_EQ(parsed(c.json).asString(), qcore::utf8ToUtf16(c.utf8)) << c.json;
  }
}

TEST(JsonReader, Utf8TextSurvives) {
  const std::string jp = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x84\xE3\x82\xA4\xE3\x83\xBC\xE3\x83\x88";
  JSONValue v = parsed("{\"" + jp + "\": \"" + jp + " \xF0\x9F\x8D\xA3\"}");
  EXPECT_EQ(v.at(0)->keyUtf8(), jp);
  EXPECT_EQ(v.at(0)->asString(), u"日本語のツイート 🍣");
  // Overlong forms, encoded surrogates and cut sequences decode as the core conversion
  // does, in both output forms. A long ASCII run before them is read in blocks.
  const std::initializer_list<std::string> bads = {
      "\xC0\x80", "\xED\xA0\x80", "x\xE3\x81", "\xF4\x90\x80\x80", "\xF0\x9F\x98",
      std::string(31, 'a') + "\xFF", std::string(32, 'a') + "\xC3", std::string(70, 'a') + "\xE3\x81" + "b"};
  for (const std::string& bad : bads) {
    JSONValue b = parsed("\"" + bad + "\"");
    EXPECT_EQ(b.asUtf8(), qcore::utf16ToUtf8(qcore::utf8ToUtf16(bad)));
    EXPECT_EQ(b.asString(), qcore::utf8ToUtf16(bad));
    EXPECT_EQ(b.asUtf8().find('\xC0'), std::string::npos);
  }
}

TEST(JsonReader, MalformedDocumentsFailWithAReasonAndLeaveNothing) {
  const struct {
    std::string text;
    const char* why;
    size_t offset;
  } cases[] = {
      {"", "unexpected end of text", 0},
      {"  // only a comment", "unexpected end of text", 19},
      {"{\"a\" 1}", "expected ':' after a member name", 5},
      {"{\"a\": 1 \"b\": 2}", "expected ',' or '}'", 8},
      {"[1 2]", "expected ',' or ']'", 3},
      {"{a: 1}", "expected a member name", 1},
      {"{\"a\": 1,}", "expected a member name", 8},
      {"[1,]", "expected a value", 3},
      {"{\"a\": [1, 2, }", "expected a value", 13},
      {"[tru]", "expected a value", 1},
      {"[1.2.3]", "malformed number", 1},
      {"[--5]", "malformed number", 1},
      {"[1e+]", "malformed number", 1},
      {"[-]", "malformed number", 1},
      {"\"abc", "unterminated string", 0},
      {"[\"a\\qb\"]", "bad escape in string", 1},
      {"[\"\\u12\"]", "bad \\u escape in string", 1},
      {"{} {}", "unexpected text after the document", 3},
      {std::string("[1,\0 2]", 7), "expected a value", 3},
  };
  for (const auto& c : cases) {
    JSONValue v = JSONValue::object();
    v.addMember("old", JSONValue(JSONScalar::fromInt(1)));
    JSONParseResult r = parseExact(c.text, v);
    EXPECT_FALSE(r.ok()) << c.text;
    EXPECT_EQ(r.values, 0u);
    EXPECT_STREQ(r.error ? r.error : "", c.why) << c.text;
    EXPECT_EQ(r.errorOffset, c.offset) << c.text;
    EXPECT_TRUE(v.isNull()) << c.text;
    EXPECT_FALSE(v.hasKey());
  }
  // A terminating zero ends the text.
  const char text[] = "{\"a\": 1}\0garbage";
  JSONValue v;
  JSONParseResult r = jsonParse(text, sizeof text - 1, v);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.end, 8u);
}

TEST(JsonReader, NestingIsCapped) {
  auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  JSONValue v;
  EXPECT_TRUE(jsonParse(nested(kJsonMaxDepth), v).ok());
  JSONParseResult r = jsonParse(nested(kJsonMaxDepth + 1), v);
  EXPECT_STREQ(r.error, "nesting too deep");
  EXPECT_EQ(r.errorOffset, static_cast<size_t>(kJsonMaxDepth));
  // Far deeper hostile input neither overflows the stack nor leaves a tree behind.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "{\"a\":[";
  EXPECT_FALSE(jsonParse(deep, v).ok());
  EXPECT_TRUE(v.isNull());
}

}  // namespace
