// How animations reach their textures: by name, as a counted handle, and the size of
// a texture. Everything the animation code asks of textures goes through here, so tests
// can stand in a source of their own.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/core/handle.h"
#include "runtime/res/res_base.h"

// A counted texture handle: copies add a reference through the manager that made the
// value, and the last holder's release lets the texture go.
class AnimTexHandle : public kesto::HdlBase {
 public:
  AnimTexHandle() = default;
  AnimTexHandle(const AnimTexHandle& o) : HdlBase(o.value) { addRef(); }
  AnimTexHandle(AnimTexHandle&& o) noexcept : HdlBase(o.value) { o.value = 0; }
  ~AnimTexHandle() { reset(); }
  AnimTexHandle& operator=(const AnimTexHandle& o) {
    AnimTexHandle copy(o);
    std::swap(value, copy.value);
    return *this;
  }
  AnimTexHandle& operator=(AnimTexHandle&& o) noexcept {
    std::swap(value, o.value);
    return *this;
  }
  // Takes over a reference the caller holds.
  void adopt(uint32_t v) {
    reset();
    value = v;
  }
  void reset() {
    if (value == 0) return;
    if (kesto::ResBasePtr* m = manager()) m->release(value);
    value = 0;
  }

 private:
  void addRef() {
    if (value == 0) return;
    if (kesto::ResBasePtr* m = manager()) m->addRef(value);
  }
};

struct AnimTextureSource {
  // The named texture with one reference for the caller; 0 when there is none.
  uint32_t (*load)(const std::u16string& name);
  // The texture's source size; false when the handle names no texture.
  bool (*size)(uint32_t handle, int32_t& width, int32_t& height);
};

// Null (the default) is the engine's texture manager.
void setAnimTextureSource(const AnimTextureSource* source);

AnimTexHandle loadAnimTexture(const std::u16string& name);
// The size to normalise pixel coordinates by: the texture's width and height, or 1 for
// a missing texture or an empty side, so such slots keep their pixel units.
void animTextureScale(const AnimTexHandle& texture, int32_t& width, int32_t& height);
