// One effect-parameter value: a texture (a counted handle), a vector of four floats, or
// a 4x4 or 4x3 matrix. Values compare by kind and bits, so an unchanged value is never
// sent to the effect again.
#pragma once
#include <cstdint>
#include <cstring>

#include "render/texture/texture_mgr.h"

struct ParamValue {
  enum Kind : uint32_t { kEmpty = 0, kTexture = 1, kVector = 2, kMatrix44 = 3, kMatrix43 = 4 };

  uint32_t kind = kEmpty;
  float f[16] = {};
  TextureMgr::TexHandle texture;  // kTexture only

  static ParamValue ofTexture(uint32_t handle) {
    ParamValue v;
    v.kind = kTexture;
    v.texture.assign(handle);
    return v;
  }
  // n (0..4) floats; the missing components are 0.
  static ParamValue ofVector(const float* values, int n) {
    ParamValue v;
    v.kind = kVector;
    for (int i = 0; i < n && i < 4; ++i) v.f[i] = values[i];
    return v;
  }
  static ParamValue ofMatrix44(const float m[16]) {
    ParamValue v;
    v.kind = kMatrix44;
    std::memcpy(v.f, m, sizeof(float) * 16);
    return v;
  }
  static ParamValue ofMatrix43(const float m[12]) {
    ParamValue v;
    v.kind = kMatrix43;
    std::memcpy(v.f, m, sizeof(float) * 12);
    return v;
  }

  bool operator==(const ParamValue& o) const {
    if (kind != o.kind) return false;
    switch (kind) {
      case kTexture:
        return texture.value == o.texture.value;
      case kVector:
        return std::memcmp(f, o.f, sizeof(float) * 4) == 0;
      case kMatrix44:
        return std::memcmp(f, o.f, sizeof(float) * 16) == 0;
      case kMatrix43:
        return std::memcmp(f, o.f, sizeof(float) * 12) == 0;
      default:
        return true;
    }
  }
};
