#include "script/gobj/gobj_bind.h"

#include "script/gobj/gobj_mgr.h"

namespace {

const qxbind::ClassNotes kGobjMgrNotes = {
    "The game object manager: makes game objects.",
    {
        {"newGobj", "priority", nullptr, "A new game object updated at that priority."},
    }};

void registerGobjMgr(qxbind::ClassTable& t) {
  t.notes(kGobjMgrNotes);
  t.method<&GobjMgr::newGobj>("newGobj");
}

const qxbind::ClassNotes kGobjNotes = {"A game object: a script table that receives messages and updates.",
                                       {
                                           {"upriority", "", nullptr, "The update priority."},
                                           {"_upd_level", "", nullptr, "The update level."},
                                       }};

void registerGobj(qxbind::ClassTable& t) {
  t.notes(kGobjNotes);
  t.field<&Gobj::_pos>("_pos")
      .field<&Gobj::_dir>("_dir")
      .field<&Gobj::upriority>("upriority")
      .field<&Gobj::_upd_level>("_upd_level");
}

}  // namespace

qxbind::ClassBinding gobjBinding() {
  return qxbind::managerBinding<GobjMgr>("GobjMgr", &registerGobjMgr, "Gobj", &registerGobj);
}
