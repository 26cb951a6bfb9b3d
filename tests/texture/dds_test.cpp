// The DDS reader and writer: round trips, the pixel formats taken, and hostile headers.
#include "render/texture/dds.h"
#include "render/texture/dxt.h"
#include "render/texture/mip_chain.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gfx/format.h"
#include "platform/gfx/gfx_types.h"
#include "tests/texture/texture_fixture.h"

namespace {

using textest::ddsFile;

TEST(Dds, WrittenLevelsReadBack) {
  const uint8_t bgra[2 * 2 * 4 + 4] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 9, 10, 11, 12, 13, 14, 15, 16};
  // Rows 12 bytes apart: the padding must not reach the file.
  auto file = qxtex::writeDds(qxgfx::D3DFMT_A8R8G8B8, 2, 1, bgra, 12);
  qxtex::DdsImage img;
  ASSERT_TRUE(qxtex::readDds(file.data(), file.size(), img, nullptr));
  EXPECT_EQ(img.format, qxgfx::D3DFMT_A8R8G8B8);
  EXPECT_EQ(img.width, 2u);
  EXPECT_EQ(img.height, 1u);
  EXPECT_EQ(img.bits, std::vector<uint8_t>(bgra, bgra + 8));

  const uint8_t alpha[6] = {10, 20, 30, 40, 50, 60};
  file = qxtex::writeDds(qxgfx::D3DFMT_A8, 3, 2, alpha, 3);
  ASSERT_TRUE(qxtex::readDds(file.data(), file.size(), img, nullptr));
  EXPECT_EQ(img.format, qxgfx::D3DFMT_A8);
  EXPECT_EQ(img.bits, std::vector<uint8_t>(alpha, alpha + 6));
  EXPECT_TRUE(qxtex::writeDds(qxgfx::D3DFMT_R5G6B5, 2, 2, alpha, 4).empty());
}

TEST(Dds, PixelFormatsTaken) {
  const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
  const uint32_t abgr[4] = {0xFF, 0xFF00, 0xFF0000, 0xFF000000u};
  const uint32_t none[4] = {0, 0, 0, 0};
  const uint32_t alphaOnly[4] = {0, 0, 0, 0xFF};
  qxtex::DdsImage img;

  auto f = ddsFile(1, 1, 0x41, 0, 32, abgr, 4);
  f[128] = 1, f[129] = 2, f[130] = 3, f[131] = 4;  // R, G, B, A
  ASSERT_TRUE(qxtex::readDds(f.data(), f.size(), img, nullptr));
  EXPECT_EQ(img.format, qxgfx::D3DFMT_A8R8G8B8);
  EXPECT_EQ(img.bits, (std::vector<uint8_t>{3, 2, 1, 4}));

  f = ddsFile(1, 1, 0x40, 0, 32, argb, 4);  // no alpha bit
  ASSERT_TRUE(qxtex::readDds(f.data(), f.size(), img, nullptr));
  EXPECT_EQ(img.format, qxgfx::D3DFMT_X8R8G8B8);

  // The largest side is taken, either way round, and the most pixels.
  for (auto [w, h] : {std::pair<uint32_t, uint32_t>{16384, 1}, {1, 16384}, {16384, 1024}, {5, 5}}) {
    f = ddsFile(w, h, 0x2, 0, 8, alphaOnly, size_t(w) * h);
    ASSERT_TRUE(qxtex::readDds(f.data(), f.size(), img, nullptr)) << w << "x" << h;
    EXPECT_EQ(img.format, qxgfx::D3DFMT_A8);
  }

  // DXT levels are whole 4x4 blocks: 5 x 5 pixels take 2 x 2 blocks.
  const std::pair<uint32_t, size_t> dxt[] = {{qxgfx::D3DFMT_DXT1, 32}, {qxgfx::D3DFMT_DXT3, 64}, {qxgfx::D3DFMT_DXT5, 64}};
  for (auto [fourCC, bytes] : dxt) {
    f = ddsFile(5, 5, 0x4, fourCC, 0, none, bytes);
    ASSERT_TRUE(qxtex::readDds(f.data(), f.size(), img, nullptr)) << fourCC;
    EXPECT_EQ(img.format, fourCC);
    EXPECT_EQ(img.bits.size(), bytes);
    f.pop_back();
    EXPECT_FALSE(qxtex::readDds(f.data(), f.size(), img, nullptr)) << fourCC;
  }
}

