#include "hud/prim3d/prim3d_common.h"

namespace prim3d {

namespace {

uint32_t channel(float v) {
  const float scaled = v * 255.0f;
  if (!(scaled > 0.0f)) return 0;  // NaN too
  if (scaled >= 255.0f) return 255;
  return static_cast<uint32_t>(scaled);
}

}  // namespace

uint32_t colorToARGB(const Vec4& c) {
  return (channel(c.w) << 24) | (channel(c.x) << 16) | (channel(c.y) << 8) | channel(c.z);
}

void OwnMesh::uploadVertices() {
  vb.reset();
  if (!vertices.empty()) vb.append(vertices.data(), static_cast<uint32_t>(vertices.size()));
}

void OwnMesh::uploadIndices() {
  ib.reset();
  if (!indices.empty()) ib.append(indices.data(), static_cast<uint32_t>(indices.size()));
}

void OwnMesh::fillKey(DrawKey& key) const {
  DrawKey::setStreams(key, ib.drawRange().bufferId, {vb.drawRange().bufferId});
}

DrawEntry baseEntry(uint32_t item) {
  DrawEntry e;
  e.primType = 4;
  e.item = kesto::HdlBase(item);
  return e;
}

}  // namespace prim3d
