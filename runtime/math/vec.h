// Single-precision vectors. Vectors are row vectors: they multiply matrices from the left
// (v' = v x M), as in Direct3D.
#pragma once
#include <cmath>
#include <cstdint>

struct Vec2 {
  float x = 0, y = 0;
  constexpr Vec2() = default;
  constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}
};

struct Mat33;

struct Vec3 {
  float x = 0, y = 0, z = 0;
  constexpr Vec3() = default;
  constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  // v = v x m, in place.
  Vec3& mulMat33(const Mat33& m);
};

struct Vec4 {
  float x = 0, y = 0, z = 0, w = 0;
  constexpr Vec4() = default;
  constexpr Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
  constexpr Vec4(const Vec3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}
  static constexpr Vec4 fromVec3(const Vec3& v, float w) { return Vec4(v, w); }
};

constexpr Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
constexpr Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
constexpr Vec2 operator*(Vec2 a, float s) { return {a.x * s, a.y * s}; }
constexpr float dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }

constexpr Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 operator-(const Vec3& a) { return {-a.x, -a.y, -a.z}; }
constexpr Vec3 operator*(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
constexpr Vec3 operator*(float s, const Vec3& a) { return a * s; }
constexpr bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
constexpr float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
constexpr float lengthSquared(const Vec3& v) { return dot(v, v); }
inline float length(const Vec3& v) { return std::sqrt(lengthSquared(v)); }

constexpr float dot(const Vec4& a, const Vec4& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

// v scaled to unit length, the scale computed in double; the zero vector (or one whose
// length is not finite) gives the zero vector.
Vec3 vec3Normalize(const Vec3& v);

// v limited to [lo, 1]: 1 when v >= 1, lo when v <= lo.
constexpr float clampUnit(float v, float lo) { return v >= 1.0f ? 1.0f : (v <= lo ? lo : v); }
// v limited to [0, max].
constexpr int32_t clampIndex(int32_t max, int32_t v) { return v < 0 ? 0 : (v > max ? max : v); }
// Each component limited to [0, 1].
Vec3 saturateVec3(const Vec3& v);
float distanceSquared3(const Vec3& a, const Vec3& b);

constexpr Vec3 initVec3NegZ() { return {0, 0, -1}; }
// A sphere with radius -1: none yet.
constexpr Vec4 initVec4NegW() { return {0, 0, 0, -1}; }
