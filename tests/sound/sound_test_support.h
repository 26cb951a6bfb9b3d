// Sound test helpers: Ogg and WAV files made at test time, bounded waits.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <vorbis/vorbisenc.h>

#include "platform/thread/thread.h"
#include "tests/bind/bind_test_support.h"

namespace soundtest {

// A sine of frames frames, each channel a little different, encoded as Ogg Vorbis.
inline std::string encodeOgg(int channels, long rate, long frames) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  EXPECT_EQ(vorbis_encode_init_vbr(&vi, channels, rate, 0.4f), 0);
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 25);
  std::string out;
  ogg_page og;
  ogg_packet op, com, code;
  vorbis_analysis_headerout(&vd, &vc, &op, &com, &code);
  ogg_stream_packetin(&os, &op);
  ogg_stream_packetin(&os, &com);
  ogg_stream_packetin(&os, &code);
  auto append = [&out](const ogg_page& page) {
    out.append(reinterpret_cast<const char*>(page.header), page.header_len);
    out.append(reinterpret_cast<const char*>(page.body), page.body_len);
  };
  while (ogg_stream_flush(&os, &og)) append(og);
  float** buf = vorbis_analysis_buffer(&vd, int(frames));
  for (long i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) buf[c][i] = 0.5f * std::sin(0.05f * float(i) * float(c + 1));
  vorbis_analysis_wrote(&vd, int(frames));
  vorbis_analysis_wrote(&vd, 0);
  while (vorbis_analysis_blockout(&vd, &vb) == 1) {
    vorbis_analysis(&vb, nullptr);
    vorbis_bitrate_addblock(&vb);
    while (vorbis_bitrate_flushpacket(&vd, &op)) ogg_stream_packetin(&os, &op);
  }
  while (ogg_stream_flush(&os, &og)) append(og);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

inline void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}
inline void put16(std::string& s, uint16_t v) {
  s.push_back(char(v & 0xFF));
  s.push_back(char(v >> 8));
}

// declared < 0: the body's length.
inline std::string chunk(const std::string& id, const std::string& body, bool pad = true, int64_t declared = -1) {
  std::string s = id;
  put32(s, declared < 0 ? uint32_t(body.size()) : uint32_t(declared));
  s += body;
  if (pad && (body.size() & 1)) s.push_back('\0');
  return s;
}

inline std::string fmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int extra = -1) {
  std::string s;
  put16(s, tag);
  put16(s, channels);
  put32(s, rate);
  put32(s, rate * channels * bits / 8);
  put16(s, uint16_t(channels * bits / 8));
  put16(s, bits);
  if (extra >= 0) put16(s, uint16_t(extra));
  return s;
}

// WAVE_FORMAT_EXTENSIBLE with the sub-format GUID {tag-0000-0010-8000-00AA00389B71}.
inline std::string extensibleBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t mask) {
  std::string s = fmtBody(0xFFFE, channels, rate, bits, 22);
  put16(s, uint16_t(bits - 4));  // valid bits: not the container's
  put32(s, mask);
  put32(s, tag);
  return s + std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
}

// An MS-ADPCM "fmt " body at 22050 Hz with pairs coefficient pairs (the standard ones, repeated).
inline std::string adpcmFmt(uint16_t channels, uint16_t blockAlign, uint16_t samplesPerBlock, uint16_t pairs = 7) {
  static const int16_t standard[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  std::string s;
  put16(s, 2);
  put16(s, channels);
  put32(s, 22050);
  put32(s, 11155 * channels);
  put16(s, blockAlign);
  put16(s, 4);
  put16(s, uint16_t(4 + 4 * pairs));
  put16(s, samplesPerBlock);
  put16(s, pairs);
  for (int i = 0; i < pairs; ++i) {
    put16(s, uint16_t(standard[i % 7][0]));
    put16(s, uint16_t(standard[i % 7][1]));
  }
  return s;
}

// count MS-ADPCM blocks: per channel a predictor, a delta of 16 and two samples, then nibbles.
inline std::string adpcmBlocks(uint16_t channels, uint16_t blockAlign, size_t count, uint8_t predictor = 0) {
  std::string s;
  for (size_t b = 0; b < count; ++b) {
    for (uint16_t c = 0; c < channels; ++c) s.push_back(char(predictor));
    for (uint16_t c = 0; c < channels; ++c) put16(s, 16);
    for (int i = 0; i < 2 * channels; ++i) put16(s, uint16_t(300 * i));
    for (size_t i = 7u * channels; i < blockAlign; ++i) s.push_back(char(0x17 * i + b));
  }
  return s;
}

inline std::string riff(const std::string& chunks) {
  std::string s = "RIFF";
  put32(s, uint32_t(4 + chunks.size()));
  return s + "WAVE" + chunks;
}

// 16-bit mono samples (frames of them).
inline std::string pcm16(size_t frames) {
  std::string s;
  for (size_t i = 0; i < frames; ++i) put16(s, uint16_t(int16_t(8000 * std::sin(0.1 * double(i)))));
  return s;
}

// Polls until done gives true or ms milliseconds pass; gives done's last answer.
inline bool waitFor(const std::function<bool()>& done, uint32_t ms = 5000) {
  const uint64_t end = qxplat::monotonicNs() + uint64_t(ms) * 1000000;
  while (!done()) {
    if (qxplat::monotonicNs() > end) return done();
    qxplat::sleepMs(5);
  }
  return true;
}

}  // namespace soundtest
