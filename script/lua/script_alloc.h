// The engine's sizing advice for the allocator behind each Lua state.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/core/smalloc.h"

uint32_t scriptBlocksPerPage(size_t size);  // 255 up to 32 bytes ... 8 above 256
uint32_t scriptPageCount(size_t size);      // always 512
size_t scriptSizeClass(size_t size);        // 4; powers of two up to 16; multiples of 16
const SMAPolicy& scriptAllocPolicy();
