#pragma once
#include <gtest/gtest.h>

#include "runtime/math/matrix.h"
#include "runtime/math/quat.h"

#define EXPECT_VEC3_NEAR(a, b, eps)    \
  do {                                 \
    const Vec3 a_ = (a), b_ = (b);     \
    EXPECT_NEAR(a_.x, b_.x, eps);      \
    EXPECT_NEAR(a_.y, b_.y, eps);      \
    EXPECT_NEAR(a_.z, b_.z, eps);      \
  } while (0)

inline void expectMat33Near(const Mat33& a, const Mat33& b, float eps) {
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "entry " << i;
}

inline void expectMat44Near(const Mat44& a, const Mat44& b, float eps) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "entry " << i;
}
