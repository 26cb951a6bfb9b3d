// WAV files come from resource packs: fuzz the reader and check what it accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "scene/sound/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WavData wav;
  std::string why;
  if (!readWav(data, size, wav, &why)) {
    if (!wav.data.empty() || why.empty()) std::abort();
    return 0;
  }
  const qxaudio::WaveFormat& f = wav.format;
  if (wav.data.empty() || wav.data.size() > size || f.blockAlign == 0 || wav.data.size() % f.blockAlign != 0 ||
      f.channels == 0 || f.channels > qxaudio::kMaxSourceChannels) {
    std::abort();
  }
  return 0;
}
