#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "runtime/json/json.h"

namespace {

JSONValue sampleTree() {
  JSONValue root = JSONValue::object();
  root.addMember("id", JSONValue(JSONScalar::fromInt(7)));
  JSONValue& list = root.addMember("list", JSONValue::array());
  list.append(JSONValue(JSONScalar::fromText("one")));
  list.append(JSONValue(JSONScalar::fromReal(2.5)));
  return root;
}

TEST(JsonValue, CopiesAreDeepMovesAndClearsLeaveAFreshNode) {
  JSONValue a = sampleTree();
  JSONValue b = a;
  b.children()[1].children()[0].setScalar(JSONScalar::fromText("changed"));
  b.addMember("extra", JSONValue());
  EXPECT_EQ(a.size(), 2u);
  EXPECT_EQ(a.at(1)->at(0)->asUtf8(), "one");
  EXPECT_EQ(b.at(1)->at(0)->asUtf8(), "changed");
  b = a;  // assignment clears the target first
  EXPECT_EQ(b.size(), 2u);
  EXPECT_EQ(b.at(1)->at(0)->asUtf8(), "one");
  b = b;  // self-assignment keeps the tree
  EXPECT_EQ(b.size(), 2u);
  JSONValue c = std::move(a);
  EXPECT_TRUE(a.isNull());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
  EXPECT_EQ(c.size(), 2u);
  c.setKey(JSONScalar::fromRaw("x"));
  c.clear();
  EXPECT_TRUE(c.isNull());
  EXPECT_FALSE(c.hasKey());
  EXPECT_EQ(c.keyHash(), 0u);
  EXPECT_EQ(c.at(0), nullptr);
}

}  // namespace
