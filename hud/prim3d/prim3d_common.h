// What the 3D HUD primitives share: their vertex layouts, the colour packing, and the
// pair of device buffers that the sphere and the ray keep their mesh in.
#pragma once
#include <cstdint>
#include <vector>

#include "render/device/dyn_buffer.h"
#include "render/draw/draw_entry.h"
#include "runtime/math/vec.h"

namespace prim3d {

// "RayVtx": position, unit normal in the mesh's own coordinates, A8R8G8B8 colour.
struct ColorVtx {
  Vec3 pos;
  Vec3 normal;
  uint32_t color = 0;
};
static_assert(sizeof(ColorVtx) == 28);

// "MatPVtx": position, tiled texture coordinate, plain texture coordinate.
struct MatPVtx {
  Vec3 pos;
  float tu = 0, tv = 0;
  float u = 0, v = 0;
};
static_assert(sizeof(MatPVtx) == 28);

// "HudVtx", the two streams of a ribbon: position and colour; u, v and alpha.
struct RibbonPos {
  Vec3 pos;
  uint32_t color = 0xFFFFFFFFu;
};
struct RibbonUV {
  float u = 0, v = 0, a = 1.0f;
};
static_assert(sizeof(RibbonPos) == 16 && sizeof(RibbonUV) == 12);

// Meshes index their vertices with 16 bits.
constexpr uint32_t kMaxMeshVertices = 65536;

inline constexpr float kPi = 3.14159265358979323846f;
inline constexpr float k2Pi = kPi * 2.0f;

// Each channel times 255, truncated toward zero and clamped to 0..255, as
// (a << 24) | (r << 16) | (g << 8) | b.
uint32_t colorToARGB(const Vec4& c);

// A mesh in its own device buffers, uploaded whole (each upload starts the buffer anew,
// since the draw reads from element 0).
struct OwnMesh {
  OwnMesh() { vb.setStride(sizeof(ColorVtx)); }
  TP_Vert vb;
  TP_Index ib;
  std::vector<ColorVtx> vertices;
  std::vector<uint16_t> indices;

  void uploadVertices();
  void uploadIndices();
  bool hasDeviceBuffer() const { return vb.vertexBuffer() != nullptr; }
  // The own-buffer form of a draw entry over these buffers.
  void fillKey(DrawKey& key) const;
};

// The entry every primitive starts from: triangle list, the item handle, the rest zero.
DrawEntry baseEntry(uint32_t item);

}  // namespace prim3d
