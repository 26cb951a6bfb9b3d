// The arithmetic core of QXInteger.
#include <gtest/gtest.h>

#include <cstdint>

#include "script/qx/qx_integer_ops.h"

namespace {

constexpr uint32_t u(int32_t v) { return static_cast<uint32_t>(v); }

TEST(QXIntOps, DivisionTruncatesTowardZeroAndNeverTraps) {
  EXPECT_EQ(qxint::div(u(-7), 2), u(-3));
  EXPECT_EQ(qxint::mod(u(-7), 2), u(-1));
  EXPECT_EQ(qxint::mod(7, u(-2)), 1u);
  EXPECT_EQ(qxint::div(7, 0), 0u);
  EXPECT_EQ(qxint::mod(7, 0), 0u);
  EXPECT_EQ(qxint::div(0x80000000u, u(-1)), 0x80000000u);
  EXPECT_EQ(qxint::mod(0x80000000u, u(-1)), 0u);
  EXPECT_EQ(qxint::mod(5, u(-1)), 0u);
}

TEST(QXIntOps, SumsAndProductsWrap) {
  EXPECT_EQ(qxint::add(0xFFFFFFFFu, 2), 1u);
  EXPECT_EQ(qxint::sub(0, 1), 0xFFFFFFFFu);
  EXPECT_EQ(qxint::mul(0x10000u, 0x10000u), 0u);
  EXPECT_EQ(qxint::neg(0x80000000u), 0x80000000u);
}

TEST(QXIntOps, PowerGoesThroughFloatingPointAndSaturates) {
  EXPECT_EQ(qxint::pow(2, 10), 1024u);
  EXPECT_EQ(qxint::pow(u(-2), 3), u(-8));
  EXPECT_EQ(qxint::pow(2, u(-1)), 0u);  // 0.5 truncated
  EXPECT_EQ(qxint::pow(0, u(-1)), 0xFFFFFFFFu);  // +inf saturates to INT64_MAX, low word
  EXPECT_EQ(qxint::pow(2, 40), 0u);  // 2^40: low 32 bits
}

TEST(QXIntOps, ComparisonsAreSigned) {
  EXPECT_TRUE(qxint::lt(0xFFFFFFFFu, 0));
  EXPECT_TRUE(qxint::le(5, 5));
  EXPECT_FALSE(qxint::lt(5, 5));
}

TEST(QXIntOps, BitQueries) {
  EXPECT_EQ(qxint::topbit(0xF0), 0x80u);
  EXPECT_EQ(qxint::lowbit(0xF0), 0x10u);
  EXPECT_EQ(qxint::topbit(0), 0u);
  EXPECT_EQ(qxint::lowbit(0), 0u);
  EXPECT_EQ(qxint::topindex(0), 0u);
  EXPECT_EQ(qxint::topindex(1), 0u);
  EXPECT_EQ(qxint::topindex(0x80000000u), 31u);
  EXPECT_EQ(qxint::lowindex(0), 31u);
  EXPECT_EQ(qxint::lowindex(0x80000000u), 31u);
  EXPECT_EQ(qxint::lowindex(12), 2u);
}

}  // namespace
