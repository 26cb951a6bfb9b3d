#include "platform/audio/source_format.h"

namespace qxaudio {

namespace {

std::string describe(const WaveFormat& f) {
  return "unsupported format (tag " + std::to_string(f.formatTag) + ", " + std::to_string(f.channels) + " channels, " +
         std::to_string(f.bitsPerSample) + " bits, " + std::to_string(f.samplesPerSec) + " Hz, block align " +
         std::to_string(f.blockAlign) + ")";
}

// PCM and float frames: one sample of the container's size per channel.
std::string linearProblem(const WaveFormat& f, uint16_t tag) {
  const uint16_t b = f.bitsPerSample;
  const bool bitsOk = tag == kFormatPcm ? (b == 8 || b == 16 || b == 24 || b == 32) : (tag == kFormatFloat && b == 32);
  if (!bitsOk || f.blockAlign != f.channels * (b / 8)) return describe(f);
  return "";
}

// The mixer reads a block's headers and nibbles by the block align and its own samples per
// block without checking either: a block too small for its headers, one that does not split
// evenly among the channels, or a count that disagrees with it, overruns its scratch.
std::string adpcmProblem(const SourceFormat& s) {
  const WaveFormat& f = s.wave;
  if (f.channels > kAdpcmMaxChannels) {
    return "MS-ADPCM with " + std::to_string(f.channels) + " channels (FAudio decodes mono and stereo only)";
  }
  if (f.bitsPerSample != 4) return "MS-ADPCM with " + std::to_string(f.bitsPerSample) + " bits per sample (not 4)";
  if (f.blockAlign % f.channels != 0 || f.blockAlign / f.channels < kAdpcmHeaderBytes) {
    return "MS-ADPCM block align " + std::to_string(f.blockAlign) + " is no whole block of " +
           std::to_string(f.channels) + " channels";
  }
  const uint32_t samples = (f.blockAlign / f.channels - (kAdpcmHeaderBytes - 1)) * 2;
  if (s.samplesPerBlock != samples) {
    return "MS-ADPCM samples per block " + std::to_string(s.samplesPerBlock) + " do not match block align " +
           std::to_string(f.blockAlign) + " (" + std::to_string(samples) + ")";
  }
  if (samples > kAdpcmMaxSamplesPerBlock) {
    return "MS-ADPCM blocks of " + std::to_string(samples) + " samples (at most " +
           std::to_string(kAdpcmMaxSamplesPerBlock) + ")";
  }
  return "";
}

}  // namespace

std::string sourceFormatProblem(const SourceFormat& s) {
  const WaveFormat& f = s.wave;
  if (!sourceShapeSupported(f.channels, f.samplesPerSec)) return describe(f);
  switch (f.formatTag) {
    case kFormatPcm:
    case kFormatFloat:
      return linearProblem(f, f.formatTag);
    case kFormatExtensible:
      return linearProblem(f, s.subFormat);
    case kFormatAdpcm:
      return adpcmProblem(s);
    default:
      return describe(f);
  }
}

}  // namespace qxaudio
