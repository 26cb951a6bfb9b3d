// Sound output on FAudio: an engine with a two-channel mastering voice, source voices fed
// with sample buffers, and the voice callbacks, which run on the mixer's own thread.
//
//   std::string why;
//   auto engine = qxaudio::Engine::create(&why);          // null (and why) without a device
//   auto voice = engine->createSourceVoice(format, &callback, 2.0f, &why);
//   voice->submit(buffer);  voice->start();
//
// Callbacks are made with none of the mixer's own locks held, so a callback may wait on a
// lock of the caller's, and the caller may call voice methods while holding it. The one
// exception is destroying a voice: it waits for the voice's callback to return, so it must
// not be done under a lock that callback takes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/source_format.h"

namespace qxaudio {

// The mastering voice's channel count: front left and right.
constexpr uint32_t kOutputChannels = 2;
constexpr uint32_t kSpeakerStereo = 3;
constexpr uint32_t kEndOfStream = 0x40;
constexpr uint32_t kMaxLoopCount = 254;
constexpr uint32_t kLoopInfinite = 255;

struct Buffer {
  uint32_t flags = 0;
  uint32_t bytes = 0;
  const uint8_t* data = nullptr;
  uint32_t playBegin = 0;
  uint32_t playLength = 0;  // 0: to the end
  uint32_t loopBegin = 0;
  uint32_t loopLength = 0;  // 0: the whole buffer
  uint32_t loopCount = 0;   // 0..254, or kLoopInfinite
  void* context = nullptr;  // handed back to the buffer's callbacks
};

// The seven voice callbacks, in the mixer interface's order; all do nothing here.
class IVoiceCallback {
 public:
  virtual ~IVoiceCallback() = default;
  virtual void OnVoiceProcessingPassStart(uint32_t bytesRequired) { (void)bytesRequired; }
  virtual void OnVoiceProcessingPassEnd() {}
  virtual void OnStreamEnd() {}
  virtual void OnBufferStart(void* context) { (void)context; }
  virtual void OnBufferEnd(void* context) { (void)context; }
  virtual void OnLoopEnd(void* context) { (void)context; }
  virtual void OnVoiceError(void* context, uint32_t error) {
    (void)context;
    (void)error;
  }
};

struct VoiceImpl;

// A source voice; destroying it destroys the mixer's voice (see above). A call the mixer
// refuses has no effect.
class SourceVoice {
 public:
  explicit SourceVoice(std::unique_ptr<VoiceImpl> impl);
  ~SourceVoice();
  SourceVoice(const SourceVoice&) = delete;
  SourceVoice& operator=(const SourceVoice&) = delete;

  void start();
  void stop();
  void submit(const Buffer& buffer);
  void flush();
  uint32_t queuedBuffers();
  void setVolume(float volume);
  void setChannelVolumes(uint32_t count, const float* volumes);
  // Levels from each source channel to each output channel, towards the mastering voice.
  void setOutputMatrix(uint32_t sourceChannels, uint32_t outputChannels, const float* matrix);
  void setFrequencyRatio(float ratio);
  // The format record (WAVEFORMATEX and its extra bytes) the voice was made with.
  const std::vector<uint8_t>& formatRecord() const;

 private:
  std::unique_ptr<VoiceImpl> impl_;
};

struct EngineImpl;

class Engine {
 public:
  // The engine and its mastering voice; null, with the reason, when either cannot be made.
  static std::unique_ptr<Engine> create(std::string* why);
  // Stops processing, then destroys the mastering voice and the engine. Every source voice
  // must be gone by then.
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // A voice for that format calling back into callback (which must outlive it); null,
  // with the reason, when the mixer refuses the format.
  std::unique_ptr<SourceVoice> createSourceVoice(const SourceFormat& format, IVoiceCallback* callback,
                                                 float maxFrequencyRatio, std::string* why);
  // Halts processing: no callback starts afterwards.
  void stopEngine();

 private:
  explicit Engine(std::unique_ptr<EngineImpl> impl);
  std::unique_ptr<EngineImpl> impl_;
};

}  // namespace qxaudio
