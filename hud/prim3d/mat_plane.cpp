#include "hud/prim3d/mat_plane.h"

#include "app/qeldrin/qeldrin.h"
#include "runtime/mem/mem_mgr.h"

namespace prim3d {

bool layOutMatPlane(const Vec3& pos, const Vec3& dir, float size, float iteration, const Vec3& up, MatPVtx out[4]) {
  const Vec3 side = cross(dir, up);
  if (!(lengthSquared(side) > 0.0f)) return false;
  const Vec3 a = vec3Normalize(side) * size;
  const Vec3 b = up * size;
  out[0].pos = pos - a + b;
  out[1].pos = pos + a + b;
  out[2].pos = pos + a - b;
  out[3].pos = pos - a - b;
  const float tiled[4][2] = {{0, 0}, {iteration, 0}, {iteration, iteration}, {0, iteration}};
  for (int i = 0; i < 4; ++i) {
    out[i].tu = tiled[i][0];
    out[i].tv = tiled[i][1];
  }
  return true;
}

}  // namespace prim3d

HUDMatPlane::HUDMatPlane() : item(MemMgrBase::threadCurrentHandle()) {
  const float plain[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; ++i) {
    vertices[i].u = plain[i][0];
    vertices[i].v = plain[i][1];
  }
}

void HUDMatPlane::setTex(qxbind::ObjectRef tex, qxbind::ObjectRef alpha) {
  texture = TextureMgr::TexHandle::fromValue(tex.handle);
  alphaTexture = TextureMgr::TexHandle::fromValue(alpha.handle);
}

qxbind::Pushed HUDMatPlane::getPlane(lua_State* L) const {
  lua_getglobal(L, "QXL");
  if (lua_istable(L, -1)) lua_getfield(L, -1, "plane");
  if (lua_istable(L, -1)) lua_getfield(L, -1, "newABCD");
  if (!lua_isfunction(L, -1)) luaL_error(L, "HUDMatPlane:getPlane needs the function QXL.plane.newABCD");
  lua_pushnumber(L, dir.x);
  lua_pushnumber(L, dir.y);
  lua_pushnumber(L, dir.z);
  lua_pushnumber(L, dot(pos, dir));
  lua_call(L, 4, 1);
  return {1};
}

void HUDMatPlane::enqueueDraw(IDTagQ& q) const {
  DrawEntry e = prim3d::baseEntry(item);
  DrawKey::init(e.key, 1, 0);
  e.textures[0] = kesto::HdlBase(texture.value);
  e.textures[1] = kesto::HdlBase(alphaTexture.value);
  e.distance = distanceSquared3(q.eyePosition(), pos);
  q.addEntry(e);
}

void HUDMatPlane::setMaterial(Qeldrin& q) const {
  q.setParamTexture("diffuse", texture.value);
  q.setParamTexture("alphatex", alphaTexture.value);
}

void HUDMatPlane::draw(Qeldrin& q) {
  if (!prim3d::layOutMatPlane(pos, dir, size, iteration, q.cameraAxis(1), vertices)) return;
  q.setWorldMatrix(Mat43::identity().m);
  const void* streams[1] = {vertices};
  q.drawFan(2, streams);
}
