// A WAV file played whole from the shared cache (wav_cache.h).
#pragma once
#include <string>

#include "scene/sound/ifs_stock.h"
#include "scene/sound/wav_cache.h"

namespace qx {
class IFiles;
}

class SS_OneShot final : public IFS_Stock {
 public:
  SS_OneShot(qxaudio::Engine* engine, qx::IFiles* source, const std::u16string& path);
  ~SS_OneShot() override;

  // Loop counts other than 0..254 and 255 (endless) are refused and logged; the sound
  // then stays silent.
  void play(int32_t loops, float volume) override;

  const WavEntry* entry() const { return entry_; }

 private:
  const WavEntry* entry_ = nullptr;
};
