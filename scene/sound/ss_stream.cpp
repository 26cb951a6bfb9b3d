#include "scene/sound/ss_stream.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "runtime/fs/files.h"
#include "scene/sound/sound_log.h"

namespace {

void* tag(uintptr_t generation) { return reinterpret_cast<void*>(generation); }

}  // namespace

size_t SS_Stream::readCb(void* dst, size_t size, size_t count, void* self) {
  qx::ibitstream* f = static_cast<SS_Stream*>(self)->file_.get();
  if (!f || size == 0) return 0;
  const int64_t left = f->sourceSize() - f->tell();
  const size_t n = std::min<size_t>(left > 0 ? static_cast<size_t>(left) / size : 0, count);
  return f->readBytes(dst, n * size) > 0 ? n : 0;
}

int SS_Stream::seekCb(void* self, int64_t offset, int origin) {
  qx::ibitstream* f = static_cast<SS_Stream*>(self)->file_.get();
  if (!f) return -1;
  if (origin == SEEK_SET) {
    f->seek(offset);
  } else if (origin == SEEK_CUR) {
    f->seek(f->tell() + offset);
  } else {
    f->seek(f->sourceSize());
  }
  return 0;
}

int SS_Stream::closeCb(void* self) {
  static_cast<SS_Stream*>(self)->file_.reset();
  return 0;
}

long SS_Stream::tellCb(void* self) {
  qx::ibitstream* f = static_cast<SS_Stream*>(self)->file_.get();
  return f ? static_cast<long>(f->tell()) : -1;
}

SS_Stream::SS_Stream(qxaudio::Engine* engine, qx::IFiles* source, const std::u16string& path) : path_(path) {
  if (source) file_ = source->openRead(path);
  if (!file_) {
    soundLog(path, "cannot be opened");
    return;
  }
  auto decoder = std::make_unique<OggVorbis_File>();
  const ov_callbacks callbacks{readCb, seekCb, closeCb, tellCb};
  const int rc = ov_open_callbacks(this, decoder.get(), nullptr, 0, callbacks);
  if (rc != 0) {
    // A failed open leaves the stream to us and nothing to clear.
    soundLog(path, "not an Ogg Vorbis file (" + std::to_string(rc) + ")");
    file_.reset();
    return;
  }
  decoder_ = std::move(decoder);
  const vorbis_info* info = ov_info(decoder_.get(), -1);
  // Negative counts wrap to sizes no source takes.
  if (!info || !qxaudio::sourceShapeSupported(uint32_t(info->channels), uint32_t(std::min<long>(info->rate, UINT32_MAX)))) {
    soundLog(path, "unsupported channel count or sample rate");
    return;
  }
  nchannel_ = info->channels;
  qxaudio::SourceFormat format;
  qxaudio::WaveFormat& f = format.wave;
  f.formatTag = qxaudio::kFormatPcm;
  f.channels = static_cast<uint16_t>(info->channels);
  f.samplesPerSec = static_cast<uint32_t>(info->rate);
  f.bitsPerSample = 16;
  f.blockAlign = static_cast<uint16_t>(2 * info->channels);
  f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
  createVoice(engine, format, path);
}

SS_Stream::~SS_Stream() {
  destroyVoice();
  if (decoder_) ov_clear(decoder_.get());
}

bool SS_Stream::fillOne() {
  OggVorbis_File* dec = decoder_.get();
  uint8_t* buf = buffers_[next_].data();
  uint32_t filled = 0;
  while (filled < kBufferBytes) {
    int section = 0;
    const long n = ov_read(dec, reinterpret_cast<char*>(buf) + filled, int(kBufferBytes - filled), 0, 2, 1, &section);
    if (n <= 0) break;
    filled += static_cast<uint32_t>(n);
  }
  qxaudio::Buffer b;
  b.bytes = filled;
  b.data = buf;
  b.context = tag(generation_);
  if (ov_pcm_tell(dec) == ov_pcm_total(dec, -1)) {
    ov_pcm_seek(dec, 0);
    --passesLeft_;
  } else if (filled == 0) {
    // The decoder gives nothing more before the end: finish instead of waiting for ever.
    soundLog(path_, "decoding stopped before the end");
    passesLeft_ = 0;
  }
  const bool last = passesLeft_ < 1;
  if (last) b.flags = qxaudio::kEndOfStream;
  voice_->submit(b);
  bytesSubmitted_ += filled;
  next_ = (next_ + 1) % buffers_.size();
  return last;
}

void SS_Stream::restart() {
  ++generation_;
  if (passesLeft_ < 1) {
    state_ = kIdle;  // nothing left to play
    return;
  }
  ov_pcm_seek(decoder_.get(), 0);
  next_ = 0;
  // A file shorter than three buffers ends before they are all filled.
  for (size_t i = 0; i < buffers_.size(); ++i) {
    if (fillOne()) break;
  }
  state_ = kPlaying;
  voice_->setVolume(volume_);
  voice_->start();
}

void SS_Stream::play(int32_t loops, float volume) {
  if (!voice_ || !decoder_) return;
  kesto::SyncloGuard guard(lock_);
  if (loops >= 0) passesLeft_ = loops == std::numeric_limits<int32_t>::max() ? loops : loops + 1;
  volume_ = volume;
  if (voice_->queuedBuffers() > 0) {
    ++generation_;
    voice_->start();
    state_ = kRestarting;
    voice_->flush();
    qxaudio::Buffer end;
    end.flags = qxaudio::kEndOfStream;
    end.context = tag(generation_);
    voice_->submit(end);
  } else {
    restart();
  }
}

void SS_Stream::OnBufferEnd(void* context) {
  kesto::SyncloGuard guard(lock_);
  lastEnded_ = reinterpret_cast<uintptr_t>(context);
  if (state_ == kPlaying && lastEnded_ == generation_ && passesLeft_ >= 1) fillOne();
}

void SS_Stream::OnStreamEnd() {
  kesto::SyncloGuard guard(lock_);
  if (lastEnded_ != generation_) return;  // the end of a playback since replaced
  if (state_ == kRestarting) {
    restart();
  } else if (state_ == kPlaying) {
    state_ = kIdle;
  }
}
