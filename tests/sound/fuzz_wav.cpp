// WAV files come from resource packs: fuzz the reader and check what it accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "scene/sound/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WavData wav;
  std::string why;
  if (!readWav(data, size, wav, &why)) {
    if (!wav.data.empty() || why.empty()) std::abort();
    return 0;
  }
  const qxaudio::WaveFormat& f = wav.format.wave;
  if (wav.data.empty() || wav.data.size() > size || f.blockAlign == 0 || wav.data.size() % f.blockAlign != 0 ||
      f.channels == 0 || f.channels > qxaudio::kMaxSourceChannels || !qxaudio::sourceFormatProblem(wav.format).empty()) {
    std::abort();
  }
  // Every MS-ADPCM block names predictors the mixer's table has.
  if (f.formatTag == qxaudio::kFormatAdpcm) {
    for (size_t at = 0; at < wav.data.size(); at += f.blockAlign)
      for (size_t c = 0; c < f.channels; ++c)
        if (wav.data[at + c] >= std::size(qxaudio::kAdpcmCoefficients)) std::abort();
  }
  return 0;
}
