#include "scene/anim/anim_texture.h"

namespace {

// The texture manager is not part of the engine yet: no texture is found.
uint32_t managerLoad(const std::u16string&) { return 0; }
bool managerSize(uint32_t, int32_t&, int32_t&) { return false; }

const AnimTextureSource kManagerSource = {&managerLoad, &managerSize};
const AnimTextureSource* gSource = &kManagerSource;

}  // namespace

void setAnimTextureSource(const AnimTextureSource* source) { gSource = source ? source : &kManagerSource; }

AnimTexHandle loadAnimTexture(const std::u16string& name) {
  AnimTexHandle h;
  h.adopt(gSource->load(name));
  return h;
}

void animTextureScale(const AnimTexHandle& texture, int32_t& width, int32_t& height) {
  int32_t w = 0, h = 0;
  if (texture.value == 0 || !gSource->size(texture.value, w, h)) w = h = 0;
  width = w > 0 ? w : 1;
  height = h > 0 ? h : 1;
}
