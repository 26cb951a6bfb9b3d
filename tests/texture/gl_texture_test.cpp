// Textures on the GL device, read back by pixels: targets saved and loaded again.
#include <gtest/gtest.h>

#include "platform/gfx/device.h"
#include "platform/core/utf.h"
#include "platform/gfx/format.h"
#include "render/device/device_mgr.h"
#include "render/texture/dds.h"
#include "render/texture/image_codec.h"
#include "render/texture/texture_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "tests/gfx/gl_fixture.h"
#include "tests/texture/texture_fixture.h"

namespace {

using TexHandle = TextureMgr::TexHandle;
using Lock = kesto::HdlLock<TexHandle>;

class GLTextureTest : public qxtest::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (!dev) return;
    devices.adopt(dev);
    textures.setLog([this](std::string_view m) { logged.emplace_back(m); });
  }
  void TearDown() override { devices.release(); }

  // The first pixel of an image file as A8R8G8B8.
  uint32_t firstPixel(const std::string& name) {
    const std::string bytes = files.get(name);
    qxtex::Image img;
    EXPECT_TRUE(qxtex::decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), img, nullptr))
        << name;
    if (img.bits.size() < 4) return 0;
    EXPECT_EQ(img.format, qxgfx::D3DFMT_A8R8G8B8) << name;
    return uint32_t(img.bits[0]) | uint32_t(img.bits[1]) << 8 | uint32_t(img.bits[2]) << 16 |
           uint32_t(img.bits[3]) << 24;
  }

  DeviceMgr devices;
  textest::FolderSources files;
  TextureMgr textures;
  std::vector<std::string> logged;
};

TEST_F(GLTextureTest, ClearedRenderTargetSavesAndLoadsWithItsColour) {
  for (auto [side, format] : {std::pair{13, qxgfx::D3DFMT_A8R8G8B8}, {4, qxgfx::D3DFMT_D24S8}, {4, qxgfx::D3DFMT_DXT1}})
    EXPECT_EQ(textures.create_blank(side, format).value, 0u) << side << " " << format;
  TexHandle rt = textures.create_blank(4, qxgfx::D3DFMT_A8R8G8B8);
  ASSERT_NE(rt.value, 0u);
  const uint32_t colour = 0xC0336699;
  {
    Lock lock(rt);
    EXPECT_EQ(lock->width, 16);
    auto surface = lock->getSurface();
    ASSERT_TRUE(surface);
    ASSERT_EQ(dev->setRenderTarget(0, surface.get()), qxgfx::D3D_OK);
    ASSERT_EQ(dev->clear(0, nullptr, 1, colour, 1.0f, 0), qxgfx::D3D_OK);
    // Script-written sizes do not change what is saved.
    lock->width = 3;
  }
  ASSERT_TRUE(textures.saveAsFile(rt.value, u"rt.png"));
  ASSERT_TRUE(textures.saveAsFile(rt.value, u"rt.DDS"));
  EXPECT_TRUE(qxtest::near(firstPixel("rt.png"), colour));
  EXPECT_TRUE(qxtest::near(firstPixel("rt.DDS"), colour));
  EXPECT_EQ(files.get("rt.DDS").size(), 128u + 16 * 16 * 4);

  // Loaded again, the pixels are on the device and read back from it.
  for (const char16_t* name : {u"rt.png", u"rt.dds"}) {
    TexHandle t = textures.load(name, 0, 1);
    Lock lock(t);
    ASSERT_TRUE(lock && lock->texture());
    EXPECT_EQ(lock->width, 16);
    EXPECT_GT(lock->texture()->levelCount(), 1u);
    qxgfx::LockedRect r;
    auto* bits = static_cast<const uint32_t*>(lock->lockLevel0(r));
    ASSERT_NE(bits, nullptr);
    EXPECT_TRUE(qxtest::near(bits[15 * (r.pitch / 4) + 15], colour));
    lock->unlockLevel0();
  }
  EXPECT_TRUE(logged.size() == 3u) << logged.size();  // the three refused targets

  // The back buffer wrapper saves what the back buffer holds.
  textures.createDeviceTargets();
  ASSERT_EQ(dev->setRenderTarget(0, dev->getBackBuffer().get()), qxgfx::D3D_OK);
  ASSERT_EQ(dev->clear(0, nullptr, 1, 0xFF00FF00, 1.0f, 0), qxgfx::D3D_OK);
  EXPECT_EQ(Lock(textures.backBufferTexture())->height, int32_t(kH));
  EXPECT_NE(textures.depthStencilTexture().value, 0u);
  ASSERT_TRUE(textures.saveAsFile(textures.backBufferTexture().value, u"screen.bmp"));
  EXPECT_TRUE(qxtest::near(firstPixel("screen.bmp"), 0xFF00FF00));
  EXPECT_FALSE(textures.saveAsFile(textures.depthStencilTexture().value, u"depth.png"));
  textures.releaseDeviceTargets();
  EXPECT_EQ(textures.backBufferTexture().value, 0u);
}

