// HUDRay: a tube from one point to another whose radius follows a bulge profile and
// whose alpha fades to 0 at both ends. The unit mesh (axis along z from 0 to 1), its
// colours and its placement are each rebuilt only when a setter asked for it.
#pragma once
#include <cstdint>
#include <vector>

#include "hud/prim3d/prim3d_common.h"
#include "runtime/math/matrix.h"

class Qeldrin;
class IDTagQ;

namespace prim3d {

// sectors >= 1 and rings >= 2 with rings * sectors at most kMaxMeshVertices; else false
// and nothing written. Colours are left as they are.
bool buildRayMesh(int32_t sectors, int32_t rings, float shape, std::vector<ColorVtx>& vertices,
                  std::vector<uint16_t>& indices);
// The colour on every vertex, its alpha fading from the middle (z = 0.5) to both ends.
void colorRayMesh(const Vec4& color, std::vector<ColorVtx>& vertices);
// Maps the mesh's z = 0 end onto start and z = 1 onto end, the cross-section scaled by
// radius. Equal points give a tube of length 0 along z.
Mat43 placeRay(const Vec3& start, const Vec3& end, float radius);

}  // namespace prim3d

struct HUDRay {
  static constexpr uint32_t kMeshBit = 1, kColorBit = 2, kPlaceBit = 4;

  HUDRay();

  void setPos(Vec3 s, Vec3 e);
  void setColor(Vec3 rgb, float alpha);
  void setRadius(float r, float shape, float third);
  // Counts below the least (1 sector, 2 rings) are raised to it; a mesh of more than
  // 65536 vertices is refused and the old division kept.
  void setDivision(int32_t sectors, int32_t rings);

  void update();
  void enqueueDraw(IDTagQ& q);
  void draw(Qeldrin& q);

  uint32_t item;
  Vec3 start{-50, 0, 0};
  Vec3 end{50, 0, 0};
  Vec4 color{1, 1, 1, 1};
  float radius = 50.0f;
  float shape = 1.5f;
  float third = 0.5f;
  int32_t sectors = 12;
  int32_t rings = 8;
  prim3d::OwnMesh mesh;
  Mat43 world;
  uint32_t dirty = kMeshBit | kColorBit | kPlaceBit;
};
