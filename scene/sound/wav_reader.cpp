#include "scene/sound/wav_reader.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t u32At(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

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

// An EXTENSIBLE format with a PCM or float sub-format becomes that plain format, by the
// container's bits per sample; the channel mask is not used (channels go out in file
// order). False with the reason for anything else.
bool plainFromExtensible(const uint8_t* fmt, uint64_t length, qxaudio::WaveFormat& f, std::string& why) {
  if (length < kExtensibleSize) {
    why = "WAVE_FORMAT_EXTENSIBLE without its 22-byte extension";
    return false;
  }
  const uint8_t* guid = fmt + kSubFormatAt;
  const uint32_t tag = u32At(guid);
  if (std::memcmp(guid + 4, kSubFormatTail, sizeof kSubFormatTail) != 0 ||
      (tag != qxaudio::kFormatPcm && tag != qxaudio::kFormatFloat)) {
    why = "unsupported WAVE_FORMAT_EXTENSIBLE sub-format {" + guidText(guid) + "}";
    return false;
  }
  f.formatTag = static_cast<uint16_t>(tag);
  f.cbSize = 0;
  return true;
}

bool formatPlayable(const qxaudio::WaveFormat& f) {
  if (!qxaudio::sourceShapeSupported(f.channels, f.samplesPerSec)) return false;
  const uint16_t b = f.bitsPerSample;
  if (f.formatTag == qxaudio::kFormatPcm) {
    if (b != 8 && b != 16 && b != 24 && b != 32) return false;
  } else if (f.formatTag == qxaudio::kFormatFloat) {
    if (b != 32) return false;
  } else {
    return false;
  }
  return f.blockAlign == f.channels * (b / 8);
}

}  // namespace

bool readWav(const uint8_t* bytes, size_t size, WavData& out, std::string* why) {
  out = WavData();
  if (!bytes || size < 12 || !idIs(bytes, "RIFF") || !idIs(bytes + 8, "WAVE")) {
    return fail(why, "not a RIFF WAVE file", out);
  }
  uint64_t pos = 12, start = 0, length = 0;
  if (!findChunk(bytes, size, pos, "fmt ", start, length)) return fail(why, "no \"fmt \" chunk", out);
  std::memcpy(&out.format, bytes + start, std::min<uint64_t>(length, sizeof out.format));
  // The extra-bytes count follows the chunk, not what the file wrote there.
  out.format.cbSize = length > sizeof out.format ? uint16_t(std::min<uint64_t>(length - sizeof out.format, 0xFFFF)) : 0;
  if (out.format.formatTag == qxaudio::kFormatExtensible) {
    std::string reason;
    if (!plainFromExtensible(bytes + start, length, out.format, reason)) return fail(why, reason, out);
  }
  pos = start + u32At(bytes + start - 4);
  if (!findChunk(bytes, size, pos, "data", start, length)) return fail(why, "no \"data\" chunk", out);
  const qxaudio::WaveFormat& f = out.format;
  if (!formatPlayable(f)) {
    return fail(why,
                "unsupported format (tag " + std::to_string(f.formatTag) + ", " + std::to_string(f.channels) +
                    " channels, " + std::to_string(f.bitsPerSample) + " bits, " + std::to_string(f.samplesPerSec) +
                    " Hz, block align " + std::to_string(f.blockAlign) + ")",
                out);
  }
  const uint64_t whole = length - length % f.blockAlign;
  if (whole == 0) return fail(why, "no whole sample frame in \"data\"", out);
  out.data.assign(bytes + start, bytes + start + whole);
  return true;
}
