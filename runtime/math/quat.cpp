#include "runtime/math/quat.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// acos of a dot product that rounding may have pushed just past +-1.
float safeAcos(float c) { return std::acos(std::clamp(c, -1.0f, 1.0f)); }
}  // namespace

Quat Quat::inverted() const {
  const float n = lengthSquared();
  if (!(n > 0.0f)) return {0, 0, 0, 0};
  return conjugate().scaled(1.0f / n);
}

Quat Quat::fromAxisAngle(const Vec3& axis, float angle) {
  const float h = angle * 0.5f;
  const float s = -std::sin(h);
  return {axis.x * s, axis.y * s, axis.z * s, std::cos(h)};
}

Quat Quat::fromTo(const Vec3& u, const Vec3& v) {
  const Vec3 axis = cross(u, v);
  if (!(::lengthSquared(axis) >= 0.0001f)) return identity();
  return fromAxisAngle(vec3Normalize(axis), safeAcos(dot(u, v)));
}

Quat Quat::aimRotation(const Vec3& up, const Vec3& dir) {
  const Vec3 d = vec3Normalize(dir);
  if (::lengthSquared(d) == 0.0f) return identity();  // nothing to aim at
  // Turn +Z to the direction; straight backwards turns about +Y, which keeps +Y upright.
  Quat turn = identity();
  const Vec3 axis = cross(Vec3(0, 0, 1), d);
  if (::lengthSquared(axis) >= 1e-8f) {
    turn = fromAxisAngle(vec3Normalize(axis), safeAcos(d.z));
  } else if (d.z < 0.0f) {
    turn = fromAxisAngle(Vec3(0, 1, 0), std::numbers::pi_v<float>);
  }
  // Then roll about the direction until +Y lies along the part of up across the view.
  const Vec3 across = up - d * dot(up, d);
  if (!(::lengthSquared(across) >= 1e-8f)) return turn;  // up along the view: no roll to take
  const Vec3 want = vec3Normalize(across);
  const Vec3 have = Vec3(0, 1, 0).mulMat33(turn.toMat33());
  const float roll = std::atan2(dot(cross(have, want), d), dot(have, want));
  return quatMultiply(turn, fromAxisAngle(d, roll));
}

Mat33 Quat::toMat33() const {
  return {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * z * w,     2 * x * z + 2 * y * w,
          2 * x * y + 2 * z * w,     1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * x * w,
          2 * x * z - 2 * y * w,     2 * y * z + 2 * x * w,     1 - 2 * x * x - 2 * y * y};
}

Vec3 Quat::axisX() const { return {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * z * w, 2 * x * z + 2 * y * w}; }

Vec3 Quat::axisZ() const { return {2 * x * z - 2 * y * w, 2 * y * z + 2 * x * w, 1 - 2 * x * x - 2 * y * y}; }

Quat quatMultiply(const Quat& a, const Quat& b) {
  // With toMat33 as above, the Hamilton product a b is the rotation a, then b.
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
