// Pair table and test chains (the rest: scripts/).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/math/geometry.h"
#include "scene/collision/col_mgr.h"
#include "scene/collision/col_shapes.h"
#include "scene/collision/test_chain.h"

namespace {

template <class T>
std::vector<uint8_t> rec(const T& v) {
  std::vector<uint8_t> b(sizeof v);
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}

struct PairCase {
  bool is3D;
  uint32_t a, b;
  std::vector<uint8_t> ra, rb;
  bool hit;
};

TEST(PairTests, TableCells) {
  const Circle c0{0, 0, 1};
  const Sphere s0{0, 0, 0, 1};
  const Capsule cap{{0, 3, 0}, {4, 3, 0}, 1};
  TriangleNode tri;
  tri.p[0] = {-5, -5, 2};
  tri.p[1] = {5, -5, 2};
  tri.p[2] = {0, 5, 2};
  nodeTriangleNormal(tri);
  const std::vector<PairCase> cases = {
      {false, 3, 3, rec(c0), rec(Circle{2, 0, 1}), true},
      {false, 3, 3, rec(c0), rec(Circle{2.01f, 0, 1}), false},
      {false, 1, 4, rec(Rect2{0, 0, 1, 1}), rec(Vec2{1, 1}), true},
      {false, 4, 1, rec(Vec2{1.01f, 1}), rec(Rect2{0, 0, 1, 1}), false},
      {false, 2, 3, rec(Segment2{-5, 1, 5, 1}), rec(c0), true},
      {false, 3, 4, rec(c0), rec(Vec2{0, 1}), true},
      {false, 1, 1, rec(Rect2{0, 0, 1, 1}), rec(Rect2{0, 0, 1, 1}), false},
      {false, 2, 2, rec(Segment2{0, 0, 1, 1}), rec(Segment2{0, 1, 1, 0}), false},
      {false, 0, 3, rec(c0), rec(c0), true},
      {false, 5, 3, rec(c0), rec(c0), false},
      {true, 1, 1, rec(s0), rec(Sphere{0, 2, 0, 1}), true},
      {true, 1, 3, rec(s0), rec(cap), false},
      {true, 3, 1, rec(cap), rec(Sphere{2, 1, 0, 1}), true},
      {true, 1, 2, rec(Sphere{0, 1, 0, 1}), rec(Segment3{{-1, 0, 0}, {1, 0, 0}}), true},
      {true, 1, 4, rec(Sphere{2, 3, 0, 1}), rec(cap), true},
      {true, 1, 5, rec(Sphere{0, 0, 1, 1}), rec(tri), true},
      {true, 5, 1, rec(tri), rec(Sphere{0, 0, 0.9f, 1}), false},
      {true, 2, 3, rec(Segment3{}), rec(cap), false},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const PairCase& c = cases[i];
    EXPECT_EQ(col::pairTest(c.is3D, c.a, c.b)(c.ra.data(), c.rb.data()), c.hit) << "case " << i;
  }
}

TEST(TestChains, OperationsFollowTheCodes) {
  using col::ChainOp;
  struct Case {
    uint32_t a, b;
    std::vector<ChainOp> ops;
  };
  const std::vector<Case> cases = {
      {3, 3, {ChainOp::end}},
      {0x13, 4, {ChainOp::extractA, ChainOp::end}},
      {4, 0x13, {ChainOp::extractB, ChainOp::end}},
      {0x13, 0x13, {ChainOp::extractB, ChainOp::extractA, ChainOp::end}},
      {0x1B, 3, {ChainOp::pairA, ChainOp::end}},
      {3, 0x1B, {ChainOp::pairB, ChainOp::end}},
      {0xB, 3, {ChainOp::pairA, ChainOp::end}},  // a last group asking for more
  };
  for (const Case& c : cases) {
    const col::TestChain chain(c.a, c.b);
    ASSERT_EQ(chain.size(), c.ops.size()) << std::hex << c.a << " " << c.b;
    for (size_t i = 0; i < chain.size(); ++i) EXPECT_EQ(col::chainOp(chain.node(i)), c.ops[i]) << i;
  }
}

TEST(TestChains, BuiltOncePerPairOfCodes) {
  ColMgr mgr;
  const col::TestChain* first = &mgr.chain(3, 3);
  mgr.chain(0x13, 4);
  EXPECT_EQ(&mgr.chain(3, 3), first);
  mgr.chain(0x80000001u, 0x80000001u);
  EXPECT_EQ(mgr.chainCount(false), 2u);
  EXPECT_EQ(mgr.chainCount(true), 1u);
}

}  // namespace
