#include "script/lua/script_alloc.h"

uint32_t scriptBlocksPerPage(size_t size) {
  if (size <= 32) return 255;
  if (size <= 80) return 128;
  if (size <= 128) return 32;
  if (size <= 256) return 16;
  return 8;
}

uint32_t scriptPageCount(size_t) { return 512; }

size_t scriptSizeClass(size_t size) {
  if (size <= 4) return 4;
  if (size <= 16) {
    size_t c = 8;
    while (c < size) c <<= 1;
    return c;
  }
  return (size + 15) & ~static_cast<size_t>(15);
}

const SMAPolicy& scriptAllocPolicy() {
  static const SMAPolicy policy{scriptBlocksPerPage, scriptPageCount, scriptSizeClass};
  return policy;
}
