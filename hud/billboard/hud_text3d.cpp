#include "hud/billboard/hud_text3d.h"

#include "app/qeldrin/qeldrin.h"
#include "runtime/core/thread_ctx.h"

void HUDText3D::rebuildWorld(const billboard::CameraView& cam, uint32_t frameNumber) {
  if (frameNumber == frame && billboard::sameView(cam, builtFor)) return;
  frame = frameNumber;
  builtFor = cam;
  ProfScope scope("world-mat");
  const Mat43 w = bb.worldMatrix(cam);
  const auto [cx, cy] = getTextCenter();
  world = w;
  for (int c = 0; c < 3; ++c) world(3, c) = w(3, c) - float(cx) * w(0, c) - float(cy) * w(1, c);
}

void HUDText3D::collect(PassWord* passWord, void* passThrough, IDTagQ& q) {
  setOffset(0, 0);
  DmTagList own;
  HUDText::collectCallback(this, passWord, passThrough, &own);
  const float distance = distanceSquared3(q.eyePosition(), bb.pos);
  for (DrawEntry& e : own.entries) {
    e.distance = distance;
    e.transparency = 1;
    q.addEntry(e);
  }
}

void HUDText3D::collectCallback(void* obj, void* passWord, void* passThrough, void* list) {
  if (obj && list) static_cast<HUDText3D*>(obj)->collect(static_cast<PassWord*>(passWord), passThrough,
                                                         *static_cast<IDTagQ*>(list));
}

void HUDText3D::drawCallback(void* obj, void* args, void* app) {
  if (!obj || !app) return;
  auto* t = static_cast<HUDText3D*>(obj);
  auto* q = static_cast<Qeldrin*>(app);
  t->rebuildWorld(billboard::cameraOf(*q), q->frameNumber());
  q->setWorldMatrix(t->world.m);
  HUDText::drawCallback(obj, args, app);
}
