// LuaVar as a plain value: kinds, copies, ordering and trees, without a Lua state.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "script/lua/lua_var.h"

namespace {

LuaVar num(float f) {
  LuaVar v;
  v.setNumber(f);
  return v;
}

LuaVar integer(int32_t i) {
  LuaVar v;
  v.setInt(i);
  return v;
}

TEST(LuaVarValue, ScalarsConvertSaturating) {
  EXPECT_EQ(integer(-7).asInt(), -7);
  EXPECT_FLOAT_EQ(integer(-7).asFloat(), -7.0f);
  EXPECT_EQ(num(-2.75f).asInt(), -2);
  EXPECT_EQ(num(std::nanf("")).asInt(), 0);
  EXPECT_EQ(num(1e30f).asInt(), std::numeric_limits<int32_t>::max());
  EXPECT_STREQ(LuaVar(std::u16string(u"日本")).asCStr(), "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(LuaVarValue, TreesCopyDeepAndMovesLeaveNil) {
  LuaVar tree;
  tree.field("user").field("name") = LuaVar("alice");
  uint8_t raw[3] = {1, 2, 3};
  tree.field("blob").fromBytes(raw, 3);
  tree.field("list").item(1) = LuaVar("first");
  EXPECT_STREQ(tree.field("list").item(1).asCStr(), "first");

  LuaVar copy(tree);
  copy.field("user").field("name") = LuaVar("bob");
  EXPECT_STREQ(tree.field("user").field("name").asCStr(), "alice");
  const LuaVar& blob = copy.field("blob");
  ASSERT_EQ(blob.kind(), LuaVar::kBytes);
  EXPECT_EQ(blob.size(), 3u);
  EXPECT_NE(blob.bytes(), tree.field("blob").bytes());  // the buffer is duplicated

  LuaVar moved;
  moved.takeFrom(copy);
  EXPECT_EQ(copy.kind(), LuaVar::kNil);
  EXPECT_STREQ(moved.field("user").field("name").asCStr(), "bob");
  // A value may be given its own child.
  moved.assign(moved.field("user"));
  EXPECT_STREQ(moved.field("name").asCStr(), "bob");
}

TEST(LuaVarOrdering, KindsThenValuesDecide) {
  LuaVarTable t;
  for (const char* s : {"b", "ab", "a", "\xC3\xA9"}) t[LuaVar(s)] = LuaVar(s);  // a high byte sorts last
  t[num(2.0f)] = integer(5);
  t[integer(7)] = integer(6);
  t[num(std::nanf(""))] = integer(1);
  t[num(-std::numeric_limits<float>::infinity())] = integer(3);
  t[num(std::nanf(""))] = integer(4);  // NaN is one key, after every number
  std::vector<std::string> order;
  for (const auto& [k, v] : t) {
    order.push_back(k.kind() == LuaVar::kString ? k.asCStr()
                                                : std::to_string(k.kind()) + ":" + std::to_string(v.asInt()));
  }
  const std::string i = std::to_string(LuaVar::kInt), n = std::to_string(LuaVar::kNumber);
  EXPECT_EQ(order, (std::vector<std::string>{i + ":6", n + ":3", n + ":5", n + ":4", "a", "ab", "b", "\xC3\xA9"}));

  LuaVarLess less;
  LuaVar f, tr;
  f.setBool(false);
  tr.setBool(true);
  EXPECT_TRUE(less(f, tr));
  EXPECT_FALSE(less(tr, f));
  float a[3] = {9, 0, 1}, b[3] = {0, 5, 1}, c[3] = {0, 0, 2};
  LuaVar va, vb, vc;
  va.setVec(3, a);
  vb.setVec(3, b);
  vc.setVec(3, c);
  EXPECT_TRUE(less(va, vb));  // z equal, y decides
  EXPECT_TRUE(less(vb, vc));  // z decides
  EXPECT_FALSE(less(vb, va));
  float p[2] = {1, 2}, q[2] = {3, 4};
  LuaVar v2a, v2b;
  v2a.setVec(2, p);
  v2b.setVec(2, q);
  EXPECT_FALSE(less(v2a, v2b));  // vec2 is one key
  EXPECT_FALSE(less(v2b, v2a));
  LuaVar lo, hi;
  lo.setLightUdata(reinterpret_cast<void*>(0x100000000ull));
  hi.setLightUdata(reinterpret_cast<void*>(0x200000000ull));
  EXPECT_TRUE(less(lo, hi));  // full pointers, not their low words
  EXPECT_FALSE(less(hi, lo));
}

TEST(LuaVarOrdering, NilAndTableKeysNeverCollideAndBooleansKeepTwoKeys) {
  LuaVarTable t;
  t[LuaVar()] = integer(1);
  t[LuaVar()] = integer(2);
  LuaVar tk;
  tk.setNewTable();
  t[tk] = integer(3);
  t[tk] = integer(4);
  EXPECT_EQ(t.size(), 4u);
  LuaVarTable copy(t);  // copies keep every pair
  EXPECT_EQ(copy.size(), 4u);

  LuaVarTable bools;
  LuaVar f, tr;
  f.setBool(false);
  tr.setBool(true);
  bools[tr] = integer(1);
  bools[f] = integer(2);
  ASSERT_EQ(bools.size(), 2u);
  EXPECT_FALSE(bools.begin()->first.asBool());
}

}  // namespace
