#include "render/camera/cam_data.h"

#include <cmath>

namespace {

Vec3 rotated(Vec3 v, const Quat& q) { return v.mulMat33(q.toMat33()); }

// A quaternion set by a script need not be of unit length; its axes are reported as unit
// vectors all the same.
Vec3 unitOr(Vec3 v, Vec3 fallback) { return lengthSquared(v) > 0 ? vec3Normalize(v) : fallback; }

}  // namespace

void CamData::set_pos(Vec3 p) {
  position_ = p;
  changed(kDirtyMatrices);
}

void CamData::set_aim(Vec3 aimPoint) {
  direction_ = aimPoint - position_;
  changed(kDirtyOrientation | kDirtyMatrices);
}

void CamData::set_up(Vec3 up) {
  up_ = up;
  rollMode_ = 0;
  changed(kDirtyOrientation | kDirtyMatrices);
}

void CamData::set_roll(float radians) {
  roll_ = radians;
  rollMode_ = 1;
  changed(kDirtyOrientation | kDirtyMatrices);
}

void CamData::set_fov(float radians) {
  fov_ = radians;
  changed(kDirtyMatrices);
}

void CamData::set_aspect(float aspect) {
  aspect_ = aspect;
  changed(kDirtyMatrices);
}

void CamData::set_zplane(float zNear, float zFar) {
  near_ = zNear;
  far_ = zFar;
  changed(kDirtyMatrices);
}

Quat CamData::get_rotation() {
  updateOrientation();
  return rotation_;
}

void CamData::set_rotation(Quat q) {
  rotation_ = q;
  takeAxes();
  // A later set_aim builds on this orientation's up, not on the hint before it (roll mode
  // reads no hint, and set_up replaces it).
  up_ = upAxis_;
  ++revision_;
  dirty_ = (dirty_ & ~kDirtyOrientation) | kDirtyMatrices;
}

void CamData::move_fwd3d(float distance) {
  updateOrientation();
  position_ = position_ + direction_ * distance;
  dirty_ |= kDirtyMatrices;
}

void CamData::move_side3d(float distance) {
  updateOrientation();
  position_ = position_ + right_ * distance;
  dirty_ |= kDirtyMatrices;
}

Vec3 CamData::vp2wp(float x, float y, float z) {
  Mat44 inverse;
  if (!viewProjection().inverse(inverse)) return {0, 0, 0};
  Vec4 v(x, y, z, 1);
  mulVec4Mat44(inverse, v);
  if (v.w == 0 || !std::isfinite(v.w)) return {0, 0, 0};
  return {v.x / v.w, v.y / v.w, v.z / v.w};
}

Vec3 CamData::get_dir() {
  updateOrientation();
  return direction_;
}

Vec3 CamData::get_up() {
  updateOrientation();
  return upAxis_;
}

Vec3 CamData::get_right() {
  updateOrientation();
  return right_;
}

const Mat43& CamData::view() {
  updateMatrices();
  return view_;
}

const Mat44& CamData::projection() {
  updateMatrices();
  return projection_;
}

const Mat44& CamData::viewProjection() {
  updateMatrices();
  return viewProjection_;
}

void CamData::updateOrientation() {
  if (!(dirty_ & kDirtyOrientation)) return;
  dirty_ &= ~kDirtyOrientation;
  if (rollMode_) {
    // The hint stays untouched, so set_up and set_aim after roll mode start afresh.
    const Quat upright = Quat::aimRotation({0, 1, 0}, direction_);
    const Vec3 up = rotated({0, 1, 0}, upright) * std::cos(roll_) + rotated({1, 0, 0}, upright) * std::sin(roll_);
    rotation_ = Quat::aimRotation(up, direction_);
  } else {
    rotation_ = Quat::aimRotation(up_, direction_);
  }
  takeAxes();
}

void CamData::takeAxes() {
  direction_ = unitOr(rotation_.axisZ(), {0, 0, 1});
  right_ = unitOr(rotation_.axisX(), {1, 0, 0});
  upAxis_ = unitOr(rotated({0, 1, 0}, rotation_), {0, 1, 0});
}

void CamData::updateMatrices() {
  if (!(dirty_ & kDirtyMatrices)) return;
  dirty_ &= ~kDirtyMatrices;
  updateOrientation();
  view_ = Mat43::translation(-position_.x, -position_.y, -position_.z);
  mat43MulRot3(view_, rotation_.inverted().toMat33());
  projection_ = Mat44::perspectiveFovLH(fov_, aspect_, near_, far_);
  viewProjection_ = view_ * projection_;
}
