// The WAV reader over well-formed, unusual and hostile files.
#include <gtest/gtest.h>

#include <cstring>

#include "scene/sound/wav_reader.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace soundtest;

struct Case {
  const char* name;
  std::string bytes;
  bool ok;
  std::string data;       // the samples, when ok
  uint16_t cbSize;        // when ok
  const char* why;        // part of the reason when refused
};

std::vector<Case> cases() {
  const std::string fmt = chunk("fmt ", fmtBody(1, 1, 22050, 16));
  const std::string pcm = pcm16(100), data = chunk("data", pcm);
  std::vector<Case> c;
  // A LIST chunk before "fmt " and an odd-sized chunk (with its pad byte) before "data".
  c.push_back({"list and odd chunk", riff(chunk("LIST", "INFOabcd") + fmt + chunk("junk", "abc") + data), true, pcm, 0,
               ""});
  // An 18-byte "fmt " whose extra count lies about itself, then 4 more bytes of it.
  c.push_back({"cbSize follows the chunk",
               riff(chunk("fmt ", fmtBody(1, 1, 22050, 16, 999) + "xyzw") + data), true, pcm, 4, ""});
  c.push_back({"data cut at the file's end to whole frames", riff(fmt) + chunk("data", pcm16(10) + "x", false, 1000000), true,
               pcm16(10), 0, ""});
  c.push_back({"stereo float", riff(chunk("fmt ", fmtBody(3, 2, 48000, 32)) + chunk("data", std::string(64, '\1'))),
               true, std::string(64, '\1'), 0, ""});
  c.push_back({"empty", "", false, "", 0, "RIFF"});
  c.push_back({"not WAVE", std::string("RIFF\4\0\0\0AVI ", 12) + fmt + data, false, "", 0, "RIFF"});
  c.push_back({"no fmt", riff(data), false, "", 0, "fmt"});
  c.push_back({"no data", riff(fmt + chunk("LIST", "xx")), false, "", 0, "data"});
  c.push_back({"fmt past the end", riff(chunk("fmt ", fmtBody(1, 1, 22050, 16), true, 0x7FFFFFFF)), false, "", 0,
               "data"});
  c.push_back({"extensible", riff(chunk("fmt ", fmtBody(0xFFFE, 2, 44100, 16, 22) + std::string(22, '\0')) + data),
               false, "", 0, "unsupported"});
  c.push_back({"extensible without its extension", riff(chunk("fmt ", fmtBody(0xFFFE, 1, 22050, 16, 0)) + data), false,
               "", 0, "extension"});
  c.push_back({"extensible ADPCM", riff(chunk("fmt ", extensibleBody(2, 1, 22050, 16, 2)) + data), false, "", 0,
               "sub-format {00000002-0000-0010-8000-00aa00389b71}"});
  c.push_back({"eight channels", riff(chunk("fmt ", fmtBody(1, 8, 22050, 16)) + chunk("data", std::string(48, 'x'))),
               true, std::string(48, 'x'), 0, ""});
  c.push_back({"nine channels", riff(chunk("fmt ", fmtBody(1, 9, 22050, 16)) + data), false, "", 0, "unsupported"});
  c.push_back({"odd bits", riff(chunk("fmt ", fmtBody(1, 1, 22050, 12)) + data), false, "", 0, "unsupported"});
  c.push_back({"lowest rate", riff(chunk("fmt ", fmtBody(1, 1, 1000, 16)) + data), true, pcm, 0, ""});
  c.push_back({"highest rate", riff(chunk("fmt ", fmtBody(1, 1, 200000, 16)) + data), true, pcm, 0, ""});
  c.push_back({"rate too low", riff(chunk("fmt ", fmtBody(1, 1, 999, 16)) + data), false, "", 0, "unsupported"});
  c.push_back({"rate too high", riff(chunk("fmt ", fmtBody(1, 1, 200001, 16)) + data), false, "", 0, "unsupported"});
  std::string badAlign = fmtBody(1, 2, 22050, 16);
  badAlign[12] = 3;
  c.push_back({"block align", riff(chunk("fmt ", badAlign) + data), false, "", 0, "block align"});
  const std::string mono = chunk("fmt ", adpcmFmt(1, 64, 116)), block = adpcmBlocks(1, 64, 1);
  c.push_back({"MS-ADPCM cut to whole blocks", riff(mono + chunk("data", adpcmBlocks(1, 64, 2) + "0123456789")), true,
               adpcmBlocks(1, 64, 2), 32, ""});
  c.push_back({"MS-ADPCM stereo", riff(chunk("fmt ", adpcmFmt(2, 128, 116)) + chunk("data", adpcmBlocks(2, 128, 1))),
               true, adpcmBlocks(2, 128, 1), 32, ""});
  const std::string adpcmData = chunk("data", block);
  c.push_back({"MS-ADPCM zero block align", riff(chunk("fmt ", adpcmFmt(1, 0, 116)) + adpcmData), false, "", 0,
               "block align 0"});
  c.push_back({"MS-ADPCM block shorter than its header", riff(chunk("fmt ", adpcmFmt(1, 6, 0)) + adpcmData), false, "",
               0, "block align 6"});
  c.push_back({"MS-ADPCM stereo block of odd size", riff(chunk("fmt ", adpcmFmt(2, 129, 116)) + adpcmData), false, "",
               0, "block align 129"});
  c.push_back({"MS-ADPCM samples per block off by one", riff(chunk("fmt ", adpcmFmt(1, 64, 117)) + adpcmData), false,
               "", 0, "samples per block 117"});
  c.push_back({"MS-ADPCM blocks too long", riff(chunk("fmt ", adpcmFmt(1, 4200, 8388)) + adpcmData), false, "", 0,
               "at most"});
  c.push_back({"MS-ADPCM three channels", riff(chunk("fmt ", adpcmFmt(3, 192, 116)) + adpcmData), false, "", 0,
               "mono and stereo"});
  c.push_back({"MS-ADPCM six coefficient pairs", riff(chunk("fmt ", adpcmFmt(1, 64, 116, 6)) + adpcmData), false, "",
               0, "6 coefficient pairs"});
  c.push_back({"MS-ADPCM coefficient table cut short", riff(chunk("fmt ", adpcmFmt(1, 64, 116).substr(0, 48)) + adpcmData),
               false, "", 0, "cut short"});
  c.push_back({"MS-ADPCM without its extra bytes", riff(chunk("fmt ", adpcmFmt(1, 64, 116).substr(0, 20)) + adpcmData),
               false, "", 0, "coefficient count"});
  std::string ownTable = adpcmFmt(1, 64, 116);
  ownTable[ownTable.size() - 1] ^= 1;
  c.push_back({"MS-ADPCM own coefficient table", riff(chunk("fmt ", ownTable) + adpcmData), false, "", 0, "standard"});
  c.push_back({"MS-ADPCM data shorter than a block", riff(mono + chunk("data", block.substr(0, 63))), false, "", 0,
               "whole"});
  c.push_back({"MS-ADPCM predictor past the table", riff(mono + chunk("data", block + adpcmBlocks(1, 64, 1, 7))), false,
               "", 0, "block 1 names predictor 7"});
  std::string rightPredictor = adpcmBlocks(2, 128, 1);
  rightPredictor[1] = 9;
  c.push_back({"MS-ADPCM right channel's predictor past the table",
               riff(chunk("fmt ", adpcmFmt(2, 128, 116)) + chunk("data", rightPredictor)), false, "", 0, "predictor 9"});
  c.push_back({"mu-law", riff(chunk("fmt ", fmtBody(7, 1, 8000, 8)) + data), false, "", 0, "unsupported format (tag 7"});
  c.push_back({"64-bit float", riff(chunk("fmt ", fmtBody(3, 1, 22050, 64)) + data), false, "", 0, "unsupported"});
  c.push_back({"extensible 12-bit PCM", riff(chunk("fmt ", extensibleBody(1, 1, 22050, 12, 4)) + data), false, "", 0,
               "unsupported"});
  c.push_back({"less than a frame", riff(chunk("fmt ", fmtBody(1, 2, 22050, 16)) + chunk("data", "abc")), false, "", 0,
               "frame"});
  return c;
}

