// Geometry of the 3D HUD primitives, built without a device: vertex and index counts and
// values, dirty bits, draw entries, ribbons and trails.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "hud/prim3d/hud_ray.h"
#include "hud/prim3d/mat_plane.h"
#include "hud/prim3d/plant_sphere.h"
#include "hud/prim3d/poly_line.h"
#include "render/draw/dtag_queue.h"
#include "script/lua/script_report.h"

namespace {

using prim3d::ColorVtx;

struct Queue final : IDTagQ {
  std::vector<DrawEntry> entries;
  Vec3 eye{0, 0, 0};
  void addEntry(const DrawEntry& e) override { entries.push_back(e); }
  Vec3 eyePosition() const override { return eye; }
  Vec3 cameraAxis(int) const override { return {0, 1, 0}; }
};

void expectNear(const Vec3& a, const Vec3& b, float eps = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

uint32_t alphaOf(const ColorVtx& v) { return v.color >> 24; }

TEST(Prim3dColor, ChannelsTruncateAndClamp) {
  const struct {
    Vec4 in;
    uint32_t out;
  } cases[] = {{{1, 1, 1, 1}, 0xFFFFFFFFu},
               {{1, 0.5f, 0, 1}, 0xFFFF7F00u},
               {{0.2f, 0.4f, 0.6f, 0.8f}, 0xCC336699u},
               {{2, -1, 0.5f, 7}, 0xFFFF007Fu},
               {{NAN, 0, 1, 0}, 0x000000FFu}};
  for (const auto& c : cases) EXPECT_EQ(prim3d::colorToARGB(c.in), c.out) << std::hex << c.out;
}

TEST(Prim3dSphere, DefaultMeshAndMatrix) {
  PlantSphere s;
  s.setColor({1, 0, 0}, 1);
  Queue q;
  q.eye = {0, 3, 4};
  s.enqueueDraw(q);
  const auto& v = s.mesh.vertices;
  const auto& idx = s.mesh.indices;
  ASSERT_EQ(v.size(), 58u);
  ASSERT_EQ(idx.size(), 336u);
  for (const ColorVtx& x : v) {
    EXPECT_EQ(x.color, 0xFFFF0000u);
    EXPECT_NEAR(length(x.pos), 0.5f, 1e-5f);
    expectNear(x.normal, x.pos * 2.0f);
  }
  // First ring at pi/8 below the pole, starting at longitude 0 (+z).
  expectNear(v[1].pos, {0, 0.5f * std::cos(prim3d::kPi / 8), 0.5f * std::sin(prim3d::kPi / 8)});
  const std::vector<uint16_t> lastCap(idx.begin() + 21, idx.begin() + 27);
  EXPECT_EQ(lastCap, (std::vector<uint16_t>{0, 8, 1, 1, 9, 2}));  // top cap's wrap, then the first band
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(q.entries[0].distance, 5.0f);
}

TEST(Prim3dSphere, DivisionLimitsAndDirtyBits) {
  PlantSphere s;
  s.update();
  s.setDivision(5, 2);
  EXPECT_EQ(s.dirty, PlantSphere::kMeshBit);
  s.update();
  EXPECT_EQ(s.mesh.vertices.size(), 7u);
  EXPECT_EQ(s.mesh.indices.size(), 30u);
  s.setDivision(1, -4);  // raised to 3 sectors, 2 stacks
  EXPECT_EQ(s.sectors, 3);
  EXPECT_EQ(s.stacks, 2);
  s.setDivision(256, 257);  // 256 * 256 + 2 vertices: refused
  EXPECT_EQ(s.sectors, 3);
  s.setDivision(256, 256);  // 255 * 256 + 2 fits
  EXPECT_EQ(s.sectors, 256);
  s.update();
  s.setCenter({1, 2, 3});
  s.setRadius(2);
  EXPECT_EQ(s.dirty, PlantSphere::kMatrixBit);
  s.update();
  EXPECT_EQ(s.world.m[8], 4.0f);
  EXPECT_EQ(s.world.translationRow(), (Vec3{1, 2, 3}));
}

TEST(Prim3dRay, DefaultMeshProfileAndFade) {
  HUDRay r;
  r.update();
  const auto& v = r.mesh.vertices;
  ASSERT_EQ(v.size(), 96u);
  ASSERT_EQ(r.mesh.indices.size(), 504u);
  EXPECT_NEAR(length(Vec3{v[48].pos.x, v[48].pos.y, 0}), 0.7929f, 1e-3f);
  expectNear(v[0].pos, {0, 1.1464f, 0}, 1e-3f);  // phi 0 points along +y
  // Rings 5, 6, 7 mirror rings 3, 2, 1.
  for (size_t j = 5; j < 8; ++j) {
    EXPECT_EQ(v[j * 12 + 5].pos.x, v[(8 - j) * 12 + 5].pos.x) << j;
    EXPECT_EQ(v[j * 12 + 5].normal.z, -v[(8 - j) * 12 + 5].normal.z) << j;
    EXPECT_NEAR(v[j * 12].pos.z, float(j) / 7, 1e-5f);
  }
  EXPECT_GT(v[0].normal.z, 0.0f);  // the ends open outward
  EXPECT_EQ(v[48].normal.z, 0.0f);
  EXPECT_EQ(alphaOf(v[0]), 0u);
  const std::vector<uint16_t> wrap(r.mesh.indices.begin() + 66, r.mesh.indices.begin() + 72);
  EXPECT_EQ(wrap, (std::vector<uint16_t>{11, 0, 23, 23, 0, 12}));
}

TEST(Prim3dRay, OddRingsPeakInTheMiddle) {
  for (int rings : {3, 5}) {
    HUDRay r;
    r.setColor({0, 1, 0}, 1);
    r.setDivision(4, rings);
    r.update();
    const auto& v = r.mesh.vertices;
    ASSERT_EQ(v.size(), size_t(4 * rings));
    const size_t mid = size_t(rings / 2) * 4;
    EXPECT_EQ(v[mid].color, 0x7F00FF00u) << rings;
    EXPECT_EQ(alphaOf(v.back()), 0u);
  }
  // Builders: sectors and rings or stacks, and the vertices made (0: refused).
  const struct {
    bool ray;
    int32_t n, m;
    size_t vertices;
  } limits[] = {{true, 0, 8, 0},   {true, 4, 1, 0},  {true, 256, 257, 0},  {true, 256, 256, 65536},
                {false, 2, 8, 0},  {false, 8, 1, 0}, {false, 3, 2, 5},     {false, 256, 257, 0},
                {false, 256, 256, 65282}};
  for (const auto& c : limits) {
    std::vector<ColorVtx> v;
    std::vector<uint16_t> idx;
    const bool made = c.ray ? prim3d::buildRayMesh(c.n, c.m, 1.5f, v, idx) : prim3d::buildSphereMesh(c.n, c.m, 0, v, idx);
    EXPECT_EQ(made, c.vertices > 0) << c.ray << " " << c.n << " " << c.m;
    EXPECT_EQ(v.size(), c.vertices) << c.ray << " " << c.n << " " << c.m;
  }
  HUDRay r;
  r.setDivision(0, 1);
  EXPECT_EQ(r.sectors, 1);
  EXPECT_EQ(r.rings, 2);
  r.update();
  EXPECT_EQ(r.mesh.vertices.size(), 2u);
  for (const ColorVtx& x : r.mesh.vertices) EXPECT_TRUE(finite(x.normal) && finite(x.pos));
}

TEST(Prim3dRay, PlacementAndDirtyBits) {
  struct Case {
    Vec3 start, end;
  } cases[] = {{{-50, 0, 0}, {50, 0, 0}}, {{1, 2, 3}, {1, 12, 3}}, {{0, 0, 0}, {3, -4, 12}}};
  for (const Case& c : cases) {
    const Mat43 m = prim3d::placeRay(c.start, c.end, 2.0f);
    expectNear(mat3MulVec3(m, {0, 0, 0}), c.start);
    expectNear(mat3MulVec3(m, {0, 0, 1}), c.end);
    const Vec3 side = mat3MulVec3(m, {1, 0, 0}) - c.start;
    const Vec3 up = mat3MulVec3(m, {0, 1, 0}) - c.start;
    EXPECT_NEAR(length(side), 2.0f, 1e-4f);
    EXPECT_NEAR(dot(side, c.end - c.start), 0.0f, 1e-3f);
    EXPECT_NEAR(dot(up, side), 0.0f, 1e-3f);
  }
  const Mat43 still = prim3d::placeRay({1, 1, 1}, {1, 1, 1}, 2.0f);
  for (float x : still.m) EXPECT_TRUE(std::isfinite(x));

  HUDRay r;
  r.update();
  r.setColor({1, 1, 1}, 0.5f);
  EXPECT_EQ(r.dirty, HUDRay::kColorBit);
  r.update();
  EXPECT_EQ(alphaOf(r.mesh.vertices[48]), uint32_t((0.5f - std::fabs(4.0f / 7 - 0.5f)) * 0.5f * 255.0f));
  r.setPos({0, 0, 0}, {0, 10, 0});
  r.setRadius(1, 1, 0);
  EXPECT_EQ(r.dirty, HUDRay::kPlaceBit | HUDRay::kMeshBit);
  r.update();
  expectNear(mat3MulVec3(r.world, {0, 0, 1}), {0, 10, 0});
  Queue q;
  r.enqueueDraw(q);
  EXPECT_TRUE(q.entries.empty());  // nothing on a device yet
}

TEST(Prim3dMatPlane, LayoutEntryAndParallelDirection) {
  HUDMatPlane p;
  p.setPos({1, 2, 3});
  p.setDir({0, 0, 1});
  p.setSize(10);
  p.setIteration(3);
  prim3d::MatPVtx v[4];
  for (int i = 0; i < 4; ++i) v[i] = p.vertices[i];
  ASSERT_TRUE(prim3d::layOutMatPlane(p.pos, p.dir, p.size, p.iteration, {0, 1, 0}, v));
  const Vec3 corners[4] = {{11, 12, 3}, {-9, 12, 3}, {-9, -8, 3}, {11, -8, 3}};
  const std::array<float, 4> uvs[4] = {{0, 0, 0, 0}, {3, 0, 1, 0}, {3, 3, 1, 1}, {0, 3, 0, 1}};  // tu, tv, u, v
  for (int i = 0; i < 4; ++i) {
    expectNear(v[i].pos, corners[i]);
    EXPECT_EQ((std::array{v[i].tu, v[i].tv, v[i].u, v[i].v}), uvs[i]) << i;
  }
  // The default direction lies along the up axis: nothing to lay out.
  prim3d::MatPVtx keep[4] = {};
  EXPECT_FALSE(prim3d::layOutMatPlane({0, 0, 0}, {0, 1, 0}, 1000, 4, {0, 1, 0}, keep));

  Queue q;
  q.eye = {1, 2, 0};
  p.enqueueDraw(q);
  ASSERT_EQ(q.entries.size(), 1u);
  const DrawEntry& e = q.entries[0];
  EXPECT_EQ(e.distance, 9.0f);
  EXPECT_TRUE(e.key.isBatched());
  EXPECT_EQ(e.item.value, p.item);
}

prim3d::RibbonRects rects() { return {{0, 0, 0.25f, 1}, {0.75f, 0, 1, 1}, {0.25f, 0, 0.75f, 1}}; }

TEST(Prim3dRibbon, LongAndShortLinesBodiesAndCaps) {
  // A zero-length line builds nothing; a short one only its caps, anchored apart.
  PolyLineS s;
  s.source.rects = rects();
  s.setPos({2, 2, 2}, {2, 2, 2});
  EXPECT_EQ(s.build({0, 0, 100}), 0u);
  s.setPos({0, 0, 0}, {5, 0, 0});
  s.setAlpha(0.25f);
  ASSERT_EQ(s.build({0, 0, 100}), 12u);
  // End anchor moved to x = 10: the end cap spans 5..15, the begin cap -5..5.
  EXPECT_NEAR(s.streamA[1].pos.x, -5.0f, 1e-4f);
  EXPECT_NEAR(s.streamA[4].pos.x, 5.0f, 1e-4f);
  EXPECT_NEAR(s.streamA[10].pos.x, 15.0f, 1e-4f);
  EXPECT_EQ(s.streamB[11].a, 0.25f);

  s.setPos({0, 0, 0}, {100, 0, 0});
  ASSERT_EQ(s.build({50, 0, 100}), 17u);
  const auto* a = s.streamA;
  const auto* b = s.streamB;
  // Body: facing the eye above, the ribbon spreads along y.
  expectNear(a[0].pos, {0, 5, 0});
  expectNear(a[1].pos, {0, -5, 0});
  expectNear(a[3].pos, {100, -5, 0});
  EXPECT_EQ(b[0].u, 0.25f);
  expectNear(a[4].pos, a[3].pos);  // degenerate joint
  // Begin cap at 5..8 (after the joint copies), reaching half the width beyond the start.
  expectNear(a[5].pos, a[6].pos);
  EXPECT_NEAR(a[6].pos.x, -5.0f, 1e-4f);
  EXPECT_NEAR(a[8].pos.x, 5.0f, 1e-4f);
  EXPECT_EQ(b[8].u, 0.25f);
  // End cap turned half a turn: its first corner sits inside the line.
  EXPECT_NEAR(a[12].pos.x, 95.0f, 1e-4f);
  EXPECT_NEAR(a[15].pos.x, 105.0f, 1e-4f);
  EXPECT_EQ(b[12].u, 0.75f);
  expectNear(a[16].pos, a[15].pos);

  // Exactly as long as its width: short, its caps meeting at its end. Long by its squared
  // length one float step past the width, though its rounded root is the width: a
  // two-point line decides as it always did.
  s.setPos({0, 0, 0}, {10, 0, 0});
  ASSERT_EQ(s.build({0, 0, 100}), 12u);
  EXPECT_NEAR(s.streamA[10].pos.x, 15.0f, 1e-4f);
  s.setPos({0, 0, 0}, {10, 0.0028f, 0});
  EXPECT_EQ(s.build({0, 0, 100}), 17u);
}

TEST(Prim3dRibbon, TrailPushesLimitsAndSplines) {
  PolyLineTR t;
  Queue q;
  t.pushPos({0, 0, 0});
  t.enqueueDraw(q);
  EXPECT_TRUE(q.entries.empty());
  for (int i = 1; i <= 16; ++i) t.pushPos({float(i) * 10, 0, 0});
  ASSERT_EQ(t.points.size(), 16u);
  EXPECT_EQ(t.points.front().x, 10.0f);
  t.enqueueDraw(q);
  ASSERT_EQ(q.entries.size(), 1u);
  EXPECT_EQ(t.build({0, 0, 100}), 2 * 16 + 13u);  // step 100000: the points as they are

  t.setDivision(4);
  EXPECT_EQ(t.build({0, 0, 100}), 2 * 61 + 13u);
  t.setDivDist(100000);
  EXPECT_EQ(t.build({0, 0, 100}), 2 * 16 + 13u);

  t.pushPos({170, 0, 0});
  t.pushPos({170, 0, 0});  // a repeated point builds no NaN
  for (uint32_t i = 0; i < t.build({0, 0, 100}); ++i) EXPECT_TRUE(finite(t.streamA[i].pos)) << i;

  t.setNVtx(3);
  ASSERT_EQ(t.points.size(), 3u);
  EXPECT_EQ(t.points.front().x, 160.0f);
  t.setNVtx(-2);
  EXPECT_TRUE(t.points.empty());
  t.pushPos({1, 0, 0});
  t.pushPos({2, 0, 0});  // a limit of 0 keeps one point
  ASSERT_EQ(t.points.size(), 1u);
  EXPECT_EQ(t.points.front().x, 2.0f);
  t.setNVtx(5);
  t.clear();
  EXPECT_EQ(t.build({0, 0, 1}), 0u);

  // 32 segments of 1024 steps need 65551 vertices: refused before anything is built,
  // logged once; 31 segments (63503) are built.
  std::vector<std::string> log;
  setScriptDebugLogSink([&](std::string_view line) { log.emplace_back(line); });
  PolyLineTR big;
  big.setNVtx(33);
  big.setDivision(1024);
  for (int i = 0; i < 33; ++i) big.pushPos({float(i) * 10, float(i % 2) * 10, 0});
  EXPECT_EQ(big.build({0, 0, 100}), 0u);
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(big.build({0, 0, 100}), 0u);
  EXPECT_TRUE(big.streamA.empty());
  big.setNVtx(32);
  EXPECT_EQ(big.build({0, 0, 100}), 2 * (31 * 1024 + 1) + 13u);
  setScriptDebugLogSink(nullptr);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("65536"), std::string::npos) << log[0];
}

}  // namespace
