#include "render/texture/image_codec.h"

#include <climits>

#include <stb_image.h>
#include <stb_image_write.h>

#include "platform/gfx/format.h"
#include "platform/gfx/gfx_types.h"
#include "render/texture/dds.h"
#include "render/texture/dxt.h"
#include "render/texture/mip_chain.h"

namespace qxtex {

namespace {

bool fail(std::string* why, std::string text) {
  if (why) *why = std::move(text);
  return false;
}

// Pixels of the supported formats as tightly packed R, G, B, A bytes.
bool toRGBA(uint32_t format, uint32_t w, uint32_t h, const uint8_t* bits, size_t pitch, std::vector<uint8_t>& rgba) {
  rgba.resize(size_t(w) * h * 4);
  if (isDxt(format)) {
    decodeDxt(format, w, h, bits, pitch, rgba.data());
    return true;
  }
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* s = bits + y * pitch;
    uint8_t* d = &rgba[size_t(y) * w * 4];
    for (uint32_t x = 0; x < w; ++x, d += 4) {
      switch (format) {
        case qxgfx::D3DFMT_A8R8G8B8:
        case qxgfx::D3DFMT_X8R8G8B8:
          d[0] = s[4 * x + 2];
          d[1] = s[4 * x + 1];
          d[2] = s[4 * x];
          d[3] = format == qxgfx::D3DFMT_X8R8G8B8 ? 0xFF : s[4 * x + 3];
          break;
        case qxgfx::D3DFMT_A8B8G8R8:
          for (int c = 0; c < 4; ++c) d[c] = s[4 * x + c];
          break;
        case qxgfx::D3DFMT_A8:
          d[0] = d[1] = d[2] = 0;
          d[3] = s[x];
          break;
        default:
          return false;
      }
    }
  }
  return true;
}

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

}  // namespace

bool decodeImage(const uint8_t* data, size_t size, Image& out, std::string* why) {
  if (looksLikeDds(data, size)) {
    DdsImage dds;
    if (!readDds(data, size, dds, why)) return false;
    out.format = dds.format;
    out.width = dds.width;
    out.height = dds.height;
    out.bits = std::move(dds.bits);
    out.mips = std::move(dds.mips);
    completeMipChain(out.format, out.width, out.height, out.bits, out.mips);
    return true;
  }
  if (size == 0 || size > size_t(INT_MAX)) return fail(why, "not an image");
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(data, int(size), &w, &h, &channels)) return fail(why, stbi_failure_reason());
  if (w <= 0 || h <= 0 || uint32_t(w) > kMaxImageSide || uint32_t(h) > kMaxImageSide ||
      uint64_t(w) * uint64_t(h) > kMaxPixels)
    return fail(why, "image size out of range");
  stbi_uc* pixels = stbi_load_from_memory(data, int(size), &w, &h, &channels, 4);
  if (!pixels) return fail(why, stbi_failure_reason());
  out.format = qxgfx::D3DFMT_A8R8G8B8;
  out.width = uint32_t(w);
  out.height = uint32_t(h);
  out.bits.assign(pixels, pixels + size_t(w) * h * 4);
  stbi_image_free(pixels);
  for (size_t i = 0; i < out.bits.size(); i += 4) std::swap(out.bits[i], out.bits[i + 2]);
  return true;
}

ImageFileFormat fileFormatFor(std::u16string_view fileName) {
  const size_t dot = fileName.rfind(u'.');
  if (dot == std::u16string_view::npos) return ImageFileFormat::png;
  std::string ext;
  for (char16_t c : fileName.substr(dot + 1)) {
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    ext.push_back(c < 0x80 ? char(c) : '?');
  }
  if (ext == "bmp") return ImageFileFormat::bmp;
  if (ext == "tga") return ImageFileFormat::tga;
  if (ext == "dds") return ImageFileFormat::dds;
  return ImageFileFormat::png;
}

std::vector<uint8_t> encodeImage(ImageFileFormat file, uint32_t format, uint32_t width, uint32_t height,
                                 const uint8_t* bits, size_t pitch, std::string* why) {
  std::vector<uint8_t> wide;
  if (const uint32_t wideFormat = widenTo32Bit(format, width, height, bits, pitch, wide)) {
    format = wideFormat;
    bits = wide.data();
    pitch = size_t(width) * 4;
  }
  std::vector<uint8_t> rgba;
  if (file == ImageFileFormat::dds) {
    std::vector<uint8_t> out = writeDds(format, width, height, bits, pitch);
    if (out.empty()) fail(why, "texture format " + std::to_string(format) + " cannot be saved");
    return out;
  }
  if (width == 0 || height == 0 || !toRGBA(format, width, height, bits, pitch, rgba)) {
    fail(why, "texture format " + std::to_string(format) + " cannot be saved");
    return {};
  }
  std::vector<uint8_t> out;
  const int w = int(width), h = int(height);
  switch (file) {
    case ImageFileFormat::dds:
      break;
    case ImageFileFormat::bmp:
      stbi_write_bmp_to_func(appendBytes, &out, w, h, 4, rgba.data());
      break;
    case ImageFileFormat::tga:
      stbi_write_tga_to_func(appendBytes, &out, w, h, 4, rgba.data());
      break;
    case ImageFileFormat::png:
      stbi_write_png_to_func(appendBytes, &out, w, h, 4, rgba.data(), w * 4);
      break;
  }
  if (out.empty()) fail(why, "image encoding failed");
  return out;
}

}  // namespace qxtex
