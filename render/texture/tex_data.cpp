#include "render/texture/tex_data.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/core/utf.h"
#include "platform/gfx/format.h"
#include "render/device/device_mgr.h"
#include "render/texture/texture_mgr.h"

qxgfx::Texture* TexData::texture() const {
  if (managed_) return managedTexture();
  return onCurrentDevice() ? texture_.get() : nullptr;
}

qxgfx::Ref<qxgfx::Surface> TexData::getSurface() const {
  if (!onCurrentDevice()) return nullptr;
  if (isTarget_) return surface_;
  return texture_ ? texture_->getSurfaceLevel(0) : nullptr;
}

bool TexData::onCurrentDevice() const {
  const qxgfx::Device* device = DeviceMgr::currentDevice();
  // What is held keeps its device alive: an address compare cannot meet a new device at
  // an old one's address.
  const qxgfx::Resource* held = surface_ ? static_cast<const qxgfx::Resource*>(surface_.get()) : texture_.get();
  if (!device || (held && &held->device() == device)) return true;
  if (fromFile_) {
    TextureMgr* textures = TextureMgr::instance();
    qxgfx::Ref<qxgfx::Texture> again =
        textures ? textures->textureFromFile(name_, fileUsage_, filePool_) : qxgfx::Ref<qxgfx::Texture>();
    if (again) {
      texture_ = std::move(again);
      return true;
    }
    fromFile_ = false;  // its reason is logged; not tried at every draw
    texture_ = nullptr;
    return false;
  }
  if (!held) return true;  // nothing to draw on any device
  tellOnce("made on a device that has been replaced; it cannot be made again and is not drawn or read");
  return false;
}

void TexData::tellOnce(const std::string& why) const {
  if (refusalTold_) return;
  refusalTold_ = true;
  const std::string text = "texture " + qcore::utf16ToUtf8(name_) + ": " + why;
  if (TextureMgr* textures = TextureMgr::instance())
    textures->report(text);
  else
    std::fprintf(stderr, "%s\n", text.c_str());
}

uint32_t TexData::pixelFormat() const {
  if (surface_) return surface_->desc().format;
  if (managed_) return memoryFormat_;
  if (texture_) return texture_->format();
  return memoryFormat_;
}

uint32_t TexData::levelWidth() const {
  if (surface_) return surface_->desc().width;
  if (managed_) return memoryWidth_;
  return texture_ ? texture_->width(0) : memoryWidth_;
}

uint32_t TexData::levelHeight() const {
  if (surface_) return surface_->desc().height;
  if (managed_) return memoryHeight_;
  return texture_ ? texture_->height(0) : memoryHeight_;
}

void* TexData::lockLevel0(qxgfx::LockedRect& out) {
  out = qxgfx::LockedRect{};
  if (isTarget_ || locked_ || (!managed_ && !onCurrentDevice())) return nullptr;
  if (managed_) {
    out.pitch = int32_t(qxgfx::formatPitch(memoryFormat_, memoryWidth_));
    out.bits = memory_.data();
  } else if (texture_) {
    if (!texture_->lockRect(0, out, nullptr, 0)) return nullptr;
  } else if (!memory_.empty()) {
    out.pitch = int32_t(qxgfx::formatPitch(memoryFormat_, memoryWidth_));
    out.bits = memory_.data();
  } else {
    return nullptr;
  }
  locked_ = true;
  return out.bits;
}

void TexData::unlockLevel0(uint32_t top, uint32_t bottom) {
  if (!locked_) return;
  locked_ = false;
  if (managed_) {
    bottom = std::min(bottom, memoryHeight_);
    if (top >= bottom) return;
    if (staleTop_ >= staleBottom_) {
      staleTop_ = top;
      staleBottom_ = bottom;
    } else {
      staleTop_ = std::min(staleTop_, top);
      staleBottom_ = std::max(staleBottom_, bottom);
    }
  } else if (texture_) {
    texture_->unlockRect(0);
  }
}

qxgfx::Texture* TexData::managedTexture() const {
  qxgfx::Device* device = DeviceMgr::currentDevice();
  if (!device) return nullptr;
  // The copy holds its device alive, so an address compare cannot meet a new device at
  // an old one's address.
  if (!copy_ || &copy_->device() != device) {
    copy_ = device->createTexture(memoryWidth_, memoryHeight_, 1, 0, memoryFormat_, qxgfx::D3DPOOL_MANAGED);
    if (!copy_) {
      tellOnce("the device refused a copy of its pixels");
      return nullptr;
    }
    staleTop_ = 0;
    staleBottom_ = memoryHeight_;
  }
  if (staleTop_ < staleBottom_) {
    const qxgfx::Rect rows{0, int32_t(staleTop_), int32_t(memoryWidth_), int32_t(staleBottom_)};
    qxgfx::LockedRect r;
    if (!copy_->lockRect(0, r, &rows, 0)) return copy_.get();  // tried again at the next draw
    const size_t pitch = qxgfx::formatPitch(memoryFormat_, memoryWidth_);
    for (uint32_t y = staleTop_; y < staleBottom_; ++y)
      std::memcpy(static_cast<uint8_t*>(r.bits) + size_t(y - staleTop_) * size_t(r.pitch), &memory_[y * pitch], pitch);
    copy_->unlockRect(0);
    staleTop_ = staleBottom_ = 0;
  }
  return copy_.get();
}

void TexData::reset() {
  if (locked_) unlockLevel0();
  *this = TexData();
}

void TexData::setTarget(qxgfx::Ref<qxgfx::Surface> surface, uint32_t format) {
  surface_ = std::move(surface);
  isTarget_ = true;
  format_ = format;
}

void TexData::setMemoryLevel(uint32_t format, uint32_t width, uint32_t height) {
  memoryFormat_ = format;
  memoryWidth_ = width;
  memoryHeight_ = height;
  memory_.assign(qxgfx::formatLevelBytes(format, width, height), 0);
}

void TexData::setManagedLevel(uint32_t format, uint32_t width, uint32_t height) {
  setMemoryLevel(format, width, height);
  managed_ = true;
}
