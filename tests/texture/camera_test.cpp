// Cameras: revisions, lazy state, orientation, moves and viewport-to-world points.
#include "render/camera/cam_mgr.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectNear(const Vec3& a, const Vec3& b, const char* what) {
  EXPECT_NEAR(a.x, b.x, 1e-4f) << what;
  EXPECT_NEAR(a.y, b.y, 1e-4f) << what;
  EXPECT_NEAR(a.z, b.z, 1e-4f) << what;
}

TEST(Camera, SettersCountRevisionsMovesDoNotAndPointsFollow) {
  CamData c;
  expectNear(c.vp2wp(1, 1, 0), {1.4f, 1, -9}, "near corner of the default");
  EXPECT_NEAR(c.vp2wp(0, 0, 1).z, 9990.0f, 5.0f);
  EXPECT_EQ(c.dirty(), 0u);
  c.set_pos({1, 2, 3});
  c.set_aim({1, 2, 13});
  c.set_fov(1.0f);
  c.set_aspect(2.0f);
  c.set_zplane(0.5f, 100.0f);
  EXPECT_EQ(c.revision(), 5u);
  EXPECT_EQ(c.dirty(), CamData::kDirtyOrientation | CamData::kDirtyMatrices);
  c.get_rotation();
  EXPECT_EQ(c.dirty(), CamData::kDirtyMatrices);
  c.view();
  c.move_fwd3d(2);
  c.move_side3d(-1);
  EXPECT_EQ(c.revision(), 5u);
  EXPECT_EQ(c.dirty(), CamData::kDirtyMatrices);
  expectNear(c.get_pos(), {0, 2, 5}, "moved");
  expectNear(c.vp2wp(0, 0, 0), {0, 2, 5.5f}, "near centre after moves");

  // Aimed along +X, the right is -Z (left-handed: up x dir).
  c.set_aim({10, 2, 5});
  expectNear(c.get_dir(), {1, 0, 0}, "aimed dir");
  expectNear(c.get_right(), {0, 0, -1}, "aimed right");
  EXPECT_EQ(c.revision(), 6u);
}

TEST(Camera, RollQuaternionAndSingularProjection) {
  CamData c;
  const float r = 0.5f;
  c.set_roll(r);
  EXPECT_TRUE(c.rollMode());
  expectNear(c.get_up(), {std::sin(r), std::cos(r), 0}, "rolled up");
  c.set_up({0, 1, 0});
  EXPECT_FALSE(c.rollMode());
  expectNear(c.get_up(), {0, 1, 0}, "up after roll mode");

  // A quarter turn about +Y turns +Z to +X.
  const uint32_t before = c.revision();
  c.set_rotation(Quat::fromAxisAngle({0, 1, 0}, 1.5707964f));
  EXPECT_EQ(c.revision(), before + 1);
  EXPECT_EQ(c.dirty() & CamData::kDirtyOrientation, 0u);
  expectNear(c.get_right(), {0, 0, -1}, "right of rotation");
  EXPECT_NEAR(std::fabs(c.get_rotation().y), std::sqrt(0.5f), 1e-4f);
  c.move_fwd3d(1);
  expectNear(c.get_pos(), {1, 0, -10}, "forward along the rotation");

  c.set_fov(0);
  c.set_zplane(1, 10);
  expectNear(c.vp2wp(0.3f, 0.2f, 0.5f), {0, 0, 0}, "singular");
}

}  // namespace
