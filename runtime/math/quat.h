// Quaternions as the engine builds them: fromAxisAngle enters the sine negated and toMat33
// gives the matching row-vector rotation matrix, so toMat33(fromAxisAngle(axis, a))
// rotates row vectors by a about axis (right-handed). Everything here keeps that
// convention.
#pragma once
#include "runtime/math/matrix.h"
#include "runtime/math/vec.h"

struct Quat {
  float x = 0, y = 0, z = 0, w = 1;
  constexpr Quat() = default;
  constexpr Quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

  static constexpr Quat identity() { return {}; }
  constexpr Quat conjugate() const { return {-x, -y, -z, w}; }
  constexpr float lengthSquared() const { return x * x + y * y + z * z + w * w; }
  constexpr Quat scaled(float s) const { return {x * s, y * s, z * s, w * s}; }
  Quat& scale(float s) { return *this = scaled(s); }
  // The conjugate divided by the squared length; a zero quaternion stays zero.
  Quat inverted() const;
  Quat& inverse() { return *this = inverted(); }

  static Quat fromAxisAngle(const Vec3& axis, float angle);
  // The rotation that takes direction u to direction v (identity when they are parallel).
  static Quat fromTo(const Vec3& u, const Vec3& v);
  // The camera rotation that turns +Z to dir and +Y to the part of up across dir, so
  // axisZ() is the view direction and axisX() the right. The identity for a zero dir; no
  // roll when up lies along dir.
  static Quat aimRotation(const Vec3& up, const Vec3& dir);

  Mat33 toMat33() const;
  Vec3 axisX() const;  // first row of toMat33: the camera's right
  Vec3 axisZ() const;  // third row of toMat33: the camera's direction
};

// The rotation q1 followed by q2: toMat33(quatMultiply(q1, q2)) = toMat33(q1) x toMat33(q2).
Quat quatMultiply(const Quat& q1, const Quat& q2);
