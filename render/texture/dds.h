// DDS files: every stored level of uncompressed 32-bit colour, A8 and DXT1/3/5 images is
// read (of a cube map, the first face); those formats are written with all their levels,
// DXT blocks as they are. The other uncompressed layouts D3DX reads (16-bit 5-6-5,
// 1-5-5-5 and 4-4-4-4 with or without alpha, 24-bit colour, L8, L16, A8L8 and A4L4) are
// known by their masks and read as 32-bit colour. Everything else, volume textures
// included, is refused with a reason, never guessed at.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qxtex {

// Sides above this, or more pixels than kMaxPixels, are refused before any allocation.
inline constexpr uint32_t kMaxImageSide = 16384;
inline constexpr uint64_t kMaxPixels = 4096ull * 4096ull;

// Levels of a full chain, down to 1 x 1; level k is max(1, side >> k) on each side.
uint32_t fullChainLevels(uint32_t width, uint32_t height);
inline uint32_t levelSide(uint32_t side, uint32_t level) { return side >> level ? side >> level : 1u; }

struct DdsImage {
  uint32_t format = 0;  // D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8 or D3DFMT_DXT1/3/5
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bits;               // level 0, rows (rows of 4x4 blocks) of qxgfx::formatPitch bytes
  std::vector<std::vector<uint8_t>> mips;  // levels 1.. the file stores, laid out as level 0
};

// One level to write: rows (rows of 4x4 blocks) pitch bytes apart.
struct DdsLevel {
  const uint8_t* bits = nullptr;
  size_t pitch = 0;
};

bool looksLikeDds(const uint8_t* data, size_t size);
// False (out untouched) with the reason in why when the bytes are no DDS image this
// reader takes, are cut short, or claim more levels than the full chain.
bool readDds(const uint8_t* data, size_t size, DdsImage& out, std::string* why);
// The file of levels 0.. (each half the one before) in D3DFMT_A8R8G8B8 (bytes B, G, R, A),
// D3DFMT_X8R8G8B8, D3DFMT_A8B8G8R8, D3DFMT_A8 or DXT1/3/5. Empty for any other format,
// for no levels, or for more levels than the full chain.
std::vector<uint8_t> writeDds(uint32_t format, uint32_t width, uint32_t height, std::span<const DdsLevel> levels);
// One level.
std::vector<uint8_t> writeDds(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch);

// A level of 16-bit colour (R5G6B5, A1R5G5B5, A4R4G4B4) or luminance (L8, A8L8), rows pitch
// bytes apart, as 32-bit colour in tight rows: gives D3DFMT_A8R8G8B8 (bytes B, G, R, A)
// or, for a format without alpha, D3DFMT_X8R8G8B8 (alpha bytes 255); 0 (out untouched)
// for any other format.
uint32_t widenTo32Bit(uint32_t format, uint32_t width, uint32_t height, const uint8_t* bits, size_t pitch,
                      std::vector<uint8_t>& out);

}  // namespace qxtex
