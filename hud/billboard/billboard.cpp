#include "hud/billboard/billboard.h"

#include <cmath>

#include "app/qeldrin/qeldrin.h"
#include "render/draw/dtag_queue.h"
#include "runtime/mem/mem_mgr.h"

namespace billboard {

CameraView cameraOf(const IDTagQ& q) {
  return {q.eyePosition(), q.cameraAxis(1), q.cameraAxis(2), q.cameraAxis(0)};
}

bool sameView(const CameraView& a, const CameraView& b) {
  return a.eye == b.eye && a.up == b.up && a.dir == b.dir && a.right == b.right;
}

namespace {

void initUVs(UVVtx uv[4]) {
  const float corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; ++i) {
    uv[i].u = corner[i][0];
    uv[i].v = corner[i][1];
  }
}

void place(PosVtx out[4], UVVtx uv[4], const Vec3& centre, const Vec3& x, const Vec3& y, float alpha) {
  out[0].pos = centre - x + y;
  out[1].pos = centre + x + y;
  out[2].pos = centre + x - y;
  out[3].pos = centre - x - y;
  for (int i = 0; i < 4; ++i) uv[i].alpha = alpha;
}

DrawEntry texturedEntry(uint32_t item, uint32_t texture, bool transparent) {
  DrawEntry e;
  e.primType = 4;
  e.transparency = transparent ? 1u : 0u;
  e.textures[0] = kesto::HdlBase(texture);
  DrawKey::init(e.key, 2, transparent ? 1 : 0);
  e.item = kesto::HdlBase(item);
  return e;
}

}  // namespace

}  // namespace billboard

using billboard::CameraView;

float BillboardBase::distanceScale(const Vec3& eye) const {
  return std::pow(length(pos - eye) * distGainA, distGainB);
}

void BillboardBase::quad(const CameraView& cam, Vec3 out[4]) const {
  const float s = distanceScale(cam.eye);
  const Vec3 r = cross(cam.up, cam.dir) * (0.5f * size.x * s);
  const Vec3 h = cam.up * (0.5f * size.y * s);
  const Vec3 k = pos + cam.dir * zOffset;
  out[0] = k - r + h;
  out[1] = k + r + h;
  out[2] = k + r - h;
  out[3] = k - r - h;
}

Mat43 BillboardBase::worldMatrix(const CameraView& cam) const {
  Vec3 x, y, z;
  if (axisLock) {
    const Vec3 side = cross(axis, cam.dir);
    if (lengthSquared(side) >= billboard::kDegenerate) {
      x = vec3Normalize(side);
      y = cross(cam.dir, x);
      z = cam.dir;
    }
  } else {
    x = cross(cam.up, cam.dir);
    y = cam.up;
    z = cam.dir;
  }
  const float s = distanceScale(cam.eye);
  const Vec3 rows[3] = {x * (size.x * s), y * (-size.y * s), z * (size.z * s)};
  Mat43 w;
  for (int r = 0; r < 3; ++r) {
    w(r, 0) = rows[r].x;
    w(r, 1) = rows[r].y;
    w(r, 2) = rows[r].z;
  }
  const Vec3 t = pos + cam.dir * zOffset;
  w.setTranslation(t.x, t.y, t.z);
  return w;
}

Billboard::Billboard() : item(MemMgrBase::threadCurrentHandle()) { billboard::initUVs(uvs); }

// fromValue adds the new reference before the assignment drops the old one, so the
// texture already held survives being set again.
void Billboard::setTex(qxbind::ObjectRef tex) { texture = TextureMgr::TexHandle::fromValue(tex.handle); }

void Billboard::enqueueDraw(IDTagQ& q) const { q.addEntry(billboard::texturedEntry(item, texture.value, false)); }

void Billboard::setMaterial(Qeldrin& q) const { q.setParamTexture("diffuse", texture.value); }

void Billboard::rebuild(const CameraView& cam) {
  Vec3 corners[4];
  quad(cam, corners);
  for (int i = 0; i < 4; ++i) {
    positions[i].pos = corners[i];
    uvs[i].alpha = alpha;
  }
}

void Billboard::draw(Qeldrin& q) {
  rebuild(billboard::cameraOf(q));
  q.setWorldMatrix(Mat43::identity().m);
  const void* streams[2] = {positions, uvs};
  q.drawFan(2, streams);
}

BillboardY::BillboardY() : item(MemMgrBase::threadCurrentHandle()) { billboard::initUVs(uvs); }

void BillboardY::setTex(qxbind::ObjectRef tex) { texture = TextureMgr::TexHandle::fromValue(tex.handle); }

void BillboardY::enqueueDraw(IDTagQ& q) const {
  DrawEntry e = billboard::texturedEntry(item, texture.value, transparent());
  e.distance = distanceSquared3(q.eyePosition(), pos);
  q.addEntry(e);
}

void BillboardY::setMaterial(Qeldrin& q) const { q.setParamTexture("diffuse", texture.value); }

void BillboardY::rebuild(const CameraView& cam, uint32_t frameNumber) {
  if (frameNumber == frame && billboard::sameView(cam, builtFor)) return;
  frame = frameNumber;
  builtFor = cam;
  const Vec3 side = cross(Vec3{0, 1, 0}, cam.dir);
  Vec3 right, up;
  if (lengthSquared(side) >= billboard::kDegenerate) {
    right = vec3Normalize(side);
    up = cross(cam.dir, right);
  }
  billboard::place(positions, uvs, pos, right * (0.5f * width), up * (0.5f * height), alpha);
}

void BillboardY::draw(Qeldrin& q) {
  rebuild(billboard::cameraOf(q), q.frameNumber());
  q.setWorldMatrix(Mat43::identity().m);
  static const uint16_t kIndices[6] = {0, 1, 2, 0, 2, 3};
  const void* streams[2] = {positions, uvs};
  q.drawIndexed(4, kIndices, 2, streams);
}
