// DDS files: the level 0 of uncompressed 32-bit colour, A8 and DXT1/3/5 images is read;
// uncompressed A8R8G8B8 and A8 images are written. Everything else is refused with a
// reason, never guessed at.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qxtex {

// Sides above this, or more pixels than kMaxPixels, are refused before any allocation.
inline constexpr uint32_t kMaxImageSide = 16384;
inline constexpr uint64_t kMaxPixels = 4096ull * 4096ull;

struct DdsImage {
  uint32_t format = 0;  // D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8 or D3DFMT_DXT1/3/5
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bits;  // level 0, rows (rows of 4x4 blocks) of qxgfx::formatPitch bytes
};

bool looksLikeDds(const uint8_t* data, size_t size);
// False (out untouched) with the reason in why when the bytes are no DDS image this
// reader takes, or are cut short.
bool readDds(const uint8_t* data, size_t size, DdsImage& out, std::string* why);
// The file of one uncompressed level: format D3DFMT_A8R8G8B8 (bytes B, G, R, A) or
// D3DFMT_A8, rows pitch bytes apart. Empty for any other format.
std::vector<uint8_t> writeDds(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch);

}  // namespace qxtex
