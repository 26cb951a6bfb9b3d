#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/http/json_body.h"
#include "net/values/body_values.h"

namespace {

std::unique_ptr<HTTPBody> parsed(const char* type, const std::string& text) {
  auto body = makeBody(type, text.data(), text.size());
  EXPECT_TRUE(body) << type;
  return body;
}

TEST(BodyValues, FormsAndTextAreCopiedAsTables) {
  auto form = parsed("application/x-www-form-urlencoded", "oauth_token=ab%2Bc&screen_name=qx%20user");
  LuaVar v;
  takeScriptValue(*form, v);
  ASSERT_TRUE(v.isTable());
  EXPECT_EQ(*v.field("oauth_token").asString(), "ab+c");
  EXPECT_EQ(*v.field("screen_name").asString(), "qx user");
  EXPECT_EQ(static_cast<URLBody&>(*form).params().size(), 2u);  // the copy leaves the body alone
  auto text = parsed("text/html", "<p>rate limited</p>");
  LuaVar t;
  takeScriptValue(*text, t);
  EXPECT_EQ(*t.field("text").asString(), "<p>rate limited</p>");
  EXPECT_EQ(static_cast<TEXTBody&>(*text).text(), "<p>rate limited</p>");
}

TEST(BodyValues, JsonAndRawBytesAreTakenWithoutCopy) {
  auto json = parsed("application/json", R"([{"id":1,"text":"\u65e5\u672c"}])");
  LuaVar v;
  takeScriptValue(*json, v);
  ASSERT_EQ(v.kind(), LuaVar::kJSON);
  EXPECT_EQ(v.json()->size(), 1u);
  EXPECT_TRUE(static_cast<JSONBody&>(*json).value().isNull());

  std::string bytes("\x89PNG\r\n\x1a\n\0\0\0", 11);
  auto body = parsed("image/png", bytes);
  LuaVar copy, taken, again;
  toScriptValue(*body, copy);
  ASSERT_EQ(copy.kind(), LuaVar::kBytes);
  EXPECT_EQ(copy.size(), 11u);
  takeScriptValue(*body, taken);
  ASSERT_EQ(taken.size(), 11u);
  EXPECT_EQ(std::memcmp(taken.bytes(), bytes.data(), 11), 0);
  EXPECT_EQ(static_cast<RAWBody&>(*body).size(), 0u);
  takeScriptValue(*body, again);  // the emptied body gives an empty byte value
  EXPECT_EQ(again.kind(), LuaVar::kBytes);
  EXPECT_EQ(again.size(), 0u);
}

}  // namespace
