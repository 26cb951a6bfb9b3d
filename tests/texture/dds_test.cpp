// The DDS reader and writer: round trips, the pixel formats taken, and hostile headers.
#include "render/texture/dds.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gfx/gfx_types.h"

namespace {

void put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
}

// A header of the given pixel format and size, followed by payload bytes.
std::vector<uint8_t> ddsFile(uint32_t w, uint32_t h, uint32_t pfFlags, uint32_t fourCC, uint32_t bits,
                             const uint32_t masks[4], size_t payload) {
  std::vector<uint8_t> f(128 + payload, 0x5A);
  std::memset(f.data(), 0, 128);
  std::memcpy(f.data(), "DDS ", 4);
  put32(f, 4, 124);
  put32(f, 12, h);
  put32(f, 16, w);
  put32(f, 76, 32);
  put32(f, 80, pfFlags);
  put32(f, 84, fourCC);
  put32(f, 88, bits);
  for (int i = 0; i < 4; ++i) put32(f, 92 + 4 * i, masks[i]);
  return f;
}

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

  f = ddsFile(5, 5, 0x2, 0, 8, alphaOnly, 25);
  ASSERT_TRUE(qxtex::readDds(f.data(), f.size(), img, nullptr));
  EXPECT_EQ(img.format, qxgfx::D3DFMT_A8);

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
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"payload one byte short", ddsFile(2, 2, 0x41, 0, 32, argb, 15)},
      {"zero width", ddsFile(0, 2, 0x41, 0, 32, argb, 16)},
      {"side past the limit", ddsFile(16385, 1, 0x41, 0, 32, argb, 16)},
      {"too many pixels", ddsFile(16384, 16384, 0x41, 0, 32, argb, 16)},
      {"16-bit colour", ddsFile(1, 1, 0x40, 0, 16, odd, 2)},
      {"unknown four-cc", ddsFile(4, 4, 0x4, 0x31495441, 0, odd, 64)},
      {"header only", std::vector<uint8_t>(ddsFile(1, 1, 0x41, 0, 32, argb, 0))},
      {"cut header", std::vector<uint8_t>{'D', 'D', 'S', ' ', 124, 0, 0}},
      {"no magic", std::vector<uint8_t>(200, 0)},
  };
  for (Case& c : cases) {
    qxtex::DdsImage img;
    std::string why;
    EXPECT_FALSE(qxtex::readDds(c.file.data(), c.file.size(), img, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
    EXPECT_TRUE(img.bits.empty()) << c.what;
  }
}

}  // namespace
