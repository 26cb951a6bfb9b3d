// Smooth poly-lines: a short list of control points becomes a dense list of points on a
// Catmull-Rom curve through every control point. The first and last segments use end
// variants of the basis that need no point beyond the list.
#pragma once
#include <cstddef>
#include <span>
#include <vector>

#include "runtime/math/matrix.h"

// Rows are the coefficients of t^3, t^2, t and 1; columns weigh the previous point, the
// segment's start, its end and the next point.
extern const Mat44 kSplineBasisMiddle;
extern const Mat44 kSplineBasisFirst;
extern const Mat44 kSplineBasisLast;

// At most this many parts per segment, however small the step or large the count.
constexpr int kSplineMaxParts = 1024;

// 0.5 x ((t^3, t^2, t, 1) x basis) . (a, b, c, d).
float splineValue(const Mat44& basis, float a, float b, float c, float d, float t);
Vec3 splinePoint(const Mat44& basis, const Vec3& prev, const Vec3& start, const Vec3& end, const Vec3& next, float t);

// Append the curve through points to out and give out's new size. Each segment adds its
// start point and k - 1 points inside it, the last its end point too; fewer than three
// points are appended unchanged. By step, k = floor(segment length / step), 1 when that is
// below 2 (also for a step that is not a positive number); by count, k = count (at least
// 1). k never exceeds kSplineMaxParts.
size_t subdividePolylineByStep(std::vector<Vec3>& out, float step, std::span<const Vec3> points);
size_t subdividePolylineByCount(std::vector<Vec3>& out, int count, std::span<const Vec3> points);
