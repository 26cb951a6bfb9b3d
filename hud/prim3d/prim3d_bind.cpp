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

const qxbind::ClassNotes kHUDRayNotes = {"A ray drawn as a tube between two points of the 3D scene.",
                                         {
                                             {"setPos", "start, end"},
                                             {"setColor", "rgb, alpha", nullptr, "0..1 each."},
                                             {"setRadius", "radius, shape, third", nullptr,
                                              "The tube's radius; shape 1 makes it straight, below 1 its middle "
                                              "is wider than its ends, above 1 narrower (1.5 at first); third is "
                                              "stored, not used."},
                                             {"setDivision", "sectors, rings", nullptr,
                                              "Sectors around (at least 1) and rings along (at least 2)."},
                                         }};

void registerHUDRay(qxbind::ClassTable& t) {
  t.notes(kHUDRayNotes);
  t.method<&HUDRay::setPos>("setPos")
      .method<&HUDRay::setColor>("setColor")
      .method<&HUDRay::setRadius>("setRadius")
      .method<&HUDRay::setDivision>("setDivision");
}

const qxbind::ClassNotes kHUDMatPlaneNotes = {
    "A textured plane through a point, facing a direction.",
    {
        {"setPos", "pos"},
        {"setDir", "dir"},
        {"setIteration", "count", nullptr, "How often the texture repeats."},
        {"setTex", "texture, alpha", nullptr, "The texture and the texture of its alpha."},
        {"setSize", "size"},
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

const qxbind::ClassNotes kPolyLineSNotes = {
    "A straight textured line between two points of the 3D scene.",
    {
        {"setPos", "start, end"},
        {"setWidth", "width"},
        {"setSrc", "name", nullptr,
         "A sprite animation (.spr, docs/data-files.md): the first frames of its slots \"begin\", \"end\" and "
         "\"line\" are the parts of the texture drawn on the start cap, the end cap and the line's body (a slot it "
         "lacks gives the root's); the texture drawn is that of its first slot by name. A name no file has is "
         "logged and keeps the source as it was; a file that gives no slots (a texture's own file, for one) is "
         "logged and takes the texture away. Without a texture the line draws black."},
        {"setZOffset", "z"},
        {"setAlpha", "alpha"},
    }};

void registerPolyLineS(qxbind::ClassTable& t) {
  t.notes(kPolyLineSNotes);
  t.method<&PolyLineS::setPos>("setPos")
      .method<&PolyLineS::setWidth>("setWidth")
      .method<&PolyLineS::setSrc>("setSrc")
      .method<&PolyLineS::setZOffset>("setZOffset")
      .method<&PolyLineS::setAlpha>("setAlpha");
}

const qxbind::ClassNotes kPolyLineTRNotes = {
    "A textured trail through the points pushed to it.",
    {
        {"pushPos", "pos", nullptr, "Adds a point at the head of the trail."},
        {"setNVtx", "count", nullptr, "The most points the trail keeps."},
        {"setWidth", "width"},
        {"setSrc", "name", nullptr,
         "A sprite animation (.spr, docs/data-files.md): the first frames of its slots \"begin\", \"end\" and "
         "\"line\" are the parts of the texture drawn on the start cap, the end cap and the trail's body (a slot it "
         "lacks gives the root's); the texture drawn is that of its first slot by name. A name no file has is "
         "logged and keeps the source as it was; a file that gives no slots (a texture's own file, for one) is "
         "logged and takes the texture away. Without a texture the trail draws black."},
        {"setZOffset", "z"},
        {"setAlpha", "alpha"},
        {"setDivDist", "step", nullptr, "The distance between points of the smoothed trail."},
        {"setDivision", "count"},
    }};

void registerPolyLineTR(qxbind::ClassTable& t) {
  t.notes(kPolyLineTRNotes);
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

const qxbind::ClassNotes kPlantSphereNotes = {"A sphere drawn in the 3D scene.",
                                              {
                                                  {"setCenter", "center"},
                                                  {"setColor", "rgb, alpha"},
                                                  {"setRadius", "radius"},
                                                  {"setDivision", "sectors, rings"},
                                              }};

void registerPlantSphere(qxbind::ClassTable& t) {
  t.notes(kPlantSphereNotes);
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
