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

std::vector<std::string> stringKeys(const LuaVarTable& t) {
  std::vector<std::string> out;
  for (const auto& [k, v] : t) {
    if (k.kind() == LuaVar::kString) out.push_back(k.asCStr());
  }
  return out;
}

TEST(LuaVarValue, DefaultIsNilAndDestroyLeavesNil) {
  LuaVar v;
  EXPECT_EQ(v.kind(), LuaVar::kNil);
  EXPECT_FALSE(v.isSet());
  v = LuaVar("text");
  EXPECT_EQ(v.kind(), LuaVar::kString);
  v.clear();
  EXPECT_EQ(v.kind(), LuaVar::kNil);
  EXPECT_EQ(v.asPointer(), nullptr);
}

TEST(LuaVarValue, ScalarReadsConvertBetweenIntAndFloat) {
  EXPECT_EQ(integer(-7).asInt(), -7);
  EXPECT_FLOAT_EQ(integer(-7).asFloat(), -7.0f);
  EXPECT_EQ(num(-2.75f).asInt(), -2);
  EXPECT_EQ(num(std::nanf("")).asInt(), 0);
  EXPECT_EQ(num(1e30f).asInt(), std::numeric_limits<int32_t>::max());
  LuaVar b;
  b.setBool(true);
  EXPECT_TRUE(b.asBool());
}

TEST(LuaVarValue, WideTextBecomesUtf8) {
  LuaVar v(std::u16string(u"日本"));
  EXPECT_STREQ(v.asCStr(), "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(LuaVarValue, CopiesAreDeepAndMovesLeaveNil) {
  LuaVar tree;
  tree.field("user").field("name") = LuaVar("alice");
  uint8_t raw[3] = {1, 2, 3};
  tree.field("blob").fromBytes(raw, 3);

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
}

TEST(LuaVarValue, AssigningAValueItsOwnChildWorks) {
  LuaVar tree;
  tree.field("a").field("b") = LuaVar("leaf");
  tree.assign(tree.field("a"));
  EXPECT_STREQ(tree.field("b").asCStr(), "leaf");
}

TEST(LuaVarValue, TakeTableAndAdoptBytesTakeOver) {
  LuaVarTable t;
  t[LuaVar("k")] = LuaVar("v");
  LuaVar v;
  v.takeTable(t);
  EXPECT_TRUE(t.empty());
  ASSERT_TRUE(v.isTable());
  EXPECT_EQ(v.table()->size(), 1u);

  auto* buf = new uint8_t[4]{9, 8, 7, 6};
  LuaVar b;
  b.adoptBytes({buf, 4});
  EXPECT_EQ(b.bytes(), buf);
  EXPECT_EQ(b.size(), 4u);
}

TEST(LuaVarValue, FieldAndItemBuildTreesFromNil) {
  LuaVar v;
  v.field("list").item(1) = LuaVar("first");
  ASSERT_TRUE(v.isTable());
  LuaVar& list = v.field("list");
  ASSERT_TRUE(list.isTable());
  EXPECT_STREQ(list.item(1).asCStr(), "first");

  LuaVar one;
  one.field("k");
  ASSERT_TRUE(one.isTable());
  ASSERT_EQ(one.table()->size(), 1u);
  EXPECT_EQ(one.table()->begin()->second.kind(), LuaVar::kNil);
}

TEST(LuaVarOrdering, KindsOrderByNumberAndStringsByBytes) {
  LuaVarTable t;
  t[LuaVar("b")] = integer(1);
  t[LuaVar("ab")] = integer(2);
  t[LuaVar("a")] = integer(3);
  t[LuaVar("\xC3\xA9")] = integer(4);  // a high byte sorts after ASCII
  t[num(2.0f)] = integer(5);
  t[integer(7)] = integer(6);
  EXPECT_EQ(t.size(), 6u);
  auto it = t.begin();
  EXPECT_EQ(it->first.kind(), LuaVar::kInt);
  ++it;
  EXPECT_EQ(it->first.kind(), LuaVar::kNumber);
  EXPECT_EQ(stringKeys(t), (std::vector<std::string>{"a", "ab", "b", "\xC3\xA9"}));
  // "a" and "ab" share a prefix but are two keys.
  EXPECT_EQ(t[LuaVar("a")].asInt(), 3);
  EXPECT_EQ(t[LuaVar("ab")].asInt(), 2);
}

TEST(LuaVarOrdering, FalseSortsBeforeTrue) {
  LuaVar f, t;
  f.setBool(false);
  t.setBool(true);
  // Whatever their addresses: the values decide first.
  EXPECT_TRUE(LuaVarLess()(f, t));
  EXPECT_FALSE(LuaVarLess()(t, f));
  LuaVar t2, f2;
  t2.setBool(true);
  f2.setBool(false);
  EXPECT_TRUE(LuaVarLess()(f2, t2));
  EXPECT_FALSE(LuaVarLess()(t2, f2));
}

TEST(LuaVarOrdering, NaNSortsAfterEveryNumberAndIsOneKey) {
  LuaVarTable t;
  t[num(std::nanf(""))] = integer(1);
  t[num(5.0f)] = integer(2);
  t[num(-std::numeric_limits<float>::infinity())] = integer(3);
  t[num(std::nanf(""))] = integer(4);
  ASSERT_EQ(t.size(), 3u);
  auto last = std::prev(t.end());
  EXPECT_TRUE(std::isnan(last->first.asFloat()));
  EXPECT_EQ(last->second.asInt(), 4);
}

TEST(LuaVarOrdering, NilAndTableKeysNeverCollide) {
  LuaVarTable t;
  t[LuaVar()] = integer(1);
  t[LuaVar()] = integer(2);
  LuaVar tk;
  tk.setNewTable();
  t[tk] = integer(3);
  t[tk] = integer(4);
  EXPECT_EQ(t.size(), 4u);
  // Copies keep every pair.
  LuaVarTable copy(t);
  EXPECT_EQ(copy.size(), 4u);
}

TEST(LuaVarOrdering, VectorsCompareZYXAndVec2IsOneKey) {
  float a[3] = {9, 0, 1}, b[3] = {0, 5, 1}, c[3] = {0, 0, 2};
  LuaVar va, vb, vc;
  va.setVec(3, a);
  vb.setVec(3, b);
  vc.setVec(3, c);
  LuaVarLess less;
  EXPECT_TRUE(less(va, vb));  // z equal, y decides
  EXPECT_TRUE(less(vb, vc));  // z decides
  float p[2] = {1, 2}, q[2] = {3, 4};
  LuaVar v2a, v2b;
  v2a.setVec(2, p);
  v2b.setVec(2, q);
  EXPECT_FALSE(less(v2a, v2b));
  EXPECT_FALSE(less(v2b, v2a));
}

TEST(LuaVarOrdering, PointersCompareAsFullPointers) {
  LuaVar lo, hi;
  lo.setLightUdata(reinterpret_cast<void*>(0x100000000ull));
  hi.setLightUdata(reinterpret_cast<void*>(0x200000000ull));
  LuaVarLess less;
  EXPECT_TRUE(less(lo, hi));
  EXPECT_FALSE(less(hi, lo));
}

TEST(LuaVarValue, AVeryDeepTreeIsDestroyedWithoutRecursion) {
  LuaVar root;
  LuaVar* at = &root;
  for (int i = 0; i < 100000; ++i) at = &at->item(1);
  *at = LuaVar("bottom");
  root.clear();
  EXPECT_EQ(root.kind(), LuaVar::kNil);
}

}  // namespace
