#include "script/gobj/gobj_bind.h"

#include "script/gobj/gobj_mgr.h"

namespace {

void registerGobjMgr(qxbind::ClassTable& t) { t.method<&GobjMgr::newGobj>("newGobj"); }

void registerGobj(qxbind::ClassTable& t) {
  t.field<&Gobj::_pos>("_pos")
      .field<&Gobj::_dir>("_dir")
      .field<&Gobj::upriority>("upriority")
      .field<&Gobj::_upd_level>("_upd_level");
}

}  // namespace

qxbind::ClassBinding gobjBinding() {
  return qxbind::managerBinding<GobjMgr>("GobjMgr", &registerGobjMgr, "Gobj", &registerGobj);
}
