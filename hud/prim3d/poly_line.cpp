#include "hud/prim3d/poly_line.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>

#include "app/qeldrin/qeldrin.h"
#include "platform/core/utf.h"
#include "runtime/math/spline.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/script_report.h"

namespace prim3d {

namespace {

// The cap quad at anchor q, pointing away from inner point a.
void capQuad(const Vec3& q, const Vec3& a, const Vec3& eye, float w, const Vec4& r, RibbonPos* pos, RibbonUV* uv) {
  const Vec3 out = vec3Normalize(q - a);
  const Vec3 along = out * (w * 0.5f);
  const Vec3 across = vec3Normalize(cross(eye - a, out)) * (w * 0.5f);
  pos[0].pos = q + along - across;
  pos[1].pos = q + along + across;
  pos[2].pos = q - along - across;
  pos[3].pos = q - along + across;
  uv[0] = {r.x, r.w, 1.0f};
  uv[1] = {r.x, r.y, 1.0f};
  uv[2] = {r.z, r.w, 1.0f};
  uv[3] = {r.z, r.y, 1.0f};
}

void copyVertex(RibbonPos* a, RibbonUV* b, size_t to, size_t from) {
  a[to] = a[from];
  b[to] = b[from];
}

void body(const Vec3& eye, float w, std::span<const Vec3> p, const Vec4& r, RibbonPos* a, RibbonUV* b) {
  const size_t c = p.size();
  const float du = (r.z - r.x) / float(c - 1);
  float u = r.x;
  Vec3 t{}, sPrev{};
  for (size_t i = 0; i < c; ++i, u += du) {
    Vec3 m = p[i];
    if (i + 1 < c) {
      const Vec3 seg = p[i + 1] - p[i];
      if (lengthSquared(seg) > 0.0f) t = vec3Normalize(seg);
      m = (p[i] + p[i + 1]) * 0.5f;
    }
    const Vec3 facing = cross(t, eye - m);
    Vec3 s = lengthSquared(facing) > 0.0f ? vec3Normalize(facing) : sPrev;
    if (i > 0 && dot(s, sPrev) < 0.0f) s = -s;
    const Vec3 offset = vec3Normalize(s + sPrev) * (w * 0.5f);
    sPrev = s;
    a[2 * i].pos = p[i] - offset;
    b[2 * i] = {u, r.w, 1.0f};
    a[2 * i + 1].pos = p[i] + offset;
    b[2 * i + 1] = {u, r.y, 1.0f};
  }
}

// The path's length, and whether it makes the line long: longer than the width. The
// sum of the squared steps never exceeds the path's square, so a line long by that sum is
// long by its path too; it is kept beside the path so that float rounding of the roots
// never turns such a line (a two-point line just past its width) short.
bool longPath(float w, std::span<const Vec3> p, float& path) {
  float squares = 0;
  path = 0;
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    const float step = lengthSquared(p[i + 1] - p[i]);
    squares += step;
    path += std::sqrt(step);
    if (squares > w * w || path > w) return true;
  }
  return false;
}

// The vertex count (0, 12 short, 2c + 13 long) and the path's length.
uint32_t ribbonShape(float w, std::span<const Vec3> p, float& path) {
  const size_t c = p.size();
  path = 0;
  if (c < 2) return 0;
  if (longPath(w, p, path)) return uint32_t(std::min<size_t>(ribbonCapacity(c), UINT32_MAX));
  return lengthSquared(p[c - 1] - p[c - 2]) < 0.00001f ? 0 : 12;
}

}  // namespace

uint32_t ribbonVertexCount(float w, std::span<const Vec3> p) {
  float path = 0;
  return ribbonShape(w, p, path);
}

uint32_t buildRibbon(const Vec3& eye, float w, std::span<const Vec3> p, const RibbonRects& rects, RibbonPos* a,
                     RibbonUV* b) {
  const size_t c = p.size();
  float path = 0;
  const uint32_t count = ribbonShape(w, p, path);
  if (count == 0) return 0;
  for (size_t i = 0; i < ribbonCapacity(c); ++i) a[i].color = 0xFFFFFFFFu;
  size_t first = 0;
  Vec3 endAnchor = p[c - 1];
  if (count > 12) {
    body(eye, w, p, rects.line, a, b);
    copyVertex(a, b, 2 * c, 2 * c - 1);
    first = 2 * c + 1;
  } else {
    // The end cap moves on along the last step until the caps meet.
    endAnchor = p[c - 1] + vec3Normalize(p[c - 1] - p[c - 2]) * (w - path);
  }
  capQuad(p[0], p[1], eye, w, rects.begin, a + first + 1, b + first + 1);
  copyVertex(a, b, first, first + 1);
  copyVertex(a, b, first + 5, first + 4);
  RibbonPos* e = a + first + 7;
  capQuad(endAnchor, p[c - 2], eye, w, rects.end, e, b + first + 7);
  std::swap(e[0].pos, e[3].pos);
  std::swap(e[1].pos, e[2].pos);
  copyVertex(a, b, first + 6, first + 7);
  copyVertex(a, b, first + 11, first + 10);
  return uint32_t(first + 12);
}

}  // namespace prim3d

