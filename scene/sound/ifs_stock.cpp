#include "scene/sound/ifs_stock.h"

#include "scene/sound/sound_log.h"

IFS_Stock::~IFS_Stock() { destroyVoice(); }

bool IFS_Stock::queued() { return voice_ && voice_->queuedBuffers() > 0; }

void IFS_Stock::start() {
  if (voice_) voice_->start();
}

void IFS_Stock::stop() {
  if (voice_) voice_->stop();
}

void IFS_Stock::createVoice(qxaudio::Engine* engine, const qxaudio::SourceFormat& format, const std::u16string& path) {
  if (!engine) return;  // silent without a device; the manager said so once
  std::string why;
  voice_ = engine->createSourceVoice(format, this, kMaxFrequencyRatio, &why);
  if (!voice_) soundLog(path, why);
}
