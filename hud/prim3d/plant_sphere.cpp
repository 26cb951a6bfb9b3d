#include "hud/prim3d/plant_sphere.h"

#include <algorithm>
#include <cmath>

#include "app/qeldrin/qeldrin.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_report.h"

namespace prim3d {

bool buildSphereMesh(int32_t n, int32_t m, uint32_t color, std::vector<ColorVtx>& vertices,
                     std::vector<uint16_t>& indices) {
  if (n < 3 || m < 2) return false;
  const int64_t count = int64_t(m - 1) * n + 2;
  if (count > int64_t(kMaxMeshVertices)) return false;
  const size_t V = size_t(count);
  vertices.assign(V, ColorVtx{});
  indices.clear();
  indices.reserve(size_t(6) * size_t(n) * size_t(std::max(m - 2, 0) + 1));

  for (ColorVtx& v : vertices) v.color = color;
  vertices[0].pos = {0, 0.5f, 0};
  vertices[0].normal = {0, 1, 0};
  const double pi = std::atan(1.0) * 4.0;
  const float step = float(pi / m);
  const float around = k2Pi / float(n);
  float theta = step;
  size_t at = 1;
  for (int32_t ring = 0; ring < m - 1; ++ring) {
    const float y = 0.5f * float(std::cos(double(theta)));
    const float r = 0.5f * float(std::sin(pi - double(theta)));
    float phi = 0;
    for (int32_t k = 0; k < n; ++k, ++at) {
      const Vec3 p{r * float(std::sin(double(phi))), y, r * float(std::cos(double(phi)))};
      vertices[at].pos = p;
      vertices[at].normal = vec3Normalize(p);
      phi += around;
    }
    theta += step;
  }
  vertices[V - 1].pos = {0, -0.5f, 0};
  vertices[V - 1].normal = {0, -1, 0};

  auto tri = [&](int64_t a, int64_t b, int64_t c) {
    indices.push_back(uint16_t(a));
    indices.push_back(uint16_t(b));
    indices.push_back(uint16_t(c));
  };
  for (int32_t i = 0; i < n; ++i) tri(0, i + 1, (i + 1) % n + 1);
  int64_t b = 1;
  for (int32_t band = 0; band < m - 2; ++band, b += n) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t j = (i + 1) % n;
      tri(b + i, b + n + i, b + j);
      tri(b + j, b + n + i, b + n + j);
    }
  }
  b = 1 + int64_t(m - 2) * n;
  for (int32_t i = 0; i < n; ++i) tri(b + i, b + n, b + (i + 1) % n);
  return true;
}

}  // namespace prim3d

PlantSphere::PlantSphere() : item(MemMgrBase::threadCurrentHandle()) {}

void PlantSphere::setCenter(Vec3 c) {
  center = c;
  dirty |= kMatrixBit;
}

void PlantSphere::setColor(Vec3 rgb, float alpha) {
  color = Vec4(rgb, alpha);
  dirty |= kMeshBit;
}

void PlantSphere::setRadius(float r) {
  radius = r;
  dirty |= kMatrixBit;
}

void PlantSphere::setDivision(int32_t n, int32_t m) {
  n = std::max(n, 3);
  m = std::max(m, 2);
  if (int64_t(m - 1) * n + 2 > int64_t(prim3d::kMaxMeshVertices)) {
    scriptDebugLog("PlantSphere:setDivision: more than 65536 vertices; the division is kept");
    return;
  }
  sectors = n;
  stacks = m;
  dirty |= kMeshBit;
}

void PlantSphere::update() {
  if (dirty & kMeshBit) {
    prim3d::buildSphereMesh(sectors, stacks, prim3d::colorToARGB(color), mesh.vertices, mesh.indices);
    mesh.uploadVertices();
    mesh.uploadIndices();
  }
  if (dirty & kMatrixBit) {
    const float d = 2.0f * radius;
    world = Mat43{};
    world.m[0] = world.m[4] = world.m[8] = d;
    world.setTranslation(center.x, center.y, center.z);
  }
  dirty = 0;
}

void PlantSphere::enqueueDraw(IDTagQ& q) {
  update();
  DrawEntry e = prim3d::baseEntry(item);
  e.transparency = 1;
  mesh.fillKey(e.key);
  e.distance = std::sqrt(distanceSquared3(q.eyePosition(), center));
  q.addEntry(e);
}

void PlantSphere::draw(Qeldrin& q) const {
  q.setWorldMatrix(world.m);
  q.setStream(0, mesh.vb.vertexBuffer());
  q.setIndexBuffer(mesh.ib.indexBuffer());
  q.drawIndexedTriangles(uint32_t(mesh.vertices.size()), uint32_t(mesh.indices.size() / 3));
}
