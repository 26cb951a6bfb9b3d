// Sizes of pixel formats as the device lays them out in memory (rows top-down).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qxgfx {

struct FormatInfo {
  uint32_t format;
  uint8_t bytesPerPixel;  // 0 for block-compressed formats
  uint8_t blockBytes;     // bytes per 4x4 block of a compressed format, else 0
  bool depth;
};

// Null for a format the device does not know.
const FormatInfo* formatInfo(uint32_t format);
// Bytes per row (per row of blocks for compressed formats) of a level of that width.
uint32_t formatPitch(uint32_t format, uint32_t width);
// Rows (rows of blocks) of a level of that height.
uint32_t formatRows(uint32_t format, uint32_t height);
// Where pixel (left, top) starts in rows of that pitch; compressed formats count whole
// 4x4 blocks.
size_t formatOffset(uint32_t format, uint32_t pitch, int32_t left, int32_t top);
inline uint64_t formatLevelBytes(uint32_t format, uint32_t width, uint32_t height) {
  return uint64_t(formatPitch(format, width)) * formatRows(format, height);
}

}  // namespace qxgfx
