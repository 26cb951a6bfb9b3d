#include "render/texture/mip_chain.h"

#include <cstring>

#include "platform/gfx/format.h"
#include "render/texture/dds.h"
#include "render/texture/dxt.h"

namespace qxtex {

namespace {

// Pixel (x, y) of the result is pixel (x * sw / dw, y * sh / dh) of the source.
std::vector<uint8_t> pointDownscale(const std::vector<uint8_t>& src, uint32_t sw, uint32_t sh, uint32_t dw,
                                    uint32_t dh, uint32_t bytesPerPixel) {
  std::vector<uint8_t> out(size_t(dw) * dh * bytesPerPixel);
  for (uint32_t y = 0; y < dh; ++y) {
    const size_t sy = size_t(y) * sh / dh;
    for (uint32_t x = 0; x < dw; ++x) {
      const size_t sx = size_t(x) * sw / dw;
      std::memcpy(&out[(size_t(y) * dw + x) * bytesPerPixel], &src[(sy * sw + sx) * bytesPerPixel], bytesPerPixel);
    }
  }
  return out;
}

}  // namespace

void completeMipChain(uint32_t format, uint32_t width, uint32_t height, const std::vector<uint8_t>& level0,
                      std::vector<std::vector<uint8_t>>& mips) {
  const uint32_t full = fullChainLevels(width, height);
  uint32_t level = uint32_t(mips.size());  // the last level there is
  if (level + 1 >= full) return;
  const qxgfx::FormatInfo* info = qxgfx::formatInfo(format);
  if (!info) return;
  uint32_t w = levelSide(width, level), h = levelSide(height, level);
  const std::vector<uint8_t>& last = level == 0 ? level0 : mips.back();
  const bool dxt = isDxt(format);
  const uint32_t bytesPerPixel = dxt ? 4 : info->bytesPerPixel;
  // Compressed levels are downscaled as pixels; those of the last stored level are read once.
  std::vector<uint8_t> pixels;
  if (dxt) {
    pixels.resize(size_t(w) * h * 4);
    decodeDxt(format, w, h, last.data(), qxgfx::formatPitch(format, w), pixels.data());
  } else {
    pixels = last;
  }
  for (++level; level < full; ++level) {
    const uint32_t dw = levelSide(width, level), dh = levelSide(height, level);
    pixels = pointDownscale(pixels, w, h, dw, dh, bytesPerPixel);
    w = dw;
    h = dh;
    if (dxt) {
      std::vector<uint8_t> blocks(qxgfx::formatLevelBytes(format, w, h));
      encodeDxt(format, w, h, pixels.data(), blocks.data());
      mips.push_back(std::move(blocks));
    } else {
      mips.push_back(pixels);
    }
  }
}

}  // namespace qxtex