// The other uncompressed layouts D3DX reads: known by their masks, widened to 32-bit
// colour (bytes B, G, R, A), each field rounded to the nearest 8-bit value.
TEST(Dds, MaskedLayoutsAreReadAsColour) {
  struct Row {
    const char* what;
    uint32_t flags, bits;
    uint32_t masks[4];
    std::vector<uint8_t> pixel;  // the first of two; the second is all zero bits
    std::vector<uint8_t> bgra;
  } rows[] = {
      {"R5G6B5", 0x40, 16, {0xF800, 0x07E0, 0x001F, 0}, {0x08, 0x84}, {66, 130, 132, 255}},
      {"A1R5G5B5", 0x41, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, {0x00, 0xFC}, {0, 0, 255, 255}},
      {"X1R5G5B5", 0x40, 16, {0x7C00, 0x03E0, 0x001F, 0}, {0x1F, 0x80}, {255, 0, 0, 255}},
      {"A4R4G4B4", 0x41, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, {0x0A, 0x8F}, {170, 0, 255, 136}},
      {"X4R4G4B4", 0x40, 16, {0x0F00, 0x00F0, 0x000F, 0}, {0x5F, 0xF0}, {255, 85, 0, 255}},
      {"R8G8B8", 0x40, 24, {0xFF0000, 0xFF00, 0xFF, 0}, {0x30, 0x20, 0x10}, {0x30, 0x20, 0x10, 255}},
      {"L8", 0x20000, 8, {0xFF, 0, 0, 0}, {0x80}, {0x80, 0x80, 0x80, 255}},
      {"L16", 0x20000, 16, {0xFFFF, 0, 0, 0}, {0x34, 0x12}, {18, 18, 18, 255}},
      {"A8L8", 0x20001, 16, {0xFF, 0, 0, 0xFF00}, {0x40, 0xC0}, {0x40, 0x40, 0x40, 0xC0}},
      {"A4L4", 0x20001, 8, {0x0F, 0, 0, 0xF0}, {0x3C}, {204, 204, 204, 51}},
  };
  for (const Row& r : rows) {
    const size_t bytes = r.bits / 8;
    auto f = ddsFile(2, 1, r.flags, 0, r.bits, r.masks, 2 * bytes);
    std::copy(r.pixel.begin(), r.pixel.end(), f.begin() + 128);
    std::fill(f.begin() + 128 + long(bytes), f.end(), 0);
    qxtex::DdsImage img;
    std::string why;
    ASSERT_TRUE(qxtex::readDds(f.data(), f.size(), img, &why)) << r.what << ": " << why;
    const bool alpha = r.masks[3] != 0;
    EXPECT_EQ(img.format, alpha ? qxgfx::D3DFMT_A8R8G8B8 : qxgfx::D3DFMT_X8R8G8B8) << r.what;
    std::vector<uint8_t> want = r.bgra;
    want.insert(want.end(), {0, 0, 0, uint8_t(alpha ? 0 : 255)});
    EXPECT_EQ(img.bits, want) << r.what;
    f.pop_back();
    EXPECT_FALSE(qxtex::readDds(f.data(), f.size(), img, &why)) << r.what;
    EXPECT_EQ(why, "DDS pixel data cut short") << r.what;
  }

  // Stored levels are as many pixels each, in the file's own size.
  const uint32_t l8[4] = {0xFF, 0, 0, 0};
  auto f = ddsFile(4, 2, 0x20000, 0, 8, l8, 8 + 2 + 1);
  f[10] |= 0x02;  // flags: the mip count is read (0x20000)
  f[28] = 3;
  f[128 + 8] = 0x11, f[128 + 10] = 0x22;
  qxtex::DdsImage img;
  ASSERT_TRUE(qxtex::readDds(f.data(), f.size(), img, nullptr));
  ASSERT_EQ(img.mips.size(), 2u);
  EXPECT_EQ(img.mips[0], (std::vector<uint8_t>{0x11, 0x11, 0x11, 255, 0x5A, 0x5A, 0x5A, 255}));
  EXPECT_EQ(img.mips[1], (std::vector<uint8_t>{0x22, 0x22, 0x22, 255}));
}

