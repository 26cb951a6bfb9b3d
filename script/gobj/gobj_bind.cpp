#include "script/gobj/gobj_bind.h"

#include "script/gobj/gobj_mgr.h"

namespace {

const qxbind::ClassNotes kGobjMgrNotes = {
    "The game object manager.",
    {
        {"newGobj", "priority", nullptr,
         "A bare game object (nil when 4096 are alive). No script object answers for it, so the engine's messages "
         "to it are dropped: make game objects with `QXL.gobj_class()` or `QXL.attach_gobj` (QXGobj.lua)."},
    }};

void registerGobjMgr(qxbind::ClassTable& t) {
  t.notes(kGobjMgrNotes);
  t.method<&GobjMgr::newGobj>("newGobj");
}

const qxbind::ClassNotes kGobjNotes = {
    "A game object: the engine's handle of a script object that receives messages in its method `recvmsg`.",
    {
        {"_pos", "", nullptr,
         "Its position, written as a `QXL.vec3`; it reads back as a userdata of the three floats (no fields), "
         "which can be written to a vec3 field again. A 3D voice that follows the object (`SSPtr:set_gobj`) takes "
         "it every frame."},
        {"_dir", "", nullptr, "Its direction, written and read as `_pos`; such a voice faces it."},
        {"upriority", "", nullptr, "The priority given when it was made; the engine does not read it."},
        {"_upd_level", "", nullptr, "A number the script keeps; the engine does not read it."},
    },
    "Made by `QXL.gobj_class().new(priority, ...)` or `QXL.attach_gobj(table, priority)` (QXGobj.lua): the script "
    "object is a table holding the game object in its field `udata`, and messages reach its `recvmsg(self, 0, "
    "name, ...)`. `GobjMgr:newGobj` alone gives one that no script object answers for."};

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
