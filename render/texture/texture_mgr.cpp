#include "render/texture/texture_mgr.h"

#include <cstdio>
#include <cstring>

#include "platform/core/utf.h"
#include "platform/gfx/format.h"
#include "render/device/device_mgr.h"
#include "render/texture/dds.h"
#include "render/texture/image_codec.h"
#include "runtime/fs/files.h"
#include "runtime/res/hdl_lock.h"

namespace {

// Image files larger than this are refused unread.
constexpr int64_t kMaxImageFileBytes = 64 << 20;

bool validExponent(int32_t n) { return n >= 0 && n <= TextureMgr::kMaxSizeExponent; }

// Copies the rows of level `level` of an image into a locked level.
void copyRows(const qxtex::Image& image, uint32_t level, void* dest, int32_t destPitch) {
  const std::vector<uint8_t>& bits = level == 0 ? image.bits : image.mips[level - 1];
  const uint32_t pitch = qxgfx::formatPitch(image.format, qxtex::levelSide(image.width, level));
  const uint32_t rows = qxgfx::formatRows(image.format, qxtex::levelSide(image.height, level));
  for (uint32_t y = 0; y < rows; ++y)
    std::memcpy(static_cast<uint8_t*>(dest) + size_t(y) * destPitch, &bits[size_t(y) * pitch], pitch);
}

// A DDS file of every level of a texture, as the device holds them.
std::vector<uint8_t> ddsOfTexture(qxgfx::Texture& t, std::string& why) {
  std::vector<qxtex::DdsLevel> levels;
  for (uint32_t l = 0; l < t.levelCount(); ++l) {
    qxgfx::LockedRect r;
    if (!t.lockRect(l, r, nullptr, qxgfx::D3DLOCK_READONLY)) break;
    levels.push_back({static_cast<const uint8_t*>(r.bits), size_t(r.pitch)});
  }
  std::vector<uint8_t> out;
  if (levels.size() == t.levelCount()) out = qxtex::writeDds(t.format(), t.width(0), t.height(0), levels);
  for (uint32_t l = 0; l < levels.size(); ++l) t.unlockRect(l);
  if (levels.size() != t.levelCount())
    why = "the texture's levels cannot be read";
  else if (out.empty())
    why = "texture format " + std::to_string(t.format()) + " cannot be saved";
  return out;
}

}  // namespace

TextureMgr::TextureMgr() {
  for (const char16_t* ext : {u"dds", u"png", u"tga", u"bmp", u"jpg"}) addExtension(ext);
  log_ = [](std::string_view msg) { std::fprintf(stderr, "%.*s\n", int(msg.size()), msg.data()); };
}

TextureMgr::~TextureMgr() { releaseDeviceTargets(); }

TextureMgr::TexHandle TextureMgr::load(const std::u16string& name, uint32_t usage, uint32_t pool) {
  usage_ = usage;
  pool_ = pool;
  TexHandle h = acquireByName(name).handle;
  kesto::HdlLock<TexHandle> lock(h, kesto::HdlLock<TexHandle>::kShared);
  if (lock) lock->texture();  // onto the current device, should it have been replaced
  return h;
}

TextureMgr::TexHandle TextureMgr::newEmpty() { return acquireByName(std::u16string()).handle; }

TextureMgr::TexHandle TextureMgr::create_blank(int32_t n, uint32_t format) {
  qxgfx::Device* device = DeviceMgr::currentDevice();
  if (!validExponent(n) || !device) {
    report("create_blank: no render target of size exponent " + std::to_string(n) + (device ? "" : " (no device)"));
    return {};
  }
  const uint32_t side = 1u << n;
  qxgfx::Ref<qxgfx::Texture> t =
      device->createTexture(side, side, 1, qxgfx::D3DUSAGE_RENDERTARGET, format, qxgfx::D3DPOOL_DEFAULT);
  qxgfx::Ref<qxgfx::Surface> surface = t ? t->getSurfaceLevel(0) : nullptr;
  if (!surface) {
    report("create_blank: the device cannot render to format " + std::to_string(format));
    return {};
  }
  TexHandle h = newEmpty();
  kesto::HdlLock<TexHandle> lock(h);
  if (!lock) return {};
  lock->setTexture(std::move(t));
  lock->setTarget(std::move(surface), format);
  lock->width = lock->height = int32_t(side);
  return h;
}

