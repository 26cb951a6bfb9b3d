// The arithmetic behind QXInteger, on 32-bit words. Sums, differences and products wrap
// modulo 2^32; quotients, remainders and comparisons read the words as signed. The two
// cases that would trap in hardware are given values instead: a division or remainder
// by zero gives 0, and INT_MIN / -1 gives INT_MIN with remainder 0.
#pragma once
#include <bit>
#include <cstdint>

namespace qxint {

constexpr int32_t asSigned(uint32_t v) { return static_cast<int32_t>(v); }

constexpr uint32_t add(uint32_t a, uint32_t b) { return a + b; }
constexpr uint32_t sub(uint32_t a, uint32_t b) { return a - b; }
constexpr uint32_t mul(uint32_t a, uint32_t b) { return a * b; }
constexpr uint32_t neg(uint32_t a) { return 0u - a; }

constexpr uint32_t div(uint32_t a, uint32_t b) {
  if (b == 0) return 0;
  if (a == 0x80000000u && b == 0xFFFFFFFFu) return a;
  return static_cast<uint32_t>(asSigned(a) / asSigned(b));
}

constexpr uint32_t mod(uint32_t a, uint32_t b) {
  if (b == 0 || b == 0xFFFFFFFFu) return 0;
  return static_cast<uint32_t>(asSigned(a) % asSigned(b));
}

// Signed a raised to signed b in floating point, truncated toward zero; results beyond
// the 64-bit range saturate before the low 32 bits are taken, NaN gives 0.
uint32_t pow(uint32_t a, uint32_t b);

constexpr bool lt(uint32_t a, uint32_t b) { return asSigned(a) < asSigned(b); }
constexpr bool le(uint32_t a, uint32_t b) { return asSigned(a) <= asSigned(b); }

constexpr uint32_t topbit(uint32_t v) { return v ? 0x80000000u >> std::countl_zero(v) : 0; }
constexpr uint32_t topindex(uint32_t v) { return 31 - std::countl_zero(v | 1u); }
constexpr uint32_t lowbit(uint32_t v) { return v & (0u - v); }
constexpr uint32_t lowindex(uint32_t v) { return std::countr_zero(v | 0x80000000u); }

}  // namespace qxint
