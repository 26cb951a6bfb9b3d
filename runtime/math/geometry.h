// Small geometric routines under the collision shapes and the transform trees: mapping
// shapes through transforms, bounding circles and spheres, and overlap tests between
// shape pairs. Bounds are inclusive: touching shapes overlap.
#pragma once
#include <cstddef>

#include "runtime/math/matrix.h"
#include "runtime/math/shapes.h"

// The bounds of the rectangle's four corners mapped through m: the rectangle itself under
// scales, mirrors and quarter turns, a box around it under other turns.
Rect2 mapRectBounds(const Mat23& m, const Rect2& r);

// Shapes through a 3D transform.
Segment3 transformSegment3D(const Mat43& m, const Segment3& s);
// out's corners become src's mapped through m, and out's dirty bits gain all three; the
// rest of out is kept (out may be src).
void transformTriangle(const Mat43& m, const TriangleNode& src, TriangleNode& out);
// The centre mapped; the radius scaled by the longest row of m's linear part, so the
// sphere still covers the transformed one under any scale.
Sphere transformSphere(const Mat43& m, const Sphere& s);

// The unit normal of triangle abc (the zero vector when it is degenerate).
Vec3 triangleNormal(const Vec3& a, const Vec3& b, const Vec3& c);
// The node's cached normal, recomputed first when dirty bit 0 is set (the bit is cleared).
const Vec3& nodeTriangleNormal(TriangleNode& t);
Vec3 segmentDirection(const Segment3& s);

struct ClosestPoint {
  Vec3 point;
  float distanceSquared;
};
ClosestPoint closestPointOnSegment(const Vec3& p0, const Vec3& p1, const Vec3& q);

bool pointInRect(const Rect2& r, Vec2 p);  // borders included, corners in either order
bool pointInCircle(const Circle& c, Vec2 p);
bool pointsCoincide2D(Vec2 a, Vec2 b);
bool circlesOverlap(const Circle& a, const Circle& b);
bool spheresOverlap(const Sphere& a, const Sphere& b);
// The circle's centre within r of the segment.
bool pointNearSegment2D(const Segment2& s, const Circle& c);
bool sphereHitsSegment(const Sphere& s, const Segment3& seg);
// The sphere touches the capsule (a segment swept by a ball).
bool sphereHitsCapsule(const Sphere& s, const Capsule& c);
// A cylinder (flat ends) given as a capsule record against a sphere.
bool capsuleVsSphere(const Capsule& cylinder, const Sphere& s);

// False when r <= 0; true when some point lies strictly outside the circle.
bool anyPointOutsideCircle(const Circle& c, const Vec2* points, size_t n);
// True when some corner of the rectangles lies strictly outside the circle.
bool rectCornersOutsideCircle(const Circle& c, const Rect2* rects, size_t n);
// Centre at the mean of the points, radius to the farthest one; radius -1 when n is 0.
Circle boundingCircleOfPoints(const Vec2* points, size_t n);
Circle boundingCircleOfRects(const Rect2* rects, size_t n);
// Centre at the mean of the centres, radius reaching the farthest sphere (distance plus
// its radius; a negative radius counts as 0); (0, 0, 0, -1) when n is 0.
Sphere boundingSphereOfPoints(const Sphere* spheres, size_t n);

// p inside triangle abc or on its border, judged by p's projection onto the triangle's
// plane.
bool pointInTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p);
// Sphere against triangle abc with unit normal n. On a hit, at (when given) receives the
// touching point on the triangle.
bool sphereVsTriangle(const Sphere& s, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& n,
                      Vec3* at = nullptr);
bool sphereVsTriangle(const Sphere& s, TriangleNode& t, Vec3* at = nullptr);
