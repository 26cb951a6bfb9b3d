// The mip levels a DDS file does not store, made as a texture load makes them: each level
// a point downscale of the one above, so a texel of level k is one of level 0.
#pragma once
#include <cstdint>
#include <vector>

namespace qxtex {

// Appends to mips (levels 1.. as stored, laid out as level0) the levels below the last
// stored one, down to 1 x 1. DXT levels are decoded, downscaled and encoded again.
void completeMipChain(uint32_t format, uint32_t width, uint32_t height, const std::vector<uint8_t>& level0,
                      std::vector<std::vector<uint8_t>>& mips);

}  // namespace qxtex
