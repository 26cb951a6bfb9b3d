#include "scene/collision/col_shapes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/math/geometry.h"
#include "script/bind/glue_types.h"
#include "script/lua/lua_func_path.h"
#include "script/lua/script_report.h"

namespace col {

namespace {

template <class T>
T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
std::vector<T> loadAll(const uint8_t* const* kids, size_t n) {
  std::vector<T> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = load<T>(kids[i]);
  return out;
}

bool always(const uint8_t*, const uint8_t*) { return true; }
bool never(const uint8_t*, const uint8_t*) { return false; }

// 2D
bool rectPoint(const uint8_t* r, const uint8_t* p) { return pointInRect(load<Rect2>(r), load<Vec2>(p)); }
bool pointRect(const uint8_t* p, const uint8_t* r) { return rectPoint(r, p); }
bool segmentCircle(const uint8_t* s, const uint8_t* c) { return pointNearSegment2D(load<Segment2>(s), load<Circle>(c)); }
bool circleSegment(const uint8_t* c, const uint8_t* s) { return segmentCircle(s, c); }
bool circleCircle(const uint8_t* a, const uint8_t* b) { return circlesOverlap(load<Circle>(a), load<Circle>(b)); }
bool circlePoint(const uint8_t* c, const uint8_t* p) { return pointInCircle(load<Circle>(c), load<Vec2>(p)); }
bool pointCircle(const uint8_t* p, const uint8_t* c) { return circlePoint(c, p); }
bool pointPoint(const uint8_t* a, const uint8_t* b) { return pointsCoincide2D(load<Vec2>(a), load<Vec2>(b)); }

// 3D: the sphere first in every pair.
bool sphereSphere(const uint8_t* a, const uint8_t* b) { return spheresOverlap(load<Sphere>(a), load<Sphere>(b)); }
bool sphereSegment(const uint8_t* s, const uint8_t* g) { return sphereHitsSegment(load<Sphere>(s), load<Segment3>(g)); }
bool sphereCapsule(const uint8_t* s, const uint8_t* c) { return sphereHitsCapsule(load<Sphere>(s), load<Capsule>(c)); }
bool sphereCylinder(const uint8_t* s, const uint8_t* c) { return capsuleVsSphere(load<Capsule>(c), load<Sphere>(s)); }
bool sphereTriangle(const uint8_t* s, const uint8_t* t) {
  const TriangleNode tri = load<TriangleNode>(t);
  return sphereVsTriangle(load<Sphere>(s), tri.p[0], tri.p[1], tri.p[2], tri.normal);
}
template <PairTest F>
bool swapped(const uint8_t* a, const uint8_t* b) {
  return F(b, a);
}

using Table = std::array<PairTest, 64>;
constexpr int cell(uint32_t a, uint32_t b) { return static_cast<int>((a & 7) * 8 + (b & 7)); }

Table makeTable(bool is3D) {
  Table t;
  t.fill(&never);
  for (uint32_t k = 0; k < 8; ++k) t[cell(0, k)] = t[cell(k, 0)] = &always;
  if (!is3D) {
    t[cell(1, 4)] = &rectPoint;
    t[cell(4, 1)] = &pointRect;
    t[cell(2, 3)] = &segmentCircle;
    t[cell(3, 2)] = &circleSegment;
    t[cell(3, 3)] = &circleCircle;
    t[cell(3, 4)] = &circlePoint;
    t[cell(4, 3)] = &pointCircle;
    t[cell(4, 4)] = &pointPoint;
  } else {
    t[cell(1, 1)] = &sphereSphere;
    t[cell(1, 2)] = &sphereSegment;
    t[cell(2, 1)] = &swapped<sphereSegment>;
    t[cell(1, 3)] = &sphereCapsule;
    t[cell(3, 1)] = &swapped<sphereCapsule>;
    t[cell(1, 4)] = &sphereCylinder;
    t[cell(4, 1)] = &swapped<sphereCylinder>;
    t[cell(1, 5)] = &sphereTriangle;
    t[cell(5, 1)] = &swapped<sphereTriangle>;
  }
  return t;
}

const Table kTests2D = makeTable(false);
const Table kTests3D = makeTable(true);

// Writes the bound fit(children) gives over the bound's record.
template <class Kid, auto fit>
bool fitBound(uint8_t* bound, const uint8_t* const* kids, size_t n) {
  const auto all = loadAll<Kid>(kids, n);
  const auto b = fit(all.data(), n);
  std::memcpy(bound, &b, sizeof b);
  return true;
}
// True when a child reaches outside the bounding circle.
template <class Kid, auto outside>
bool kidsLeftCircle(uint8_t* bound, const uint8_t* const* kids, size_t n) {
  const auto all = loadAll<Kid>(kids, n);
  return outside(load<Circle>(bound), all.data(), n);
}
bool rebuild(uint8_t*, const uint8_t* const*, size_t) { return true; }

float numberField(lua_State* L, int node, const char* name) {
  lua_getfield(L, node, name);
  const float v = static_cast<float>(lua_tonumber(L, -1));
  lua_pop(L, 1);
  return v;
}

// n components t[1..n] of the vector in field name (0 for what is missing).
void vectorField(lua_State* L, int node, const char* name, int n, float* out) {
  lua_getfield(L, node, name);
  const bool table = lua_istable(L, -1);
  for (int i = 0; i < n; ++i) {
    out[i] = 0;
    if (!table) continue;
    lua_rawgeti(L, -1, i + 1);
    out[i] = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

void pushVec(lua_State* L, const float* f, int n) { qxbind::pushVectorResult(L, n == 2 ? "vec2" : "vec3", f, n); }

}  // namespace

PairTest pairTest(bool is3D, uint32_t kindA, uint32_t kindB) { return (is3D ? kTests3D : kTests2D)[cell(kindA, kindB)]; }

treesync::BoundFn boundBuilder2D(uint32_t boundKind, uint32_t childKind) {
  if ((boundKind & 7) != 3) return nullptr;
  if ((childKind & 7) == 1) return &fitBound<Rect2, boundingCircleOfRects>;
  if ((childKind & 7) == 4) return &fitBound<Vec2, boundingCircleOfPoints>;
  return nullptr;
}

treesync::BoundFn boundBuilder3D(uint32_t boundKind, uint32_t childKind) {
  return (boundKind & 7) == 1 && (childKind & 7) == 1 ? &fitBound<Sphere, boundingSphereOfPoints> : nullptr;
}

treesync::BoundFn boundCheck2D(uint32_t boundKind, uint32_t childKind) {
  const uint32_t a = boundKind & 7, b = childKind & 7;
  if (a == 3 && b == 1) return &kidsLeftCircle<Rect2, rectCornersOutsideCircle>;
  if (a == 3 && b == 4) return &kidsLeftCircle<Vec2, anyPointOutsideCircle>;
  if (a == 0 || b == 0 || (a >= 5 && b <= 4)) return &rebuild;
  return nullptr;
}

treesync::BoundFn boundCheck3D(uint32_t boundKind, uint32_t childKind) {
  const uint32_t a = boundKind & 7, b = childKind & 7;
  if (a == 0 || b == 0 || (a >= 6 && b <= 5)) return &rebuild;
  return nullptr;
}

const treesync::SyncHooks& syncHooks(bool is3D) {
  static const treesync::SyncHooks k2D{&readShape, &boundBuilder2D, &boundCheck2D};
  static const treesync::SyncHooks k3D{&readShape, &boundBuilder3D, &boundCheck3D};
  return is3D ? k3D : k2D;
}

void readShape(lua_State* L, int node, uint32_t kind, bool is3D, uint8_t* dest) {
  float f[9] = {};
  if (!is3D) {
    switch (kind & 7) {
      case 1: {
        const Rect2 r{numberField(L, node, "left"), numberField(L, node, "top"), numberField(L, node, "right"),
                      numberField(L, node, "bottom")};
        std::memcpy(dest, &r, sizeof r);
        return;
      }
      case 2:
        vectorField(L, node, "from", 2, f);
        vectorField(L, node, "to", 2, f + 2);
        std::memcpy(dest, f, 4 * sizeof(float));
        return;
      case 3:
        vectorField(L, node, "center", 2, f);
        f[2] = numberField(L, node, "radius");
        std::memcpy(dest, f, 3 * sizeof(float));
        return;
      case 4:
        vectorField(L, node, "point", 2, f);
        std::memcpy(dest, f, 2 * sizeof(float));
        return;
      default:
        return;
    }
  }
  switch (kind & 7) {
    case 1:
      vectorField(L, node, "center", 3, f);
      f[3] = numberField(L, node, "radius");
      std::memcpy(dest, f, 4 * sizeof(float));
      return;
    case 2:
      vectorField(L, node, "from", 3, f);
      vectorField(L, node, "to", 3, f + 3);
      std::memcpy(dest, f, 6 * sizeof(float));
      return;
    case 3:
    case 4:
      vectorField(L, node, "from", 3, f);
      vectorField(L, node, "to", 3, f + 3);
      f[6] = numberField(L, node, "radius");
      std::memcpy(dest, f, 7 * sizeof(float));
      return;
    case 5: {
      TriangleNode t;
      vectorField(L, node, "pt0", 3, f);
      vectorField(L, node, "pt1", 3, f + 3);
      vectorField(L, node, "pt2", 3, f + 6);
      for (int i = 0; i < 3; ++i) t.p[i] = {f[3 * i], f[3 * i + 1], f[3 * i + 2]};
      nodeTriangleNormal(t);
      std::memcpy(dest, &t, sizeof t);
      return;
    }
    default:
      return;
  }
}

void pushShapeObject(lua_State* L, uint32_t kind, bool is3D, const uint8_t* record) {
  static const char* const k2D[8] = {nullptr, "COL.Rect.new", "COL.Line2D.new", "COL.Circle.new", "COL.Point.new"};
  static const char* const k3D[8] = {nullptr,           "COL.Rect.new",     "COL.Line.new",
                                     "COL.Capsule.new", "COL.Cylinder.new", "COL.Polygon.new"};
  const char* name = (is3D ? k3D : k2D)[kind & 7];
  const int top = lua_gettop(L);
  if (!name || !lua_checkstack(L, 8)) {
    lua_pushnil(L);
    return;
  }
  float f[9] = {};
  std::memcpy(f, record, std::min<size_t>(treesync::groupSize(kind, is3D), sizeof f));
  LuaFuncPath(name, 0).push(L, 0);
  int n = 0;
  if (!is3D) {
    switch (kind & 7) {
      case 1:
        for (n = 0; n < 4; ++n) lua_pushnumber(L, f[n]);
        break;
      case 2:
        pushVec(L, f, 2);
        pushVec(L, f + 2, 2);
        n = 2;
        break;
      case 3:
        pushVec(L, f, 2);
        lua_pushnumber(L, f[2]);
        n = 2;
        break;
      default:
        pushVec(L, f, 2);
        n = 1;
        break;
    }
  } else {
    switch (kind & 7) {
      case 1:
        pushVec(L, f, 3);
        lua_pushnumber(L, f[3]);
        n = 2;
        break;
      case 2:
        pushVec(L, f, 3);
        pushVec(L, f + 3, 3);
        n = 2;
        break;
      case 5:
        pushVec(L, f, 3);
        pushVec(L, f + 3, 3);
        pushVec(L, f + 6, 3);
        n = 3;
        break;
      default:
        pushVec(L, f, 3);
        pushVec(L, f + 3, 3);
        lua_pushnumber(L, f[6]);
        n = 3;
        break;
    }
  }
  if (lua_pcall(L, n, 1, 0) != 0) {
    const char* err = lua_tostring(L, -1);
    scriptDebugLog(std::string(name) + " failed: " + (err ? err : "(error object)"));
    lua_settop(L, top);
    lua_pushnil(L);
  }
}

}  // namespace col
