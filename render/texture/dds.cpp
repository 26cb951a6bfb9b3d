#include "render/texture/dds.h"

#include <cstring>

#include "platform/gfx/format.h"
#include "platform/gfx/gfx_types.h"

namespace qxtex {

namespace {

constexpr size_t kHeaderBytes = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40;

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

bool fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

}  // namespace

bool looksLikeDds(const uint8_t* data, size_t size) { return size >= 4 && std::memcmp(data, "DDS ", 4) == 0; }

bool readDds(const uint8_t* data, size_t size, DdsImage& out, std::string* why) {
  if (!looksLikeDds(data, size)) return fail(why, "not a DDS file");
  if (size < kHeaderBytes || le32(data + 4) != 124 || le32(data + 76) != 32) return fail(why, "DDS header cut short");
  const uint32_t height = le32(data + 12), width = le32(data + 16);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide ||
      uint64_t(width) * height > kMaxPixels)
    return fail(why, "DDS image size out of range");
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

  const uint64_t bytes = qxgfx::formatLevelBytes(format, width, height);
  if (size - kHeaderBytes < bytes) return fail(why, "DDS pixel data cut short");
  out.format = format;
  out.width = width;
  out.height = height;
  out.bits.assign(data + kHeaderBytes, data + kHeaderBytes + bytes);
  if (swapRB) {
    for (size_t i = 0; i + 3 < out.bits.size(); i += 4) std::swap(out.bits[i], out.bits[i + 2]);
  }
  return true;
}

std::vector<uint8_t> writeDds(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch) {
  const bool a8 = format == qxgfx::D3DFMT_A8;
  if ((!a8 && format != qxgfx::D3DFMT_A8R8G8B8) || width == 0 || height == 0) return {};
  const uint32_t rowBytes = width * (a8 ? 1u : 4u);
  std::vector<uint8_t> out(kHeaderBytes + size_t(rowBytes) * height, 0);
  std::memcpy(out.data(), "DDS ", 4);
  put32(out, 4, 124);
  put32(out, 8, 0x100F);  // caps, height, width, pixel format, pitch
  put32(out, 12, height);
  put32(out, 16, width);
  put32(out, 20, rowBytes);
  put32(out, 76, 32);
  if (a8) {
    put32(out, 80, kPfAlpha);
    put32(out, 88, 8);
    put32(out, 104, 0xFF);
  } else {
    put32(out, 80, kPfRgb | kPfAlphaPixels);
    put32(out, 88, 32);
    put32(out, 92, 0xFF0000u);
    put32(out, 96, 0xFF00u);
    put32(out, 100, 0xFFu);
    put32(out, 104, 0xFF000000u);
  }
  put32(out, 108, 0x1000);  // a texture
  for (uint32_t y = 0; y < height; ++y) std::memcpy(&out[kHeaderBytes + size_t(y) * rowBytes], bits + y * pitch, rowBytes);
  return out;
}

}  // namespace qxtex
