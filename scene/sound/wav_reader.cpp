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
