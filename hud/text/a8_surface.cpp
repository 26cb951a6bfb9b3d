#include "hud/text/a8_surface.h"

#include <algorithm>
#include <cstring>

#include "platform/gfx/device.h"
#include "render/device/device_mgr.h"
#include "render/texture/tex_data.h"
#include "render/texture/texture_mgr.h"
#include "runtime/res/hdl_lock.h"

namespace hudtext {

void A8Surface::markDirty(uint32_t top, uint32_t bottom) {
  bottom = std::min(bottom, height_);
  if (top >= bottom) return;
  dirtyTop_ = std::min(dirtyTop_, top);
  dirtyBottom_ = std::max(dirtyBottom_, bottom);
}

bool A8Surface::upload() {
  if (!dirty()) return true;
  if (!doUpload(dirtyTop_, dirtyBottom_)) return false;
  dirtyTop_ = UINT32_MAX;
  dirtyBottom_ = 0;
  return true;
}

namespace {

class DeviceA8Surface final : public A8Surface {
 public:
  DeviceA8Surface(uint32_t w, uint32_t h, qxgfx::Ref<qxgfx::Texture> tex) : A8Surface(w, h), tex_(std::move(tex)) {}
  qxgfx::Texture* texture() const override { return tex_.get(); }

 protected:
  bool doUpload(uint32_t top, uint32_t bottom) override {
    qxgfx::Rect r{0, int32_t(top), int32_t(width()), int32_t(bottom)};
    qxgfx::LockedRect lr;
    if (!tex_->lockRect(0, lr, &r, 0)) return false;
    for (uint32_t y = top; y < bottom; ++y)
      std::memcpy(static_cast<uint8_t*>(lr.bits) + size_t(y - top) * lr.pitch, bytes() + size_t(y) * pitch(), width());
    return tex_->unlockRect(0);
  }

 private:
  qxgfx::Ref<qxgfx::Texture> tex_;
};

class ManagedA8Surface final : public A8Surface {
 public:
  ManagedA8Surface(uint32_t w, uint32_t h, TextureMgr::TexHandle tex) : A8Surface(w, h), tex_(std::move(tex)) {}
  qxgfx::Texture* texture() const override {
    kesto::HdlLock<TextureMgr::TexHandle> lock(tex_, kesto::HdlLock<TextureMgr::TexHandle>::kShared);
    return lock ? lock->texture() : nullptr;
  }
  uint32_t textureHandle() const override { return tex_.value; }

 protected:
  bool doUpload(uint32_t top, uint32_t bottom) override {
    kesto::HdlLock<TextureMgr::TexHandle> lock(tex_);
    if (!lock) return false;
    qxgfx::LockedRect lr;
    auto* bits = static_cast<uint8_t*>(lock->lockLevel0(lr));
    if (!bits) return false;
    for (uint32_t y = top; y < bottom; ++y)
      std::memcpy(bits + size_t(y) * lr.pitch, bytes() + size_t(y) * pitch(), width());
    lock->unlockLevel0(top, bottom);
    return true;
  }

 private:
  TextureMgr::TexHandle tex_;
};

}  // namespace

std::unique_ptr<A8Surface> createA8Surface(uint32_t wExp, uint32_t hExp) {
  if (wExp > 14 || hExp > 14) return nullptr;
  const uint32_t w = 1u << wExp, h = 1u << hExp;
  if (TextureMgr* textures = TextureMgr::instance()) {
    TextureMgr::TexHandle tex = textures->createA8Texture(int32_t(wExp), int32_t(hExp));
    if (!tex.value) return nullptr;
    return std::make_unique<ManagedA8Surface>(w, h, std::move(tex));
  }
  qxgfx::Device* dev = DeviceMgr::currentDevice();
  if (!dev) return std::make_unique<A8Surface>(w, h);
  qxgfx::Ref<qxgfx::Texture> tex = dev->createTexture(w, h, 1, 0, qxgfx::D3DFMT_A8, qxgfx::D3DPOOL_MANAGED);
  if (!tex) return nullptr;
  return std::make_unique<DeviceA8Surface>(w, h, std::move(tex));
}

}  // namespace hudtext
