#include "render/device/idx_copy.h"

void NonIdxCopy::copy(uint16_t* dest, uint32_t count, uint32_t base) {
  for (uint32_t i = 0; i < count; ++i) dest[i] = uint16_t(base + next_++);
}

void FanIdxCopy::copy(uint16_t* dest, uint32_t count, uint32_t base) {
  uint32_t k = centre_ + 1;
  for (uint32_t i = 0; i + 3 <= count; i += 3, ++k) {
    dest[i] = uint16_t(base + centre_);
    dest[i + 1] = uint16_t(base + k);
    dest[i + 2] = uint16_t(base + k + 1);
  }
}

void IdxCopy::copy(uint16_t* dest, uint32_t count, uint32_t base) {
  for (uint32_t i = 0; i < count; ++i) dest[i] = uint16_t(base + *p_++);
}

void StripIdxCopy::copy(uint16_t* dest, uint32_t count, uint32_t base) {
  uint32_t i = 0;
  for (; i + 6 <= count; i += 6, v_ += 2) {
    const uint32_t v = base + v_;
    dest[i] = uint16_t(v);
    dest[i + 1] = uint16_t(v + 1);
    dest[i + 2] = uint16_t(v + 2);
    dest[i + 3] = uint16_t(v + 2);
    dest[i + 4] = uint16_t(v + 1);
    dest[i + 5] = uint16_t(v + 3);
  }
  if (i + 3 <= count) {
    const uint32_t v = base + v_;
    dest[i] = uint16_t(v);
    dest[i + 1] = uint16_t(v + 1);
    dest[i + 2] = uint16_t(v + 2);
  }
}
