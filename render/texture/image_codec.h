// Image files to texture pixels and back. Decoding takes DDS (our reader) and PNG, TGA,
// BMP and JPEG (stb_image), telling them apart by content; PNG, TGA, BMP and JPEG decode
// to D3DFMT_A8R8G8B8, DDS to its own format with its full mip chain. Encoding writes BMP,
// PNG, TGA (stb_image_write) or DDS from the formats a texture can hold.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qxtex {

struct Image {
  uint32_t format = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bits;  // level 0 in rows of qxgfx::formatPitch(format, width)
  // A DDS image's levels 1.. down to 1 x 1: those the file stores, then point downscales.
  // Empty for the other files, whose chains the device makes.
  std::vector<std::vector<uint8_t>> mips;
};

// False with the reason in why for bytes that are no image, are cut short, or hold an
// image larger than kMaxImageSide or kMaxPixels.
bool decodeImage(const uint8_t* data, size_t size, Image& out, std::string* why);

enum class ImageFileFormat { bmp, png, tga, dds };
// By the file name's extension, in any letter case; PNG when it names none of these.
ImageFileFormat fileFormatFor(std::u16string_view fileName);

// The file bytes of one level (rows, or rows of 4x4 blocks, pitch bytes apart) in
// D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8B8G8R8, D3DFMT_A8 or DXT1/3/5 (DDS keeps the
// format, the others are written uncompressed), or in a 16-bit colour or luminance format
// (written as 32-bit colour, see widenTo32Bit); empty, with the reason in why, for other
// formats.
std::vector<uint8_t> encodeImage(ImageFileFormat file, uint32_t format, uint32_t width, uint32_t height,
                                 const uint8_t* bits, size_t pitch, std::string* why);

}  // namespace qxtex
