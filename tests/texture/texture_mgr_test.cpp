// The texture manager without a GL context: loads, refusals, sizes and saving.
#include "render/texture/texture_mgr.h"

#include <gtest/gtest.h>

#include "platform/gfx/device.h"
#include "render/device/device_mgr.h"
#include "render/texture/image_codec.h"
#include "runtime/res/hdl_lock.h"
#include "tests/texture/texture_fixture.h"

namespace {

using TexHandle = TextureMgr::TexHandle;
using Lock = kesto::HdlLock<TexHandle>;
const uint8_t kRed[4] = {255, 0, 0, 255};

class TextureMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    textures.setLog([this](std::string_view m) { logged.emplace_back(m); });
  }
  textest::FolderSources files;
  TextureMgr textures;
  std::vector<std::string> logged;
};

TEST_F(TextureMgrTest, NamesFoldCaseAndImagesKeepTheirSize) {
  files.putPng("foo.png", 300, 200, kRed);
  TexHandle a = textures.load(u"foo.png", 0, 1);
  TexHandle b = textures.load(u"Foo.PNG", 0, 1);
  ASSERT_NE(a.value, 0u);
  EXPECT_EQ(a.value, b.value);
  EXPECT_EQ(textures.refCount(a.value), 2u);
  Lock lock(a);
  EXPECT_EQ(lock->width * 1000 + lock->height, 300200);
  // Without a device the pixels stay in memory, as A8R8G8B8 (bytes B, G, R, A).
  qxgfx::LockedRect r;
  auto* bits = static_cast<uint8_t*>(lock->lockLevel0(r));
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(r.pitch, 1200);
  EXPECT_EQ(bits[199 * 1200 + 299 * 4 + 2], 255);
  EXPECT_EQ(bits[199 * 1200 + 299 * 4 + 0], 0);
  lock->unlockLevel0();
}

TEST_F(TextureMgrTest, RefusedNamesAndUndecodableFiles) {
  files.put("@skip.png", "not read");
  files.put("junk.png", "not an image at all");
  TexHandle at = textures.load(u"@skip.png", 0, 1);
  ASSERT_NE(at.value, 0u);
  {
    Lock lock(at);
    EXPECT_EQ(lock->width, 0);
    qxgfx::LockedRect r;
    EXPECT_EQ(lock->lockLevel0(r), nullptr);
  }
  EXPECT_TRUE(logged.empty());  // "@" names are not read at all

  TexHandle junk = textures.load(u"junk.png", 0, 1);
  ASSERT_NE(junk.value, 0u);
  EXPECT_EQ(Lock(junk)->width, 0);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("junk.png"), std::string::npos);

  // Saving it writes nothing and says so.
  EXPECT_FALSE(textures.saveAsFile(junk.value, u"out.png"));
  EXPECT_FALSE(files.has("out.png"));
  EXPECT_EQ(logged.size(), 2u);
  // A released handle does nothing.
  const uint32_t stale = junk.value;
  junk.reset();
  EXPECT_FALSE(textures.saveAsFile(stale, u"out.png"));
  EXPECT_FALSE(files.has("out.png"));

  EXPECT_EQ(textures.load(u"missing.png", 0, 1).value, 0u);
  const std::u16string tooLong = std::u16string(256, u'a') + u".png";
  files.put(qcore::utf16ToUtf8(tooLong), "x");
  EXPECT_EQ(textures.load(tooLong, 0, 1).value, 0u);
}

TEST_F(TextureMgrTest, CreatedTexturesWithoutDeviceAndSizeLimits) {
  EXPECT_EQ(textures.create_blank(4, qxgfx::D3DFMT_A8R8G8B8).value, 0u);  // no device: no target
  EXPECT_EQ(textures.createA8Texture(-1, 2).value, 0u);
  EXPECT_EQ(textures.createA8Texture(2, 13).value, 0u);
  TexHandle a8 = textures.createA8Texture(3, 2);
  ASSERT_NE(a8.value, 0u);
  EXPECT_EQ(textures.nameOf(a8.value).rfind(u"@no_name_", 0), 0u);
  {
    Lock lock(a8);
    EXPECT_EQ(lock->width * 1000 + lock->height, 8004);
    EXPECT_EQ(lock->format(), qxgfx::D3DFMT_A8);
    qxgfx::LockedRect r;
    auto* bits = static_cast<uint8_t*>(lock->lockLevel0(r));
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(r.pitch, 8);
    EXPECT_EQ(lock->lockLevel0(r), nullptr);  // not twice
    bits[3 * 8 + 7] = 200;
    lock->unlockLevel0();
  }
  // Saved as DDS it stays A8; as PNG the alpha carries the value.
  ASSERT_TRUE(textures.saveAsFile(a8.value, u"glyphs.DDS"));
  ASSERT_TRUE(textures.saveAsFile(a8.value, u"glyphs.whatever"));
  for (const char* name : {"glyphs.DDS", "glyphs.whatever"}) {
    const std::string bytes = files.get(name);
    qxtex::Image img;
    ASSERT_TRUE(qxtex::decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), img, nullptr)) << name;
    EXPECT_EQ(img.width, 8u);
    const size_t bpp = img.format == qxgfx::D3DFMT_A8 ? 1 : 4;
    EXPECT_EQ(bpp, name[7] == 'D' ? 1u : 4u) << name;
    EXPECT_EQ(img.bits[(3 * 8 + 7) * bpp + (bpp - 1)], 200) << name;
    EXPECT_EQ(img.bits[0], 0) << name;
  }
  EXPECT_EQ(qxtex::fileFormatFor(u"x.TGA"), qxtex::ImageFileFormat::tga);
}

