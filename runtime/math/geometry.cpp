#include "runtime/math/geometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
float distSq2(Vec2 a, Vec2 b) { return dot(a - b, a - b); }
float sq(float v) { return v * v; }

void rectCorners(const Rect2& r, Vec2 out[4]) {
  out[0] = {r.x0, r.y0};
  out[1] = {r.x1, r.y0};
  out[2] = {r.x1, r.y1};
  out[3] = {r.x0, r.y1};
}
}  // namespace

Rect2 mapRectBounds(const Mat23& m, const Rect2& r) {
  Vec2 corners[4];
  rectCorners(r, corners);
  const Vec2 first = m.map(corners[0]);
  Rect2 out{first.x, first.y, first.x, first.y};
  for (int i = 1; i < 4; ++i) {
    const Vec2 p = m.map(corners[i]);
    out.x0 = std::min(out.x0, p.x);
    out.y0 = std::min(out.y0, p.y);
    out.x1 = std::max(out.x1, p.x);
    out.y1 = std::max(out.y1, p.y);
  }
  return out;
}

Segment3 transformSegment3D(const Mat43& m, const Segment3& s) { return {mat3MulVec3(m, s.p0), mat3MulVec3(m, s.p1)}; }

void transformTriangle(const Mat43& m, const TriangleNode& src, TriangleNode& out) {
  const Vec3 a = mat3MulVec3(m, src.p[0]), b = mat3MulVec3(m, src.p[1]), c = mat3MulVec3(m, src.p[2]);
  out.p[0] = a;
  out.p[1] = b;
  out.p[2] = c;
  out.dirty |= 7;
}

Sphere transformSphere(const Mat43& m, const Sphere& s) {
  const Vec3 c = mat3MulVec3(m, s.center());
  float longest = 0;
  for (int row = 0; row < 3; ++row) longest = std::max(longest, lengthSquared(Vec3(m(row, 0), m(row, 1), m(row, 2))));
  return {c.x, c.y, c.z, s.r * std::sqrt(longest)};
}

Vec3 triangleNormal(const Vec3& a, const Vec3& b, const Vec3& c) { return vec3Normalize(cross(b - a, c - a)); }

const Vec3& nodeTriangleNormal(TriangleNode& t) {
  if (t.dirty & 1) {
    t.normal = triangleNormal(t.p[0], t.p[1], t.p[2]);
    t.dirty &= ~1u;
  }
  return t.normal;
}

Vec3 segmentDirection(const Segment3& s) { return vec3Normalize(s.p1 - s.p0); }

ClosestPoint closestPointOnSegment(const Vec3& p0, const Vec3& p1, const Vec3& q) {
  const Vec3 d = p1 - p0;
  const Vec3 u = vec3Normalize(d);
  const float t = dot(q - p0, u);
  Vec3 p;
  if (t < 0) {
    p = p0;
  } else if (t > length(d)) {
    p = p1;
  } else {
    p = p0 + u * t;
  }
  return {p, distanceSquared3(p, q)};
}

// Corners in either order: a transformed rectangle is tested by its ordered bounds, so an
// untransformed one written right to left must cover the same points.
bool pointInRect(const Rect2& r, Vec2 p) {
  return std::min(r.x0, r.x1) <= p.x && p.x <= std::max(r.x0, r.x1) && std::min(r.y0, r.y1) <= p.y &&
         p.y <= std::max(r.y0, r.y1);
}

bool pointInCircle(const Circle& c, Vec2 p) { return distSq2({c.cx, c.cy}, p) <= c.r * c.r; }

bool pointsCoincide2D(Vec2 a, Vec2 b) { return distSq2(a, b) <= 1e-5f * 1e-5f; }

bool circlesOverlap(const Circle& a, const Circle& b) {
  return distSq2({a.cx, a.cy}, {b.cx, b.cy}) <= sq(a.r + b.r);
}

bool spheresOverlap(const Sphere& a, const Sphere& b) {
  return distanceSquared3(a.center(), b.center()) <= sq(a.r + b.r);
}

bool pointNearSegment2D(const Segment2& s, const Circle& c) {
  const Vec2 p0{s.x0, s.y0}, p1{s.x1, s.y1}, q{c.cx, c.cy};
  const Vec2 d = p1 - p0;
  const float proj = dot(q - p0, d);
  const float len2 = dot(d, d);
  float dist2;
  if (proj <= 0) {
    dist2 = distSq2(q, p0);
  } else if (proj >= len2) {
    dist2 = distSq2(q, p1);
  } else {
    dist2 = distSq2(q, p0 + d * (proj / len2));
  }
  return dist2 <= c.r * c.r;
}

bool sphereHitsSegment(const Sphere& s, const Segment3& seg) {
  return closestPointOnSegment(seg.p0, seg.p1, s.center()).distanceSquared <= s.r * s.r;
}

bool sphereHitsCapsule(const Sphere& s, const Capsule& c) {
  return closestPointOnSegment(c.p0, c.p1, s.center()).distanceSquared <= sq(s.r + c.r);
}

