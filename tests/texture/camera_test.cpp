// Cameras: revisions, lazy state, orientation, moves and viewport-to-world points.
#include "render/camera/cam_mgr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

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

// ---- orientation right after each setter

constexpr float kS = 0.70710678f;  // sqrt(1/2)

struct View {
  const char* name;
  Vec3 dir, right, up;  // worked out by hand: right = up x dir, left-handed
};

// The upright orientation (as set_up(0, 1, 0) gives it) of each view; along +-Y the
// shortest turn from +Z keeps right on +X.
const View kViews[] = {
    {"+Z", {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},     {"-Z", {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    {"+X", {1, 0, 0}, {0, 0, -1}, {0, 1, 0}},    {"-X", {-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {"+Y", {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},    {"-Y", {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    {"pitched", {0, kS, kS}, {1, 0, 0}, {0, kS, -kS}},
};

const Vec3 kFrom{1, 2, 3};

// What one probe reads of a camera that nothing has read since its last setter; moves
// are checked to keep the revision.
struct Seen {
  Vec3 dir, right, up, fwd, side;
};

Seen probe(const CamData& c) {
  Seen s;
  CamData a = c, b = c, d = c, f = c, g = c;
  s.dir = a.get_dir();
  s.right = b.get_right();
  s.up = d.get_up();
  f.move_fwd3d(5);
  g.move_side3d(2);
  EXPECT_EQ(f.revision(), c.revision());
  EXPECT_EQ(g.revision(), c.revision());
  s.fwd = f.get_pos() - kFrom;
  s.side = g.get_pos() - kFrom;
  return s;
}

void expectView(const Seen& s, const Vec3& dir, const Vec3& right, const Vec3& up, const std::string& what) {
  expectNear(s.dir, dir, (what + " dir").c_str());
  expectNear(s.right, right, (what + " right").c_str());
  expectNear(s.up, up, (what + " up").c_str());
  expectNear(s.fwd, dir * 5, (what + " move_fwd3d").c_str());
  expectNear(s.side, right * 2, (what + " move_side3d").c_str());
}

// A camera as CamMgr:create makes it: position, aim, clip planes.
CamData created(const Vec3& dir) {
  CamData c;
  c.set_pos(kFrom);
  c.set_aim(kFrom + dir * 10);
  c.set_zplane(1, 100);
  return c;
}

TEST(Camera, EveryGetterAndMoveSeesTheLastSetter) {
  for (const View& v : kViews) {
    const std::string n = v.name;
    expectView(probe(created(v.dir)), v.dir, v.right, v.up, n + " created");

    // The last setter is the aim, from a camera that was read looking elsewhere.
    CamData c = created({0, 0, 1});
    c.get_right();
    c.set_aim(kFrom + v.dir);
    expectView(probe(c), v.dir, v.right, v.up, n + " set_aim");

    // set_up after a tilted hint; set_roll(0) and set_rotation land on the same frame.
    c.set_up({1, 1, 0});
    c.get_up();
    c.set_up({0, 1, 0});
    expectView(probe(c), v.dir, v.right, v.up, n + " set_up");
    CamData r = created(v.dir);
    r.set_roll(0);
    expectView(probe(r), v.dir, v.right, v.up, n + " set_roll(0)");
    CamData q = created({0, 0, 1});
    q.set_up({1, 1, 0});
    q.set_rotation(created(v.dir).get_rotation());
    expectView(probe(q), v.dir, v.right, v.up, n + " set_rotation");
    // Aimed again, it keeps the rotation's up rather than the tilted hint before it.
    q.set_aim(kFrom + v.dir);
    expectView(probe(q), v.dir, v.right, v.up, n + " set_rotation, then set_aim");
  }
}

TEST(Camera, RollTurnsUpTowardTheRightAboutAnyView) {
  const float a = 0.4f, cs = std::cos(a), sn = std::sin(a);
  for (const View& v : kViews) {
    const std::string n = v.name;
    const Vec3 up = v.up * cs + v.right * sn, right = v.right * cs - v.up * sn;
    CamData c = created(v.dir);
    c.set_roll(a);
    expectView(probe(c), v.dir, right, up, n + " rolled");
    // Roll stays about the view when the aim changes in roll mode.
    CamData d = created({0, 0, 1});
    d.set_roll(a);
    d.get_up();
    d.set_aim(kFrom + v.dir);
    expectView(probe(d), v.dir, right, up, n + " rolled, then aimed");
    // set_up ends roll mode.
    d.set_up({0, 1, 0});
    EXPECT_FALSE(d.rollMode());
    expectView(probe(d), v.dir, v.right, v.up, n + " set_up after roll");
  }
  // The +Z view as it always was: up (sin r, cos r, 0).
  CamData z;
  z.set_roll(a);
  expectNear(z.get_up(), {sn, cs, 0}, "+Z rolled up");
}

TEST(Camera, ReportedAxesAreUnitAndReaimingKeepsRollZero) {
  for (bool rolled : {false, true}) {
    CamData c = created({0, 1, 1});
    if (rolled) c.set_roll(0);
    EXPECT_NEAR(length(c.get_right()), 1.0f, 1e-5f);
    EXPECT_NEAR(length(c.get_up()), 1.0f, 1e-5f);
    EXPECT_NEAR(dot(c.get_up(), c.get_dir()), 0.0f, 1e-5f);
    // Aiming twice more, elsewhere and back, adds no roll.
    c.set_aim(kFrom + Vec3{1, 0, 0});
    expectNear(c.get_right(), {0, 0, -1}, "re-aimed right stays level");
    c.set_aim(kFrom + Vec3{0, 1, 1});
    expectView(probe(c), {0, kS, kS}, {1, 0, 0}, {0, kS, -kS}, rolled ? "rolled re-aim" : "re-aim");
  }
  // A quaternion of length 2 still reports unit axes.
  CamData q;
  q.set_rotation({0, 0, 0, 2});
  expectNear(q.get_right(), {1, 0, 0}, "scaled quaternion right");
  expectNear(q.get_dir(), {0, 0, 1}, "scaled quaternion dir");
}

TEST(Camera, AimAtItsOwnPositionLooksAlongZ) {
  CamData c;
  c.set_pos(kFrom);
  c.set_aim(kFrom);
  c.set_zplane(1, 100);
  expectView(probe(c), {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, "aim at position");
}

}  // namespace