TEST(Dds, HostileFilesAreRefused) {
  const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
  const uint32_t odd[4] = {0xF800, 0x7C0, 0x3F, 0};  // 5-5-6: no layout D3DX reads
  const uint32_t sameRB[4] = {0xFF0000, 0xFF00, 0xFF0000, 0xFF000000u};
  const uint32_t alphaOnly[4] = {0, 0, 0, 0xFF};
  const uint32_t odd565[4] = {0xF800, 0x7E0, 0x1F, 0};
  const uint32_t lum8[4] = {0xFF, 0, 0, 0};
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"payload one byte short", ddsFile(2, 2, 0x41, 0, 32, argb, 15)},
      {"zero width", ddsFile(0, 2, 0x41, 0, 32, argb, 16)},
      {"width past the limit", ddsFile(16385, 1, 0x41, 0, 32, argb, 16)},
      {"too many pixels", ddsFile(16384, 16384, 0x41, 0, 32, argb, 16)},
      {"16-bit colour of no known layout", ddsFile(1, 1, 0x40, 0, 16, odd, 2)},
      {"5-6-5 colour cut short", ddsFile(2, 1, 0x40, 0, 16, odd565, 3)},
      {"luminance in 24 bits", ddsFile(1, 1, 0x20000, 0, 24, lum8, 3)},
      {"16-bit alpha", ddsFile(1, 1, 0x2, 0, 16, alphaOnly, 2)},
      {"red and blue in one place", ddsFile(1, 1, 0x41, 0, 32, sameRB, 4)},
      {"unknown four-cc", ddsFile(4, 4, 0x4, 0x31495441, 0, odd, 64)},
      {"cut header", std::vector<uint8_t>{'D', 'D', 'S', ' ', 124, 0, 0}},
  };
  for (Case& c : cases) {
    qxtex::DdsImage img;
    std::string why;
    EXPECT_FALSE(qxtex::readDds(c.file.data(), c.file.size(), img, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
    EXPECT_TRUE(img.bits.empty()) << c.what;
  }
}

// Pixels 0..3 of the first row of a decoded 4x4 block, as R, G, B, A words.
std::vector<uint32_t> firstRow(uint32_t format, const std::vector<uint8_t>& block) {
  uint8_t rgba[64];
  qxtex::decodeDxt(format, 4, 4, block.data(), block.size(), rgba);
  std::vector<uint32_t> out;
  for (int i = 0; i < 4; ++i) out.push_back(uint32_t(rgba[4 * i]) << 24 | rgba[4 * i + 1] << 16 | rgba[4 * i + 2] << 8 | rgba[4 * i + 3]);
  return out;
}

TEST(Dxt, BlocksDecodeToTheirPalettes) {
  // Red and blue ends; the first row's indices are 0, 1, 2, 3.
  const std::vector<uint8_t> four = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
  EXPECT_EQ(firstRow(qxgfx::D3DFMT_DXT1, four), (std::vector<uint32_t>{0xFF0000FF, 0x0000FFFF, 0xAA0055FF, 0x5500AAFF}));
  // Ends swapped: three colours, and index 3 is transparent black.
  const std::vector<uint8_t> three = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0};
  EXPECT_EQ(firstRow(qxgfx::D3DFMT_DXT1, three), (std::vector<uint32_t>{0x0000FFFF, 0xFF0000FF, 0x7F007FFF, 0}));

  std::vector<uint8_t> dxt3(16, 0);
  dxt3[0] = 0xF0, dxt3[1] = 0x38;  // alpha nibbles 0, 15, 8, 3
  dxt3[8] = 0xFF, dxt3[9] = 0xFF;  // white
  EXPECT_EQ(firstRow(qxgfx::D3DFMT_DXT3, dxt3), (std::vector<uint32_t>{0xFFFFFF00, 0xFFFFFFFF, 0xFFFFFF88, 0xFFFFFF33}));

  // A level smaller than its block writes only its own pixels.
  std::vector<uint8_t> small(64, 0xEE);
  qxtex::decodeDxt(qxgfx::D3DFMT_DXT1, 2, 2, four.data(), 8, small.data());
  EXPECT_EQ(small[6], 0xFF);   // (1, 0): blue
  EXPECT_EQ(small[12], 0xFF);  // (1, 1): red
  EXPECT_EQ(small[16], 0xEE);
  EXPECT_EQ(small[63], 0xEE);

  // Alpha ends 255 and 0: eight steps; then 0 and 255: six steps plus 0 and 255.
  std::vector<uint8_t> dxt5(16, 0);
  dxt5[0] = 255, dxt5[1] = 0;
  dxt5[2] = 0x88, dxt5[3] = 0x0E;  // indices 0, 1, 2, 7 (3 bits each)
  EXPECT_EQ(firstRow(qxgfx::D3DFMT_DXT5, dxt5), (std::vector<uint32_t>{0x000000FF, 0x00000000, 0x000000DA, 0x00000024}));
  dxt5[0] = 0, dxt5[1] = 255;
  dxt5[2] = 0x90, dxt5[3] = 0x0F;  // indices 0, 2, 6, 7
  EXPECT_EQ(firstRow(qxgfx::D3DFMT_DXT5, dxt5),
            (std::vector<uint32_t>{0x00000000, 0x00000033, 0x00000000, 0x000000FF}));
}

