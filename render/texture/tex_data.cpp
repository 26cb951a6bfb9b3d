#include "render/texture/tex_data.h"

#include "platform/gfx/format.h"

qxgfx::Ref<qxgfx::Surface> TexData::getSurface() const {
  if (isTarget_) return surface_;
  return texture_ ? texture_->getSurfaceLevel(0) : nullptr;
}

uint32_t TexData::pixelFormat() const {
  if (surface_) return surface_->desc().format;
  if (texture_) return texture_->format();
  return memoryFormat_;
}

uint32_t TexData::levelWidth() const {
  if (surface_) return surface_->desc().width;
  return texture_ ? texture_->width(0) : memoryWidth_;
}

uint32_t TexData::levelHeight() const {
  if (surface_) return surface_->desc().height;
  return texture_ ? texture_->height(0) : memoryHeight_;
}

void* TexData::lockLevel0(qxgfx::LockedRect& out) {
  out = qxgfx::LockedRect{};
  if (isTarget_ || locked_) return nullptr;
  if (texture_) {
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

void TexData::unlockLevel0() {
  if (!locked_) return;
  locked_ = false;
  if (texture_) texture_->unlockRect(0);
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
