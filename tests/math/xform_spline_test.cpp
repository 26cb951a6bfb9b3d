// Transform nodes and spline poly-lines.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "runtime/math/spline.h"
#include "runtime/math/xform.h"
#include "tests/math/math_test_util.h"

namespace {

TEST(Xform2D, ScaleThenRotateThenMove) {
  Xform2D x;
  EXPECT_EQ(x.mapPoint({3, -4}).y, -4.0f);  // a fresh node is the identity
  x.set({2, 2}, {1, 0}, 0);
  Vec2 p = x.mapPoint({1, 1});
  EXPECT_EQ(p.x, 3.0f);
  EXPECT_EQ(p.y, 2.0f);

  x.set({2, 1}, {10, 0}, std::numbers::pi_v<float> / 2);
  p = x.mapPoint({1, 0});
  EXPECT_NEAR(p.x, 10.0f, 1e-6f);
  EXPECT_NEAR(p.y, 2.0f, 1e-6f);
  EXPECT_EQ(x.mapPointKeepZ({1, 0, 7}).z, 7.0f);
  EXPECT_NEAR(x.mapBox({0, 0, 1, 0}).y1, 2.0f, 1e-6f);
}

TEST(Xform3D, ScaleThenRotateThenMove) {
  Xform3D x;
  EXPECT_VEC3_NEAR(mat3MulVec3(x.matrix(), Vec3(1, 2, 3)), Vec3(1, 2, 3), 0);
  const Quat q = Quat::fromAxisAngle(Vec3(0, 0, 1), std::numbers::pi_v<float> / 2);
  x.set({2, 3, 4}, {1, 1, 1}, q);
  Vec3 expected = Vec3(2, 3, 4);  // (1, 1, 1) scaled
  expected.mulMat33(q.toMat33());
  EXPECT_VEC3_NEAR(mat3MulVec3(x.matrix(), Vec3(1, 1, 1)), expected + Vec3(1, 1, 1), 1e-6f);
  EXPECT_VEC3_NEAR(mat3MulVec3(x.matrix(), Vec3(1, 0, 0)), Vec3(1, 3, 1), 1e-6f);
}


TEST(Spline, EvenControlPointsGiveEvenSteps) {
  const std::vector<Vec3> pts = {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}};
  std::vector<Vec3> out;
  EXPECT_EQ(subdividePolylineByStep(out, 5, pts), 5u);
  ASSERT_EQ(out.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(out[i].x, 5.0f * static_cast<float>(i), 1e-5f);
    EXPECT_EQ(out[i].y, 0.0f);
  }
}

TEST(Spline, ByCountGivesFixedPartsPerSegment) {
  const std::vector<Vec3> pts = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}};
  std::vector<Vec3> out;
  EXPECT_EQ(subdividePolylineByCount(out, 4, pts), 13u);
  for (size_t s = 0; s < 4; ++s) EXPECT_EQ(out[s * 4], pts[s]);  // every control point is on the curve
  out.clear();
  EXPECT_EQ(subdividePolylineByCount(out, -7, pts), 4u);
}

TEST(Spline, StepsThatAreNoPositiveNumberStayBounded) {
  const std::vector<Vec3> pts = {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}};
  for (float step : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    std::vector<Vec3> out;
    EXPECT_EQ(subdividePolylineByStep(out, step, pts), 3u) << step;
  }
  std::vector<Vec3> out;
  EXPECT_EQ(subdividePolylineByStep(out, 1e-30f, pts), 2u * kSplineMaxParts + 1);
  out.clear();
  EXPECT_EQ(subdividePolylineByCount(out, 1 << 30, pts), 2u * kSplineMaxParts + 1);
  const std::vector<Vec3> far = {{0, 0, 0}, {std::numeric_limits<float>::infinity(), 0, 0}, {1, 0, 0}};
  out.clear();
  EXPECT_EQ(subdividePolylineByStep(out, 1, far), 3u);
}

}  // namespace
