#include "scene/sound/sound_mgr.h"

#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"
#include "scene/sound/sound_log.h"
#include "scene/sound/ss_oneshot.h"
#include "scene/sound/ss_stream.h"

namespace {

enum class SourceKind { none, stream, oneShot };

// The text after the last '.', when it has one to three characters; compared exactly.
SourceKind kindOf(const std::u16string& path) {
  const size_t dot = path.rfind(u'.');
  if (dot == std::u16string::npos) return SourceKind::none;
  const std::u16string ext = path.substr(dot + 1);
  if (ext == u"ogg") return SourceKind::stream;
  if (ext == u"wav") return SourceKind::oneShot;
  return SourceKind::none;
}

}  // namespace

void SSPtr::play(int32_t loops, float volume) {
  if (stock) stock->play(loops, volume);
}

void SSPtr::resume() {
  if (stock) stock->start();
}

void SSPtr::stop() {
  if (stock) stock->stop();
}

bool SSPtr::is_playing() { return stock && stock->queued(); }

int32_t SSPtr::get_nchannel() { return stock ? stock->channelCount() : 0; }

void SSPtr::alone() {
  if (SoundMgr* m = SoundMgr::instance()) m->keepAlone(self);
}

void SSPtr::set_pan(float pan) {
  if (dim) dim->set_pan(pan);
}
void SSPtr::set_pos(Vec3 v) {
  if (dim) dim->set_pos(v);
}
void SSPtr::set_dir(Vec3 v) {
  if (dim) dim->set_dir(v);
}
void SSPtr::set_vel(Vec3 v) {
  if (dim) dim->set_vel(v);
}
void SSPtr::set_gobj(uint32_t gobj) {
  if (dim) dim->set_gobj(gobj);
}

SoundMgr::SoundMgr() : positioner_(qxaudio::kSpeakerStereo, qxaudio::kSpeedOfSound) {
  std::string why;
  engine_ = qxaudio::Engine::create(&why);
  if (!engine_) soundLog(why + "; sounds stay silent");
}

SoundMgr::~SoundMgr() {
  // Every voice goes before the mastering voice and the engine.
  if (engine_) engine_->stopEngine();
  {
    std::vector<SSHandle> alone;
    {
      kesto::SyncloGuard g(aloneLock_);
      alone.swap(alone_);
    }
  }
  forEachLive([](uint32_t, SSPtr& s) {
    s.stock.reset();
    s.dim.reset();
  });
  engine_.reset();
}

SSHandle SoundMgr::load(const std::u16string& path, bool is3D) {
  if (path.empty() || path.size() > SSPtr::kMaxPath) {
    if (!path.empty()) soundLog(path, "path too long");
    return {};
  }
  qx::IFiles* source = ResRegistry::instance().findFile(path);
  if (!source) return {};
  return makeInstance(source, path, is3D);
}

SSHandle SoundMgr::duplicate(uint32_t instance, bool is3D) {
  std::u16string path;
  {
    SSHandle h = SSHandle::fromValue(instance);
    kesto::HdlLock<SSHandle> original(h, kesto::HdlLock<SSHandle>::kShared);
    if (!original) return {};
    path = original->path;
  }
  qx::IFiles* source = ResRegistry::instance().findFile(path);
  if (!source) return {};
  return makeInstance(source, path, is3D);
}

SSHandle SoundMgr::makeInstance(qx::IFiles* source, const std::u16string& path, bool is3D) {
  const SourceKind kind = kindOf(path);
  if (kind == SourceKind::none) {
    soundLog(path, "neither \"ogg\" nor \"wav\"");
    return {};
  }
  Result r = create();
  if (r.handle.isNull()) return {};
  kesto::HdlLock<SSHandle> s(r.handle);
  if (!s) return {};
  s->self = r.handle.value;
  s->path = path;
  if (kind == SourceKind::stream) {
    s->stock = std::make_unique<SS_Stream>(engine_.get(), source, path);
  } else {
    s->stock = std::make_unique<SS_OneShot>(engine_.get(), source, path);
  }
  if (is3D) {
    s->dim = std::make_unique<IFSound3D>();
  } else {
    s->dim = std::make_unique<IFSound2D>();
  }
  s.unlock();
  return std::move(r.handle);
}

void SoundMgr::update(float) {
  if (listenerGobj_) {
    readGobjPlace(listenerGobj_, listener_.position, listener_.velocity, listener_.front, listener_.top);
  }
  forEachLive([this](uint32_t, SSPtr& s) {
    if (!s.dim) return;
    IFS_Stock* stock = s.stock.get();
    s.dim->update(stock ? stock->voice() : nullptr, stock ? uint32_t(stock->channelCount()) : 0,
                  qxaudio::kOutputChannels, positioner_, listener_);
  });
  std::vector<SSHandle> finished;
  {
    kesto::SyncloGuard g(aloneLock_);
    std::vector<SSHandle> playing;
    for (SSHandle& h : alone_) {
      kesto::HdlLock<SSHandle> s(h, kesto::HdlLock<SSHandle>::kShared);
      const bool keep = s && s->is_playing();
      s.unlock();
      (keep ? playing : finished).push_back(std::move(h));
    }
    alone_.swap(playing);
  }
  // finished goes here, outside every lock: the last reference destroys its instance.
}

void SoundMgr::keepAlone(uint32_t instance) {
  SSHandle h = SSHandle::fromValue(instance);
  if (h.isNull()) return;
  kesto::SyncloGuard g(aloneLock_);
  alone_.push_back(std::move(h));
}

size_t SoundMgr::aloneCount() {
  kesto::SyncloGuard g(aloneLock_);
  return alone_.size();
}
