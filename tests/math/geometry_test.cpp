// Overlap tests on touching and separated shapes, bounding shapes and shape transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "runtime/math/geometry.h"
#include "runtime/math/quat.h"
#include "tests/math/math_test_util.h"

namespace {

TEST(Overlap2D, PointInRectIncludesTheBorder) {
  const Rect2 r{0, 0, 2, 1};
  EXPECT_TRUE(pointInRect(r, {2, 1}));  // the border belongs to the rectangle
  EXPECT_TRUE(pointInRect(r, {0, 0}));
  EXPECT_FALSE(pointInRect(r, {2.001f, 0.5f}));
  EXPECT_FALSE(pointInRect(r, {1, -0.001f}));
  // Written right to left or bottom to top, a rectangle covers the same points.
  for (const Rect2 w : {Rect2{2, 0, 0, 1}, Rect2{0, 1, 2, 0}, Rect2{2, 1, 0, 0}}) {
    EXPECT_TRUE(pointInRect(w, {1, 0.5f}));
    EXPECT_TRUE(pointInRect(w, {2, 1}));
    EXPECT_TRUE(pointInRect(w, {0, 0}));
    for (const Vec2 out : {Vec2{-0.001f, 0.5f}, Vec2{2.001f, 0.5f}, Vec2{1, -0.001f}, Vec2{1, 1.001f}}) {
      EXPECT_FALSE(pointInRect(w, out)) << w.x0 << "," << w.y0 << " " << out.x << "," << out.y;
    }
  }
}

TEST(Overlap2D, CircleAgainstSegmentInAllThreeRegions) {
  const Segment2 s{0, 0, 10, 0};
  EXPECT_TRUE(pointNearSegment2D(s, {5, 1, 1}));      // beside the middle, touching
  EXPECT_FALSE(pointNearSegment2D(s, {5, 1.01f, 1}));
  EXPECT_TRUE(pointNearSegment2D(s, {-3, 4, 5}));     // before the start
  EXPECT_FALSE(pointNearSegment2D(s, {-3, 4, 4.99f}));
  EXPECT_TRUE(pointNearSegment2D(s, {13, -4, 5}));    // past the end
  EXPECT_FALSE(pointNearSegment2D(s, {13, -4, 4.99f}));
  EXPECT_TRUE(pointNearSegment2D({1, 1, 1, 1}, {1, 2, 1}));  // a segment that is a point
}

TEST(Overlap3D, CylinderAgainstSphere) {
  const Capsule cyl{{0, 0, 0}, {0, 0, 10}, 2};
  EXPECT_TRUE(capsuleVsSphere(cyl, {3, 0, 5, 1}));          // touching the side
  EXPECT_FALSE(capsuleVsSphere(cyl, {3.01f, 0, 5, 1}));
  EXPECT_TRUE(capsuleVsSphere(cyl, {0, 0, -1.5f, 2}));      // below the start disc
  // Diagonally past the rim: within r0 + r1 of the end point but clear of the flat end.
  EXPECT_FALSE(capsuleVsSphere(cyl, {2.8f, 0, 10.8f, 1}));
  EXPECT_TRUE(capsuleVsSphere(cyl, {2.6f, 0, 10.6f, 1}));
}

TEST(Triangles, SphereAgainstTriangle) {
  TriangleNode t;
  t.p[0] = {0, 0, 0}, t.p[1] = {4, 0, 0}, t.p[2] = {0, 4, 0};
  Vec3 at;
  EXPECT_TRUE(sphereVsTriangle({1, 1, 2, 2}, t, &at));  // touching the face
  EXPECT_VEC3_NEAR(at, Vec3(1, 1, 0), 1e-6f);
  EXPECT_FALSE(sphereVsTriangle({1, 1, 2.01f, 2}, t));
  EXPECT_TRUE(sphereVsTriangle({2, -1, 0.5f, 1.5f}, t, &at));  // over an edge, outside the face
  EXPECT_VEC3_NEAR(at, Vec3(2, 0, 0), 1e-6f);
  EXPECT_FALSE(sphereVsTriangle({2, -2, 0, 1.5f}, t));
  EXPECT_TRUE(sphereVsTriangle({-3, -4, 0, 5}, t, &at));  // touching a corner
  EXPECT_VEC3_NEAR(at, Vec3(0, 0, 0), 0);
  TriangleNode flat;
  flat.p[0] = {0, 0, 0}, flat.p[1] = {1, 0, 0}, flat.p[2] = {2, 0, 0};
  EXPECT_FALSE(sphereVsTriangle({0, 5, 0, 1}, flat));
  EXPECT_TRUE(sphereVsTriangle({1, 0.5f, 0, 1}, flat));
}

TEST(Transforms, SegmentsAndSpheres) {
  Mat43 m;
  m.m[0] = 2, m.m[4] = 3, m.m[8] = 0.5f;
  m.setTranslation(1, 1, 1);
  const Segment3 s = transformSegment3D(m, {{1, 1, 1}, {0, 0, 2}});
  EXPECT_VEC3_NEAR(s.p0, Vec3(3, 4, 1.5f), 0);
  EXPECT_VEC3_NEAR(s.p1, Vec3(1, 1, 2), 0);
  // The radius follows the largest scale; the translation plays no part in it.
  const Sphere sp = transformSphere(m, {1, 0, 0, 2});
  EXPECT_VEC3_NEAR(sp.center(), Vec3(3, 1, 1), 0);
  EXPECT_FLOAT_EQ(sp.r, 6.0f);
}

}  // namespace
