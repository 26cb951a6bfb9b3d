// One camera: position, orientation (aim direction with an up vector, a roll angle, or
// a quaternion set directly), field of view, aspect and clip planes. Setters store and
// raise dirty flags; the orientation and the matrices are rebuilt when read, so every
// getter and move sees what the last setter asked for. The up vector a script gives is a
// hint the orientation is built from; the reported axes are the rotation's rows (unit,
// at right angles). Direct3D conventions: left-handed, row vectors, depth 0..1.
#pragma once
#include <cstdint>

#include "runtime/math/matrix.h"
#include "runtime/math/quat.h"
#include "runtime/math/vec.h"

class CamData {
 public:
  static constexpr uint32_t kDirtyOrientation = 1;
  static constexpr uint32_t kDirtyMatrices = 2;

  // Every setter but the two moves adds one to the revision.
  void set_pos(Vec3 p);
  void set_aim(Vec3 aimPoint);
  void set_up(Vec3 up);
  // Turns the upright orientation (that of set_up(0, 1, 0)) about the view direction, up
  // toward the right for a positive angle. Looking along +Y or -Y the upright orientation
  // is the shortest turn from the +Z view: right stays +X, up is -Z looking up and +Z
  // looking down.
  void set_roll(float radians);
  void set_fov(float radians);
  void set_aspect(float aspect);
  void set_zplane(float zNear, float zFar);
  Quat get_rotation();
  void set_rotation(Quat q);
  void move_fwd3d(float distance);
  void move_side3d(float distance);
  Vec3 get_pos() const { return position_; }
  // The world point of a viewport point (x, y in -1..1, z in 0..1); (0, 0, 0) when the
  // view-projection matrix has no inverse.
  Vec3 vp2wp(float x, float y, float z);
  Vec3 get_dir();
  Vec3 get_up();
  Vec3 get_right();

  // For the renderer, each after the rebuild.
  const Mat43& view();
  const Mat44& projection();
  const Mat44& viewProjection();

  uint32_t revision() const { return revision_; }
  uint32_t dirty() const { return dirty_; }
  float fov() const { return fov_; }
  float aspect() const { return aspect_; }
  float zNear() const { return near_; }
  float zFar() const { return far_; }
  bool rollMode() const { return rollMode_ != 0; }

 private:
  void changed(uint32_t flags) {
    ++revision_;
    dirty_ |= flags;
  }
  void updateOrientation();
  // The reported direction, right and up from the rotation.
  void takeAxes();
  void updateMatrices();

  uint32_t revision_ = 0;
  Vec3 position_{0, 0, -10};
  Vec3 up_{0, 1, 0};
  Vec3 direction_{0, 0, 1};
  Vec3 right_{1, 0, 0};
  Vec3 upAxis_{0, 1, 0};  // the rotation's up; up_ is the script's hint
  float fov_ = 1.5707964f;  // 2 atan2(1, 1)
  float aspect_ = 1.4f;
  float near_ = 1.0f;
  float far_ = 10000.0f;
  float roll_ = 0;
  Quat rotation_;
  uint8_t rollMode_ = 0;
  Mat43 view_;
  Mat44 viewProjection_;
  Mat44 projection_;
  uint32_t dirty_ = kDirtyOrientation | kDirtyMatrices;
};
