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

void registerBillboardBase(qxbind::ClassTable& t) {
  t.method<&BillboardBase::setPos>("setPos")
      .method<&BillboardBase::setSize>("setSize")
      .method<&BillboardBase::setAxis>("setAxis")
      .method<&BillboardBase::disableAxis>("disableAxis")
      .method<&BillboardBase::getPos>("getPos")
      .method<&BillboardBase::setZOffset>("setZOffset")
      .method<&BillboardBase::setDistGain>("setDistGain");
}

void registerBillboard(qxbind::ClassTable& t) {
  t.method<&Billboard::setTex>("setTex").method<&Billboard::setAlpha>("setAlpha");
}

void registerBillboardY(qxbind::ClassTable& t) {
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
        {"setScale", "x, number y?", nullptr, "Scales the text: both axes by x, or by x and y."},
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
