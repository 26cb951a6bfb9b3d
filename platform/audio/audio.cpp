#include "platform/audio/audio.h"

#include <FAudio.h>

#include <cstddef>
#include <cstdio>

namespace qxaudio {

namespace {

std::string hexCode(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

void setWhy(std::string* why, const std::string& text) {
  if (why) *why = text;
}

}  // namespace

// The mixer sees the callback table at the start of this record and finds the target
// through it.
struct CallbackBridge {
  FAudioVoiceCallback table;
  IVoiceCallback* target;
};
static_assert(offsetof(CallbackBridge, table) == 0);

namespace {

IVoiceCallback* targetOf(FAudioVoiceCallback* cb) { return reinterpret_cast<CallbackBridge*>(cb)->target; }

void FAUDIOCALL onBufferEnd(FAudioVoiceCallback* cb, void* context) { targetOf(cb)->OnBufferEnd(context); }
void FAUDIOCALL onBufferStart(FAudioVoiceCallback* cb, void* context) { targetOf(cb)->OnBufferStart(context); }
void FAUDIOCALL onLoopEnd(FAudioVoiceCallback* cb, void* context) { targetOf(cb)->OnLoopEnd(context); }
void FAUDIOCALL onStreamEnd(FAudioVoiceCallback* cb) { targetOf(cb)->OnStreamEnd(); }
void FAUDIOCALL onVoiceError(FAudioVoiceCallback* cb, void* context, uint32_t error) {
  targetOf(cb)->OnVoiceError(context, error);
}
void FAUDIOCALL onPassEnd(FAudioVoiceCallback* cb) { targetOf(cb)->OnVoiceProcessingPassEnd(); }
void FAUDIOCALL onPassStart(FAudioVoiceCallback* cb, uint32_t bytes) { targetOf(cb)->OnVoiceProcessingPassStart(bytes); }

}  // namespace

struct VoiceImpl {
  CallbackBridge bridge{{onBufferEnd, onBufferStart, onLoopEnd, onStreamEnd, onVoiceError, onPassEnd, onPassStart},
                        nullptr};
  FAudioSourceVoice* voice = nullptr;
};

struct EngineImpl {
  FAudio* audio = nullptr;
  FAudioMasteringVoice* master = nullptr;
};

SourceVoice::SourceVoice(std::unique_ptr<VoiceImpl> impl) : impl_(std::move(impl)) {}

SourceVoice::~SourceVoice() {
  if (impl_ && impl_->voice) FAudioVoice_DestroyVoice(impl_->voice);
}

void SourceVoice::start() { FAudioSourceVoice_Start(impl_->voice, 0, FAUDIO_COMMIT_NOW); }
void SourceVoice::stop() { FAudioSourceVoice_Stop(impl_->voice, 0, FAUDIO_COMMIT_NOW); }

void SourceVoice::submit(const Buffer& b) {
  FAudioBuffer fb{};
  fb.Flags = b.flags;
  fb.AudioBytes = b.bytes;
  fb.pAudioData = b.data;
  fb.PlayBegin = b.playBegin;
  fb.PlayLength = b.playLength;
  fb.LoopBegin = b.loopBegin;
  fb.LoopLength = b.loopLength;
  fb.LoopCount = b.loopCount;
  fb.pContext = b.context;
  FAudioSourceVoice_SubmitSourceBuffer(impl_->voice, &fb, nullptr);
}

void SourceVoice::flush() { FAudioSourceVoice_FlushSourceBuffers(impl_->voice); }

uint32_t SourceVoice::queuedBuffers() {
  FAudioVoiceState state{};
  FAudioSourceVoice_GetState(impl_->voice, &state, FAUDIO_VOICE_NOSAMPLESPLAYED);
  return state.BuffersQueued;
}

void SourceVoice::setVolume(float volume) { FAudioVoice_SetVolume(impl_->voice, volume, FAUDIO_COMMIT_NOW); }

void SourceVoice::setChannelVolumes(uint32_t count, const float* volumes) {
  FAudioVoice_SetChannelVolumes(impl_->voice, count, volumes, FAUDIO_COMMIT_NOW);
}

void SourceVoice::setOutputMatrix(uint32_t sourceChannels, uint32_t outputChannels, const float* matrix) {
  FAudioVoice_SetOutputMatrix(impl_->voice, nullptr, sourceChannels, outputChannels, matrix, FAUDIO_COMMIT_NOW);
}

void SourceVoice::setFrequencyRatio(float ratio) {
  FAudioSourceVoice_SetFrequencyRatio(impl_->voice, ratio, FAUDIO_COMMIT_NOW);
}

Engine::Engine(std::unique_ptr<EngineImpl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<Engine> Engine::create(std::string* why) {
  auto impl = std::make_unique<EngineImpl>();
  uint32_t rc = FAudioCreate(&impl->audio, 0, FAUDIO_DEFAULT_PROCESSOR);
  if (rc != 0) {
    setWhy(why, "the audio engine could not be created (" + hexCode(rc) + ")");
    return nullptr;
  }
  rc = FAudio_CreateMasteringVoice(impl->audio, &impl->master, kOutputChannels, FAUDIO_DEFAULT_SAMPLERATE, 0, 0,
                                   nullptr);
  if (rc != 0) {
    FAudio_Release(impl->audio);
    setWhy(why, "no audio output device (" + hexCode(rc) + ")");
    return nullptr;
  }
  return std::unique_ptr<Engine>(new Engine(std::move(impl)));
}

Engine::~Engine() {
  FAudio_StopEngine(impl_->audio);
  FAudioVoice_DestroyVoice(impl_->master);
  FAudio_Release(impl_->audio);
}

void Engine::stopEngine() { FAudio_StopEngine(impl_->audio); }

std::unique_ptr<SourceVoice> Engine::createSourceVoice(const WaveFormat& format, IVoiceCallback* callback,
                                                       float maxFrequencyRatio, std::string* why) {
  auto impl = std::make_unique<VoiceImpl>();
  impl->bridge.target = callback;
  FAudioWaveFormatEx fx{};
  fx.wFormatTag = format.formatTag;
  fx.nChannels = format.channels;
  fx.nSamplesPerSec = format.samplesPerSec;
  fx.nAvgBytesPerSec = format.avgBytesPerSec;
  fx.nBlockAlign = format.blockAlign;
  fx.wBitsPerSample = format.bitsPerSample;
  fx.cbSize = 0;  // only plain PCM and float formats reach the mixer
  const uint32_t rc = FAudio_CreateSourceVoice(impl_->audio, &impl->voice, &fx, 0, maxFrequencyRatio,
                                               callback ? &impl->bridge.table : nullptr, nullptr, nullptr);
  if (rc != 0) {
    setWhy(why, "the mixer refused the voice (" + hexCode(rc) + ")");
    return nullptr;
  }
  return std::make_unique<SourceVoice>(std::move(impl));
}

}  // namespace qxaudio
