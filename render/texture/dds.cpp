#include "render/texture/dds.h"

#include <cstring>

#include "platform/gfx/format.h"
#include "platform/gfx/gfx_types.h"

namespace qxtex {

namespace {

constexpr size_t kHeaderBytes = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40;
constexpr uint32_t kHasPitch = 0x8, kHasMipCount = 0x20000, kHasLinearSize = 0x80000;
constexpr uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipmap = 0x400000, kCaps2Volume = 0x200000;

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

bool fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

uint64_t levelBytes(uint32_t format, uint32_t width, uint32_t height, uint32_t level) {
  return qxgfx::formatLevelBytes(format, levelSide(width, level), levelSide(height, level));
}

}  // namespace

uint32_t fullChainLevels(uint32_t width, uint32_t height) {
  uint32_t n = 1;
  for (uint32_t side = width > height ? width : height; side > 1; side >>= 1) ++n;
  return n;
}

bool looksLikeDds(const uint8_t* data, size_t size) { return size >= 4 && std::memcmp(data, "DDS ", 4) == 0; }

bool readDds(const uint8_t* data, size_t size, DdsImage& out, std::string* why) {
  if (!looksLikeDds(data, size)) return fail(why, "not a DDS file");
  if (size < kHeaderBytes || le32(data + 4) != 124 || le32(data + 76) != 32) return fail(why, "DDS header cut short");
  const uint32_t height = le32(data + 12), width = le32(data + 16);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide ||
      uint64_t(width) * height > kMaxPixels)
    return fail(why, "DDS image size out of range");
  // A volume's slices lie where a flat image's smaller levels would.
  if (le32(data + 112) & kCaps2Volume) return fail(why, "DDS volume textures not supported");
  const uint32_t stored = (le32(data + 8) & kHasMipCount) && le32(data + 28) ? le32(data + 28) : 1;
  if (stored > fullChainLevels(width, height)) return fail(why, "DDS mip count out of range");
  const uint32_t flags = le32(data + 80), fourCC = le32(data + 84), bitCount = le32(data + 88);
  const uint32_t rMask = le32(data + 92), gMask = le32(data + 96), bMask = le32(data + 100), aMask = le32(data + 104);

  uint32_t format = 0;
  bool swapRB = false;
  if (flags & kPfFourCC) {
    if (fourCC == qxgfx::D3DFMT_DXT1 || fourCC == qxgfx::D3DFMT_DXT3 || fourCC == qxgfx::D3DFMT_DXT5) format = fourCC;
  } else if ((flags & kPfRgb) && bitCount == 32 && gMask == 0xFF00u) {
    const bool hasAlpha = (flags & kPfAlphaPixels) && aMask == 0xFF000000u;
    if (rMask == 0xFF0000u && bMask == 0xFFu) {
      format = hasAlpha ? qxgfx::D3DFMT_A8R8G8B8 : qxgfx::D3DFMT_X8R8G8B8;
    } else if (rMask == 0xFFu && bMask == 0xFF0000u) {
      format = hasAlpha ? qxgfx::D3DFMT_A8R8G8B8 : qxgfx::D3DFMT_X8R8G8B8;
      swapRB = true;
    }
  } else if ((flags & kPfAlpha) && bitCount == 8 && aMask == 0xFFu) {
    format = qxgfx::D3DFMT_A8;
  }
  if (format == 0) return fail(why, "DDS pixel format not supported");

  uint64_t total = 0;
  for (uint32_t l = 0; l < stored; ++l) total += levelBytes(format, width, height, l);
  if (size - kHeaderBytes < total) return fail(why, "DDS pixel data cut short");
  out.format = format;
  out.width = width;
  out.height = height;
  out.mips.assign(stored - 1, {});
  const uint8_t* at = data + kHeaderBytes;
  for (uint32_t l = 0; l < stored; ++l) {
    std::vector<uint8_t>& level = l == 0 ? out.bits : out.mips[l - 1];
    level.assign(at, at + levelBytes(format, width, height, l));
    at += level.size();
    if (swapRB) {
      for (size_t i = 0; i + 3 < level.size(); i += 4) std::swap(level[i], level[i + 2]);
    }
  }
  return true;
}

std::vector<uint8_t> writeDds(uint32_t format, uint32_t width, uint32_t height, std::span<const DdsLevel> levels) {
  const qxgfx::FormatInfo* info = qxgfx::formatInfo(format);
  const bool dxt = format == qxgfx::D3DFMT_DXT1 || format == qxgfx::D3DFMT_DXT3 || format == qxgfx::D3DFMT_DXT5;
  const bool a8 = format == qxgfx::D3DFMT_A8;
  if ((!dxt && !a8 && format != qxgfx::D3DFMT_A8R8G8B8 && format != qxgfx::D3DFMT_X8R8G8B8 &&
       format != qxgfx::D3DFMT_A8B8G8R8) ||
      !info || width == 0 || height == 0 || levels.empty() || levels.size() > fullChainLevels(width, height))
    return {};
  uint64_t total = 0;
  for (uint32_t l = 0; l < levels.size(); ++l) total += levelBytes(format, width, height, l);
  std::vector<uint8_t> out(kHeaderBytes + total, 0);
  std::memcpy(out.data(), "DDS ", 4);
  put32(out, 4, 124);
  const bool chain = levels.size() > 1;
  // Caps, height, width and pixel format, with the pitch or the whole level's size.
  put32(out, 8, 0x1007u | (dxt ? kHasLinearSize : kHasPitch) | (chain ? kHasMipCount : 0));
  put32(out, 12, height);
  put32(out, 16, width);
  put32(out, 20, uint32_t(dxt ? levelBytes(format, width, height, 0) : qxgfx::formatPitch(format, width)));
  put32(out, 28, chain ? uint32_t(levels.size()) : 0);
  put32(out, 76, 32);
  if (dxt) {
    put32(out, 80, kPfFourCC);
    put32(out, 84, format);
  } else if (a8) {
    put32(out, 80, kPfAlpha);
    put32(out, 88, 8);
    put32(out, 104, 0xFF);
  } else {
    const bool abgr = format == qxgfx::D3DFMT_A8B8G8R8, alpha = format != qxgfx::D3DFMT_X8R8G8B8;
    put32(out, 80, kPfRgb | (alpha ? kPfAlphaPixels : 0));
    put32(out, 88, 32);
    put32(out, 92, abgr ? 0xFFu : 0xFF0000u);
    put32(out, 96, 0xFF00u);
    put32(out, 100, abgr ? 0xFF0000u : 0xFFu);
    put32(out, 104, alpha ? 0xFF000000u : 0);
  }
  put32(out, 108, kCapsTexture | (chain ? kCapsComplex | kCapsMipmap : 0));
  size_t at = kHeaderBytes;
  for (uint32_t l = 0; l < levels.size(); ++l) {
    const uint32_t rowBytes = qxgfx::formatPitch(format, levelSide(width, l));
    const uint32_t rows = qxgfx::formatRows(format, levelSide(height, l));
    for (uint32_t y = 0; y < rows; ++y, at += rowBytes)
      std::memcpy(&out[at], levels[l].bits + y * levels[l].pitch, rowBytes);
  }
  return out;
}

std::vector<uint8_t> writeDds(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch) {
  const DdsLevel level{bits, pitch};
  return writeDds(format, width, height, std::span<const DdsLevel>(&level, 1));
}

}  // namespace qxtex
