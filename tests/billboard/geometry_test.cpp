// Billboard geometry against a fake camera: corners, distance gain, z offset, the
// collapse seen from above, the axis lock and the transparency threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "hud/billboard/billboard.h"
#include "hud/billboard/hud_text3d.h"
#include "render/draw/dtag_queue.h"

namespace {

using billboard::CameraView;

class FakeCamera final : public IDTagQ {
 public:
  FakeCamera(Vec3 eye, Vec3 up, Vec3 dir) : eye_(eye), up_(up), dir_(dir) {}
  void addEntry(const DrawEntry& e) override { entries.push_back(e); }
  Vec3 eyePosition() const override { return eye_; }
  Vec3 cameraAxis(int axis) const override { return axis == 1 ? up_ : axis == 2 ? dir_ : cross(up_, dir_); }
  std::vector<DrawEntry> entries;

 private:
  Vec3 eye_, up_, dir_;
};

const CameraView kFront{{0, 0, -10}, {0, 1, 0}, {0, 0, 1}};

void expectVec(const Vec3& got, const Vec3& want) {
  EXPECT_NEAR(got.x, want.x, 1e-5f);
  EXPECT_NEAR(got.y, want.y, 1e-5f);
  EXPECT_NEAR(got.z, want.z, 1e-5f);
}

Vec3 row(const Mat43& m, int r) { return {m(r, 0), m(r, 1), m(r, 2)}; }

TEST(Billboard, CornersGainAndOffset) {
  Billboard b;
  b.setSize(2, 1);
  b.setAlpha(0.25f);
  b.rebuild(kFront);
  const Vec3 want[4] = {{-1, 0.5f, 0}, {1, 0.5f, 0}, {1, -0.5f, 0}, {-1, -0.5f, 0}};
  for (int i = 0; i < 4; ++i) expectVec(b.positions[i].pos, want[i]);
  EXPECT_EQ(b.uvs[2].u + b.uvs[2].v, 2.0f);
  EXPECT_EQ(b.uvs[3].alpha, 0.25f);

  // Linear gain: twice as far, twice as large; the stored size is left as it was.
  b.setDistGain(1, 1);
  b.rebuild(kFront);
  EXPECT_NEAR(b.positions[1].pos.x, 10.0f, 1e-4f);
  EXPECT_NEAR(b.positions[1].pos.y, 5.0f, 1e-4f);
  b.setPos({0, 0, 10});
  b.rebuild(kFront);
  EXPECT_NEAR(b.positions[1].pos.x, 20.0f, 1e-4f);
  EXPECT_EQ(b.size.x, 2.0f);
  EXPECT_NEAR(b.distanceScale(kFront.eye), 20.0f, 1e-4f);

  // A negative z offset comes one unit toward the camera; the axis plays no part.
  b.setDistGain(1, 0);
  b.setZOffset(-1);
  b.setAxis({1, 0, 0});
  b.rebuild(kFront);
  expectVec(b.positions[0].pos, {-1, 0.5f, 9});
}

TEST(Billboard, EntriesAndTransparency) {
  FakeCamera cam({0, 0, -10}, {0, 1, 0}, {0, 0, 1});
  Billboard b;
  b.item = 77;
  b.setPos({0, 0, 5});
  b.enqueueDraw(cam);
  BillboardY y;
  y.item = 78;
  y.setPos({3, 4, -10});
  y.setAlpha(0.99f);
  y.enqueueDraw(cam);
  y.setAlpha(1.0f);
  y.enqueueDraw(cam);
  ASSERT_EQ(cam.entries.size(), 3u);
  const DrawEntry& e = cam.entries[0];
  EXPECT_EQ(e.transparency, 0u);
  EXPECT_EQ(e.item.value, 77u);
  EXPECT_EQ(e.key.streams[2], 2u);
  EXPECT_EQ(cam.entries[1].transparency, 1u);
  EXPECT_EQ(cam.entries[1].key.streams[1], 1u);
  EXPECT_EQ(cam.entries[1].distance, 25.0f);
  EXPECT_EQ(cam.entries[1].item.value, 78u);
  EXPECT_EQ(cam.entries[2].transparency, 0u);
  EXPECT_EQ(cam.entries[2].key.streams[1], 0u);
}

TEST(BillboardY, LevelQuadOncePerFrameAndTopView) {
  BillboardY y;
  y.setSize(4, 2);
  y.setPos({1, 2, 3});
  // A rolled camera: the edges stay level all the same.
  const float h = std::sqrt(0.5f);
  const CameraView rolled{{0, 0, -10}, {h, h, 0}, {0, 0, 1}};
  y.rebuild(rolled, 1);
  const Vec3 want[4] = {{-1, 3, 3}, {3, 3, 3}, {3, 1, 3}, {-1, 1, 3}};
  for (int i = 0; i < 4; ++i) expectVec(y.positions[i].pos, want[i]);

  // Same frame and camera: kept, though the position moved.
  y.setPos({5, 5, 5});
  y.rebuild(rolled, 1);
  expectVec(y.positions[0].pos, want[0]);
  // Same frame, another camera (a second pass): rebuilt; from straight above the quad
  // collapses onto the position.
  const CameraView above{{1, 20, 3}, {0, 0, 1}, {0, -1, 0}};
  y.rebuild(above, 1);
  for (int i = 0; i < 4; ++i) expectVec(y.positions[i].pos, {5, 5, 5});
  // The next frame with the same camera: rebuilt.
  y.setAlpha(0.5f);
  y.rebuild(above, 2);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(y.uvs[i].alpha, 0.5f);
  EXPECT_EQ(y.frame, 2u);
}

TEST(BillboardY, AnyChangeOfTheCameraRebuilds) {
  const CameraView base{{0, 0, -10}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
  EXPECT_TRUE(billboard::sameView(base, base));
  for (int field = 0; field < 4; ++field) {
    CameraView other = base;
    Vec3* v[4] = {&other.eye, &other.up, &other.dir, &other.right};
    v[field]->y += 0.5f;
    EXPECT_FALSE(billboard::sameView(base, other)) << field;
    BillboardY y;
    y.rebuild(base, 1);
    y.setPos({0, 7, 0});
    y.rebuild(other, 1);
    EXPECT_EQ(y.positions[0].pos.y > 6, true) << field;
  }
}

TEST(BillboardBase, WorldMatrixAxisLock) {
  BillboardBase b;
  b.setPos({5, 0, 0});
  b.setSize(2, 3);
  b.setZOffset(-1);
  const float h = std::sqrt(0.5f);
  const CameraView rolled{{5, 0, -10}, {h, h, 0}, {0, 0, 1}};

  // Free: the frame follows the camera's up vector; y is negated for the text layout.
  Mat43 m = b.worldMatrix(rolled);
  expectVec(row(m, 0), cross(rolled.up, rolled.dir) * 2.0f);
  expectVec(row(m, 1), rolled.up * -3.0f);
  expectVec(row(m, 2), {0, 0, 1});
  expectVec(row(m, 3), {5, 0, -1});

  // Locked to the world y axis: a level baseline although the camera rolls.
  b.setAxis({0, 1, 0});
  m = b.worldMatrix(rolled);
  expectVec(row(m, 0), {2, 0, 0});
  expectVec(row(m, 1), {0, -3, 0});
  expectVec(row(m, 2), {0, 0, 1});

  // Seen along the locked axis: nothing left to draw.
  m = b.worldMatrix({{5, 10, 0}, {0, 0, 1}, {0, -1, 0}});
  for (int r = 0; r < 3; ++r) expectVec(row(m, r), {0, 0, 0});

  b.disableAxis();
  EXPECT_EQ(b.worldMatrix(rolled)(1, 0), (rolled.up * -3.0f).x);

  // Distance gain scales every row of the frame.
  b.setDistGain(0.1f, 1);
  m = b.worldMatrix(rolled);
  expectVec(row(m, 2), {0, 0, 1});
  b.setPos({5, 0, 10});
  m = b.worldMatrix(rolled);
  expectVec(row(m, 2), {0, 0, 2});
}

TEST(HUDText3D, WorldMatrixKeptForOneFrameAndCamera) {
  HUDText3D t;
  t.setPos({1, 2, 3});
  t.rebuildWorld(kFront, 1);
  const Mat43 first = t.world;
  // Same frame and camera: kept, though the position moved.
  t.setPos({4, 2, 3});
  t.rebuildWorld(kFront, 1);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(t.world.m[i], first.m[i]);
  // Same frame, another camera: rebuilt.
  const CameraView turned{{0, 0, -10}, {1, 0, 0}, {0, 0, 1}};
  t.rebuildWorld(turned, 1);
  EXPECT_NE(t.world.m[0], first.m[0]);
  // The next frame with the first camera: rebuilt at the new position.
  t.rebuildWorld(kFront, 2);
  EXPECT_EQ(t.world(3, 0), first(3, 0) + 3);
  EXPECT_EQ(t.frame, 2u);
}

}  // namespace
