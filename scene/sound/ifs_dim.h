// Positioners: how a sound instance's voice is spread over the two output channels each
// frame. IFSound2D pans; IFSound3D places an emitter for the listener, optionally
// following a game object. An operation a positioner does not support does nothing.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/positioning.h"
#include "runtime/math/vec.h"

class IFS_Dim {
 public:
  virtual ~IFS_Dim() = default;
  // voice may be null (a silent instance): the levels are still worked out.
  virtual void update(qxaudio::SourceVoice* voice, uint32_t sourceChannels, uint32_t outputChannels,
                      const qxaudio::Positioner& positioner, const qxaudio::Listener& listener) {
    (void)voice, (void)sourceChannels, (void)outputChannels, (void)positioner, (void)listener;
  }
  virtual void set_gobj(uint32_t gobj) { (void)gobj; }
  virtual void set_pos(const Vec3& v) { (void)v; }
  virtual void set_dir(const Vec3& v) { (void)v; }
  virtual void set_vel(const Vec3& v) { (void)v; }
  virtual void set_pan(float pan) { (void)pan; }
};

class IFSound2D final : public IFS_Dim {
 public:
  void update(qxaudio::SourceVoice* voice, uint32_t sourceChannels, uint32_t outputChannels,
              const qxaudio::Positioner& positioner, const qxaudio::Listener& listener) override;
  // Clamped to [-1, 1] (-1 left, +1 right).
  void set_pan(float pan) override;

  float pan() const { return pan_; }
  // The channel volumes of the last update, one per source channel.
  const std::vector<float>& volumes() const { return volumes_; }

 private:
  float pan_ = 0.0f;
  std::vector<float> volumes_;
};

class IFSound3D final : public IFS_Dim {
 public:
  void update(qxaudio::SourceVoice* voice, uint32_t sourceChannels, uint32_t outputChannels,
              const qxaudio::Positioner& positioner, const qxaudio::Listener& listener) override;
  void set_gobj(uint32_t gobj) override { gobj_ = gobj; }
  void set_pos(const Vec3& v) override;
  void set_dir(const Vec3& v) override;
  void set_vel(const Vec3& v) override;

  uint32_t gobj() const { return gobj_; }
  const qxaudio::Emitter& emitter() const { return emitter_; }
  // Levels and doppler factor of the last update.
  const std::vector<float>& matrix() const { return matrix_; }
  float doppler() const { return doppler_; }

 private:
  uint32_t gobj_ = 0;  // not counted
  qxaudio::Emitter emitter_;
  std::vector<float> matrix_;
  float doppler_ = 1.0f;
};

// The top vector for a front vector: (0, 1, 0) x front, or (1, 0, 0) x front when that
// is (nearly) zero, normalised.
Vec3 deriveTop(const Vec3& front);
// Sets front from dir (normalised) and top from it; a zero or non-finite dir gives the
// default orientation, front (0, 0, 1) and top (0, 1, 0).
void orientFromDir(const Vec3& dir, qxaudio::Vector& front, qxaudio::Vector& top);
// Copies a game object's position, velocity and direction into a place; false when the
// handle names no live game object.
bool readGobjPlace(uint32_t gobj, qxaudio::Vector& position, qxaudio::Vector& velocity, qxaudio::Vector& front,
                   qxaudio::Vector& top);
