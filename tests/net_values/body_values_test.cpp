// Reply bodies become the script values that reach a game object's recvmsg.
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

TEST(BodyValues, FormBecomesATableOfStrings) {
  auto body = parsed("application/x-www-form-urlencoded", "oauth_token=ab%2Bc&screen_name=qx%20user");
  LuaVar v;
  toScriptValue(*body, v);
  ASSERT_TRUE(v.isTable());
  ASSERT_NE(v.field("oauth_token").asString(), nullptr);
  EXPECT_EQ(*v.field("oauth_token").asString(), "ab+c");
  EXPECT_EQ(*v.field("screen_name").asString(), "qx user");
  EXPECT_EQ(static_cast<URLBody&>(*body).params().size(), 2u);  // the copy leaves the body alone
}

TEST(BodyValues, JsonIsTakenWithoutCopyAndTextKeepsItsField) {
  auto body = parsed("application/json", R"([{"id":1,"text":"\u65e5\u672c"}])");
  LuaVar v;
  takeScriptValue(*body, v);
  EXPECT_EQ(v.kind(), LuaVar::kJSON);
  ASSERT_NE(v.json(), nullptr);
  EXPECT_EQ(v.json()->size(), 1u);
  EXPECT_TRUE(static_cast<JSONBody&>(*body).value().isNull());

  auto text = parsed("text/html", "<p>rate limited</p>");
  LuaVar t;
  takeScriptValue(*text, t);
  ASSERT_TRUE(t.isTable());
  EXPECT_EQ(*t.field("text").asString(), "<p>rate limited</p>");
  EXPECT_EQ(static_cast<TEXTBody&>(*text).text(), "<p>rate limited</p>");  // copied, not taken
  auto form = parsed("application/x-www-form-urlencoded", "a=1");
  LuaVar f;
  takeScriptValue(*form, f);
  EXPECT_EQ(*form->get("a"), "1");
}

TEST(BodyValues, RawBytesAreAdoptedWhole) {
  std::string bytes("\x89PNG\r\n\x1a\n\0\0\0", 11);
  auto body = parsed("image/png", bytes);
  LuaVar copy, taken;
  toScriptValue(*body, copy);
  ASSERT_EQ(copy.kind(), LuaVar::kBytes);
  EXPECT_EQ(copy.size(), 11u);
  takeScriptValue(*body, taken);
  ASSERT_EQ(taken.kind(), LuaVar::kBytes);
  ASSERT_EQ(taken.size(), 11u);
  EXPECT_EQ(std::memcmp(taken.bytes(), bytes.data(), 11), 0);
  EXPECT_EQ(static_cast<RAWBody&>(*body).size(), 0u);
  // Taken a second time, the emptied body gives an empty byte value.
  LuaVar again;
  takeScriptValue(*body, again);
  EXPECT_EQ(again.kind(), LuaVar::kBytes);
  EXPECT_EQ(again.size(), 0u);
}

}  // namespace
