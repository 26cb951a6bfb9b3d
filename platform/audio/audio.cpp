#include "platform/audio/audio.h"

#include <FAudio.h>

#include <cstddef>
#include <cstdio>
#include <iterator>

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

static_assert(sizeof(FAudioWaveFormatEx) == sizeof(WaveFormat));
static_assert(sizeof(FAudioWaveFormatExtensible) == sizeof(FAudioWaveFormatEx) + 22);
static_assert(sizeof(FAudioADPCMWaveFormat) == sizeof(FAudioWaveFormatEx) + 4);

template <class T>
void append(std::vector<uint8_t>& out, const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof value);
}

// The record the mixer reads: the header, its cbSize counting the extra bytes that follow.
std::vector<uint8_t> recordOf(const SourceFormat& f) {
  FAudioWaveFormatEx fx{};
  fx.wFormatTag = f.wave.formatTag;
  fx.nChannels = f.wave.channels;
  fx.nSamplesPerSec = f.wave.samplesPerSec;
  fx.nAvgBytesPerSec = f.wave.avgBytesPerSec;
  fx.nBlockAlign = f.wave.blockAlign;
  fx.wBitsPerSample = f.wave.bitsPerSample;
  std::vector<uint8_t> out;
  if (f.wave.formatTag == kFormatExtensible) {
    FAudioWaveFormatExtensible ext{};
    ext.Format = fx;
    ext.Format.cbSize = sizeof ext - sizeof fx;
    ext.Samples.wValidBitsPerSample = f.validBits;
    ext.dwChannelMask = f.channelMask;
    ext.SubFormat = f.subFormat == kFormatFloat ? DATAFORMAT_SUBTYPE_IEEE_FLOAT : DATAFORMAT_SUBTYPE_PCM;
    append(out, ext);
  } else if (f.wave.formatTag == kFormatAdpcm) {
    FAudioADPCMWaveFormat adpcm{};
    adpcm.wfx = fx;
    adpcm.wfx.cbSize = uint16_t(sizeof adpcm - sizeof fx + sizeof kAdpcmCoefficients);
    adpcm.wSamplesPerBlock = f.samplesPerBlock;
    adpcm.wNumCoef = std::size(kAdpcmCoefficients);
    append(out, adpcm);
    for (const AdpcmCoefficient& c : kAdpcmCoefficients) append(out, FAudioADPCMCoefSet{c.c1, c.c2});
  } else {
    append(out, fx);  // plain PCM and float carry nothing more
  }
  return out;
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
  std::vector<uint8_t> record;
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

const std::vector<uint8_t>& SourceVoice::formatRecord() const { return impl_->record; }

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

std::unique_ptr<SourceVoice> Engine::createSourceVoice(const SourceFormat& format, IVoiceCallback* callback,
                                                       float maxFrequencyRatio, std::string* why) {
  // The mixer checks little of a format itself; some it takes crash it later.
  if (std::string problem = sourceFormatProblem(format); !problem.empty()) {
    setWhy(why, problem);
    return nullptr;
  }
  auto impl = std::make_unique<VoiceImpl>();
  impl->bridge.target = callback;
  impl->record = recordOf(format);
  const auto* fx = reinterpret_cast<const FAudioWaveFormatEx*>(impl->record.data());
  const uint32_t rc = FAudio_CreateSourceVoice(impl_->audio, &impl->voice, fx, 0, maxFrequencyRatio,
                                               callback ? &impl->bridge.table : nullptr, nullptr, nullptr);
  if (rc != 0) {
    setWhy(why, "the mixer refused the voice (" + hexCode(rc) + ")");
    return nullptr;
  }
  return std::make_unique<SourceVoice>(std::move(impl));
}

}  // namespace qxaudio