TextureMgr::TexHandle TextureMgr::createA8Texture(int32_t w, int32_t h) {
  if (!validExponent(w) || !validExponent(h)) return {};
  const uint32_t width = 1u << w, height = 1u << h;
  TexHandle handle = newEmpty();
  kesto::HdlLock<TexHandle> lock(handle);
  if (!lock) return {};
  // Managed: the pixels outlive any one device (a page made before the window, or under
  // an application object that has since gone, still draws on the device of the day).
  lock->setManagedLevel(qxgfx::D3DFMT_A8, width, height);
  lock->setFormat(qxgfx::D3DFMT_A8);
  lock->width = int32_t(width);
  lock->height = int32_t(height);
  return handle;
}

void TextureMgr::createDeviceTargets() {
  qxgfx::Device* device = DeviceMgr::currentDevice();
  if (!device) return;
  const qxgfx::Ref<qxgfx::Surface> surfaces[2] = {device->getBackBuffer(), device->getDepthStencilSurface()};
  TexHandle* slots[2] = {&backBuffer_, &depthStencil_};
  for (int i = 0; i < 2; ++i) {
    TexHandle h = newEmpty();
    kesto::HdlLock<TexHandle> lock(h);
    if (!lock || !surfaces[i]) continue;
    const qxgfx::SurfaceDesc& d = surfaces[i]->desc();
    lock->setTarget(surfaces[i], d.format);
    lock->width = int32_t(d.width);
    lock->height = int32_t(d.height);
    lock.unlock();
    *slots[i] = std::move(h);
  }
}

void TextureMgr::releaseDeviceTargets() {
  backBuffer_.reset();
  depthStencil_.reset();
}

bool TextureMgr::readImage(qx::IFiles* source, const std::u16string& name, qxtex::Image& image) {
  const std::string utf8Name = qcore::utf16ToUtf8(name);
  if (source->size(name) > kMaxImageFileBytes) {
    report(utf8Name + ": larger than 64 MiB");
    return false;
  }
  FileData file = source->readWhole(name, 0);
  std::string why;
  if (!file || !qxtex::decodeImage(file.data(), file.size(), image, &why)) {
    report(utf8Name + ": " + (file ? why : std::string("cannot be read")));
    return false;
  }
  return true;
}

qxgfx::Ref<qxgfx::Texture> TextureMgr::deviceTexture(qxgfx::Device& device, const qxtex::Image& image,
                                                     uint32_t usage, uint32_t pool) {
  // A DDS image brings its whole chain; the device makes the others' from level 0.
  const bool ownChain = !image.mips.empty() || qxgfx::formatInfo(image.format)->blockBytes != 0;
  // Render-target and depth usages make no sense for an image.
  usage = (usage & qxgfx::D3DUSAGE_DYNAMIC) | (ownChain ? 0 : qxgfx::D3DUSAGE_AUTOGENMIPMAP);
  const uint32_t levels = ownChain ? 1 + uint32_t(image.mips.size()) : 0;
  qxgfx::Ref<qxgfx::Texture> t = device.createTexture(image.width, image.height, levels, usage, image.format, pool);
  bool filled = t && (!ownChain || t->levelCount() == levels);
  for (uint32_t l = 0; filled && l < (ownChain ? levels : 1); ++l) {
    qxgfx::LockedRect r;
    filled = t->lockRect(l, r, nullptr, 0);
    if (!filled) break;
    copyRows(image, l, r.bits, r.pitch);
    t->unlockRect(l);
  }
  if (!filled) return nullptr;
  if (!ownChain && t->levelCount() > 1) t->generateMipSubLevels();
  return t;
}

qxgfx::Ref<qxgfx::Texture> TextureMgr::textureFromFile(const std::u16string& name, uint32_t usage, uint32_t pool) {
  qxgfx::Device* device = DeviceMgr::currentDevice();
  if (!device) return nullptr;
  qx::IFiles* source = ResRegistry::instance().findFile(name);
  if (!source) {
    report(qcore::utf16ToUtf8(name) + ": no longer in the mounted sources; not made again on the new device");
    return nullptr;
  }
  qxtex::Image image;
  if (!readImage(source, name, image)) return nullptr;
  qxgfx::Ref<qxgfx::Texture> t = deviceTexture(*device, image, usage, pool);
  if (!t) report(qcore::utf16ToUtf8(name) + ": the device made no texture");
  return t;
}

