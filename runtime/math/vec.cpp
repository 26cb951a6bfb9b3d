#include "runtime/math/vec.h"

#include <algorithm>

Vec3 vec3Normalize(const Vec3& v) {
  const double x = v.x, y = v.y, z = v.z;
  const double len = std::sqrt(x * x + y * y + z * z);
  if (!(len > 0.0) || !std::isfinite(len)) return {};
  const double inv = 1.0 / len;
  return {static_cast<float>(x * inv), static_cast<float>(y * inv), static_cast<float>(z * inv)};
}

Vec3 saturateVec3(const Vec3& v) {
  return {std::clamp(v.x, 0.0f, 1.0f), std::clamp(v.y, 0.0f, 1.0f), std::clamp(v.z, 0.0f, 1.0f)};
}

float distanceSquared3(const Vec3& a, const Vec3& b) { return lengthSquared(a - b); }
