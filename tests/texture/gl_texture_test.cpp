// Textures on the GL device, read back by pixels: targets saved and loaded again.
#include <gtest/gtest.h>

#include "platform/gfx/device.h"
#include "render/device/device_mgr.h"
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
  EXPECT_EQ(lock->texture()->levelCount(), 1u);
  ASSERT_TRUE(textures.saveAsFile(t.value, u"red.png"));
  EXPECT_EQ(firstPixel("red.png"), 0xFFFF0000u);
}

}  // namespace
