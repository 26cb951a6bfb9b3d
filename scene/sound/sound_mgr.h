// SoundMgr owns the mixer and every sound instance (SSPtr). A script loads a file into an
// instance ("ogg": a stream, "wav": a cached one-shot), plays, pauses and resumes it, pans
// a 2D sound or places a 3D one. Once per frame the manager moves the listener with its
// game object, lets each instance's positioner set its voice's levels and lets go of the
// "alone" instances that have finished.
//
// Without an audio device the manager still exists (it is manager id 0): instances are
// made and answer, but play nothing.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/positioning.h"
#include "runtime/core/synclo.h"
#include "runtime/math/vec.h"
#include "runtime/res/resource_mgr.h"
#include "scene/sound/ifs_dim.h"
#include "scene/sound/ifs_stock.h"

namespace qx {
class IFiles;
}

class SoundMgr;
struct SSPtr;
using SSHandle = kesto::Handle<SoundMgr, SSPtr>;

// One sound instance: a source and a positioner.
struct SSPtr {
  static constexpr size_t kMaxPath = 259;

  uint32_t self = 0;  // own handle, not counted
  std::unique_ptr<IFS_Dim> dim;
  std::unique_ptr<IFS_Stock> stock;
  std::u16string path;

  void play(int32_t loops, float volume);
  void resume();
  void stop();
  bool is_playing();
  int32_t get_nchannel();
  void alone();
  void set_pan(float pan);
  void set_pos(Vec3 v);
  void set_dir(Vec3 v);
  void set_vel(Vec3 v);
  void set_gobj(uint32_t gobj);
};

class SoundMgr : public kesto::ResourceMgrNoName<SoundMgr, SSPtr> {
 public:
  SoundMgr();
  ~SoundMgr() override;

  const char* dataTypeName() const override { return "SPPtr"; }

  // A new instance of the file; null when no read source holds it, its extension is
  // neither "ogg" nor "wav" or the path is too long. A file that cannot be decoded still
  // gives an instance, a silent one.
  SSHandle load(const std::u16string& path, bool is3D);
  // Another instance of the same file with its own source; null when the handle names no
  // live instance or no read source holds the file any more.
  SSHandle duplicate(uint32_t instance, bool is3D);

  void update(float dt) override;

  // Keeps a counted handle until an update finds the instance not playing.
  void keepAlone(uint32_t instance);
  size_t aloneCount();

  // The game object the listener follows (0: none).
  void setListenerGobj(uint32_t gobj) { listenerGobj_ = gobj; }
  const qxaudio::Listener& listener() const { return listener_; }
  qxaudio::Engine* engine() const { return engine_.get(); }

 private:
  SSHandle makeInstance(qx::IFiles* source, const std::u16string& path, bool is3D);

  std::unique_ptr<qxaudio::Engine> engine_;
  qxaudio::Positioner positioner_;
  qxaudio::Listener listener_;
  uint32_t listenerGobj_ = 0;
  kesto::Synclo aloneLock_;
  std::vector<SSHandle> alone_;
};
