// Reading JSON text: the lenient forms the engine's files use, the escapes and UTF-8 of
// network text, and hostile input (truncated, malformed, deeply nested).
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/checksum.h"
#include "platform/core/smalloc.h"
#include "platform/core/utf.h"
#include "runtime/json/json.h"
#include "tests/core/comma_locale.h"

namespace {

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

TEST(JsonReader, ObjectWithCommentsAndNestedArray) {
  const std::string text =
      "{ \"a\": 1, // the first member\n"
      "  \"b\": [true, null, 2.5e3] /* closing soon */ }";
  JSONValue v;
  JSONParseResult r = parseExact(text, v);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.values, 6u);
  EXPECT_EQ(r.end, text.size());
  ASSERT_TRUE(v.isObject());
  ASSERT_EQ(v.size(), 2u);
  const JSONValue& a = *v.at(0);
  EXPECT_EQ(a.keyRaw(), "a");
  EXPECT_EQ(a.keyHash(), GetMemCRC32("a", 1));
  EXPECT_EQ(a.tag(), JSONType::Integer);
  EXPECT_EQ(a.asInt64(), 1);
  const JSONValue* b = v.find("b");
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(b->isArray());
  ASSERT_EQ(b->size(), 3u);
  EXPECT_EQ(b->at(0)->tag(), JSONType::Boolean);
  EXPECT_TRUE(b->at(0)->asBool());
  EXPECT_EQ(b->at(1)->tag(), JSONType::Null);
  EXPECT_EQ(b->at(2)->tag(), JSONType::Real);
  EXPECT_DOUBLE_EQ(b->at(2)->asReal(), 2500.0);
  EXPECT_FALSE(b->at(0)->hasKey());
}

TEST(JsonReader, CommentsAndBlanksAroundEveryToken) {
  JSONValue v = parsed("/*a*/[//b\n1/*c*/,/**/2\r\n\t]// end without line break");
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v.at(1)->asInt64(), 2);
  // An unclosed block comment runs to the end of the text.
  EXPECT_TRUE(parsed("[] /* never closed").isArray());
}

TEST(JsonReader, ScalarDocumentsAndEmptyContainers) {
  EXPECT_EQ(parsed("  42 ").asInt64(), 42);
  EXPECT_EQ(parsed("\"x\"").asUtf8(), "x");
  EXPECT_EQ(parsed("null").tag(), JSONType::Null);
  EXPECT_EQ(parsed("false").tag(), JSONType::Boolean);
  EXPECT_EQ(parsed("{}").size(), 0u);
  EXPECT_TRUE(parsed("{}").isObject());
  EXPECT_TRUE(parsed("[ ]").isArray());
}

