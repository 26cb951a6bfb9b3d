#include "runtime/math/xform.h"

#include <cmath>

void Xform2D::set(Vec2 s, Vec2 p, float a) {
  scale = s;
  position = p;
  angle = a;
  dirty = kXformDirtyAll;
  ++changes;
}

const Mat23& Xform2D::matrix() {
  if (dirty & (kXformDirtyAngle | kXformDirtyScale)) {
    const float c = std::cos(angle), s = std::sin(angle);
    mat = Mat23::compose(Mat23(scale.x, 0, 0, scale.y, 0, 0), Mat23(c, s, -s, c, 0, 0));
  }
  if (dirty) mat.setTranslation(position.x, position.y);
  dirty = 0;
  return mat;
}

Vec2 Xform2D::mapPoint(Vec2 p) { return matrix().map(p); }

Vec3 Xform2D::mapPointKeepZ(const Vec3& p) {
  Vec2 q = matrix().map({p.x, p.y});
  return {q.x, q.y, p.z};
}

Segment2 Xform2D::mapSegment(const Segment2& s) {
  Vec2 a = mapPoint({s.x0, s.y0}), b = mapPoint({s.x1, s.y1});
  return {a.x, a.y, b.x, b.y};
}

Rect2 Xform2D::mapBox(const Rect2& r) {
  Vec2 a = mapPoint({r.x0, r.y0}), b = mapPoint({r.x1, r.y1});
  return {a.x, a.y, b.x, b.y};
}

void Xform3D::set(const Vec3& s, const Vec3& p, const Quat& r) {
  scale = s;
  position = p;
  rotation = r;
  dirty = kXformDirtyAll;
  ++changes;
}

const Mat43& Xform3D::matrix() {
  if (dirty & (kXformDirtyAngle | kXformDirtyScale)) {
    Mat43 m;
    m.m[0] = scale.x, m.m[4] = scale.y, m.m[8] = scale.z;
    mat43MulRot3(m, rotation.toMat33());
    mat = m;
  }
  if (dirty) mat.setTranslation(position.x, position.y, position.z);
  dirty = 0;
  return mat;
}