// The header's size is checked before any pixel is decoded.
TEST(ImageCodec, OversizedImagesAreRefused) {
  textest::FolderSources files;
  files.putPng("one.png", 1, 1, kRed);
  const std::string png = files.get("one.png");
  qxtex::Image img;
  ASSERT_TRUE(qxtex::decodeImage(reinterpret_cast<const uint8_t*>(png.data()), png.size(), img, nullptr));
  const std::pair<uint32_t, uint32_t> sizes[] = {{16385, 1}, {1, 16385}, {4097, 4096}};
  for (auto [w, h] : sizes) {
    std::string big = png;
    for (int i = 0; i < 4; ++i) {
      big[16 + i] = char(w >> (24 - 8 * i));  // IHDR width and height, big-endian
      big[20 + i] = char(h >> (24 - 8 * i));
    }
    std::string why;
    EXPECT_FALSE(qxtex::decodeImage(reinterpret_cast<const uint8_t*>(big.data()), big.size(), img, &why)) << w;
    EXPECT_EQ(why, "image size out of range") << w;
  }
}

}  // namespace

namespace {

// Level 0 of a device texture, read through a lock.
std::vector<uint8_t> deviceBytes(qxgfx::Texture* t) {
  std::vector<uint8_t> out;
  qxgfx::LockedRect r;
  if (!t || !t->lockRect(0, r, nullptr, qxgfx::D3DLOCK_READONLY)) return out;
  for (uint32_t y = 0; y < t->height(0); ++y)
    out.insert(out.end(), static_cast<uint8_t*>(r.bits) + size_t(y) * size_t(r.pitch),
               static_cast<uint8_t*>(r.bits) + size_t(y) * size_t(r.pitch) + t->width(0));
  t->unlockRect(0);
  return out;
}

}  // namespace

TEST_F(TextureMgrTest, ManagedA8TexturesFollowTheDevice) {
  DeviceMgr devices;
  TexHandle page = textures.createA8Texture(3, 2);  // 8 x 4, before any device
  std::vector<uint8_t> want(32, 0);
  auto write = [&](uint32_t row, uint8_t v) {
    Lock lock(page);
    qxgfx::LockedRect r;
    auto* bits = static_cast<uint8_t*>(lock->lockLevel0(r));
    ASSERT_NE(bits, nullptr);
    bits[row * uint32_t(r.pitch) + 5] = v;
    want[row * 8 + 5] = v;
    lock->unlockLevel0(row, row + 1);
  };
  write(1, 200);
  {
    Lock lock(page);
    EXPECT_TRUE(lock->isManaged());
    EXPECT_EQ(lock->texture(), nullptr);  // no device yet
  }
  // Each device of the day gets a copy of every row, the rows written since refreshed.
  for (int round = 0; round < 2; ++round) {
    qxgfx::Ref<qxgfx::RecordingDevice> device = qxgfx::createRecordingDevice(16, 16);
    devices.adopt(device);
    Lock lock(page);
    qxgfx::Texture* t = lock->texture();
    ASSERT_NE(t, nullptr) << round;
    EXPECT_EQ(&t->device(), device.get());
    EXPECT_EQ(t->format(), qxgfx::D3DFMT_A8);
    EXPECT_EQ(lock->texture(), t) << "one copy per device";
    EXPECT_EQ(deviceBytes(t), want) << round;
    lock.unlock();
    write(3, uint8_t(60 + round));
    Lock again(page);
    EXPECT_EQ(deviceBytes(again->texture()), want) << round;
  }
  devices.release();
  Lock lock(page);
  EXPECT_EQ(lock->texture(), nullptr);
  EXPECT_EQ(lock->pixelFormat(), qxgfx::D3DFMT_A8);
  EXPECT_EQ(lock->levelWidth() * 100 + lock->levelHeight(), 804u);
}
