#include "scene/sound/wav_reader.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

uint32_t u32At(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t u16At(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

bool idIs(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

bool fail(std::string* why, const std::string& text, WavData& out) {
  if (why) *why = text;
  out = WavData();
  return false;
}

// The next chunk whose id is wanted, from pos on, skipping the others; its data start and
// its size cut to the file. False when the file ends first.
bool findChunk(const uint8_t* bytes, size_t size, uint64_t& pos, const char* wanted, uint64_t& start,
               uint64_t& length) {
  while (pos + 8 <= size) {
    const uint8_t* head = bytes + pos;
    const uint64_t declared = u32At(head + 4);
    start = pos + 8;
    length = std::min<uint64_t>(declared, size - start);
    if (idIs(head, wanted)) return true;
    pos = start + declared + (declared & 1);
  }
  return false;
}

// WAVE_FORMAT_EXTENSIBLE: the 18-byte record, valid bits (2), channel mask (4), then the
// sub-format GUID whose first four bytes name a plain format tag; the rest is this tail.
constexpr size_t kExtensibleSize = 40;
constexpr size_t kSubFormatAt = 24;
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::string guidText(const uint8_t* g) {
  static const char* hex = "0123456789abcdef";
  // Data1, Data2 and Data3 are little-endian words; the last eight bytes go as they are.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string out;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += hex[g[order[i]] >> 4];
    out += hex[g[order[i]] & 15];
  }
  return out;
}

// EXTENSIBLE keeps its tag and carries the sub-format's, its valid bits and speaker mask.
bool readExtensible(const uint8_t* fmt, uint64_t length, qxaudio::SourceFormat& f, std::string& why) {
  if (length < kExtensibleSize) {
    why = "WAVE_FORMAT_EXTENSIBLE without its 22-byte extension";
    return false;
  }
  const uint8_t* guid = fmt + kSubFormatAt;
  const uint32_t tag = u32At(guid);
  if (std::memcmp(guid + 4, kSubFormatTail, sizeof kSubFormatTail) != 0 ||
      (tag != qxaudio::kFormatPcm && tag != qxaudio::kFormatFloat)) {
    why = "unsupported WAVE_FORMAT_EXTENSIBLE sub-format {" + guidText(guid) + "} (FAudio decodes PCM and float)";
    return false;
  }
  f.subFormat = static_cast<uint16_t>(tag);
  f.validBits = u16At(fmt + 18);
  f.channelMask = u32At(fmt + 20);
  return true;
}

// MS-ADPCM: the 18-byte record, samples per block (2), the coefficient count (2), then
// that many pairs of 16-bit coefficients. The mixer decodes with the standard table only.
constexpr size_t kAdpcmCoefficientsAt = 22;
constexpr size_t kAdpcmCoefficientCount = std::size(qxaudio::kAdpcmCoefficients);

bool readAdpcm(const uint8_t* fmt, uint64_t length, qxaudio::SourceFormat& f, std::string& why) {
  if (length < kAdpcmCoefficientsAt) {
    why = "MS-ADPCM without its samples per block and coefficient count";
    return false;
  }
  const uint16_t count = u16At(fmt + 20);
  if (count != kAdpcmCoefficientCount) {
    why = "MS-ADPCM with " + std::to_string(count) + " coefficient pairs (FAudio decodes with the standard 7)";
    return false;
  }
  if (length < kAdpcmCoefficientsAt + 4 * kAdpcmCoefficientCount) {
    why = "MS-ADPCM coefficient table cut short";
    return false;
  }
  for (size_t i = 0; i < kAdpcmCoefficientCount; ++i) {
    const uint8_t* pair = fmt + kAdpcmCoefficientsAt + 4 * i;
    if (int16_t(u16At(pair)) != qxaudio::kAdpcmCoefficients[i].c1 ||
        int16_t(u16At(pair + 2)) != qxaudio::kAdpcmCoefficients[i].c2) {
      why = "MS-ADPCM coefficient table is not the standard one FAudio decodes with";
      return false;
    }
  }
  f.samplesPerBlock = u16At(fmt + 18);
  return true;
}

// The mixer indexes its coefficient table with each block's predictor bytes unchecked.
bool adpcmPredictorsValid(const uint8_t* data, uint64_t length, const qxaudio::WaveFormat& f, std::string& why) {
  for (uint64_t at = 0; at < length; at += f.blockAlign) {
    for (uint16_t c = 0; c < f.channels; ++c) {
      if (data[at + c] >= kAdpcmCoefficientCount) {
        why = "MS-ADPCM block " + std::to_string(at / f.blockAlign) + " names predictor " +
              std::to_string(data[at + c]) + " (the table has 7)";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool readWav(const uint8_t* bytes, size_t size, WavData& out, std::string* why) {
  out = WavData();
  if (!bytes || size < 12 || !idIs(bytes, "RIFF") || !idIs(bytes + 8, "WAVE")) {
    return fail(why, "not a RIFF WAVE file", out);
  }
  uint64_t pos = 12, start = 0, length = 0;
  if (!findChunk(bytes, size, pos, "fmt ", start, length)) return fail(why, "no \"fmt \" chunk", out);
  qxaudio::WaveFormat& w = out.format.wave;
  std::memcpy(&w, bytes + start, std::min<uint64_t>(length, sizeof w));
  // The extra-bytes count follows the chunk, not what the file wrote there.
  w.cbSize = length > sizeof w ? uint16_t(std::min<uint64_t>(length - sizeof w, 0xFFFF)) : 0;
  std::string reason;
  if (w.formatTag == qxaudio::kFormatExtensible && !readExtensible(bytes + start, length, out.format, reason)) {
    return fail(why, reason, out);
  }
  if (w.formatTag == qxaudio::kFormatAdpcm && !readAdpcm(bytes + start, length, out.format, reason)) {
    return fail(why, reason, out);
  }
  pos = start + u32At(bytes + start - 4);
  if (!findChunk(bytes, size, pos, "data", start, length)) return fail(why, "no \"data\" chunk", out);
  reason = qxaudio::sourceFormatProblem(out.format);
  if (!reason.empty()) return fail(why, reason, out);
  const uint64_t whole = length - length % w.blockAlign;
  if (whole == 0) return fail(why, "no whole sample frame in \"data\"", out);
  if (w.formatTag == qxaudio::kFormatAdpcm && !adpcmPredictorsValid(bytes + start, whole, w, reason)) {
    return fail(why, reason, out);
  }
  out.data.assign(bytes + start, bytes + start + whole);
  return true;
}
