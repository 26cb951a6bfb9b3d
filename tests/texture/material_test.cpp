// Materials: values by JSON type, lists, ranges, references and broken files.
#include "render/material/mtl_mgr.h"

#include <gtest/gtest.h>

#include "runtime/res/hdl_lock.h"
#include "tests/texture/texture_fixture.h"

namespace {

using Lock = kesto::HdlLock<MtlHandle>;

class MaterialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    materials.setLog([this](std::string_view m) { logged.emplace_back(m); });
    qxmtl::seedRandom(12345);
  }
  textest::FolderSources files;
  MtlMgr materials;
  std::vector<std::string> logged;
};

TEST_F(MaterialTest, MembersBecomeValuesOfTheirType) {
  files.put("m.mtl", R"({
    "count": 3, "shine": 1.5, "whole": 2.0, "on": true, "big": 3000000000,
    "dir": "1 0.5 0.25", "colour": "1, 0, 0, 1", "five": "1 2 3 4 5", "words": "a b c", "name": "stone",
    "nothing": null, "empty": [], "skipped": {"imin": 1}
  })");
  auto m = materials.acquire(u"M.mtl");
  Lock lock(m);
  ASSERT_TRUE(lock && lock->loaded());
  EXPECT_EQ(*lock->value<int32_t>("count")->get(0), 3);
  EXPECT_EQ(lock->value<int32_t>("count")->kind(), 0u);
  EXPECT_EQ(*lock->value<float>("shine")->get(0), 1.5f);
  EXPECT_EQ(*lock->value<float>("whole")->get(0), 2.0f);
  EXPECT_EQ(*lock->value<int32_t>("on")->get(0), 1);
  EXPECT_EQ(*lock->value<float>("big")->get(0), 3e9f);
  EXPECT_EQ(*lock->value<Vec3>("dir")->get(0), Vec3(1, 0.5f, 0.25f));
  EXPECT_EQ(lock->value<Vec4>("colour")->get(0)->x, 1.0f);
  EXPECT_EQ(*lock->value<std::string>("five")->get(0), "1 2 3 4 5");
  EXPECT_EQ(*lock->value<std::string>("words")->get(0), "a b c");
  size_t entries = lock->table<std::string>().size() + lock->table<int32_t>().size() + lock->table<float>().size() +
                   lock->table<Vec3>().size() + lock->table<Vec4>().size() + lock->table<MtlHandle>().size();
  EXPECT_EQ(entries, 10u);  // nothing, empty and skipped enter nothing; name is a string
}