void RibbonSource::load(std::string_view name) {
  AnimMgr* anims = AnimMgr::instance();
  if (!anims) return;
  AnimHdl h = std::move(anims->acquireByName(qcore::utf8ToUtf16(name)).handle);
  if (!h.isValid()) {
    scriptDebugLog("ribbon setSrc: no animation \"" + std::string(name) + "\"");
    return;
  }
  kesto::HdlLock<AnimHdl> lock(h, kesto::HdlLock<AnimHdl>::kShared);
  if (!lock) return;
  const Animation& anim = *lock;
  if (anim.slotCount() == 0) {
    // Nothing to take rectangles or a texture from: the ribbon is left without a source.
    scriptDebugLog("ribbon setSrc: the animation \"" + std::string(name) + "\" has no slots");
    animation.reset();
    texture.reset();
    return;
  }
  Vec4* targets[3] = {&rects.begin, &rects.end, &rects.line};
  const char* slots[3] = {"begin", "end", "line"};
  for (int i = 0; i < 3; ++i) {
    const AnimSlot& slot = anim.slotAt(anim.findSlot(slots[i]));
    if (slot.rect) slot.rect->get(0, targets[i]->x, targets[i]->y, targets[i]->z, targets[i]->w);
  }
  texture = anim.slotAt(0).texture;
  animation = h;
}

namespace {

DrawEntry ribbonEntry(uint32_t item, const TextureMgr::TexHandle& texture) {
  DrawEntry e = prim3d::baseEntry(item);
  DrawKey::init(e.key, 2, 0);
  e.textures[0] = kesto::HdlBase(texture.value);
  return e;
}

}  // namespace

PolyLineS::PolyLineS() : item(MemMgrBase::threadCurrentHandle()) {}

uint32_t PolyLineS::build(const Vec3& eye) {
  const Vec3 pts[2] = {start, end};
  vertexCount = prim3d::buildRibbon(eye, width, pts, source.rects, streamA, streamB);
  for (uint32_t i = 0; i < vertexCount; ++i) streamB[i].a = alpha;
  return vertexCount;
}

void PolyLineS::enqueueDraw(IDTagQ& q) const { q.addEntry(ribbonEntry(item, source.texture)); }

void PolyLineS::setMaterial(Qeldrin& q) const { q.setParamTexture("diffuse", source.texture.value); }

void PolyLineS::draw(Qeldrin& q) {
  build(q.eyePosition());
  const void* streams[2] = {streamA, streamB};
  q.drawStrip(vertexCount, streams);
}

PolyLineTR::PolyLineTR() : item(MemMgrBase::threadCurrentHandle()) {}

void PolyLineTR::pushPos(Vec3 p) {
  const size_t most = size_t(limit < 1 ? 1 : limit);
  while (!points.empty() && points.size() >= most) points.pop_front();
  points.push_back(p);
}

void PolyLineTR::setNVtx(int32_t n) {
  if (n < 0) n = 0;
  while (points.size() > size_t(n)) points.pop_front();
  limit = n;
}

uint32_t PolyLineTR::build(const Vec3& eye) {
  const std::vector<Vec3> control(points.begin(), points.end());
  spline.clear();
  if (divCount < 1) {
    subdividePolylineByStep(spline, divStep, control);
  } else {
    subdividePolylineByCount(spline, divCount, control);
  }
  if (prim3d::ribbonVertexCount(width, spline) > prim3d::kMaxMeshVertices) {
    // The batcher would refuse it whole: nothing is built.
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
      scriptDebugLog("PolyLineTR: a trail of " + std::to_string(spline.size()) +
                     " smoothed points needs more than 65536 vertices and is not drawn");
    vertexCount = 0;
    return 0;
  }
  streamA.resize(prim3d::ribbonCapacity(spline.size()));
  streamB.resize(streamA.size());
  vertexCount = prim3d::buildRibbon(eye, width, spline, source.rects, streamA.data(), streamB.data());
  return vertexCount;
}

void PolyLineTR::enqueueDraw(IDTagQ& q) const {
  if (points.size() >= 2) q.addEntry(ribbonEntry(item, source.texture));
}

void PolyLineTR::setMaterial(Qeldrin& q) const { q.setParamTexture("diffuse", source.texture.value); }

void PolyLineTR::draw(Qeldrin& q) {
  build(q.eyePosition());
  const void* streams[2] = {streamA.data(), streamB.data()};
  q.drawStrip(vertexCount, streams);
}
