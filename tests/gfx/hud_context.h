// A draw context for "HudVtx" (x, y, z, colour; u, v, alpha) on DeviceMgr's device.
#pragma once
#include <cstdint>

#include "render/device/device_mgr.h"
#include "render/device/draw_context.h"
#include "render/device/prim_batcher.h"
#include "render/effect/fx_data.h"

namespace qxtest {

struct HudPos {
  float x, y, z;
  uint32_t color;
};
struct HudUV {
  float u, v, a;
};

class HudContext : public IDrawContext {
 public:
  explicit HudContext(FxData* fx = nullptr) : fx_(fx) {
    qxgfx::Device* d = DeviceMgr::currentDevice();
    const qxgfx::VertexElement e[] = {
        {0, 0, qxgfx::D3DDECLTYPE_FLOAT3, 0, qxgfx::D3DDECLUSAGE_POSITION, 0},
        {0, 12, qxgfx::D3DDECLTYPE_D3DCOLOR, 0, qxgfx::D3DDECLUSAGE_COLOR, 0},
        {1, 0, qxgfx::D3DDECLTYPE_FLOAT3, 0, qxgfx::D3DDECLUSAGE_TEXCOORD, 0}};
    decl_ = d->createVertexDeclaration(e, 3);
  }
  uint32_t vertexFormatKey() const override { return 2; }
  const uint16_t* streamStrides() const override { return strides_; }
  int32_t drawMode() const override { return 2; }
  void setStream(uint32_t s, uint32_t id, uint32_t offset, uint32_t stride) override {
    qxgfx::Device* d = DeviceMgr::currentDevice();
    d->setStreamSource(s, d->findVertexBuffer(id), offset, stride);
  }
  void setIndices(uint32_t id) override {
    qxgfx::Device* d = DeviceMgr::currentDevice();
    d->setIndices(d->findIndexBuffer(id));
  }
  // As in the application, pending effect values are committed before and after the draw.
  void applyState() override {
    DeviceMgr::currentDevice()->setVertexDeclaration(decl_.get());
    if (fx_) fx_->commit();
  }
  void bindEffectParams() override {
    if (fx_) fx_->commit();
  }

 private:
  FxData* fx_;
  uint16_t strides_[16] = {16, 12};
  qxgfx::Ref<qxgfx::VertexDecl> decl_;
};

// Queues an axis-aligned rectangle in pixels as two triangles.
inline bool submitRect(PrimBatcher& b, IDrawContext& ctx, float l, float t, float r, float bot, uint32_t color,
                       float alpha = 1.0f, float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
  const HudPos pos[4] = {{l, t, 0, color}, {r, t, 0, color}, {r, bot, 0, color}, {l, bot, 0, color}};
  const HudUV uv[4] = {{u0, v0, alpha}, {u1, v0, alpha}, {u1, v1, alpha}, {u0, v1, alpha}};
  static const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
  IdxCopy idx(quad);
  const void* streams[2] = {pos, uv};
  return b.submit(qxgfx::D3DPT_TRIANGLELIST, streams, 2, ctx, 4, 2, idx);
}

}  // namespace qxtest
