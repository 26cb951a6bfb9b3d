#include "scene/sound/ss_oneshot.h"

#include "scene/sound/sound_log.h"

SS_OneShot::SS_OneShot(qxaudio::Engine* engine, qx::IFiles* source, const std::u16string& path) {
  entry_ = acquireWav(source, path);
  if (!entry_) return;
  nchannel_ = entry_->wav.format.wave.channels;
  createVoice(engine, entry_->wav.format, path);
}

SS_OneShot::~SS_OneShot() {
  destroyVoice();
  releaseWav(entry_);
}

void SS_OneShot::play(int32_t loops, float volume) {
  if (!voice_) return;
  if (queued()) {
    voice_->stop();
    voice_->flush();
  }
  voice_->setVolume(volume);
  if (loops < 0 || loops > int32_t(qxaudio::kLoopInfinite)) {
    soundLog(entry_->path, "loop count " + std::to_string(loops) + " refused (0 to 254, or 255 for endless)");
    return;
  }
  qxaudio::Buffer b;
  b.flags = qxaudio::kEndOfStream;
  b.bytes = static_cast<uint32_t>(entry_->wav.data.size());
  b.data = entry_->wav.data.data();
  b.loopCount = static_cast<uint32_t>(loops);  // the region 0/0 loops the whole buffer
  voice_->submit(b);
  voice_->start();
}
