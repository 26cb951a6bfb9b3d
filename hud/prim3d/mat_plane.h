// HUDMatPlane: a square of half-size `size` centred on a position, one pair of edges
// along the camera's up axis and the other across both that axis and the object's
// direction. Drawn batched with a colour texture ("diffuse", tiled coordinates) and an
// alpha texture ("alphatex", plain coordinates).
#pragma once
#include <cstdint>

#include "hud/prim3d/prim3d_common.h"
#include "render/texture/texture_mgr.h"
#include "script/bind/glue_types.h"

class Qeldrin;
class IDTagQ;

namespace prim3d {

// The four corners for a camera up axis; false (out untouched) when the direction is
// parallel to that axis, which leaves no side axis to lay the square out along.
bool layOutMatPlane(const Vec3& pos, const Vec3& dir, float size, float iteration, const Vec3& up, MatPVtx out[4]);

}  // namespace prim3d

struct HUDMatPlane {
  HUDMatPlane();

  void setPos(Vec3 p) { pos = p; }
  void setDir(Vec3 d) { dir = d; }
  void setIteration(float n) { iteration = n; }
  void setTex(qxbind::ObjectRef texture, qxbind::ObjectRef alpha);
  void setSize(float s) { size = s; }
  // QXL.plane.newABCD(dir.x, dir.y, dir.z, pos . dir).
  qxbind::Pushed getPlane(lua_State* L) const;

  void enqueueDraw(IDTagQ& q) const;
  void setMaterial(Qeldrin& q) const;
  void draw(Qeldrin& q);

  uint32_t item;
  TextureMgr::TexHandle texture;
  TextureMgr::TexHandle alphaTexture;
  Vec3 pos{0, 0, 0};
  Vec3 dir{0, 1, 0};
  float size = 1000.0f;
  float iteration = 4.0f;
  prim3d::MatPVtx vertices[4];
};
