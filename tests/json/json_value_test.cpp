// JSONValue as the network and script layers use it: building, copying, swapping and
// type-checked reads.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/core/checksum.h"
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

TEST(JsonValue, MemberTagsAndReadsOfTheWrongType) {
  const std::pair<JSONScalar, JSONType> cases[] = {{JSONScalar::fromReal(1.5), JSONType::Real},
                                                   {JSONScalar::fromInt(3), JSONType::Integer},
                                                   {JSONScalar::fromText("s"), JSONType::String},
                                                   {JSONScalar::fromBool(true), JSONType::Boolean},
                                                   {JSONScalar(), JSONType::Null}};
  for (const auto& [value, tag] : cases) {
    JSONValue m(JSONScalar::fromRaw("name"), value);
    EXPECT_EQ(m.tag(), tag);
    EXPECT_EQ(m.keyRaw(), "name");
    EXPECT_EQ(m.keyHash(), GetMemCRC32("name", 4));
  }
  JSONValue s(JSONScalar::fromText("12"));
  EXPECT_EQ(s.asInt64(), 0);
  EXPECT_EQ(s.asReal(), 0.0);
  EXPECT_FALSE(s.asBool());
  EXPECT_EQ(sampleTree().asUtf8(), "");
  EXPECT_EQ(JSONValue(JSONScalar::fromInt(3)).asReal(), 3.0);
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

TEST(JsonValue, SwapExchangesNodesOfAnyTags) {
  JSONValue tree = sampleTree();
  tree.setKey(JSONScalar::fromRaw("t"));
  JSONValue leaf(JSONScalar::fromRaw("k"), JSONScalar::fromText("text"));
  tree.swap(leaf);
  EXPECT_EQ(tree.tag(), JSONType::String);
  EXPECT_EQ(tree.keyRaw(), "k");
  EXPECT_EQ(tree.asUtf8(), "text");
  EXPECT_TRUE(leaf.isObject());
  EXPECT_EQ(leaf.keyRaw(), "t");
  EXPECT_EQ(leaf.size(), 2u);
  JSONValue empty;
  empty.swap(leaf);  // taking a whole tree over, as a script value does
  EXPECT_TRUE(leaf.isNull());
  EXPECT_EQ(empty.size(), 2u);
}

TEST(JsonValue, BuildingMembersAndElements) {
  JSONValue v;
  v.addMember("a\"b", JSONValue(JSONScalar::fromInt(1)));  // a null node becomes an object
  ASSERT_TRUE(v.isObject());
  EXPECT_EQ(v.at(0)->keyRaw(), "a\\\"b");
  EXPECT_EQ(v.at(0)->keyUtf8(), "a\"b");
  EXPECT_EQ(v.find("a\\\"b"), v.at(0));
  EXPECT_EQ(v.find("missing"), nullptr);

  JSONValue arr;
  arr.append(JSONValue(JSONScalar::fromRaw("dropped"), JSONScalar::fromInt(1)));
  arr.addMember("also dropped", JSONValue());
  ASSERT_TRUE(arr.isArray());
  ASSERT_EQ(arr.size(), 2u);
  EXPECT_FALSE(arr.at(0)->hasKey());
  EXPECT_FALSE(arr.at(1)->hasKey());
  EXPECT_EQ(arr.countNodes(), 3u);
  EXPECT_EQ(sampleTree().countNodes(), 5u);
  JSONScalar s = JSONScalar::fromText("q\"\\\n\t\x01");  // text is escaped on the way in
  EXPECT_EQ(s.raw(), "q\\\"\\\\\\n\\u0009\\u0001");
  EXPECT_EQ(s.toUtf8(), "q\"\\\n\t\x01");
}

}  // namespace
