#include "scene/sound_bind/sound_bind.h"

#include "scene/sound/sound_mgr.h"

namespace {

SSHandle duplicateSound(SoundMgr& m, qxbind::ObjectRef instance, bool is3D) { return m.duplicate(instance.handle, is3D); }

void setGobj(SSPtr& s, qxbind::ObjectRef gobj) { s.set_gobj(gobj.handle); }

const qxbind::ClassNotes kSoundNotes = {
    "The sound manager: makes voices from sound files.",
    {
        {"load", "file, is3D", nullptr,
         "A voice of the sound file of that resource name: a name ending in \".ogg\" streams Ogg Vorbis, one ending "
         "in \".wav\" plays a WAV file held in memory (the extension in lower case). is3D: positioned in space "
         "(`set_pos`) instead of panned (`set_pan`). nil when no root has the file, and when the extension is "
         "neither (the reason goes to log.txt). A file that cannot be played (an encoding FAudio does not decode, "
         "see README) gives a voice that stays silent; the reason goes to log.txt."},
        {"duplicate", "sound, is3D", nullptr,
         "Another voice of the file the given voice plays, with its own position; nil when that voice is gone."},
    }};

void registerSound(qxbind::ClassTable& t) {
  t.notes(kSoundNotes);
  t.method<&SoundMgr::load>("load").method<&duplicateSound>("duplicate");
}

const qxbind::ClassNotes kSSPtrNotes = {
    "A voice: plays its sound file, panned (2D) or placed in space (3D).",
    {
        {"play", "loops, volume", nullptr,
         "Plays from the start loops + 1 times at the volume (1 = as recorded). A WAV takes loops 0..254, or 255 for "
         "endless (others are refused and logged); an Ogg file takes 0 or more."},
        {"resume", "", nullptr, "Goes on after `stop`."},
        {"stop", "", nullptr, "Pauses; the queued audio stays, so `resume` goes on from there."},
        {"is_playing", "", nullptr, "Whether audio is queued: true after `stop` too, false once the last pass ended."},
        {"get_nchannel", "", nullptr,
         "The file's channel count; 0 when it cannot be played (not read, or its format refused: log.txt says why)."},
        {"alone", "", nullptr,
         "Keeps the voice alive until it stops playing, so the script may drop it; gives the voice back."},
        {"set_pan", "pan", nullptr, "-1 left .. 1 right (clamped); 2D voices only."},
        {"set_pos", "pos", nullptr, "The position, heard from a listener at the origin; 3D voices only."},
        {"set_dir", "dir", nullptr, "The direction it faces; 3D voices only."},
        {"set_vel", "velocity", nullptr, "The velocity; 3D voices only. It does not change the pitch (no doppler shift)."},
        {"set_gobj", "gobj", nullptr,
         "A 3D voice takes the game object's `_pos` and `_dir` on every frame; it keeps the last ones when the "
         "object dies."},
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
