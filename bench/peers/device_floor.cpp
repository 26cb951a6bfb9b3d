#include "bench/peers/device_floor.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"

namespace peer {
namespace {

using namespace qxgfx;

struct Vertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

const char* kVertex = R"(#version 330 core
layout(location = 0) in vec3 inPos;
layout(location = 2) in vec4 inColor;
layout(location = 4) in vec2 inUV;
out vec4 vColor;
out vec2 vUV;
void main() {
  vec2 s = inPos.xy / vec2(640.0, 480.0);
  gl_Position = vec4(s.x * 2.0 - 1.0, 1.0 - s.y * 2.0, 0.0, 1.0);
  vColor = inColor;
  vUV = inUV;
}
)";

const char* kFragment = R"(#version 330 core
uniform sampler2D diffuse;
in vec4 vColor;
in vec2 vUV;
layout(location = 0) out vec4 colour;
void main() { colour = texture(diffuse, vUV) * vColor; }
)";

Ref<Texture> plainTexture(Device& d, int side, uint32_t argb) {
  Ref<Texture> t = d.createTexture(uint32_t(side), uint32_t(side), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  LockedRect r;
  if (!t || !t->lockRect(0, r, nullptr, 0)) return nullptr;
  for (int y = 0; y < side; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(r.bits) + size_t(y) * size_t(r.pitch));
    for (int x = 0; x < side; ++x) row[x] = argb;
  }
  t->unlockRect(0);
  return t;
}

double drawFloor(const Row& row, SDL_Window* window, std::string& why) {
  GLDeviceParams params;
  params.sdlWindow = window;
  Ref<Device> d = createGLDevice(params, &why);
  if (!d) return -1;
  ProgramSource src{kVertex, kFragment, {UniformDecl{"diffuse", UniformType::Sampler2D}}};
  Ref<Program> program = d->createProgram(src, &why);
  if (!program) return -1;
  const int32_t unit = 0;
  program->setUniform(0, &unit);

  // Quads grouped by texture, so each texture draws with one call.
  const std::vector<float> xy = positions(row.quads);
  const std::vector<uint32_t> tex = textureChoices(row.quads, row.textures);
  std::vector<Vertex> vertices;
  std::vector<uint32_t> indices, groupStart(size_t(row.textures) + 1, 0);
  for (int t = 0; t < row.textures; ++t) {
    groupStart[size_t(t)] = uint32_t(indices.size());
    for (int i = 0; i < row.quads; ++i) {
      if (tex[size_t(i)] != uint32_t(t)) continue;
      const float x = xy[2 * size_t(i)], y = xy[2 * size_t(i) + 1], s = float(row.side);
      const auto base = uint32_t(vertices.size());
      vertices.push_back({x, y, 0, 0xFFFFFFFF, 0, 0});
      vertices.push_back({x + s, y, 0, 0xFFFFFFFF, 1, 0});
      vertices.push_back({x + s, y + s, 0, 0xFFFFFFFF, 1, 1});
      vertices.push_back({x, y + s, 0, 0xFFFFFFFF, 0, 1});
      for (uint32_t k : {0u, 1u, 2u, 0u, 2u, 3u}) indices.push_back(base + k);
    }
  }
  groupStart[size_t(row.textures)] = uint32_t(indices.size());

  const auto vbytes = uint32_t(vertices.size() * sizeof(Vertex));
  const auto ibytes = uint32_t(indices.size() * sizeof(uint32_t));
  Ref<VertexBuffer> vb = d->createVertexBuffer(vbytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT);
  Ref<IndexBuffer> ib = d->createIndexBuffer(ibytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_DEFAULT);
  void* p = vb ? vb->lock(0, 0, 0) : nullptr;
  void* q = ib ? ib->lock(0, 0, 0) : nullptr;
  if (!p || !q) {
    why = "no static buffers";
    return -1;
  }
  std::memcpy(p, vertices.data(), vbytes);
  std::memcpy(q, indices.data(), ibytes);
  vb->unlock();
  ib->unlock();

  const VertexElement decl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                {0, 16, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0}};
  Ref<VertexDecl> vd = d->createVertexDeclaration(decl, 3);
  std::vector<Ref<Texture>> textures;
  for (int t = 0; t < row.textures; ++t) textures.push_back(plainTexture(*d, row.side, textureColour(t)));
  if (!vd || !textures.back()) {
    why = "no declaration or texture";
    return -1;
  }
  d->setVertexDeclaration(vd.get());
  d->setStreamSource(0, vb.get(), 0, sizeof(Vertex));
  d->setIndices(ib.get());
  d->setProgram(program.get());
  d->setRenderState(D3DRS_ZENABLE, 0);
  d->setRenderState(D3DRS_ZWRITEENABLE, 0);
  d->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->setRenderState(D3DRS_ALPHABLENDENABLE, 1);
  d->setRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  d->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  d->setSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  d->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  d->setSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);

  std::chrono::steady_clock::time_point start;
  for (int frame = 0; frame < kWarmUp + kFrames; ++frame) {
    if (frame == kWarmUp) start = std::chrono::steady_clock::now();
    d->beginScene();
    d->clear(0, nullptr, D3DCLEAR_TARGET, kClear, 1.0f, 0);
    for (int t = 0; t < row.textures; ++t) {
      const uint32_t first = groupStart[size_t(t)], count = groupStart[size_t(t) + 1] - first;
      if (count == 0) continue;
      d->setTexture(0, textures[size_t(t)].get());
      d->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, uint32_t(vertices.size()), first, count / 3);
    }
    d->endScene();
    d->present();
  }
  return kFrames / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// On a window of the engine's size, as the engine draws, made by the UI thread.
double floorOnWindow(const Row& row, std::string& why) {
  qxplat::WindowSpec spec;
  spec.clientWidth = kWidth;
  spec.clientHeight = kHeight;
  spec.title = "floor";
  qxplat::Window* w = qxplat::uiCreateWindow(spec);
  if (!w) {
    why = "no window";
    return -1;
  }
  const double fps = drawFloor(row, w->sdlWindow(), why);
  qxplat::uiCloseWindow(w);
  return fps;
}

}  // namespace

double runFloor(const Row& row, std::string& why) {
  if (qxplat::uiThreadId() != 0) return floorOnWindow(row, why);
  double fps = -1;
  qxplat::runUiThread([&](uint32_t) { fps = floorOnWindow(row, why); });
  return fps;
}

}  // namespace peer
