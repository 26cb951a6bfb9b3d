// Camera-facing textured quads: "Billboard" (over the script base "BillboardBase", turned
// with the camera's up axis and scaled by distance) and "BillboardY" (edges kept level).
#pragma once
#include <cstdint>

#include "render/texture/texture_mgr.h"
#include "runtime/math/matrix.h"
#include "runtime/math/vec.h"
#include "script/bind/glue_types.h"

class Qeldrin;
class IDTagQ;

namespace billboard {

// The two vertex streams of a textured quad.
struct PosVtx {
  Vec3 pos;
  uint32_t color = 0xFFFFFFFFu;
};
struct UVVtx {
  float u = 0, v = 0, alpha = 1.0f;
};
static_assert(sizeof(PosVtx) == 16 && sizeof(UVVtx) == 12);

// The camera as the draw context reports it.
struct CameraView {
  Vec3 eye;
  Vec3 up;
  Vec3 dir;
  Vec3 right{};
};
CameraView cameraOf(const IDTagQ& q);
// Cached facing is kept only while the frame and all of these stay the same: a second
// pass in one frame may draw with another camera.
bool sameView(const CameraView& a, const CameraView& b);

// Below this squared length a side axis is taken as missing and the quad collapses.
constexpr float kDegenerate = 1e-5f;

}  // namespace billboard

// The placement shared by Billboard and HUDText3D.
struct BillboardBase {
  void setPos(Vec3 p) { pos = p; }
  void setSize(float w, float h) {
    size.x = w;
    size.y = h;
  }
  void setAxis(Vec3 a) {
    axis = a;
    axisLock = true;
  }
  void disableAxis() { axisLock = false; }
  Vec3 getPos() const { return pos; }
  void setZOffset(float z) { zOffset = z; }
  void setDistGain(float a, float b) {
    distGainA = a;
    distGainB = b;
  }

  // (|pos - eye| * distGainA) ^ distGainB.
  float distanceScale(const Vec3& eye) const;
  // The four corners facing the camera, top left first, clockwise as the camera sees them.
  void quad(const billboard::CameraView& cam, Vec3 out[4]) const;
  // Scale (size, y negated), the camera-facing (or axis-locked) frame, then the
  // translation to pos + zOffset * dir; points are row vectors.
  Mat43 worldMatrix(const billboard::CameraView& cam) const;

  Vec3 pos{0, 0, 0};
  Vec3 axis{0, 0, 0};
  Vec3 size{1, 1, 1};
  bool axisLock = false;
  float distGainA = 1.0f;
  float distGainB = 0.0f;
  float zOffset = 0.0f;
};

struct Billboard : BillboardBase {
  Billboard();

  void setTex(qxbind::ObjectRef texture);
  void setAlpha(float a) { alpha = a; }

  void enqueueDraw(IDTagQ& q) const;
  void setMaterial(Qeldrin& q) const;
  void rebuild(const billboard::CameraView& cam);
  void draw(Qeldrin& q);

  uint32_t item;
  TextureMgr::TexHandle texture;
  billboard::PosVtx positions[4];
  billboard::UVVtx uvs[4];
  float alpha = 1.0f;
};

struct BillboardY {
  BillboardY();

  void setPos(Vec3 p) { pos = p; }
  void setSize(float w, float h) {
    width = w;
    height = h;
  }
  void setTex(qxbind::ObjectRef texture);
  void setAlpha(float a) { alpha = a; }

  bool transparent() const { return alpha < 0.9999f; }
  void enqueueDraw(IDTagQ& q) const;
  void setMaterial(Qeldrin& q) const;
  // Rebuilds only for another frame or another camera than the last rebuild's.
  void rebuild(const billboard::CameraView& cam, uint32_t frameNumber);
  void draw(Qeldrin& q);

  uint32_t item;
  TextureMgr::TexHandle texture;
  billboard::PosVtx positions[4];
  billboard::UVVtx uvs[4];
  float width = 1.0f, height = 1.0f;
  float alpha = 1.0f;
  uint32_t frame = 0;
  Vec3 pos{0, 0, 0};
  billboard::CameraView builtFor{};
};
