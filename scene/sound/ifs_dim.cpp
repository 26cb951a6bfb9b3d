#include "scene/sound/ifs_dim.h"

#include <algorithm>
#include <cmath>

#include "runtime/res/hdl_lock.h"
#include "script/gobj/gobj_mgr.h"

namespace {

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
qxaudio::Vector toVector(const Vec3& v) { return {v.x, v.y, v.z}; }

}  // namespace

Vec3 deriveTop(const Vec3& front) {
  Vec3 top = cross(Vec3(0, 1, 0), front);
  if (lengthSquared(top) < 0.001f) top = cross(Vec3(1, 0, 0), front);
  return vec3Normalize(top);
}

void orientFromDir(const Vec3& dir, qxaudio::Vector& front, qxaudio::Vector& top) {
  const Vec3 f = vec3Normalize(dir);
  if (!finite(dir) || lengthSquared(f) == 0.0f) {
    front = {0, 0, 1};
    top = {0, 1, 0};
    return;
  }
  front = toVector(f);
  top = toVector(deriveTop(f));
}

bool readGobjPlace(uint32_t gobj, qxaudio::Vector& position, qxaudio::Vector& velocity, qxaudio::Vector& front,
                   qxaudio::Vector& top) {
  GobjHdl h = GobjHdl::fromValue(gobj);
  if (h.isNull()) return false;
  kesto::HdlLock<GobjHdl> obj(h, kesto::HdlLock<GobjHdl>::kShared);
  if (!obj) return false;
  if (finite(obj->_pos)) position = toVector(obj->_pos);
  if (finite(obj->vel)) velocity = toVector(obj->vel);
  orientFromDir(obj->_dir, front, top);
  return true;
}

void IFSound2D::set_pan(float pan) { pan_ = std::clamp(std::isnan(pan) ? 0.0f : pan, -1.0f, 1.0f); }

void IFSound2D::update(qxaudio::SourceVoice* voice, uint32_t sourceChannels, uint32_t, const qxaudio::Positioner&,
                       const qxaudio::Listener&) {
  if (sourceChannels < 1) return;
  volumes_.assign(sourceChannels, 0.0f);
  volumes_[0] = 1.0f - std::max(pan_, 0.0f);
  if (sourceChannels > 1) volumes_[1] = 1.0f - std::max(-pan_, 0.0f);
  if (voice) voice->setChannelVolumes(sourceChannels, volumes_.data());
}

void IFSound3D::set_pos(const Vec3& v) {
  if (finite(v)) emitter_.position = toVector(v);
}

void IFSound3D::set_vel(const Vec3& v) {
  if (finite(v)) emitter_.velocity = toVector(v);
}

void IFSound3D::set_dir(const Vec3& v) { orientFromDir(v, emitter_.front, emitter_.top); }

void IFSound3D::update(qxaudio::SourceVoice* voice, uint32_t sourceChannels, uint32_t outputChannels,
                       const qxaudio::Positioner& positioner, const qxaudio::Listener& listener) {
  if (gobj_ && !readGobjPlace(gobj_, emitter_.position, emitter_.velocity, emitter_.front, emitter_.top)) {
    gobj_ = 0;  // gone: keep the last place
  }
  if (sourceChannels < 1) return;
  emitter_.curveDistanceScaler = 1.0f;
  emitter_.channelCount = sourceChannels;
  emitter_.dopplerScaler = 0.0f;
  std::vector<float> levels(size_t{sourceChannels} * outputChannels, 0.0f);
  float doppler = 1.0f;
  if (!positioner.calculate(listener, emitter_, qxaudio::kCalculateMatrix | qxaudio::kCalculateDoppler, outputChannels,
                            levels.data(), &doppler)) {
    return;
  }
  matrix_ = std::move(levels);
  doppler_ = doppler;
  if (!voice) return;
  if (std::isfinite(doppler_) && doppler_ > 0.0f) voice->setFrequencyRatio(doppler_);
  voice->setOutputMatrix(sourceChannels, outputChannels, matrix_.data());
}
