// 3D positioning on F3DAudio: levels from each source channel to the two output channels
// and a doppler factor, for one emitter heard by one listener. Needs no audio device.
#pragma once
#include <cstdint>

namespace qxaudio {

struct Vector {
  float x = 0, y = 0, z = 0;
};

// Orientations must be unit length and at right angles to each other.
struct Listener {
  Vector front{0, 0, 1};
  Vector top{0, 1, 0};
  Vector position;
  Vector velocity;
};

struct Emitter {
  Vector front{0, 0, 1};
  Vector top{0, 1, 0};
  Vector position;
  Vector velocity;
  uint32_t channelCount = 1;  // 1..kMaxSourceChannels
  float curveDistanceScaler = 1.0f;
  float dopplerScaler = 0.0f;
};

constexpr uint32_t kCalculateMatrix = 0x01;
constexpr uint32_t kCalculateDoppler = 0x20;
constexpr float kSpeedOfSound = 343.5f;

class Positioner {
 public:
  Positioner(uint32_t speakerMask, float speedOfSound);

  // Fills matrix (emitter channels x outputChannels levels, laid out as a voice's output
  // matrix takes them) and doppler; false, leaving them alone, when the channel counts
  // are out of range.
  bool calculate(const Listener& listener, const Emitter& emitter, uint32_t flags, uint32_t outputChannels,
                 float* matrix, float* doppler) const;

 private:
  uint8_t instance_[20] = {};
};

}  // namespace qxaudio
