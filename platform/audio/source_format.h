// The sample formats a source voice takes, as the mixer (FAudio) decodes them: plain PCM
// (8, 16, 24 or 32 bits), 32-bit float, MS-ADPCM, and WAVE_FORMAT_EXTENSIBLE over PCM or
// float. sourceFormatProblem says why a format would not play (or crash the mixer).
#pragma once
#include <cstdint>
#include <string>

namespace qxaudio {

#pragma pack(push, 1)
struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "the format record is the packed 18-byte header");

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatAdpcm = 2;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// FAudio 23.02 plays sources of up to 55 channels but crashes creating one of 56 or more;
// no sound file needs more than 7.1.
constexpr uint32_t kMaxSourceChannels = 8;
constexpr uint32_t kMinSampleRate = 1000;
constexpr uint32_t kMaxSampleRate = 200000;

// Whether the mixer takes a source of that many channels at that sample rate.
constexpr bool sourceShapeSupported(uint32_t channels, uint32_t samplesPerSec) {
  return channels >= 1 && channels <= kMaxSourceChannels && samplesPerSec >= kMinSampleRate &&
         samplesPerSec <= kMaxSampleRate;
}

// MS-ADPCM as the mixer decodes it: mono or stereo blocks, each opening with a 7-byte
// header per channel (predictor index, delta, two samples), then a nibble per sample. It
// takes the samples per block from the block align alone and predicts with the standard
// seven coefficient pairs, whatever table the file carries, so a file must agree with both.
struct AdpcmCoefficient {
  int16_t c1, c2;
};
constexpr AdpcmCoefficient kAdpcmCoefficients[7] = {{256, 0},  {512, -256}, {0, 0},     {192, 64},
                                                    {240, 0}, {460, -208}, {392, -232}};
constexpr uint32_t kAdpcmMaxChannels = 2;
constexpr uint32_t kAdpcmHeaderBytes = 7;
// It decodes a whole block into scratch on the mixer thread's stack and keeps the count in
// 16 bits; real encoders stay near 2 048.
constexpr uint32_t kAdpcmMaxSamplesPerBlock = 8192;

// What a source voice is made from: the 18-byte header (its cbSize is worked out when the
// voice is made) and what the format's extra bytes carry.
struct SourceFormat {
  WaveFormat wave;  // formatTag: PCM, float, MS-ADPCM or EXTENSIBLE
  uint16_t samplesPerBlock = 0;  // MS-ADPCM; its coefficients are kAdpcmCoefficients
  // EXTENSIBLE: the sub-format's tag (PCM or float), valid bits and speaker mask.
  uint16_t subFormat = 0;
  uint16_t validBits = 0;
  uint32_t channelMask = 0;
};

// Empty when the mixer plays f; otherwise why it cannot.
std::string sourceFormatProblem(const SourceFormat& f);

}  // namespace qxaudio
