// Single-precision matrices in the Direct3D layout: row-major, row vectors, translation in
// the last row. A 2D affine transform is a 2x3 matrix, a 3D one a 4x3 matrix.
#pragma once
#include "runtime/math/vec.h"

// 2D affine transform: (x, y) maps to (x a + y c + tx, x b + y d + ty).
struct Mat23 {
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  constexpr Mat23() = default;
  constexpr Mat23(float a_, float b_, float c_, float d_, float tx_, float ty_)
      : a(a_), b(b_), c(c_), d(d_), tx(tx_), ty(ty_) {}
  static constexpr Mat23 identity() { return {}; }
  static constexpr Mat23 translation(float x, float y) { return {1, 0, 0, 1, x, y}; }
  void setTranslation(float x, float y) {
    tx = x;
    ty = y;
  }
  Vec2 map(Vec2 p) const { return {p.x * a + p.y * c + tx, p.x * b + p.y * d + ty}; }
  // The transform that applies first, then second.
  static Mat23 compose(const Mat23& first, const Mat23& second);
};

inline Mat23 operator*(const Mat23& first, const Mat23& second) { return Mat23::compose(first, second); }

struct Mat33 {
  float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // rows r0, r1, r2
  constexpr Mat33() = default;
  constexpr Mat33(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21, float m22)
      : m{m00, m01, m02, m10, m11, m12, m20, m21, m22} {}
  float operator()(int r, int c) const { return m[r * 3 + c]; }
  float& operator()(int r, int c) { return m[r * 3 + c]; }
};
Mat33 operator*(const Mat33& a, const Mat33& b);

struct Mat44;

// 3D affine transform: rows r0..r2 are the linear part, row 3 the translation; a point p
// maps to p r0..r2 + t.
struct Mat43 {
  float m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  constexpr Mat43() = default;
  static constexpr Mat43 identity() { return {}; }
  static Mat43 translation(float x, float y, float z);
  // The three vectors become the columns of the linear part; translation 0.
  static Mat43 fromAxes(const Vec3& a, const Vec3& b, const Vec3& c);
  void setTranslation(float x, float y, float z) {
    m[9] = x;
    m[10] = y;
    m[11] = z;
  }
  Vec3 translationRow() const { return {m[9], m[10], m[11]}; }
  float operator()(int r, int c) const { return m[r * 3 + c]; }
  float& operator()(int r, int c) { return m[r * 3 + c]; }
};
// The transform of a followed by that of b.
Mat43 operator*(const Mat43& a, const Mat43& b);
// a taken as a 4x4 matrix with the column (0, 0, 0, 1), times b.
Mat44 operator*(const Mat43& a, const Mat44& b);
// The point p through m: (p.x m0 + p.y m3 + p.z m6 + m9, ...).
Vec3 mat3MulVec3(const Mat43& m, const Vec3& p);
// m = m followed by the linear transform r (every row of m, translation included, times r).
void mat43MulRot3(Mat43& m, const Mat33& r);

struct Mat44 {
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  constexpr Mat44() = default;
  constexpr Mat44(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13, float m20,
                  float m21, float m22, float m23, float m30, float m31, float m32, float m33)
      : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}
  static constexpr Mat44 identity() { return {}; }
  // Rows (r0, 0), (r1, 0), (r2, 0), (t, 1).
  static Mat44 fromMat43(const Mat43& a);
  // Left-handed perspective projection, depth 0..1.
  static Mat44 perspectiveFovLH(float fovY, float aspect, float zn, float zf);
  // Writes the inverse into out and gives true; gives false and leaves out unchanged when
  // this matrix has no inverse.
  bool inverse(Mat44& out) const;
  float operator()(int r, int c) const { return m[r * 4 + c]; }
  float& operator()(int r, int c) { return m[r * 4 + c]; }
};
Mat44 operator*(const Mat44& a, const Mat44& b);
// v = v x m, in place.
void mulVec4Mat44(const Mat44& m, Vec4& v);

// The plane of points x with n . x = d, n a unit normal.
struct Plane {
  float a = 0, b = 0, c = 0, d = 0;
  Vec3 normal() const { return {a, b, c}; }
};
constexpr Plane planeFromNormalD(const Vec3& n, float d) { return {n.x, n.y, n.z, d}; }
// The signed distance of p from the plane: (p - d n) . n.
float planeDistance(const Vec3& p, const Plane& plane);
