// An Ogg Vorbis file decoded a buffer at a time: three 4096-byte buffers rotate, each
// refilled on the mixer's thread as the oldest one finishes, rewinding to the first
// sample at the end of each pass. The file is read through the engine's own file stream,
// only ever under the stream's lock.
//
// Every submitted buffer carries the generation of the playback it belongs to; callbacks
// of buffers from before a restart (flushed, or ending while "play" hands the restart to
// the mixer's thread) are told apart by it and change nothing.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/core/synclo.h"
#include "runtime/fs/bitstream.h"
#include "scene/sound/ifs_stock.h"

struct OggVorbis_File;

namespace qx {
class IFiles;
}

class SS_Stream final : public IFS_Stock {
 public:
  static constexpr uint32_t kBufferBytes = 4096;
  static constexpr int32_t kIdle = 0;
  static constexpr int32_t kPlaying = 1;
  static constexpr int32_t kRestarting = 2;

  SS_Stream(qxaudio::Engine* engine, qx::IFiles* source, const std::u16string& path);
  ~SS_Stream() override;

  // loops < 0 keeps the passes left. Playing while audio is queued restarts through the
  // mixer's thread.
  void play(int32_t loops, float volume) override;

  void OnBufferEnd(void* context) override;
  void OnStreamEnd() override;

  bool decoderOpen() const { return decoder_ != nullptr; }
  int32_t state() const { return state_.load(); }
  // PCM bytes handed to the voice since construction.
  uint64_t bytesSubmitted() const { return bytesSubmitted_.load(); }

 private:
  static size_t readCb(void* dst, size_t size, size_t count, void* self);
  static int seekCb(void* self, int64_t offset, int origin);
  static int closeCb(void* self);
  static long tellCb(void* self);

  // Under lock_.
  bool fillOne();  // true when the buffer it submitted ends the stream
  void restart();

  kesto::Synclo lock_;
  std::u16string path_;
  std::unique_ptr<qx::ibitstream> file_;
  std::unique_ptr<OggVorbis_File> decoder_;
  std::array<std::array<uint8_t, kBufferBytes>, 3> buffers_{};
  uint32_t next_ = 0;
  int32_t passesLeft_ = 0;
  float volume_ = 1.0f;
  uintptr_t generation_ = 1;
  uintptr_t lastEnded_ = 0;
  std::atomic<int32_t> state_{kIdle};
  std::atomic<uint64_t> bytesSubmitted_{0};
};