// ---- mip levels

constexpr uint32_t kFormats[] = {qxgfx::D3DFMT_A8R8G8B8, qxgfx::D3DFMT_X8R8G8B8, qxgfx::D3DFMT_A8,
                                 qxgfx::D3DFMT_DXT1,     qxgfx::D3DFMT_DXT3,     qxgfx::D3DFMT_DXT5};

// Level l of a w x h image in the format, every byte its own.
std::vector<uint8_t> levelBytes(uint32_t format, uint32_t w, uint32_t h, uint32_t l, uint8_t seed) {
  std::vector<uint8_t> b(qxgfx::formatLevelBytes(format, qxtex::levelSide(w, l), qxtex::levelSide(h, l)));
  for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(seed + 37 * i + 11 * l);
  return b;
}

std::vector<uint8_t> writeLevels(uint32_t format, uint32_t w, uint32_t h, const std::vector<std::vector<uint8_t>>& lv) {
  std::vector<qxtex::DdsLevel> levels;
  for (uint32_t l = 0; l < lv.size(); ++l)
    levels.push_back({lv[l].data(), qxgfx::formatPitch(format, qxtex::levelSide(w, l))});
  return qxtex::writeDds(format, w, h, levels);
}

TEST(Dds, EveryStoredLevelIsWrittenAndReadAsItIs) {
  EXPECT_EQ(qxtex::fullChainLevels(8, 4), 4u);
  EXPECT_EQ(qxtex::fullChainLevels(1, 1), 1u);
  EXPECT_EQ(qxtex::fullChainLevels(5, 300), 9u);
  for (uint32_t format : kFormats) {
    for (uint32_t count : {1u, 2u, 4u}) {
      std::vector<std::vector<uint8_t>> lv;
      for (uint32_t l = 0; l < count; ++l) lv.push_back(levelBytes(format, 8, 4, l, uint8_t(format)));
      const std::vector<uint8_t> file = writeLevels(format, 8, 4, lv);
      qxtex::DdsImage img;
      ASSERT_TRUE(qxtex::readDds(file.data(), file.size(), img, nullptr)) << format << " " << count;
      EXPECT_EQ(img.format, format);
      EXPECT_EQ(img.bits, lv[0]);
      EXPECT_EQ(img.mips, std::vector<std::vector<uint8_t>>(lv.begin() + 1, lv.end())) << format << " " << count;
      // One byte short of the last level, or a count past the full chain: refused.
      std::string why;
      std::vector<uint8_t> cut(file.begin(), file.end() - 1);
      EXPECT_FALSE(qxtex::readDds(cut.data(), cut.size(), img, &why)) << format << " " << count;
      EXPECT_EQ(why, "DDS pixel data cut short");
    }
    std::vector<std::vector<uint8_t>> five(5, levelBytes(format, 8, 4, 0, 1));
    EXPECT_TRUE(writeLevels(format, 8, 4, five).empty()) << format;
  }
  // An X8R8G8B8 file stays X8R8G8B8.
  const uint8_t px[4] = {1, 2, 3, 0xFF};
  const auto x8 = qxtex::writeDds(qxgfx::D3DFMT_X8R8G8B8, 1, 1, px, 4);
  qxtex::DdsImage img;
  ASSERT_TRUE(qxtex::readDds(x8.data(), x8.size(), img, nullptr));
  EXPECT_EQ(img.format, qxgfx::D3DFMT_X8R8G8B8);
  // A8B8G8R8 (a render target's format) is written with its own masks: read as A8R8G8B8.
  const auto abgr = qxtex::writeDds(qxgfx::D3DFMT_A8B8G8R8, 1, 1, px, 4);
  ASSERT_TRUE(qxtex::readDds(abgr.data(), abgr.size(), img, nullptr));
  EXPECT_EQ(img.format, qxgfx::D3DFMT_A8R8G8B8);
  EXPECT_EQ(img.bits, (std::vector<uint8_t>{3, 2, 1, 0xFF}));

  const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
  auto put = [](std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
  };
  struct Case {
    const char* what;
    uint32_t flags, count, caps2;
    bool taken;
  } cases[] = {
      {"count without its flag", 0, 9, 0, true},     {"count 0", 0x20000, 0, 0, true},
      {"count past the chain", 0x20000, 4, 0, false}, {"volume", 0, 0, 0x200000, false},
      {"cube map", 0, 0, 0xFE00, true},
  };
  for (const Case& c : cases) {
    auto f = ddsFile(4, 2, 0x41, 0, 32, argb, 4 * 4 * 2 * 2);
    put(f, 8, c.flags);
    put(f, 28, c.count);
    put(f, 112, c.caps2);
    std::string why;
    EXPECT_EQ(qxtex::readDds(f.data(), f.size(), img, &why), c.taken) << c.what;
    if (c.taken) {
      EXPECT_TRUE(img.mips.empty()) << c.what;
    } else {
      EXPECT_FALSE(why.empty()) << c.what;
    }
  }
}

