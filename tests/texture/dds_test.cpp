// The DDS reader and writer: round trips, the pixel formats taken, and hostile headers.
#include "render/texture/dds.h"
#include "render/texture/dxt.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(Dds, HostileFilesAreRefused) {
  const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
  const uint32_t odd[4] = {0xF800, 0x7E0, 0x1F, 0};
  const uint32_t sameRB[4] = {0xFF0000, 0xFF00, 0xFF0000, 0xFF000000u};
  const uint32_t alphaOnly[4] = {0, 0, 0, 0xFF};
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"payload one byte short", ddsFile(2, 2, 0x41, 0, 32, argb, 15)},
      {"zero width", ddsFile(0, 2, 0x41, 0, 32, argb, 16)},
      {"width past the limit", ddsFile(16385, 1, 0x41, 0, 32, argb, 16)},
      {"too many pixels", ddsFile(16384, 16384, 0x41, 0, 32, argb, 16)},
      {"16-bit colour", ddsFile(1, 1, 0x40, 0, 16, odd, 2)},
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
  dxt5[2] = 0xB0, dxt5[3] = 0x0F;  // indices 0, 6, 6, 7
  EXPECT_EQ(firstRow(qxgfx::D3DFMT_DXT5, dxt5), (std::vector<uint32_t>{0x00000000, 0x00000000, 0x00000000, 0x000000FF}));
}

}  // namespace
