// Decoding of DXT1, DXT3 and DXT5 levels into R, G, B, A bytes, so that compressed
// textures can be saved in the uncompressed file formats.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qxtex {

bool isDxt(uint32_t format);
// Decodes a level of width x height pixels whose rows of 4x4 blocks lie pitch bytes
// apart into rgba (width * height * 4 bytes, rows top-down).
void decodeDxt(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch, uint8_t* rgba);

}  // namespace qxtex