TEST_F(MaterialTest, ListsAndRangesStayInsideAndReachTheirEnds) {
  files.put("r.mtl", R"({
    "pick": [1, 2, 3], "mixed": [null, "1 2 3", 4, "4 5 6"],
    "dice": {"imin": 1, "imax": 6}, "wide": {"imin": -2147483648, "imax": 2147483647},
    "back": {"imin": 5, "imax": 4}, "f": {"imin": 1, "fmin": -0.5, "fmax": 0.25}
  })");
  auto m = materials.acquire(u"r.mtl");
  Lock lock(m);
  ASSERT_TRUE(lock);
  IFMtl<int32_t>* pick = lock->value<int32_t>("pick");
  ASSERT_TRUE(pick);
  EXPECT_EQ(pick->kind(), 1u);
  EXPECT_EQ(pick->count(), 3u);
  EXPECT_EQ(pick->get(3), nullptr);
  IFMtl<Vec3>* mixed = lock->value<Vec3>("mixed");
  ASSERT_TRUE(mixed);
  EXPECT_EQ(mixed->count(), 2u);
  EXPECT_EQ(*mixed->get(1), Vec3(4, 5, 6));
  EXPECT_EQ(lock->value<int32_t>("mixed"), nullptr);

  IFMtl<int32_t>* dice = lock->value<int32_t>("dice");
  IFMtl<float>* f = lock->value<float>("f");
  ASSERT_TRUE(dice && f);
  EXPECT_EQ(dice->kind(), 2u);
  EXPECT_EQ(dice->elements()[1], 6);
  int seenDice[7] = {}, seenPick[4] = {};
  for (int i = 0; i < 10000; ++i) {
    const int32_t d = *dice->get(IFMtl<int32_t>::kRandomIndex);
    ASSERT_TRUE(d >= 1 && d <= 6) << d;
    ++seenDice[d];
    const int32_t p = *pick->get(IFMtl<int32_t>::kRandomIndex);
    ASSERT_TRUE(p >= 1 && p <= 3) << p;
    ++seenPick[p];
    const float v = *f->get(0);
    ASSERT_TRUE(v >= -0.5f && v <= 0.25f) << v;
    EXPECT_EQ(*lock->value<int32_t>("back")->get(0), 5);
  }
  EXPECT_TRUE(seenDice[1] > 0 && seenDice[6] > 0);
  EXPECT_TRUE(seenPick[1] > 0 && seenPick[3] > 0);
  EXPECT_LE(*lock->value<int32_t>("wide")->get(0), -2147483648 + 32767);
  // The ends of the 15-bit source reach both ends of the ranges.
  EXPECT_EQ(MtlRandRange<float>::valueFor(-0.5f, 0.25f, 0), -0.5f);
  EXPECT_EQ(MtlRandRange<float>::valueFor(0.1f, 0.7f, qxmtl::kRandMax), 0.7f);
  EXPECT_EQ(MtlRandRange<int32_t>::valueFor(1, 6, 5), 6);
  EXPECT_EQ(MtlRandRange<int32_t>::valueFor(1, 6, 6), 1);
  EXPECT_EQ(MtlRandRange<int32_t>::valueFor(-2147483647 - 1, 2147483647, qxmtl::kRandMax), -2147483647 - 1 + 32767);
  for (int i = 0; i < 1000; ++i) ASSERT_LE(qxmtl::nextRandom(), qxmtl::kRandMax);
}

TEST_F(MaterialTest, ReferencesAndCycles) {
  files.put("a.mtl", R"({"@": {"other": "b.mtl", "gone": "missing.mtl", "bad": 3}, "self": "@a.mtl", "b": "@B.MTL"})");
  files.put("b.mtl", R"({"back": "@a.mtl", "x": 1})");
  files.put("broken.mtl", R"({"x": )");
  auto a = materials.acquire(u"a.mtl");
  ASSERT_NE(a.value, 0u);
  MtlHandle b;
  {
    Lock lock(a);
    ASSERT_TRUE(lock);
    ASSERT_EQ(lock->references().size(), 2u);
    b = lock->references().at("other");
    EXPECT_NE(b.value, 0u);
    EXPECT_EQ(lock->references().at("gone").value, 0u);
    EXPECT_EQ(lock->value<MtlHandle>("b")->get(0)->value, b.value);
    // a was loading when it named itself, and so was it when b named it back.
    EXPECT_EQ(lock->value<MtlHandle>("self")->get(0)->value, 0u);
  }
  {
    Lock lockB(b);
    EXPECT_EQ(lockB->value<MtlHandle>("back")->get(0)->value, 0u);
  }
  EXPECT_EQ(materials.refCount(b.value), 3u);
  EXPECT_EQ(materials.nameCount(), 2u);

  // A name starting with '@' is never read: the material is there, without values.
  files.put("@m.mtl", R"({"x": 1})");
  auto at = materials.acquire(u"@m.mtl");
  ASSERT_NE(at.value, 0u);
  EXPECT_FALSE(Lock(at)->loaded());

  auto broken = materials.acquire(u"broken.mtl");
  Lock lock(broken);
  ASSERT_TRUE(lock);
  EXPECT_FALSE(lock->loaded());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("broken.mtl"), std::string::npos);
  EXPECT_EQ(materials.acquire(u"").value, 0u);
  EXPECT_EQ(materials.acquire(u"none.mtl").value, 0u);
}

}  // namespace
