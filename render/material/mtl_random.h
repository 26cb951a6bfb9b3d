// The 15-bit random source of material draws: values 0..32767 from a linear
// congruential generator of our own (the C library's rand() may reach 2^31 - 1, which
// would push draws out of their ranges).
#pragma once
#include <cstdint>

namespace qxmtl {

inline constexpr uint32_t kRandMax = 32767;

void seedRandom(uint32_t seed);
uint32_t nextRandom();

}  // namespace qxmtl