TEST_F(GLTextureTest, CompressedDdsLoadsOntoTheDeviceAndSavesDecoded) {
  // One DXT1 block of 8 bytes: both end colours pure red, every index 0.
  const uint32_t argb[4] = {0, 0, 0, 0};
  std::vector<uint8_t> dds = textest::ddsFile(4, 4, 0x4, qxgfx::D3DFMT_DXT1, 0, argb, 8);
  const uint8_t block[8] = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  std::copy(block, block + 8, dds.begin() + 128);
  files.put("red.dds", std::string(dds.begin(), dds.end()));
  TexHandle t = textures.load(u"red.dds", 0, 1);
  Lock lock(t);
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock->width, 4);
  ASSERT_NE(lock->texture(), nullptr) << (logged.empty() ? "" : logged[0]);
  EXPECT_EQ(lock->texture()->format(), qxgfx::D3DFMT_DXT1);
  EXPECT_EQ(lock->texture()->levelCount(), 3u);  // 4 x 4, 2 x 2, 1 x 1
  ASSERT_TRUE(textures.saveAsFile(t.value, u"red.png"));
  EXPECT_EQ(firstPixel("red.png"), 0xFFFF0000u);
}

// Every level of a texture as the device holds it.
std::vector<std::vector<uint8_t>> levelsOf(qxgfx::Texture& t) {
  std::vector<std::vector<uint8_t>> out;
  for (uint32_t l = 0; l < t.levelCount(); ++l) {
    qxgfx::LockedRect r;
    if (!t.lockRect(l, r, nullptr, qxgfx::D3DLOCK_READONLY)) break;
    const uint32_t pitch = qxgfx::formatPitch(t.format(), t.width(l));
    const uint32_t rows = qxgfx::formatRows(t.format(), t.height(l));
    out.emplace_back();
    for (uint32_t y = 0; y < rows; ++y) {
      const auto* row = static_cast<const uint8_t*>(r.bits) + size_t(y) * uint32_t(r.pitch);
      out.back().insert(out.back().end(), row, row + pitch);
    }
    t.unlockRect(l);
  }
  return out;
}

TEST_F(GLTextureTest, DdsLevelsLoadAsStoredAndSaveWhole) {
  const uint32_t formats[] = {qxgfx::D3DFMT_A8R8G8B8, qxgfx::D3DFMT_X8R8G8B8, qxgfx::D3DFMT_A8,
                              qxgfx::D3DFMT_DXT1,     qxgfx::D3DFMT_DXT3,     qxgfx::D3DFMT_DXT5};
  int n = 0;
  for (uint32_t format : formats) {
    for (uint32_t stored : {1u, 3u}) {
      // 16 x 8: five levels in a full chain. Colour words keep their X byte at 0xFF, which
      // X8R8G8B8 does not promise to keep.
      std::vector<std::vector<uint8_t>> file;
      std::vector<qxtex::DdsLevel> levels;
      for (uint32_t l = 0; l < stored; ++l) {
        const uint32_t w = qxtex::levelSide(16, l), h = qxtex::levelSide(8, l);
        std::vector<uint8_t> b(qxgfx::formatLevelBytes(format, w, h));
        for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(i * 29 + l * 7 + format);
        if (format == qxgfx::D3DFMT_X8R8G8B8)
          for (size_t i = 3; i < b.size(); i += 4) b[i] = 0xFF;
        file.push_back(std::move(b));
        levels.push_back({file.back().data(), qxgfx::formatPitch(format, w)});
      }
      const std::vector<uint8_t> bytes = qxtex::writeDds(format, 16, 8, levels);
      const std::string name = "t" + std::to_string(n++);
      files.put(name + ".dds", std::string(bytes.begin(), bytes.end()));
      const std::string what = std::to_string(format) + " stored " + std::to_string(stored);

      TexHandle t = textures.load(qcore::utf8ToUtf16(name + ".dds"), 0, 1);
      Lock lock(t);
      ASSERT_TRUE(lock && lock->texture()) << what << (logged.empty() ? "" : logged.back());
      EXPECT_EQ(lock->texture()->format(), format) << what;
      const std::vector<std::vector<uint8_t>> first = levelsOf(*lock->texture());
      ASSERT_EQ(first.size(), 5u) << what;
      for (uint32_t l = 0; l < stored; ++l) EXPECT_EQ(first[l], file[l]) << what << " level " << l;

      // Saved and loaded again: the same format, size, levels and pixels.
      ASSERT_TRUE(textures.saveAsFile(t.value, qcore::utf8ToUtf16(name + "s.dds"))) << what;
      TexHandle again = textures.load(qcore::utf8ToUtf16(name + "s.dds"), 0, 1);
      Lock lock2(again);
      ASSERT_TRUE(lock2 && lock2->texture()) << what;
      EXPECT_EQ(lock2->texture()->format(), format) << what;
      EXPECT_EQ(lock2->width * 100 + lock2->height, 1608) << what;
      EXPECT_EQ(levelsOf(*lock2->texture()), first) << what;
    }
  }
}

}  // namespace
