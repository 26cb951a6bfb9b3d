#include "scene/anim/anim_texture.h"

#include "runtime/res/hdl_lock.h"

namespace {
constexpr uint32_t kManagedPool = 1;
}

AnimTexHandle loadAnimTexture(const std::u16string& name) {
  TextureMgr* textures = TextureMgr::instance();
  return textures ? textures->load(name, 0, kManagedPool) : AnimTexHandle();
}

void animTextureScale(const AnimTexHandle& texture, int32_t& width, int32_t& height) {
  int32_t w = 0, h = 0;
  kesto::HdlLock<AnimTexHandle> lock(texture, kesto::HdlLock<AnimTexHandle>::kShared);
  if (lock) {
    w = lock->width;
    h = lock->height;
  }
  width = w > 0 ? w : 1;
  height = h > 0 ? h : 1;
}
