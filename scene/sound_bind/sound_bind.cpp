#include "scene/sound_bind/sound_bind.h"

#include "scene/sound/sound_mgr.h"

namespace {

SSHandle duplicateSound(SoundMgr& m, qxbind::ObjectRef instance, bool is3D) { return m.duplicate(instance.handle, is3D); }

void setGobj(SSPtr& s, qxbind::ObjectRef gobj) { s.set_gobj(gobj.handle); }

const qxbind::ClassNotes kSoundNotes = {"The sound manager: loads sounds.",
                                        {
                                            {"load", "file, is3D", nullptr, "A sound from an Ogg Vorbis file."},
                                            {"duplicate", "sound, is3D", nullptr, "Another voice of a loaded sound."},
                                        }};

void registerSound(qxbind::ClassTable& t) {
  t.notes(kSoundNotes);
  t.method<&SoundMgr::load>("load").method<&duplicateSound>("duplicate");
}

const qxbind::ClassNotes kSSPtrNotes = {"A sound voice: plays, and in 3D takes a position, direction and velocity.",
                                        {
                                            {"play", "loops, volume"},
                                            {"resume", ""},
                                            {"stop", ""},
                                            {"is_playing", ""},
                                            {"get_nchannel", "", nullptr, "The number of channels."},
                                            {"alone", "", nullptr, "Whether it is the only voice of its sound."},
                                            {"set_pan", "pan"},
                                            {"set_pos", "pos"},
                                            {"set_dir", "dir"},
                                            {"set_vel", "velocity"},
                                            {"set_gobj", "gobj", nullptr, "The game object the voice follows."},
                                        }};

void registerSSPtr(qxbind::ClassTable& t) {
  t.notes(kSSPtrNotes);
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
