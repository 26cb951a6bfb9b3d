#include "hud/prim3d/hud_ray.h"

#include <algorithm>
#include <cmath>

#include "app/qeldrin/qeldrin.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_report.h"

namespace prim3d {

namespace {

// Never given a zero vector: every profile normal points outward with a positive y.
Vec2 normalize2(Vec2 v) { return v * (1.0f / std::sqrt(dot(v, v))); }

}  // namespace

bool buildRayMesh(int32_t n, int32_t m, float p, std::vector<ColorVtx>& vertices, std::vector<uint16_t>& indices) {
  if (n < 1 || m < 2 || int64_t(n) * m > int64_t(kMaxMeshVertices)) return false;
  const int32_t half = m / 2;
  const int32_t K = half + 1;
  const float dz = 1.0f / float(m - 1);
  const float alpha = float(std::atan(1.0) * 8.0 / n);
  const double s = std::sqrt(0.5);

  std::vector<float> rho(static_cast<size_t>(K)), z(static_cast<size_t>(m)), a(static_cast<size_t>(K), 0.0f);
  float acc = 0;
  for (int32_t j = 0; j < m; ++j, acc += dz) z[size_t(j)] = acc;
  for (int32_t j = 0; j < K; ++j) {
    const double t = double(K - 1 - j) / double(K - 1);
    rho[size_t(j)] = float(p + (1.0 - p) * (1.0 - (t * s) * (t * s)) / s);
  }
  const float quarter = float(std::atan(1.0) * 2.0);
  const float c = std::cos(quarter), sn = std::sin(quarter);
  Vec2 q{0, 0};
  for (int32_t j = 0; j + 1 < K; ++j) {
    const Vec2 e{0.5f, rho[size_t(j) + 1] - rho[size_t(j)]};
    const Vec2 nrm = normalize2({c * e.x - sn * e.y, sn * e.x + c * e.y});
    a[size_t(j)] = normalize2(nrm + q).x;
    q = nrm;
  }

  vertices.resize(size_t(m) * size_t(n));
  for (int32_t j = 0; j < K; ++j) {
    const float w = std::sqrt(std::max(0.0f, 1.0f - a[size_t(j)] * a[size_t(j)]));
    float phi = 0;
    for (int32_t k = 0; k < n; ++k, phi += alpha) {
      const float dx = -std::sin(phi), dy = std::cos(phi);
      ColorVtx& v = vertices[size_t(j) * size_t(n) + size_t(k)];
      v.pos = {rho[size_t(j)] * dx, rho[size_t(j)] * dy, z[size_t(j)]};
      v.normal = {w * dx, w * dy, a[size_t(j)]};
    }
  }
  for (int32_t j = K; j < m; ++j) {
    const int32_t from = 2 * half - j;
    for (int32_t k = 0; k < n; ++k) {
      const ColorVtx& src = vertices[size_t(from) * size_t(n) + size_t(k)];
      ColorVtx& v = vertices[size_t(j) * size_t(n) + size_t(k)];
      v.pos = {src.pos.x, src.pos.y, z[size_t(j)]};
      v.normal = {src.normal.x, src.normal.y, -src.normal.z};
    }
  }

  indices.clear();
  indices.reserve(size_t(6) * size_t(n) * size_t(m - 1));
  for (int32_t r = 0; r + 1 < m; ++r) {
    const int32_t b = r * n;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t i2 = (i + 1) % n;
      for (int32_t x : {b + i, b + i2, b + n + i, b + n + i, b + i2, b + n + i2}) indices.push_back(uint16_t(x));
    }
  }
  return true;
}

void colorRayMesh(const Vec4& color, std::vector<ColorVtx>& vertices) {
  const uint32_t rgb = colorToARGB(color) & 0x00FFFFFFu;
  for (ColorVtx& v : vertices) {
    const float f = (0.5f - std::fabs(v.pos.z - 0.5f)) * color.w * 255.0f;
    const uint32_t a = f > 0.0f ? (f >= 255.0f ? 255u : uint32_t(f)) : 0u;
    v.color = rgb | (a << 24);
  }
}

Mat43 placeRay(const Vec3& start, const Vec3& end, float radius) {
  const Vec3 d = end - start;
  const float L = length(d);
  const Vec3 z = L > 0.0f ? d * (1.0f / L) : Vec3{0, 0, 1};
  Vec3 side = cross(z, Vec3{0, 1, 0});
  if (lengthSquared(side) < 0.0001f) side = cross(z, Vec3{1, 0, 0});
  const Vec3 x = vec3Normalize(side);
  const Vec3 y = cross(x, z);
  Mat43 m;
  const Vec3 rows[3] = {x * radius, y * radius, z * L};
  for (int r = 0; r < 3; ++r) {
    m.m[r * 3] = rows[r].x;
    m.m[r * 3 + 1] = rows[r].y;
    m.m[r * 3 + 2] = rows[r].z;
  }
  m.setTranslation(start.x, start.y, start.z);
  return m;
}

}  // namespace prim3d

HUDRay::HUDRay() : item(MemMgrBase::threadCurrentHandle()) {}

void HUDRay::setPos(Vec3 s, Vec3 e) {
  start = s;
  end = e;
  dirty |= kPlaceBit;
}

void HUDRay::setColor(Vec3 rgb, float alpha) {
  color = Vec4(rgb, alpha);
  dirty |= kColorBit;
}

void HUDRay::setRadius(float r, float p, float t) {
  radius = r;
  shape = p;
  third = t;
  dirty |= kMeshBit | kPlaceBit;
}

void HUDRay::setDivision(int32_t n, int32_t m) {
  n = std::max(n, 1);
  m = std::max(m, 2);
  if (int64_t(n) * m > int64_t(prim3d::kMaxMeshVertices)) {
    scriptDebugLog("HUDRay:setDivision: more than 65536 vertices; the division is kept");
    return;
  }
  sectors = n;
  rings = m;
  dirty |= kMeshBit;
}

void HUDRay::update() {
  if (dirty & kMeshBit) {
    prim3d::buildRayMesh(sectors, rings, shape, mesh.vertices, mesh.indices);
    mesh.uploadIndices();
  }
  if (dirty & kPlaceBit) world = prim3d::placeRay(start, end, radius);
  if (dirty & (kMeshBit | kColorBit)) {
    prim3d::colorRayMesh(color, mesh.vertices);
    mesh.uploadVertices();
  }
  dirty = 0;
}

void HUDRay::enqueueDraw(IDTagQ& q) {
  update();
  if (!mesh.hasDeviceBuffer()) return;
  DrawEntry e = prim3d::baseEntry(item);
  mesh.fillKey(e.key);
  q.addEntry(e);
}

void HUDRay::draw(Qeldrin& q) {
  update();
  q.setWorldMatrix(world.m);
  q.setStream(0, mesh.vb.vertexBuffer());
  q.setIndexBuffer(mesh.ib.indexBuffer());
  q.drawIndexedTriangles(uint32_t(mesh.vertices.size()), uint32_t(mesh.indices.size() / 3));
}
