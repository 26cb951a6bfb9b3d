#include "hud/prim3d/prim3d_bind.h"

#include "app/qeldrin/qeldrin.h"
#include "hud/prim3d/hud_ray.h"
#include "hud/prim3d/mat_plane.h"
#include "hud/prim3d/plant_sphere.h"
#include "hud/prim3d/poly_line.h"

namespace {

// The callbacks every primitive has: collect (eye and entry queue), draw; the material
// callback only for those with textures. The application always hands itself over.
template <class T>
LuaClassDesc describeDrawn(const char* name) {
  LuaClassDesc d = LuaClassDesc::forType<T>(name);
  d.collect = [](void* obj, void*, void*, void* q) {
    if (obj) static_cast<T*>(obj)->enqueueDraw(*static_cast<IDTagQ*>(q));
  };
  d.draw = [](void* obj, void*, void* q) {
    if (obj) static_cast<T*>(obj)->draw(*static_cast<Qeldrin*>(q));
  };
  return d;
}

template <class T>
LuaClassDesc describeTextured(const char* name) {
  LuaClassDesc d = describeDrawn<T>(name);
  d.material = [](void* obj, void*, void* q) {
    if (obj) static_cast<T*>(obj)->setMaterial(*static_cast<Qeldrin*>(q));
  };
  return d;
}

void registerHUDRay(qxbind::ClassTable& t) {
  t.method<&HUDRay::setPos>("setPos")
      .method<&HUDRay::setColor>("setColor")
      .method<&HUDRay::setRadius>("setRadius")
      .method<&HUDRay::setDivision>("setDivision");
}

const qxbind::ClassNotes kHUDMatPlaneNotes = {
    "A textured plane through a point, facing a direction.",
    {
        {"getPlane", "", "plane", "The plane as QXL.plane.newABCD(dir.x, dir.y, dir.z, pos . dir) makes it."},
    }};

void registerHUDMatPlane(qxbind::ClassTable& t) {
  t.notes(kHUDMatPlaneNotes);
  t.method<&HUDMatPlane::setPos>("setPos")
      .method<&HUDMatPlane::setDir>("setDir")
      .method<&HUDMatPlane::setIteration>("setIteration")
      .method<&HUDMatPlane::setTex>("setTex")
      .method<&HUDMatPlane::setSize>("setSize")
      .method<&HUDMatPlane::getPlane>("getPlane");
}

void registerPolyLineS(qxbind::ClassTable& t) {
  t.method<&PolyLineS::setPos>("setPos")
      .method<&PolyLineS::setWidth>("setWidth")
      .method<&PolyLineS::setSrc>("setSrc")
      .method<&PolyLineS::setZOffset>("setZOffset")
      .method<&PolyLineS::setAlpha>("setAlpha");
}

void registerPolyLineTR(qxbind::ClassTable& t) {
  t.method<&PolyLineTR::pushPos>("pushPos")
      .method<&PolyLineTR::setNVtx>("setNVtx")
      .method<&PolyLineTR::clear>("clear")
      .method<&PolyLineTR::setWidth>("setWidth")
      .method<&PolyLineTR::setSrc>("setSrc")
      .method<&PolyLineTR::setZOffset>("setZOffset")
      .method<&PolyLineTR::setAlpha>("setAlpha")
      .method<&PolyLineTR::setDivDist>("setDivDist")
      .method<&PolyLineTR::setDivision>("setDivision");
}

void registerPlantSphere(qxbind::ClassTable& t) {
  t.method<&PlantSphere::setCenter>("setCenter")
      .method<&PlantSphere::setColor>("setColor")
      .method<&PlantSphere::setRadius>("setRadius")
      .method<&PlantSphere::setDivision>("setDivision");
}

}  // namespace

qxbind::ClassBinding hudRayBinding() {
  return qxbind::objectBinding(qxbind::objectClass<HUDRay>("HUDRay", &registerHUDRay, &describeDrawn<HUDRay>));
}

qxbind::ClassBinding hudMatPlaneBinding() {
  return qxbind::objectBinding(
      qxbind::objectClass<HUDMatPlane>("HUDMatPlane", &registerHUDMatPlane, &describeTextured<HUDMatPlane>));
}

qxbind::ClassBinding polyLineSBinding() {
  return qxbind::objectBinding(
      qxbind::objectClass<PolyLineS>("PolyLineS", &registerPolyLineS, &describeTextured<PolyLineS>));
}

qxbind::ClassBinding polyLineTRBinding() {
  return qxbind::objectBinding(
      qxbind::objectClass<PolyLineTR>("PolyLineTR", &registerPolyLineTR, &describeTextured<PolyLineTR>));
}

qxbind::ClassBinding plantSphereBinding() {
  return qxbind::objectBinding(
      qxbind::objectClass<PlantSphere>("PlantSphere", &registerPlantSphere, &describeDrawn<PlantSphere>));
}