TEST(WavReader, ReadsWhatPlaysAndRefusesTheRest) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    WavData out;
    std::string why;
    const bool ok = readWav(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), out, &why);
    ASSERT_EQ(ok, c.ok) << why;
    if (ok) {
      EXPECT_EQ(std::string(out.data.begin(), out.data.end()), c.data);
      EXPECT_EQ(out.format.wave.cbSize, c.cbSize);
      EXPECT_EQ(out.data.size() % out.format.wave.blockAlign, 0u);
    } else {
      EXPECT_NE(why.find(c.why), std::string::npos) << why;
      EXPECT_TRUE(out.data.empty());
    }
  }
}

TEST(WavReader, ExtensibleKeepsItsSubFormatAndSpeakerMask) {
  std::string samples;
  for (int i = 0; i < 240; ++i) samples.push_back(char(i * 7));
  const struct {
    uint16_t tag, channels, bits;
    uint32_t mask;
  } cases[] = {{1, 2, 24, 0x3}, {3, 2, 32, 0x600}, {1, 6, 16, 0x60F}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.tag) + "/" + std::to_string(c.bits));
    const std::string body = chunk("data", samples);
    const std::string plain = riff(chunk("fmt ", fmtBody(c.tag, c.channels, 48000, c.bits)) + body);
    const std::string ext = riff(chunk("fmt ", extensibleBody(c.tag, c.channels, 48000, c.bits, c.mask)) + body);
    WavData a, b;
    std::string why;
    ASSERT_TRUE(readWav(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), a, &why)) << why;
    ASSERT_TRUE(readWav(reinterpret_cast<const uint8_t*>(ext.data()), ext.size(), b, &why)) << why;
    EXPECT_EQ(b.format.wave.formatTag, 0xFFFE);
    EXPECT_EQ(b.format.subFormat, c.tag);
    EXPECT_EQ(b.format.channelMask, c.mask);
    EXPECT_EQ(b.format.validBits, c.bits - 4);
    EXPECT_EQ(b.format.wave.cbSize, 22);
    b.format.wave.formatTag = c.tag;
    b.format.wave.cbSize = 0;
    EXPECT_EQ(std::memcmp(&a.format.wave, &b.format.wave, sizeof a.format.wave), 0);
    EXPECT_EQ(a.data, b.data);
  }
}

}  // namespace
