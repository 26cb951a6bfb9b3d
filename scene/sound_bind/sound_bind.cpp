#include "scene/sound_bind/sound_bind.h"

#include "scene/sound/sound_mgr.h"

namespace {

SSHandle duplicateSound(SoundMgr& m, qxbind::ObjectRef instance, bool is3D) { return m.duplicate(instance.handle, is3D); }

void setGobj(SSPtr& s, qxbind::ObjectRef gobj) { s.set_gobj(gobj.handle); }

void registerSound(qxbind::ClassTable& t) { t.method<&SoundMgr::load>("load").method<&duplicateSound>("duplicate"); }

void registerSSPtr(qxbind::ClassTable& t) {
  t.method<&SSPtr::play>("play")
      .method<&SSPtr::resume>("resume")
      .method<&SSPtr::stop>("stop")
      .method<&SSPtr::is_playing>("is_playing")
      .method<&SSPtr::get_nchannel>("get_nchannel")
      .method<&SSPtr::alone>("alone")
      .method<&SSPtr::set_pan>("set_pan")
      .method<&SSPtr::set_pos>("set_pos")
      .method<&SSPtr::set_dir>("set_dir")
      .method<&SSPtr::set_vel>("set_vel")
      .method<&setGobj>("set_gobj");
}

}  // namespace

qxbind::ClassBinding soundBinding() {
  return qxbind::managerBinding<SoundMgr>("sound", &registerSound, "SSPtr", &registerSSPtr);
}
