#include "hud/prim3d/prim3d_common.h"

#include "render/device/device_mgr.h"
#include "script/lua/script_report.h"

namespace prim3d {

namespace {

uint32_t channel(float v) {
  const float scaled = v * 255.0f;
  if (!(scaled > 0.0f)) return 0;  // NaN too
  if (scaled >= 255.0f) return 255;
  return static_cast<uint32_t>(scaled);
}

// Without a device there is nothing to upload to (the mesh is still built); a device
// that refuses the buffer is reported.
void upload(ITP_Base& buffer, const void* data, size_t count, const char* what) {
  buffer.reset();
  if (count == 0 || !DeviceMgr::currentDevice()) return;
  if (!buffer.append(data, static_cast<uint32_t>(count))) {
    scriptDebugLog(std::string("3D HUD primitive: the device refused the ") + what + " buffer");
  }
}

}  // namespace

uint32_t colorToARGB(const Vec4& c) {
  return (channel(c.w) << 24) | (channel(c.x) << 16) | (channel(c.y) << 8) | channel(c.z);
}

void OwnMesh::uploadVertices() { upload(vb, vertices.data(), vertices.size(), "vertex"); }

void OwnMesh::uploadIndices() { upload(ib, indices.data(), indices.size(), "index"); }

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
