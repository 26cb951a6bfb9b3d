#include "runtime/math/matrix.h"

#include <cmath>

Mat23 Mat23::compose(const Mat23& f, const Mat23& s) {
  return {f.a * s.a + f.b * s.c,        f.a * s.b + f.b * s.d,        f.c * s.a + f.d * s.c,
          f.c * s.b + f.d * s.d,        f.tx * s.a + f.ty * s.c + s.tx, f.tx * s.b + f.ty * s.d + s.ty};
}

Mat33 operator*(const Mat33& a, const Mat33& b) {
  Mat33 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r(i, j) = a(i, 0) * b(0, j) + a(i, 1) * b(1, j) + a(i, 2) * b(2, j);
  return r;
}

Vec3& Vec3::mulMat33(const Mat33& m) {
  *this = {x * m(0, 0) + y * m(1, 0) + z * m(2, 0), x * m(0, 1) + y * m(1, 1) + z * m(2, 1),
           x * m(0, 2) + y * m(1, 2) + z * m(2, 2)};
  return *this;
}

Mat43 Mat43::translation(float x, float y, float z) {
  Mat43 r;
  r.setTranslation(x, y, z);
  return r;
}

Mat43 Mat43::fromAxes(const Vec3& a, const Vec3& b, const Vec3& c) {
  Mat43 r;
  r.m[0] = a.x, r.m[1] = b.x, r.m[2] = c.x;
  r.m[3] = a.y, r.m[4] = b.y, r.m[5] = c.y;
  r.m[6] = a.z, r.m[7] = b.z, r.m[8] = c.z;
  r.setTranslation(0, 0, 0);
  return r;
}

Mat43 operator*(const Mat43& a, const Mat43& b) {
  Mat43 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 3; ++j) {
      r(i, j) = a(i, 0) * b(0, j) + a(i, 1) * b(1, j) + a(i, 2) * b(2, j) + (i == 3 ? b(3, j) : 0.0f);
    }
  }
  return r;
}

Mat44 operator*(const Mat43& a, const Mat44& b) { return Mat44::fromMat43(a) * b; }

Vec3 mat3MulVec3(const Mat43& m, const Vec3& p) {
  const float* e = m.m;
  return {p.x * e[0] + p.y * e[3] + p.z * e[6] + e[9], p.x * e[1] + p.y * e[4] + p.z * e[7] + e[10],
          p.x * e[2] + p.y * e[5] + p.z * e[8] + e[11]};
}

void mat43MulRot3(Mat43& m, const Mat33& r) {
  for (int i = 0; i < 4; ++i) {
    Vec3 row(m(i, 0), m(i, 1), m(i, 2));
    row.mulMat33(r);
    m(i, 0) = row.x, m(i, 1) = row.y, m(i, 2) = row.z;
  }
}

Mat44 Mat44::fromMat43(const Mat43& a) {
  return {a.m[0], a.m[1], a.m[2],  0, a.m[3], a.m[4],  a.m[5],  0,
          a.m[6], a.m[7], a.m[8],  0, a.m[9], a.m[10], a.m[11], 1};
}

Mat44 Mat44::perspectiveFovLH(float fovY, float aspect, float zn, float zf) {
  const float ys = 1.0f / std::tan(fovY * 0.5f);
  const float xs = ys / aspect;
  Mat44 r;
  for (float& e : r.m) e = 0;
  r(0, 0) = xs;
  r(1, 1) = ys;
  r(2, 2) = zf / (zf - zn);
  r(2, 3) = 1;
  r(3, 2) = -zn * zf / (zf - zn);
  return r;
}

bool Mat44::inverse(Mat44& out) const {
  // Cofactor expansion in double so that near-singular matrices keep what precision there is.
  double a[16];
  for (int i = 0; i < 16; ++i) a[i] = m[i];
  double inv[16];
  inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
           a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
  inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
           a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
  inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
           a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
  inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
            a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
  inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
           a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
  inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
           a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
  inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
           a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
  inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
            a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
  inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
           a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
  inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
           a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
  inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
            a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
  inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
            a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
  inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
           a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
  inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
           a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
  inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
            a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
  inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
            a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
  const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
  if (det == 0.0 || !std::isfinite(det)) return false;
  const double s = 1.0 / det;
  Mat44 r;
  for (int i = 0; i < 16; ++i) {
    const double v = inv[i] * s;
    if (!std::isfinite(static_cast<float>(v))) return false;
    r.m[i] = static_cast<float>(v);
  }
  out = r;
  return true;
}

Mat44 operator*(const Mat44& a, const Mat44& b) {
  Mat44 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r(i, j) = a(i, 0) * b(0, j) + a(i, 1) * b(1, j) + a(i, 2) * b(2, j) + a(i, 3) * b(3, j);
  return r;
}

void mulVec4Mat44(const Mat44& m, Vec4& v) {
  v = {v.x * m(0, 0) + v.y * m(1, 0) + v.z * m(2, 0) + v.w * m(3, 0),
       v.x * m(0, 1) + v.y * m(1, 1) + v.z * m(2, 1) + v.w * m(3, 1),
       v.x * m(0, 2) + v.y * m(1, 2) + v.z * m(2, 2) + v.w * m(3, 2),
       v.x * m(0, 3) + v.y * m(1, 3) + v.z * m(2, 3) + v.w * m(3, 3)};
}

float planeDistance(const Vec3& p, const Plane& plane) {
  const Vec3 n = plane.normal();
  return dot(p - n * plane.d, n);
}
