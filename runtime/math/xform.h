// Transform nodes: a position, rotation and scale with the matrix built from them, rebuilt
// only after a change. Points map as ((p scaled) rotated) + position.
#pragma once
#include <cstdint>

#include "runtime/math/matrix.h"
#include "runtime/math/quat.h"
#include "runtime/math/shapes.h"

// Dirty bits of a transform node.
constexpr uint32_t kXformDirtyPosition = 1;
constexpr uint32_t kXformDirtyAngle = 2;
constexpr uint32_t kXformDirtyScale = 4;
constexpr uint32_t kXformDirtyAll = 7;

struct Xform2D {
  uint32_t changes = 0;  // incremented by every set
  Vec2 position;
  float angle = 0;  // radians
  Vec2 scale;
  uint32_t dirty = 0;
  Mat23 mat;

  void set(Vec2 scale, Vec2 position, float angle);
  const Mat23& matrix();
  Vec2 mapPoint(Vec2 p);
  Vec3 mapPointKeepZ(const Vec3& p);  // z copied unchanged
  Segment2 mapSegment(const Segment2& s);
  Rect2 mapBox(const Rect2& r);  // both corners mapped
};

struct Xform3D {
  uint32_t changes = 0;
  Vec3 position;
  Quat rotation;
  Vec3 scale;
  uint32_t dirty = 0;
  Mat43 mat;

  void set(const Vec3& scale, const Vec3& position, const Quat& rotation);
  const Mat43& matrix();
};
