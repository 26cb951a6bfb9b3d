#include "hud/billboard/billboard_bind.h"

#include "app/qeldrin/qeldrin.h"
#include "hud/billboard/billboard.h"
#include "hud/billboard/hud_text3d.h"
#include "hud/widget/widget_bind.h"

namespace {

template <class T>
LuaClassDesc describeQuad(const char* name) {
  LuaClassDesc d = LuaClassDesc::forType<T>(name);
  d.collect = [](void* obj, void*, void*, void* q) {
    if (obj && q) static_cast<T*>(obj)->enqueueDraw(*static_cast<IDTagQ*>(q));
  };
  d.material = [](void* obj, void*, void* q) {
    if (obj && q) static_cast<T*>(obj)->setMaterial(*static_cast<Qeldrin*>(q));
  };
  d.draw = [](void* obj, void*, void* q) {
    if (obj && q) static_cast<T*>(obj)->draw(*static_cast<Qeldrin*>(q));
  };
  return d;
}

LuaClassDesc describeHUDText3D(const char* name) {
  LuaClassDesc d = LuaClassDesc::forType<HUDText3D>(name);
  d.collect = &HUDText3D::collectCallback;
  d.material = &hudwidget::HUDText::materialCallback;
  d.draw = &HUDText3D::drawCallback;
  return d;
}

const qxbind::ClassNotes kBillboardBaseNotes = {
    "A textured quad in the 3D scene that turns to face the camera.",
    {
        {"setPos", "pos"},
        {"setSize", "width, height"},
        {"setAxis", "axis", nullptr, "Turns only about this axis."},
        {"disableAxis", "", nullptr, "Faces the camera freely again."},
        {"setZOffset", "z", nullptr, "Moves the quad toward the camera by z."},
        {"setDistGain", "a, b", nullptr,
         "The size is multiplied by (distance to the camera x a) ^ b; b = 0 keeps it fixed."},
    }};

void registerBillboardBase(qxbind::ClassTable& t) {
  t.notes(kBillboardBaseNotes);
  t.method<&BillboardBase::setPos>("setPos")
      .method<&BillboardBase::setSize>("setSize")
      .method<&BillboardBase::setAxis>("setAxis")
      .method<&BillboardBase::disableAxis>("disableAxis")
      .method<&BillboardBase::getPos>("getPos")
      .method<&BillboardBase::setZOffset>("setZOffset")
      .method<&BillboardBase::setDistGain>("setDistGain");
}

const qxbind::ClassNotes kBillboardNotes = {"A billboard that always faces the camera.",
                                            {
                                                {"setTex", "texture"},
                                                {"setAlpha", "alpha"},
                                            }};

void registerBillboard(qxbind::ClassTable& t) {
  t.notes(kBillboardNotes);
  t.method<&Billboard::setTex>("setTex").method<&Billboard::setAlpha>("setAlpha");
}

const qxbind::ClassNotes kBillboardYNotes = {"A billboard that stays upright, turning only about the vertical axis.",
                                             {
                                                 {"setPos", "pos"},
                                                 {"setSize", "width, height"},
                                                 {"setTex", "texture"},
                                                 {"setAlpha", "alpha"},
                                             }};

void registerBillboardY(qxbind::ClassTable& t) {
  t.notes(kBillboardYNotes);
  t.method<&BillboardY::setPos>("setPos")
      .method<&BillboardY::setSize>("setSize")
      .method<&BillboardY::setTex>("setTex")
      .method<&BillboardY::setAlpha>("setAlpha");
}

// setScale(s) scales both axes; setScale(x, y) each.
void setScaleText3D(HUDText3D& t, lua_State* L, float x) {
  t.setScale(x, lua_isnoneornil(L, 3) ? x : float(lua_tonumber(L, 3)));
}

const qxbind::ClassNotes kHUDText3DNotes = {
    "Text on a billboard in the 3D scene.",
    {
        {"setPos", "pos"},
        {"setAxis", "axis", nullptr, "Turns only about this axis."},
        {"disableAxis", "", nullptr, "Faces the camera freely again."},
        {"setDistGain", "a, b", nullptr,
         "The size is multiplied by (distance to the camera x a) ^ b; b = 0 keeps it fixed."},
        {"setScale", "x, number y?", nullptr,
         "World units per text pixel: x across and y down, or x both ways when y is missing."},
    }};

void registerHUDText3D(qxbind::ClassTable& t) {
  t.notes(kHUDText3DNotes);
  t.method<&HUDText3D::setPos>("setPos")
      .method<&HUDText3D::getPos>("getPos")
      .method<&HUDText3D::setAxis>("setAxis")
      .method<&HUDText3D::disableAxis>("disableAxis")
      .method<&HUDText3D::setDistGain>("setDistGain")
      .method<&setScaleText3D>("setScale");
}

}  // namespace

qxbind::ClassBinding hudText3DBinding() {
  return qxbind::derivedBinding<HUDText3D, hudwidget::HUDText>(
      qxbind::objectClass<HUDText3D>("HUDText3D", &registerHUDText3D, &describeHUDText3D), hudTextBinding().first);
}

qxbind::ClassBinding billboardYBinding() {
  return qxbind::objectBinding(
      qxbind::objectClass<BillboardY>("BillboardY", &registerBillboardY, &describeQuad<BillboardY>));
}

qxbind::ClassBinding billboardBinding() {
  return qxbind::derivedBinding<Billboard, BillboardBase>(
      qxbind::objectClass<Billboard>("Billboard", &registerBillboard, &describeQuad<Billboard>),
      qxbind::objectClass<BillboardBase>("BillboardBase", &registerBillboardBase));
}