// Pixel (x, y) of rgba rows w wide as R, G, B, A bytes.
const uint8_t* pixel(const std::vector<uint8_t>& rgba, uint32_t w, uint32_t x, uint32_t y) {
  return &rgba[(size_t(y) * w + x) * 4];
}

// Pixels of a level in any of the formats, as R, G, B, A bytes.
std::vector<uint8_t> rgbaOf(uint32_t format, uint32_t w, uint32_t h, const std::vector<uint8_t>& bits) {
  std::vector<uint8_t> out(size_t(w) * h * 4);
  if (qxtex::isDxt(format)) {
    qxtex::decodeDxt(format, w, h, bits.data(), qxgfx::formatPitch(format, w), out.data());
    return out;
  }
  const uint32_t bpp = qxgfx::formatInfo(format)->bytesPerPixel;
  for (size_t i = 0; i < size_t(w) * h; ++i)
    for (uint32_t c = 0; c < 4; ++c) out[i * 4 + c] = c < bpp ? bits[i * bpp + c] : 0;
  return out;
}

// A picture in 4 x 4 cells of two colours, as a level of the format: colours made of
// 0 and 255 only, so DXT blocks hold them exactly; alpha 0 (DXT1, transparent), 0x88
// (DXT3's four bits) or 0xFF.
std::vector<uint8_t> cells(uint32_t format, uint32_t w, uint32_t h) {
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  const uint8_t alpha = format == qxgfx::D3DFMT_DXT1 ? 0 : format == qxgfx::D3DFMT_DXT3 ? 0x88 : 0x40;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const bool odd = ((x / 4) + (y / 4) + (x / 8)) % 2 == 1;
      const uint8_t c[4] = {uint8_t(odd ? 0 : 255), uint8_t(odd ? 255 : 0), uint8_t(odd ? 255 : 0),
                            uint8_t(odd ? alpha : 255)};
      std::copy(c, c + 4, &rgba[(size_t(y) * w + x) * 4]);
    }
  if (qxtex::isDxt(format)) {
    std::vector<uint8_t> blocks(qxgfx::formatLevelBytes(format, w, h));
    qxtex::encodeDxt(format, w, h, rgba.data(), blocks.data());
    return blocks;
  }
  const uint32_t bpp = qxgfx::formatInfo(format)->bytesPerPixel;
  std::vector<uint8_t> out(size_t(w) * h * bpp);
  for (size_t i = 0; i < size_t(w) * h; ++i)
    for (uint32_t c = 0; c < bpp; ++c) out[i * bpp + c] = rgba[i * 4 + (bpp == 1 ? 3 : c)];
  return out;
}