bool TextureMgr::loadData(TexData& data, qx::IFiles* source, const std::u16string& name) {
  data.reset();
  data.setName(name);
  if (!source || name.empty() || name[0] == u'@') return true;
  qxtex::Image image;
  if (!readImage(source, name, image)) return true;
  data.width = int32_t(image.width);
  data.height = int32_t(image.height);

  if (qxgfx::Device* device = DeviceMgr::currentDevice()) {
    if (qxgfx::Ref<qxgfx::Texture> t = deviceTexture(*device, image, usage_, pool_)) {
      data.setTexture(std::move(t));
      data.setMadeFromFile(usage_, pool_);
    } else {
      report(qcore::utf16ToUtf8(name) + ": the device made no texture");
    }
  } else {
    data.setMemoryLevel(image.format, image.width, image.height);
    data.setMadeFromFile(usage_, pool_);
    qxgfx::LockedRect r;
    if (void* bits = data.lockLevel0(r)) {
      copyRows(image, 0, bits, r.pitch);
      data.unlockLevel0();
    }
  }

  const std::u16string descName = qxtex::spriteDescFileName(name, kMaxNameLength);
  qx::IFiles* descSource = descName.empty() ? nullptr : ResRegistry::instance().findFile(descName);
  std::string why;
  if (descSource) {
    FileData desc = descSource->readWhole(descName, 0);
    if (desc && !qxtex::readSpriteDescs(std::string_view(desc.chars(), desc.size()), data.width, data.height,
                                        data.descs, &why))
      report(qcore::utf16ToUtf8(descName) + ": " + why);
  }
  return true;
}

bool TextureMgr::saveAsFile(uint32_t texture, const std::u16string& fileName) {
  const std::string utf8Name = qcore::utf16ToUtf8(fileName);
  std::vector<uint8_t> bytes;
  std::string why = "no such texture";
  {
    kesto::HdlLock<TexHandle> lock(texture);
    if (lock) {
      const qxtex::ImageFileFormat kind = qxtex::fileFormatFor(fileName);
      const uint32_t format = lock->pixelFormat(), w = lock->levelWidth(), h = lock->levelHeight();
      qxgfx::LockedRect r;
      if (lock->isTarget()) {
        qxgfx::Device* device = DeviceMgr::currentDevice();
        qxgfx::Ref<qxgfx::Surface> copy =
            device ? device->createOffscreenPlainSurface(w, h, format, qxgfx::D3DPOOL_SYSTEMMEM) : nullptr;
        qxgfx::Ref<qxgfx::Surface> target = lock->getSurface();
        why = "the render target cannot be read back";
        if (copy && device->getRenderTargetData(target.get(), copy.get()) == qxgfx::D3D_OK &&
            copy->lockRect(r, nullptr, qxgfx::D3DLOCK_READONLY)) {
          bytes = qxtex::encodeImage(kind, format, w, h, static_cast<const uint8_t*>(r.bits), size_t(r.pitch), &why);
          copy->unlockRect();
        }
      } else if (kind == qxtex::ImageFileFormat::dds && lock->texture()) {
        bytes = ddsOfTexture(*lock->texture(), why);
      } else if (void* bits = lock->lockLevel0(r)) {
        bytes = qxtex::encodeImage(kind, format, w, h, static_cast<const uint8_t*>(bits), size_t(r.pitch), &why);
        lock->unlockLevel0();
      } else {
        why = "the texture has no pixels";
      }
    }
  }
  if (bytes.empty()) {
    report("saveAsFile " + utf8Name + ": " + why);
    return false;
  }
  qx::IFiles* target = ResRegistry::instance().createFile(fileName, true);
  if (!target || target->writeWhole(fileName, true, bytes.data(), uint32_t(bytes.size())) != int32_t(bytes.size())) {
    report("saveAsFile " + utf8Name + ": cannot be written");
    return false;
  }
  return true;
}

int32_t ilog2(int32_t n) {
  int32_t r = -1;
  while (n > 0) {
    n >>= 1;
    ++r;
  }
  return r;
}