bool capsuleVsSphere(const Capsule& cyl, const Sphere& s) {
  const Vec3 centre = s.center();
  const ClosestPoint cp = closestPointOnSegment(cyl.p0, cyl.p1, centre);
  if (cp.distanceSquared > sq(cyl.r + s.r)) return false;
  const bool nearStart = distanceSquared3(cp.point, cyl.p0) < 0.0001f;
  const bool nearEnd = distanceSquared3(cp.point, cyl.p1) < 0.0001f;
  if (!nearStart && !nearEnd) return true;  // beside the side wall
  // Beyond an end: the sphere must reach the end disc. h is the height above the end
  // plane, rho the distance from the axis.
  Vec3 axis = segmentDirection({cyl.p0, cyl.p1});
  const Vec3 end = nearEnd ? cyl.p1 : cyl.p0;
  if (!nearEnd) axis = -axis;
  const Plane cap = planeFromNormalD(axis, dot(end, axis));
  const float h = std::max(planeDistance(centre, cap), 0.0f);
  const float rho2 = std::max(distanceSquared3(centre, end) - h * h, 0.0f);
  const float rim = std::max(std::sqrt(rho2) - cyl.r, 0.0f);
  return h * h + rim * rim <= s.r * s.r;
}

bool anyPointOutsideCircle(const Circle& c, const Vec2* points, size_t n) {
  if (c.r <= 0) return false;
  const float r2 = c.r * c.r;
  for (size_t i = 0; i < n; ++i) {
    if (distSq2({c.cx, c.cy}, points[i]) > r2) return true;
  }
  return false;
}

bool rectCornersOutsideCircle(const Circle& c, const Rect2* rects, size_t n) {
  const float r2 = c.r * c.r;
  for (size_t i = 0; i < n; ++i) {
    Vec2 corners[4];
    rectCorners(rects[i], corners);
    for (const Vec2& p : corners) {
      if (distSq2({c.cx, c.cy}, p) > r2) return true;
    }
  }
  return false;
}

Circle boundingCircleOfPoints(const Vec2* points, size_t n) {
  if (n == 0) return {0, 0, -1};
  Vec2 sum{0, 0};
  for (size_t i = 0; i < n; ++i) sum = sum + points[i];
  const Vec2 centre = sum * (1.0f / static_cast<float>(n));
  float far2 = 0;
  for (size_t i = 0; i < n; ++i) far2 = std::max(far2, distSq2(centre, points[i]));
  return {centre.x, centre.y, std::sqrt(far2)};
}

Circle boundingCircleOfRects(const Rect2* rects, size_t n) {
  if (n == 0) return {0, 0, -1};
  std::vector<Vec2> corners(n * 4);
  for (size_t i = 0; i < n; ++i) rectCorners(rects[i], &corners[i * 4]);
  return boundingCircleOfPoints(corners.data(), corners.size());
}

Sphere boundingSphereOfPoints(const Sphere* spheres, size_t n) {
  if (n == 0) return {0, 0, 0, -1};
  Vec3 sum;
  for (size_t i = 0; i < n; ++i) sum = sum + spheres[i].center();
  const Vec3 centre = sum * (1.0f / static_cast<float>(n));
  float reach = 0;
  for (size_t i = 0; i < n; ++i) {
    reach = std::max(reach, length(spheres[i].center() - centre) + std::max(spheres[i].r, 0.0f));
  }
  return {centre.x, centre.y, centre.z, reach};
}

bool pointInTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p) {
  const Vec3 n = triangleNormal(a, b, c);
  if (lengthSquared(n) == 0) return false;  // a degenerate triangle has no inside
  const Vec3* edges[3][2] = {{&a, &b}, {&b, &c}, {&c, &a}};
  for (auto& e : edges) {
    const Vec3 en = cross(*e[1] - *e[0], p - *e[0]);
    const float len = length(en);
    if (!(len > 1e-5f)) continue;  // p on the edge's line: that edge cannot reject it
    if (dot(en * (1.0f / len), n) < -0.0001f) return false;
  }
  return true;
}

bool sphereVsTriangle(const Sphere& s, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& n, Vec3* at) {
  const Vec3 centre = s.center();
  const float r2 = s.r * s.r;
  if (lengthSquared(n) > 0) {  // a degenerate triangle is only its edges
    const float height = dot(centre - a, n);
    if (!(height * height <= r2)) return false;
    const Vec3 onPlane = centre - n * height;
    if (pointInTriangle(a, b, c, onPlane)) {
      if (at) *at = onPlane;
      return true;
    }
  }
  // The closest point of an edge is a corner whenever the centre lies beyond that end, so
  // the edges cover the corners too.
  const Vec3* edges[3][2] = {{&a, &b}, {&b, &c}, {&c, &a}};
  for (auto& e : edges) {
    const ClosestPoint cp = closestPointOnSegment(*e[0], *e[1], centre);
    if (cp.distanceSquared <= r2) {
      if (at) *at = cp.point;
      return true;
    }
  }
  return false;
}

bool sphereVsTriangle(const Sphere& s, TriangleNode& t, Vec3* at) {
  const Vec3 n = nodeTriangleNormal(t);
  return sphereVsTriangle(s, t.p[0], t.p[1], t.p[2], n, at);
}
