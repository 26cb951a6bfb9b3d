#include "runtime/math/spline.h"

#include <cmath>

const Mat44 kSplineBasisMiddle(-1, 3, -3, 1, 2, -5, 4, -1, -1, 0, 1, 0, 0, 2, 0, 0);
const Mat44 kSplineBasisFirst(0, 0, 0, 0, 0, 1, -2, 1, 0, -3, 4, -1, 0, 2, 0, 0);
const Mat44 kSplineBasisLast(0, 0, 0, 0, 1, -2, 1, 0, -1, 0, 1, 0, 0, 2, 0, 0);

float splineValue(const Mat44& basis, float a, float b, float c, float d, float t) {
  Vec4 w(t * t * t, t * t, t, 1);
  mulVec4Mat44(basis, w);
  return 0.5f * dot(w, Vec4(a, b, c, d));
}

Vec3 splinePoint(const Mat44& basis, const Vec3& prev, const Vec3& start, const Vec3& end, const Vec3& next, float t) {
  return {splineValue(basis, prev.x, start.x, end.x, next.x, t), splineValue(basis, prev.y, start.y, end.y, next.y, t),
          splineValue(basis, prev.z, start.z, end.z, next.z, t)};
}

namespace {

template <class PartsOf>
size_t subdivide(std::vector<Vec3>& out, std::span<const Vec3> p, PartsOf partsOf) {
  const size_t n = p.size();
  if (n < 3) {
    out.insert(out.end(), p.begin(), p.end());
    return out.size();
  }
  for (size_t s = 0; s + 1 < n; ++s) {
    const Mat44& basis = s == 0 ? kSplineBasisFirst : (s == n - 2 ? kSplineBasisLast : kSplineBasisMiddle);
    const Vec3 prev = s > 0 ? p[s - 1] : Vec3();
    const Vec3 next = s + 2 < n ? p[s + 2] : Vec3();
    out.push_back(p[s]);
    const int k = partsOf(p[s], p[s + 1]);
    const float dt = 1.0f / static_cast<float>(k);
    float t = dt;
    for (int j = 1; j < k; ++j, t += dt) out.push_back(splinePoint(basis, prev, p[s], p[s + 1], next, t));
  }
  out.push_back(p[n - 1]);
  return out.size();
}

}  // namespace

size_t subdividePolylineByStep(std::vector<Vec3>& out, float step, std::span<const Vec3> points) {
  return subdivide(out, points, [step](const Vec3& a, const Vec3& b) {
    if (!(step > 0.0f)) return 1;  // zero, negative and NaN steps divide nothing
    const double parts = std::floor(static_cast<double>(length(b - a)) / step);
    if (!(parts >= 2.0) || !std::isfinite(parts)) return 1;
    return parts > kSplineMaxParts ? kSplineMaxParts : static_cast<int>(parts);
  });
}

size_t subdividePolylineByCount(std::vector<Vec3>& out, int count, std::span<const Vec3> points) {
  const int k = count < 1 ? 1 : (count > kSplineMaxParts ? kSplineMaxParts : count);
  return subdivide(out, points, [k](const Vec3&, const Vec3&) { return k; });
}