TEST(JsonReader, Numbers) {
  JSONScalar s;
  EXPECT_EQ(scalar("-5", s), 2u);
  EXPECT_EQ(s.kind(), JSONKind::Integer);
  EXPECT_EQ(s.asInt64(), -5);
  EXPECT_EQ(scalar("2E+2", s), 4u);
  EXPECT_EQ(s.kind(), JSONKind::Real);
  EXPECT_EQ(s.asReal(), 200.0);
  EXPECT_EQ(scalar("1e-2", s), 4u);
  EXPECT_EQ(s.asReal(), 0.01);
  EXPECT_EQ(scalar("0.1", s), 3u);
  EXPECT_EQ(s.asReal(), 0.1);
  EXPECT_EQ(scalar(".5", s), 2u);
  EXPECT_EQ(s.asReal(), 0.5);
  EXPECT_EQ(scalar("-.5", s), 3u);
  EXPECT_EQ(s.asReal(), -0.5);
  EXPECT_EQ(scalar("9223372036854775807", s), 19u);
  EXPECT_EQ(s.asInt64(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(scalar("-9223372036854775808", s), 20u);
  EXPECT_EQ(s.asInt64(), std::numeric_limits<int64_t>::min());
  // Beyond the int64 range the value survives as a real rather than saturating.
  EXPECT_EQ(scalar("18446744073709551616", s), 20u);
  EXPECT_EQ(s.kind(), JSONKind::Real);
  EXPECT_EQ(s.asReal(), 18446744073709551616.0);
  EXPECT_EQ(scalar("1e-400", s), 6u);
  EXPECT_EQ(s.asReal(), 0.0);
  // Far below even the long double range the value is still 0, not a failure or infinity.
  EXPECT_EQ(scalar("-1e-5000", s), 8u);
  EXPECT_EQ(s.asReal(), 0.0);
  EXPECT_TRUE(std::signbit(s.asReal()));
  EXPECT_EQ(scalar("5e-324", s), 6u);
  EXPECT_GT(s.asReal(), 0.0);
  // Beyond the double range: an infinity of its sign, and the document around it stays.
  JSONValue v;
  ASSERT_TRUE(jsonParse("[1e400, -1e400, 7]", 18, v).ok());
  EXPECT_EQ(v.at(0)->asReal(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(v.at(1)->asReal(), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(v.at(2)->asInt64(), 7);
}

TEST(JsonReader, MalformedNumbersAreNoNumbers) {
  JSONScalar s;
  for (const char* bad : {"1.2.3", "--5", "1-2", "1e", "1e+", "-", "1e5e2", "+5", "1.5-"}) {
    EXPECT_EQ(scalar(bad, s), 0u) << bad;
    EXPECT_TRUE(s.isNull()) << bad;
  }
  JSONValue v;
  for (const char* bad : {"[1.2.3]", "{\"a\": 1-2}"}) {
    EXPECT_FALSE(jsonParse(bad, std::strlen(bad), v).ok()) << bad;
  }
}

TEST(JsonReader, NumbersIgnoreTheProcessLocale) {
  CommaDecimalLocale comma;
  ASSERT_TRUE(comma.active()) << "could not build a comma-decimal locale";
  EXPECT_EQ(parsed("2.5").asReal(), 2.5);
  EXPECT_EQ(parsed("-1e-5000").asReal(), 0.0);  // the strtod fallback too
  std::string out;
  jsonWritePretty(out, parsed("[0.25]"));
  EXPECT_EQ(out, "[\n    0.25\n]\n");
}

TEST(JsonReader, ScalarTokensForTheHeaderTokenizer) {
  JSONScalar s;
  EXPECT_EQ(scalar("  200 OK", s), 5u);
  EXPECT_EQ(s.asInt64(), 200);
  EXPECT_EQ(scalar("true,", s), 4u);
  EXPECT_TRUE(s.asBool());
  EXPECT_EQ(scalar("\"app/json\" x", s), 10u);
  EXPECT_EQ(s.raw(), "app/json");
  EXPECT_EQ(scalar("application/json", s), 0u);
  EXPECT_EQ(scalar("", s), 0u);
  EXPECT_EQ(scalar(" \t ", s), 0u);
  const std::string punct = "\"/\\:{}[],";
  for (size_t i = 0; i < punct.size(); ++i) {
    // A lone quote is an unterminated string, so it reads as the punctuation token.
    ASSERT_EQ(scalar(std::string(1, punct[i]), s), 1u) << punct[i];
    EXPECT_EQ(s.kind(), JSONKind::Punct);
    EXPECT_EQ(s.punctIndex(), i);
  }
  // A token never becomes a node of a tree.
  EXPECT_EQ(JSONValue(JSONScalar::fromPunct(3)).tag(), JSONType::Null);
}

TEST(JsonReader, StringsKeepTheirEscapesUntilRead) {
  JSONValue v = parsed("\"a\\\"b\\\\c\\/d\"");
  EXPECT_EQ(v.scalar().raw(), "a\\\"b\\\\c\\/d");
  EXPECT_EQ(v.asUtf8(), "a\"b\\c/d");
}

TEST(JsonReader, LineBreakEscapesDecodeToControlCharacters) {
  EXPECT_EQ(decoded("\"one\\ntwo\\r\\nthree\""), "one\ntwo\r\nthree");
  EXPECT_EQ(parsed("\"a\\nb\"").asString(), u"a\nb");
}

TEST(JsonReader, TabBackspaceAndFormFeedKeepTheirScriptMeaning) {
  // A raw tab stays a tab; the escape gives four spaces.
  EXPECT_EQ(decoded("\"\t\\there\""), "\t    here");
  EXPECT_EQ(decoded("\"ab\\bc\""), "ac");
  EXPECT_EQ(decoded("\"\\bx\""), "x");
  EXPECT_EQ(decoded("\"a\\fb\""), "ab");
  // \b removes a whole character, not one byte of it.
  EXPECT_EQ(decoded("\"x\xE3\x81\x82\\b\""), "x");
  EXPECT_EQ(parsed("\"x\\ud83d\\ude00\\b\"").asString(), u"x");
}

TEST(JsonReader, UnicodeEscapesAndSurrogatePairs) {
  EXPECT_EQ(decoded("\"\\u0041\\u00e9\\u3042\""), "A\xC3\xA9\xE3\x81\x82");
  EXPECT_EQ(decoded("\"\\ud83d\\ude00\""), "\xF0\x9F\x98\x80");
  EXPECT_EQ(parsed("\"\\ud83d\\ude00\"").asString(), u"\U0001F600");
  // Unpaired halves become the replacement character.
  EXPECT_EQ(decoded("\"\\ud83dx\""), "\xEF\xBF\xBDx");
  EXPECT_EQ(decoded("\"\\ude00\""), "\xEF\xBF\xBD");
  EXPECT_EQ(decoded("\"\\ud83d\\u0041\""), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(decoded("\"\\u0000\""), std::string(1, '\0'));
}

TEST(JsonReader, Utf8TextSurvives) {
  const std::string jp = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x84\xE3\x82\xA4\xE3\x83\xBC\xE3\x83\x88";
  JSONValue v = parsed("{\"" + jp + "\": \"" + jp + " \xF0\x9F\x8D\xA3\"}");
  EXPECT_EQ(v.at(0)->keyUtf8(), jp);
  EXPECT_EQ(v.at(0)->asUtf8(), jp + " \xF0\x9F\x8D\xA3");
  EXPECT_EQ(v.at(0)->asString(), u"日本語のツイート 🍣");
  // Bytes that are not UTF-8 read as replacement characters, one per bad sequence.
  EXPECT_EQ(decoded("\"a\xFF" "b\""), "a\xEF\xBF\xBD" "b");
  // Overlong forms, encoded surrogates and cut sequences decode as the core conversion
  // does, in both output forms.
  // A long ASCII run before them is read in blocks: the bad bytes are found after it too.
  const std::initializer_list<std::string> bads = {
      "\xC0\x80", "\xED\xA0\x80", "x\xE3\x81", "\xF4\x90\x80\x80", "\xF0\x9F\x98",
      std::string(31, 'a') + "\xFF", std::string(32, 'a') + "\xC3", std::string(70, 'a') + "\xE3\x81" + "b"};
  for (const std::string& bad : bads) {
    JSONValue v = parsed("\"" + bad + "\"");
    EXPECT_EQ(v.asUtf8(), qcore::utf16ToUtf8(qcore::utf8ToUtf16(bad)));
    EXPECT_EQ(v.asString(), qcore::utf8ToUtf16(bad));
    EXPECT_EQ(v.asUtf8().find('\xC0'), std::string::npos);
  }
}

TEST(JsonReader, UnescapeFlagsSelectWhatIsDecoded) {
  JSONScalar s = JSONScalar::fromRaw("\\u0041\\t\\\\");
  EXPECT_EQ(s.toUtf8(0), "\\u0041\\t\\\\");
  EXPECT_EQ(s.toUtf8(kJsonUnescapeU), "A\\t\\\\");
  EXPECT_EQ(s.toUtf8(kJsonUnescapeOther), "0041    \\");
  EXPECT_EQ(s.toUtf8(kJsonUnescapeAll), "A    \\");
  // A \u without its four digits (only constructed strings can hold one) reads no further
  // than the string.
  EXPECT_EQ(JSONScalar::fromRaw("ab\\u12").toUtf8(), "ab12");
  EXPECT_EQ(JSONScalar::fromRaw("\\").toUtf8(), "\\");
}

struct BadDoc {
  std::string text;
  const char* why;
};

TEST(JsonReader, MalformedDocumentsFailWithAReasonAndLeaveNothing) {
  const BadDoc cases[] = {
      {"", "unexpected end of text"},
      {"  // only a comment", "unexpected end of text"},
      {"{\"a\" 1}", "expected ':' after a member name"},
      {"{\"a\": 1 \"b\": 2}", "expected ',' or '}'"},
      {"[1 2]", "expected ',' or ']'"},
      {"{a: 1}", "expected a member name"},
      {"{\"a\": 1,}", "expected a member name"},
      {"[1,]", "expected a value"},
      {"]", "expected a value"},
      {"[tru]", "expected a value"},
      {"\"abc", "unterminated string"},
      {"[\"a\\qb\"]", "bad escape in string"},
      {"[\"\\u12\"]", "bad \\u escape in string"},
      {"{} {}", "unexpected text after the document"},
      {"[1] x", "unexpected text after the document"},
      {std::string("[1,\0 2]", 7), "expected a value"},
  };
  for (const BadDoc& c : cases) {
    JSONValue v = JSONValue::object();
    v.addMember("old", JSONValue(JSONScalar::fromInt(1)));
    JSONParseResult r = parseExact(c.text, v);
    EXPECT_FALSE(r.ok()) << c.text;
    EXPECT_EQ(r.values, 0u);
    EXPECT_STREQ(r.error ? r.error : "", c.why) << c.text;
    EXPECT_TRUE(v.isNull()) << c.text;
    EXPECT_FALSE(v.hasKey());
  }
}

TEST(JsonReader, ErrorOffsetPointsAtTheFault) {
  JSONValue v;
  JSONParseResult r = jsonParse(std::string_view("{\"a\": [1, 2, }"), v);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.errorOffset, 13u);
}

TEST(JsonReader, ATerminatingZeroEndsTheText) {
  const char text[] = "{\"a\": 1}\0garbage";
  JSONValue v;
  JSONParseResult r = jsonParse(text, sizeof text - 1, v);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.end, 8u);
  EXPECT_EQ(v.size(), 1u);
}

TEST(JsonReader, EveryTruncationFailsCleanly) {
  const std::string doc =
      "{\"id\": 1234567890123456789, \"text\": \"\\u3042\\ud83d\\ude00 \xE3\x81\x82\\n\", "
      "\"user\": {\"name\": \"n\", \"n\": -1.5e-3, \"f\": [true, false, null]}} ";
  ASSERT_TRUE(parsed(doc).isObject());
  for (size_t n = 0; n + 1 < doc.size(); ++n) {
    JSONValue v;
    JSONParseResult r = parseExact(doc.substr(0, n), v);
    EXPECT_FALSE(r.ok()) << n;
    EXPECT_TRUE(v.isNull());
  }
}

TEST(JsonReader, TruncatedTokensAtTheVeryEnd) {
  for (const char* t : {"\"\\u", "\"\\u1", "\"\\u123", "\"\\", "tru", "fals", "nul", "1e", "-", "/", "/*", "[\"a\\"}) {
    JSONValue v;
    EXPECT_FALSE(parseExact(t, v).ok()) << t;
    JSONScalar s;
    scalar(t, s);  // must not read past the end either
  }
}

TEST(JsonReader, NestingIsCapped) {
  auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  JSONValue v;
  EXPECT_TRUE(jsonParse(nested(kJsonMaxDepth), v).ok());
  JSONParseResult r = jsonParse(nested(kJsonMaxDepth + 1), v);
  EXPECT_FALSE(r.ok());
  EXPECT_STREQ(r.error, "nesting too deep");
  EXPECT_EQ(r.errorOffset, static_cast<size_t>(kJsonMaxDepth));
  // Far deeper hostile input neither overflows the stack nor leaves a tree behind.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "{\"a\":[";
  r = jsonParse(deep, v);
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(v.isNull());
}

TEST(JsonReader, StringBytesAreReturnedToThePool) {
  SMA* pool = jsonStringPool();
  const int64_t before = pool->liveBlocks.load();
  {
    JSONValue v = parsed("{\"a\": [\"x\", \"y\", {\"b\": \"z\"}], \"c\": \"w\"}");
    EXPECT_EQ(pool->liveBlocks.load() - before, 7);  // three keys, four strings
    JSONValue copy = v;
    EXPECT_EQ(pool->liveBlocks.load() - before, 14);
  }
  JSONValue failed;
  jsonParse(std::string_view("{\"a\": \"x\", \"b\": [\"y\" }"), failed);
  EXPECT_EQ(pool->liveBlocks.load(), before);
}

TEST(JsonReader, TreesBuiltOnWorkerThreadsAreFreedElsewhere) {
  SMA* pool = jsonStringPool();
  const int64_t before = pool->liveBlocks.load();
  std::vector<JSONValue> trees(4);
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&trees, t] {
      std::string doc = "[";
      for (int i = 0; i < 500; ++i) doc += (i ? ",{\"k\":\"v" : "{\"k\":\"v") + std::to_string(i) + "\"}";
      doc += "]";
      for (int round = 0; round < 20; ++round) {
        JSONValue v;
        ASSERT_TRUE(jsonParse(doc, v).ok());
        trees[t].swap(v);
      }
    });
  }
  for (auto& w : workers) w.join();
  for (auto& t : trees) EXPECT_EQ(t.size(), 500u);
  trees.clear();
  EXPECT_EQ(pool->liveBlocks.load(), before);
}

}  // namespace
