// A sound source: one voice of the mixer and what feeds it. The voice's callbacks come on
// the mixer's thread; a source without a voice (no audio device, a file that could not be
// decoded) does nothing when asked.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio/audio.h"

class IFS_Stock : public qxaudio::IVoiceCallback {
 public:
  static constexpr float kMaxFrequencyRatio = 2.0f;

  IFS_Stock() = default;
  IFS_Stock(const IFS_Stock&) = delete;
  IFS_Stock& operator=(const IFS_Stock&) = delete;
  // Destroys the voice first, so that no callback runs afterwards.
  ~IFS_Stock() override;

  // Plays from the beginning at volume, loops + 1 times.
  virtual void play(int32_t loops, float volume) = 0;

  // At least one buffer queued (a stopped voice with queued audio counts).
  bool queued();
  void start();
  void stop();
  int32_t channelCount() const { return nchannel_; }
  qxaudio::SourceVoice* voice() const { return voice_.get(); }

 protected:
  // Makes the voice; a refusal is logged and leaves the source without one.
  void createVoice(qxaudio::Engine* engine, const qxaudio::SourceFormat& format, const std::u16string& path);
  // Derived sources call this before tearing down what the callbacks use. Never under a
  // lock the callbacks take: destroying a voice waits for its running callback, and that
  // callback may still reach the voice through voice_, so it stays set until the voice is gone
  // (reset() would clear it first).
  void destroyVoice() {
    delete voice_.get();
    (void)voice_.release();
  }

  int32_t nchannel_ = 0;
  std::unique_ptr<qxaudio::SourceVoice> voice_;
};
