// PlantSphere: a sphere of one colour. The unit-diameter mesh around the origin is
// rebuilt only when the colour or the subdivision changes, the world matrix (scale by the
// diameter, move to the centre) only when the centre or the radius does.
#pragma once
#include <cstdint>
#include <vector>

#include "hud/prim3d/prim3d_common.h"
#include "runtime/math/matrix.h"

class Qeldrin;
class IDTagQ;

namespace prim3d {

// sectors >= 3 and stacks >= 2, with (stacks - 1) * sectors + 2 vertices at most
// kMaxMeshVertices; else false and nothing written.
bool buildSphereMesh(int32_t sectors, int32_t stacks, uint32_t color, std::vector<ColorVtx>& vertices,
                     std::vector<uint16_t>& indices);

}  // namespace prim3d

struct PlantSphere {
  static constexpr uint32_t kMeshBit = 1, kMatrixBit = 2;

  PlantSphere();

  void setCenter(Vec3 c);
  void setColor(Vec3 rgb, float alpha);
  void setRadius(float r);
  // Counts below the least (3 sectors, 2 stacks) are raised to it; a mesh of more than
  // 65536 vertices is refused and the old division kept.
  void setDivision(int32_t sectors, int32_t stacks);

  void update();
  void enqueueDraw(IDTagQ& q);
  void draw(Qeldrin& q) const;

  uint32_t item;
  Vec3 center{0, 0, 0};
  Vec4 color{1, 1, 1, 1};
  float radius = 100.0f;
  int32_t sectors = 8;
  int32_t stacks = 8;
  uint32_t dirty = 0xFFFFFFFFu;
  prim3d::OwnMesh mesh;
  Mat43 world;
};
