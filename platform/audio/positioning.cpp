#include "platform/audio/positioning.h"

#include <F3DAudio.h>

#include <cmath>
#include <vector>

#include "platform/audio/audio.h"

namespace qxaudio {

namespace {

F3DAUDIO_VECTOR toF3D(const Vector& v) { return {v.x, v.y, v.z}; }

}  // namespace

Positioner::Positioner(uint32_t speakerMask, float speedOfSound) {
  F3DAudioInitialize(speakerMask, speedOfSound, instance_);
}

bool Positioner::calculate(const Listener& listener, const Emitter& emitter, uint32_t flags, uint32_t outputChannels,
                           float* matrix, float* doppler) const {
  if (!sourceShapeSupported(emitter.channelCount, kMinSampleRate) || outputChannels != kOutputChannels) return false;
  F3DAUDIO_LISTENER l{};
  l.OrientFront = toF3D(listener.front);
  l.OrientTop = toF3D(listener.top);
  l.Position = toF3D(listener.position);
  l.Velocity = toF3D(listener.velocity);

  // The positioner needs an azimuth per channel of a multi-channel emitter; with no
  // channel radius they all sit at the emitter's position.
  std::vector<float> azimuths(emitter.channelCount, 0.0f);
  F3DAUDIO_EMITTER e{};
  e.OrientFront = toF3D(emitter.front);
  e.OrientTop = toF3D(emitter.top);
  e.Position = toF3D(emitter.position);
  e.Velocity = toF3D(emitter.velocity);
  e.ChannelCount = emitter.channelCount;
  e.pChannelAzimuths = emitter.channelCount > 1 ? azimuths.data() : nullptr;
  e.CurveDistanceScaler = emitter.curveDistanceScaler;
  e.DopplerScaler = emitter.dopplerScaler;

  std::vector<float> levels(size_t{emitter.channelCount} * outputChannels, 0.0f);
  F3DAUDIO_DSP_SETTINGS dsp{};
  dsp.pMatrixCoefficients = levels.data();
  dsp.SrcChannelCount = emitter.channelCount;
  dsp.DstChannelCount = outputChannels;
  dsp.DopplerFactor = 1.0f;
  F3DAudioCalculate(instance_, &l, &e, flags, &dsp);
  for (size_t i = 0; i < levels.size(); ++i) matrix[i] = levels[i];
  *doppler = dsp.DopplerFactor;
  return true;
}

}  // namespace qxaudio
