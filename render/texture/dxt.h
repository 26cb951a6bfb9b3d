// DXT1, DXT3 and DXT5 levels to R, G, B, A bytes and back: compressed textures are saved
// in the uncompressed file formats through the decoder, and the mip levels a DDS file
// lacks are made through both (stb_dxt packs the colours).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qxtex {

bool isDxt(uint32_t format);
// Decodes a level of width x height pixels whose rows of 4x4 blocks lie pitch bytes
// apart into rgba (width * height * 4 bytes, rows top-down).
void decodeDxt(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch, uint8_t* rgba);
// Encodes rgba (width * height * 4 bytes, rows top-down) into rows of 4x4 blocks, tightly
// packed; blocks past an edge repeat its last pixels. DXT1 pixels whose alpha is below
// 128 stay transparent (their blocks use the three-colour form); DXT3 keeps four bits of
// alpha, DXT5 an interpolated alpha block.
void encodeDxt(uint32_t format, uint32_t width, uint32_t height, const uint8_t* rgba, uint8_t* bits);

}  // namespace qxtex