TEST(MipChain, GeneratedLevelsArePointDownscalesOfTheLastStoredOne) {
  const std::pair<uint32_t, uint32_t> sizes[] = {{32, 16}, {12, 5}, {1, 8}};
  for (uint32_t format : kFormats) {
    for (auto [w, h] : sizes) {
      for (uint32_t stored : {1u, 2u}) {
        const std::vector<uint8_t> level0 = cells(format, w, h);
        std::vector<std::vector<uint8_t>> mips;
        // A stored level 1 unlike level 0 (shifted cells): the chain goes on from it.
        if (stored == 2) mips.push_back(cells(format, qxtex::levelSide(w, 1), qxtex::levelSide(h, 1)));
        const auto keep = mips;
        qxtex::completeMipChain(format, w, h, level0, mips);
        const std::string what = std::to_string(format) + " " + std::to_string(w) + "x" + std::to_string(h) +
                                 " stored " + std::to_string(stored);
        ASSERT_EQ(mips.size() + 1, qxtex::fullChainLevels(w, h)) << what;
        if (stored == 2) {
          EXPECT_EQ(mips[0], keep[0]) << what;
        }
        const uint32_t base = stored - 1;
        const uint32_t bw = qxtex::levelSide(w, base), bh = qxtex::levelSide(h, base);
        const std::vector<uint8_t> from = rgbaOf(format, bw, bh, base == 0 ? level0 : mips[0]);
        for (uint32_t l = base + 1; l < qxtex::fullChainLevels(w, h); ++l) {
          const uint32_t lw = qxtex::levelSide(w, l), lh = qxtex::levelSide(h, l);
          ASSERT_EQ(mips[l - 1].size(), qxgfx::formatLevelBytes(format, lw, lh)) << what << " level " << l;
          const std::vector<uint8_t> got = rgbaOf(format, lw, lh, mips[l - 1]);
          int wrong = 0;
          for (uint32_t y = 0; y < lh; ++y)
            for (uint32_t x = 0; x < lw; ++x) {
              // Each halving takes the pixel at twice the coordinates (times the ratio).
              uint32_t sx = x, sy = y;
              for (uint32_t k = l; k > base; --k) {
                sx = sx * qxtex::levelSide(w, k - 1) / qxtex::levelSide(w, k);
                sy = sy * qxtex::levelSide(h, k - 1) / qxtex::levelSide(h, k);
              }
              wrong += !std::equal(pixel(got, lw, x, y), pixel(got, lw, x, y) + 4, pixel(from, bw, sx, sy));
            }
          EXPECT_EQ(wrong, 0) << what << " level " << l;
        }
      }
    }
  }
}

TEST(MipChain, EncodedBlocksKeepTransparencyAndAlpha) {
  // Mixed colours are packed approximately; a DXT1 pixel's transparency and DXT3's four
  // bits of alpha are kept exactly.
  std::vector<uint8_t> rgba(8 * 4 * 4);
  for (size_t i = 0; i < 32; ++i) {
    const uint8_t c[4] = {uint8_t(i * 8), uint8_t(255 - i * 8), uint8_t(i * 3), uint8_t(i % 3 == 0 ? 0 : i * 8)};
    std::copy(c, c + 4, &rgba[i * 4]);
  }
  for (uint32_t format : {qxgfx::D3DFMT_DXT1, qxgfx::D3DFMT_DXT3, qxgfx::D3DFMT_DXT5}) {
    std::vector<uint8_t> blocks(qxgfx::formatLevelBytes(format, 8, 4));
    qxtex::encodeDxt(format, 8, 4, rgba.data(), blocks.data());
    const std::vector<uint8_t> back = rgbaOf(format, 8, 4, blocks);
    for (size_t i = 0; i < 32; ++i) {
      const uint8_t a = rgba[i * 4 + 3], got = back[i * 4 + 3];
      if (format == qxgfx::D3DFMT_DXT1) {
        EXPECT_EQ(got, a < 128 ? 0 : 255) << i;
        for (int c = 0; c < 3 && a >= 128; ++c) {
          EXPECT_NEAR(back[i * 4 + c], rgba[i * 4 + c], 40) << i << " " << c;
        }
      } else if (format == qxgfx::D3DFMT_DXT3) {
        EXPECT_EQ(got, (a + 8) / 17 * 17) << i;
      } else {
        EXPECT_NEAR(got, a, 18) << i;
      }
    }
  }
  // A block with no opaque pixel is wholly transparent.
  std::vector<uint8_t> clear(4 * 4 * 4, 0x30);
  for (size_t i = 3; i < clear.size(); i += 4) clear[i] = 0;
  uint8_t block[8];
  qxtex::encodeDxt(qxgfx::D3DFMT_DXT1, 4, 4, clear.data(), block);
  const std::vector<uint8_t> back = rgbaOf(qxgfx::D3DFMT_DXT1, 4, 4, std::vector<uint8_t>(block, block + 8));
  EXPECT_EQ(back, std::vector<uint8_t>(64, 0));
}

}  // namespace
