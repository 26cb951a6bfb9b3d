#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "runtime/json/json.h"
#include "tests/json/json_test_util.h"

namespace {

std::string pretty(const JSONValue& v) {
  std::string out;
  jsonWritePretty(out, v);
  return out;
}

JSONValue readBack(const std::string& text) {
  JSONValue v;
  JSONParseResult r = jsonParse(text, v);
  EXPECT_TRUE(r.ok()) << text << ": " << (r.error ? r.error : "");
  return v;
}

TEST(JsonWriter, LayoutOfNestedTreesAndSubtrees) {
  JSONValue v = readBack("{\"a\": [1, {\"b\": null}, []], \"c\": {}}");
  v.setKey(JSONScalar::fromRaw("root"));  // a root's key is never written
  EXPECT_EQ(pretty(v),
            "{\n"
            "    \"a\": [\n"
            "        1,\n"
            "        {\n"
            "            \"b\": null\n"
            "        },\n"
            "        [\n"
            "        ]\n"
            "    ],\n"
            "    \"c\": {\n"
            "    }\n"
            "}\n");
  std::string out;
  jsonWritePretty(out, *v.at(0)->at(0), kJsonUnescapeAll, 2, 3);
  EXPECT_EQ(out, "      1\n");
  // Keyless object members get an empty key.
  JSONValue k = JSONValue::object();
  k.append(JSONValue(JSONScalar::fromInt(1)));
  EXPECT_EQ(pretty(k), "{\n    \"\": 1\n}\n");
  EXPECT_EQ(readBack(pretty(k)).at(0)->keyRaw(), "");
}

TEST(JsonWriter, StringsAreEscapedOnceAndReadBack) {
  JSONValue v = JSONValue::array();
  v.append(JSONValue(JSONScalar::fromText("quote \" backslash \\ line\nreturn\r tab\t bell\x07")));
  std::string text = pretty(v);
  EXPECT_NE(text.find("quote \\\" backslash \\\\ line\\nreturn\\r tab\\u0009 bell\\u0007"), std::string::npos)
      << text;
  EXPECT_TRUE(jsonTreesEqual(readBack(text), v));
  EXPECT_EQ(pretty(readBack("[\"a\\tb\", \"\\u3042\\/\"]")), "[\n    \"a    b\",\n    \"\xE3\x81\x82/\"\n]\n");
}

TEST(JsonWriter, RealsKeepEnoughDigitsAndStayReal) {
  const double values[] = {0.1, 1.0 / 3.0, 2.0, -0.0, 1e-300, 1.7976931348623157e308, 123456789.125, 5e-324};
  JSONValue v = JSONValue::array();
  for (double d : values) v.append(JSONValue(JSONScalar::fromReal(d)));
  JSONValue back = readBack(pretty(v));
  ASSERT_EQ(back.size(), std::size(values));
  for (size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back.at(i)->tag(), JSONType::Real) << i;
    EXPECT_EQ(back.at(i)->asReal(), values[i]) << i;
    EXPECT_EQ(std::signbit(back.at(i)->asReal()), std::signbit(values[i])) << i;
  }
  // Infinities write as out-of-range numbers that read back as themselves, NaN as null.
  const double inf = std::numeric_limits<double>::infinity();
  JSONValue odd = JSONValue::array();
  for (double d : {inf, -inf, std::nan("")}) odd.append(JSONValue(JSONScalar::fromReal(d)));
  EXPECT_EQ(pretty(odd), "[\n    1e999,\n    -1e999,\n    null\n]\n");
  EXPECT_EQ(readBack(pretty(odd)).at(1)->asReal(), -inf);
}

}  // namespace
