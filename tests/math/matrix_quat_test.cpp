// Matrices and quaternions: the identities the renderer and the transform trees rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "runtime/math/matrix.h"
#include "runtime/math/quat.h"
#include "runtime/math/xform_stack.h"
#include "tests/math/math_test_util.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Mat44 randomMatrix(std::mt19937& rng) {
  std::uniform_real_distribution<float> d(-2.0f, 2.0f);
  Mat44 m;
  for (float& e : m.m) e = d(rng);
  for (int i = 0; i < 4; ++i) m(i, i) += 4.0f;  // keep it well away from singular
  return m;
}

Quat randomRotation(std::mt19937& rng) {
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  return Quat::fromAxisAngle(vec3Normalize(Vec3(d(rng), d(rng), d(rng))), d(rng) * kPi);
}

TEST(Mat44, InverseTimesMatrixIsIdentity) {
  std::mt19937 rng(7);
  for (int n = 0; n < 50; ++n) {
    const Mat44 m = randomMatrix(rng);
    Mat44 inv;
    ASSERT_TRUE(m.inverse(inv));
    expectMat44Near(inv * m, Mat44::identity(), 1e-5f);
    expectMat44Near(m * inv, Mat44::identity(), 1e-5f);
  }
}

TEST(Mat44, SingularInverseFailsAndLeavesTheOutputAlone) {
  Mat44 m;  // two dependent rows
  m(0, 0) = 1, m(0, 1) = 2, m(0, 2) = 3, m(0, 3) = 4;
  for (int c = 0; c < 4; ++c) m(1, c) = 2 * m(0, c);
  Mat44 out = Mat44::perspectiveFovLH(1, 1, 1, 2);
  const Mat44 before = out;
  EXPECT_FALSE(m.inverse(out));
  Mat44 huge;
  for (int i = 0; i < 4; ++i) huge(i, i) = 1e-39f;  // the inverse does not fit a float
  EXPECT_FALSE(huge.inverse(out));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], before.m[i]);
}

TEST(Mat43, ProductsApplyTheLeftFactorFirst) {
  Mat43 scale;
  scale.m[0] = 2, scale.m[4] = 3, scale.m[8] = 4;
  const Mat43 move = Mat43::translation(1, 2, 3);
  const Vec3 p(1, 1, 1);
  EXPECT_VEC3_NEAR(mat3MulVec3(scale * move, p), Vec3(3, 5, 7), 1e-6f);
  EXPECT_VEC3_NEAR(mat3MulVec3(move * scale, p), Vec3(4, 9, 16), 1e-6f);
  // Against a 4x4 matrix the 4x3 matrix is taken with the column (0, 0, 0, 1).
  Mat44 proj = Mat44::perspectiveFovLH(1, 2, 1, 10);
  expectMat44Near(move * proj, Mat44::fromMat43(move) * proj, 0);
}

TEST(Quat, MatrixOfAProductIsTheProductOfMatrices) {
  std::mt19937 rng(11);
  for (int n = 0; n < 50; ++n) {
    const Quat a = randomRotation(rng), b = randomRotation(rng);
    expectMat33Near(quatMultiply(a, b).toMat33(), a.toMat33() * b.toMat33(), 2e-6f);
  }
}

TEST(Quat, AimRotationTurnsPlusZToTheDirectionWithUpUpright) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  for (int n = 0; n < 50; ++n) {
    const Vec3 dir = vec3Normalize(Vec3(d(rng), d(rng), d(rng)));
    const Vec3 up = n % 2 ? Vec3(0, 1, 0) : Vec3(d(rng), d(rng), d(rng));
    const Quat q = Quat::aimRotation(up, dir);
    EXPECT_VEC3_NEAR(q.axisZ(), dir, 2e-5f);
    const Vec3 upright = vec3Normalize(up - dir * dot(up, dir));
    EXPECT_VEC3_NEAR(Vec3(0, 1, 0).mulMat33(q.toMat33()), upright, 2e-5f);
    EXPECT_VEC3_NEAR(q.axisX(), cross(upright, dir), 2e-5f);  // right = up x direction
  }
  // Straight up along up and a zero direction stay finite.
  EXPECT_VEC3_NEAR(Quat::aimRotation(Vec3(0, 1, 0), Vec3(0, 1, 0)).axisZ(), Vec3(0, 1, 0), 1e-6f);
  EXPECT_EQ(Quat::aimRotation(Vec3(0, 1, 0), Vec3(0, 0, 0)).w, 1.0f);
}

TEST(Vectors, Normalise) {
  EXPECT_EQ(vec3Normalize(Vec3(0, 0, 0)), Vec3(0, 0, 0));
  EXPECT_VEC3_NEAR(vec3Normalize(Vec3(3, 0, 4)), Vec3(0.6f, 0, 0.8f), 1e-7f);
  // Components whose squares overflow a float still normalise.
  EXPECT_VEC3_NEAR(vec3Normalize(Vec3(3e30f, 0, 4e30f)), Vec3(0.6f, 0, 0.8f), 1e-7f);
}

}  // namespace
