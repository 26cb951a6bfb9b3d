#include "render/texture/dds.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/gfx/format.h"
#include "platform/gfx/gfx_types.h"

namespace qxtex {

namespace {

constexpr size_t kHeaderBytes = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40, kPfLuminance = 0x20000;
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

// The other uncompressed layouts D3DX reads, each known by its exact masks (red holds the
// luminance); they are held as 32-bit colour, with alpha when they have it.
struct MaskedLayout {
  uint32_t kind;  // kPfRgb or kPfLuminance
  uint32_t bits;
  uint32_t masks[4];  // red, green, blue, alpha
  uint32_t format;    // the device's format of that layout, or 0
};
constexpr MaskedLayout kMaskedLayouts[] = {
    {kPfRgb, 16, {0xF800, 0x07E0, 0x001F, 0}, qxgfx::D3DFMT_R5G6B5},
    {kPfRgb, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, qxgfx::D3DFMT_A1R5G5B5},
    {kPfRgb, 16, {0x7C00, 0x03E0, 0x001F, 0}, 0},  // X1R5G5B5
    {kPfRgb, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, qxgfx::D3DFMT_A4R4G4B4},
    {kPfRgb, 16, {0x0F00, 0x00F0, 0x000F, 0}, 0},  // X4R4G4B4
    {kPfRgb, 24, {0xFF0000, 0xFF00, 0xFF, 0}, 0},  // R8G8B8
    {kPfLuminance, 8, {0xFF, 0, 0, 0}, qxgfx::D3DFMT_L8},
    {kPfLuminance, 16, {0xFFFF, 0, 0, 0}, 0},  // L16
    {kPfLuminance, 16, {0xFF, 0, 0, 0xFF00}, qxgfx::D3DFMT_A8L8},
    {kPfLuminance, 8, {0x0F, 0, 0, 0xF0}, 0},  // A4L4
};

const MaskedLayout* maskedLayout(uint32_t flags, uint32_t bits, const uint32_t masks[4]) {
  for (const MaskedLayout& l : kMaskedLayouts) {
    if (!(flags & l.kind) || bits != l.bits) continue;
    if (std::equal(std::begin(l.masks), std::end(l.masks), masks)) return &l;
  }
  return nullptr;
}

// A field of a pixel word widened to 8 bits, rounded to the nearest.
uint8_t widen(uint32_t word, uint32_t mask) {
  if (!mask) return 0xFF;
  const uint32_t shift = uint32_t(__builtin_ctz(mask)), max = mask >> shift;
  return uint8_t((((word & mask) >> shift) * 255 + max / 2) / max);
}

// Pixels of a masked layout as B, G, R, A bytes.
void widenPixels(const MaskedLayout& layout, const uint8_t* in, size_t pixels, std::vector<uint8_t>& out) {
  const uint32_t bytes = layout.bits / 8;
  const bool luminance = layout.kind == kPfLuminance;
  out.resize(pixels * 4);
  for (size_t i = 0; i < pixels; ++i, in += bytes) {
    uint32_t word = 0;
    for (uint32_t b = 0; b < bytes; ++b) word |= uint32_t(in[b]) << (8 * b);
    uint8_t* p = &out[i * 4];
    p[2] = widen(word, layout.masks[0]);
    p[1] = luminance ? p[2] : widen(word, layout.masks[1]);
    p[0] = luminance ? p[2] : widen(word, layout.masks[2]);
    p[3] = widen(word, layout.masks[3]);
  }
}

}  // namespace

uint32_t widenTo32Bit(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch,
                      std::vector<uint8_t>& out) {
  const MaskedLayout* layout =
      std::find_if(std::begin(kMaskedLayouts), std::end(kMaskedLayouts),
                   [format](const MaskedLayout& l) { return format != 0 && l.format == format; });
  if (layout == std::end(kMaskedLayouts)) return 0;
  out.resize(size_t(width) * height * 4);
  std::vector<uint8_t> row;
  for (uint32_t y = 0; y < height; ++y) {
    widenPixels(*layout, bits + y * pitch, width, row);
    std::copy(row.begin(), row.end(), out.begin() + ptrdiff_t(y) * width * 4);
  }
  return layout->masks[3] ? qxgfx::D3DFMT_A8R8G8B8 : qxgfx::D3DFMT_X8R8G8B8;
}

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

  const uint32_t masks[4] = {rMask, gMask, bMask, aMask};
  const MaskedLayout* masked = (flags & kPfFourCC) ? nullptr : maskedLayout(flags, bitCount, masks);
  uint32_t format = 0;
  bool swapRB = false;
  if (masked) {
    format = masked->masks[3] ? qxgfx::D3DFMT_A8R8G8B8 : qxgfx::D3DFMT_X8R8G8B8;
  } else if (flags & kPfFourCC) {
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

  // Bytes of each stored level in the file.
  auto fileLevelBytes = [&](uint32_t l) {
    if (!masked) return levelBytes(format, width, height, l);
    return uint64_t(levelSide(width, l)) * levelSide(height, l) * (masked->bits / 8);
  };
  uint64_t total = 0;
  for (uint32_t l = 0; l < stored; ++l) total += fileLevelBytes(l);
  if (size - kHeaderBytes < total) return fail(why, "DDS pixel data cut short");
  out.format = format;
  out.width = width;
  out.height = height;
  out.mips.assign(stored - 1, {});
  const uint8_t* at = data + kHeaderBytes;
  for (uint32_t l = 0; l < stored; ++l) {
    std::vector<uint8_t>& level = l == 0 ? out.bits : out.mips[l - 1];
    const size_t n = size_t(fileLevelBytes(l));
    if (masked)
      widenPixels(*masked, at, size_t(levelSide(width, l)) * levelSide(height, l), level);
    else
      level.assign(at, at + n);
    at += n;
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
