// PolyLineS and PolyLineTR: textured ribbons that turn their face to the eye, with a cap
// quad at each end. PolyLineS spans two points; PolyLineTR follows a spline through a
// bounded trail of pushed points (the oldest drops out). Texture and the three texture
// rectangles (begin cap, end cap, body) come from the slots "begin", "end" and "line"
// of a sprite animation. Both rebuild their vertices in every draw.
#pragma once
#include <cstdint>
#include <deque>
#include <span>
#include <string_view>
#include <vector>

#include "hud/prim3d/prim3d_common.h"
#include "render/texture/texture_mgr.h"
#include "scene/anim/anim_mgr.h"

class Qeldrin;
class IDTagQ;

namespace prim3d {

// Texture rectangles (ua, va, ub, vb).
struct RibbonRects {
  Vec4 begin{}, end{}, line{};
};

// Vertices a ribbon over c points may need.
constexpr size_t ribbonCapacity(size_t c) { return 2 * c + 13; }

// The vertices buildRibbon gives for these points: 0 for fewer than two points or a
// short line whose last segment has no length, 12 for a line whose path is no longer
// than its width (two caps that meet), 2c + 13 otherwise (body and caps).
uint32_t ribbonVertexCount(float w, std::span<const Vec3> points);

// Writes the strip of a ribbon of width w over the points, seen from eye, into a and b
// (each of ribbonCapacity(points.size()) elements) and gives the vertex count
// (ribbonVertexCount).
uint32_t buildRibbon(const Vec3& eye, float w, std::span<const Vec3> points, const RibbonRects& rects, RibbonPos* a,
                     RibbonUV* b);

}  // namespace prim3d

// What both ribbons take from their animation.
struct RibbonSource {
  AnimHdl animation;
  TextureMgr::TexHandle texture;
  prim3d::RibbonRects rects;

  // Loads the animation of that name; a name that gives none changes nothing.
  void load(std::string_view name);
};

struct PolyLineS {
  PolyLineS();

  void setPos(Vec3 s, Vec3 e) {
    start = s;
    end = e;
  }
  void setWidth(float w) { width = w; }
  void setSrc(std::string_view name) { source.load(name); }
  void setZOffset(float z) { zOffset = z; }
  void setAlpha(float a) { alpha = a; }

  uint32_t build(const Vec3& eye);
  void enqueueDraw(IDTagQ& q) const;
  void setMaterial(Qeldrin& q) const;
  void draw(Qeldrin& q);

  uint32_t item;
  RibbonSource source;
  Vec3 start{0, 0, 0};
  Vec3 end{0, 0, 0};
  float width = 10.0f;
  float zOffset = 0.0f;
  float alpha = 1.0f;
  prim3d::RibbonPos streamA[17];
  prim3d::RibbonUV streamB[17];
  uint32_t vertexCount = 0;
};

struct PolyLineTR {
  PolyLineTR();

  void pushPos(Vec3 p);
  // Drops the oldest points until at most n remain and makes n the limit; a negative n
  // counts as 0.
  void setNVtx(int32_t n);
  void clear() { points.clear(); }
  void setWidth(float w) { width = w; }
  void setSrc(std::string_view name) { source.load(name); }
  void setZOffset(float z) { zOffset = z; }
  void setAlpha(float a) { alpha = a; }
  void setDivDist(float step) {
    divStep = step;
    divCount = 0;
  }
  void setDivision(int32_t n) { divCount = n; }

  uint32_t build(const Vec3& eye);
  void enqueueDraw(IDTagQ& q) const;
  void setMaterial(Qeldrin& q) const;
  void draw(Qeldrin& q);

  uint32_t item;
  RibbonSource source;
  float width = 10.0f;
  float zOffset = 0.0f;
  float alpha = 1.0f;
  int32_t limit = 16;
  std::deque<Vec3> points;
  float divStep = 100000.0f;
  int32_t divCount = 0;
  std::vector<Vec3> spline;
  std::vector<prim3d::RibbonPos> streamA;
  std::vector<prim3d::RibbonUV> streamB;
  uint32_t vertexCount = 0;
};
