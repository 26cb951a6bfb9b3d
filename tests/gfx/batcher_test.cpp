// The primitive batcher against a fake draw context and the recording device.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "render/device/prim_batcher.h"
#include "tests/gfx/rec_fixture.h"

using namespace qxgfx;

namespace {

// Stands in for the application object: one format key, strides, a mode, and the
// stream state it would hand to the device.
class FakeContext : public IDrawContext {
 public:
  uint32_t format = 2;
  uint16_t strides[16] = {16, 12};
  int32_t mode = 2;
  uint32_t streamIds[16] = {};
  uint32_t streamStride[16] = {};
  uint32_t indexId = 0;
  int applies = 0;
  int binds = 0;

  uint32_t vertexFormatKey() const override { return format; }
  const uint16_t* streamStrides() const override { return strides; }
  int32_t drawMode() const override { return mode; }
  void setStream(uint32_t s, uint32_t id, uint32_t, uint32_t stride) override {
    streamIds[s] = id;
    streamStride[s] = stride;
  }
  void setIndices(uint32_t id) override { indexId = id; }
  void applyState() override {
    ++applies;
    Device* d = DeviceMgr::currentDevice();
    for (uint32_t s = 0; s < 4; ++s) d->setStreamSource(s, d->findVertexBuffer(streamIds[s]), 0, streamStride[s]);
    d->setIndices(d->findIndexBuffer(indexId));
    if (!decl) {
      const VertexElement e[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                 {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                 {1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 0}};
      decl = d->createVertexDeclaration(e, 3);
    }
    d->setVertexDeclaration(decl.get());
  }
  void bindEffectParams() override { ++binds; }
  Ref<VertexDecl> decl;
};

struct PosColor {
  float x, y, z;
  uint32_t color;
};
struct Tex3 {
  float u, v, w;
};

class BatcherTest : public qxtest::RecDeviceTest {
 protected:
  // A quad of two triangles: four vertices in two streams.
  bool submitQuad(float tag, uint32_t type = D3DPT_TRIANGLELIST) {
    PosColor pos[4];
    Tex3 uv[4];
    for (int i = 0; i < 4; ++i) {
      pos[i] = PosColor{tag, float(i), 0.5f, 0xFF000000u | uint32_t(i)};
      uv[i] = Tex3{float(i), tag, 1.0f};
    }
    static const uint16_t quad[] = {0, 1, 2, 0, 2, 3};
    IdxCopy idx(quad);
    const void* streams[] = {pos, uv};
    return batcher.submit(type, streams, 2, ctx, 4, 2, idx);
  }

  PrimBatcher batcher;
  FakeContext ctx;
  PosColor zeroPos[3] = {};
  Tex3 zeroUV[3] = {};
  const void* zeros[2] = {zeroPos, zeroUV};
};

// A batch whose upload fails (buffers cannot be locked off the device's thread) is
// dropped without binding or drawing anything; the context still updates its values.
TEST_F(BatcherTest, AFailedUploadDrawsNothingAndDropsTheBatch) {
  ASSERT_TRUE(submitQuad(1));
  const int binds = ctx.binds;
  std::thread([&] { batcher.flush(ctx); }).join();
  EXPECT_EQ(ctx.applies, 0);
  EXPECT_EQ(ctx.binds, binds + 1);
  EXPECT_EQ(batcher.queuedVertices(), 0u);
  EXPECT_TRUE(rec->draws.empty());
  ASSERT_TRUE(submitQuad(2));
  batcher.flush(ctx);
  EXPECT_EQ(rec->draws.size(), 1u) << "the next batch draws as usual";
}

// A batch of fewer streams than the last one binds null for the streams it does not use,
// even when the format keeps a stride for them.
TEST_F(BatcherTest, StreamsPastTheBatchsOwnAreUnbound) {
  ASSERT_TRUE(submitQuad(1));
  batcher.flush(ctx);
  ASSERT_NE(ctx.streamIds[1], 0u);
  PosColor pos[4] = {};
  static const uint16_t quad[] = {0, 1, 2, 0, 2, 3};
  IdxCopy idx(quad);
  const void* one[] = {pos};
  ASSERT_TRUE(batcher.submit(D3DPT_TRIANGLELIST, one, 1, ctx, 4, 2, idx));
  batcher.flush(ctx);
  EXPECT_NE(ctx.streamIds[0], 0u);
  EXPECT_EQ(ctx.streamIds[1], 0u);
  EXPECT_EQ(ctx.streamStride[1], 0u);
}

TEST_F(BatcherTest, RunsOfOneTypeAndFormatDrawOnce) {
  ASSERT_TRUE(submitQuad(1));
  ASSERT_TRUE(submitQuad(2));
  ASSERT_TRUE(submitQuad(3));
  EXPECT_TRUE(rec->draws.empty());
  batcher.flush(ctx);
  ASSERT_EQ(rec->draws.size(), 1u);
  const RecordedDraw& d = rec->draws[0];
  EXPECT_EQ(d.primCount, 6u);
  EXPECT_EQ(d.numVertices, 12u);
  ASSERT_EQ(d.indices.size(), 18u);
  const std::vector<uint32_t> second(d.indices.begin() + 6, d.indices.begin() + 12);
  EXPECT_EQ(second, (std::vector<uint32_t>{4, 5, 6, 4, 6, 7})) << "offset by the first run's vertices";
  // The streams carry each run's vertices in order, with the format's strides.
  ASSERT_GE(d.streamBytes.size(), 2u);
  PosColor p;
  std::memcpy(&p, d.streamBytes[0].data() + 5 * sizeof(PosColor), sizeof p);
  EXPECT_EQ(p.x, 2.0f);
  EXPECT_EQ(p.color, 0xFF000001u);
  Tex3 t;
  std::memcpy(&t, d.streamBytes[1].data() + 9 * sizeof(Tex3), sizeof t);
  EXPECT_EQ(t.v, 3.0f);
  EXPECT_EQ(ctx.binds, 2) << "the first submit's flush had nothing to draw";
}

TEST_F(BatcherTest, ATypeChangeFlushesAndOtherTypesDrawNothing) {
  batcher.flush(ctx);
  EXPECT_EQ(ctx.binds, 1) << "an empty flush still binds the parameters";
  EXPECT_EQ(ctx.applies, 0);
  submitQuad(1);
  NonIdxCopy lines(0);
  ASSERT_TRUE(batcher.submit(D3DPT_LINELIST, zeros, 2, ctx, 2, 1, lines));
  ASSERT_EQ(rec->draws.size(), 1u);
  EXPECT_EQ(rec->draws[0].primType, D3DPT_TRIANGLELIST);
  batcher.flush(ctx);
  ASSERT_EQ(rec->draws.size(), 2u);
  EXPECT_EQ(rec->draws[1].primType, D3DPT_LINELIST);
  EXPECT_EQ(rec->draws[1].indices, (std::vector<uint32_t>{0, 1}));
  ASSERT_TRUE(submitQuad(1, D3DPT_TRIANGLESTRIP));
  EXPECT_EQ(batcher.queuedVertices(), 4u);
  EXPECT_EQ(batcher.queuedIndices(), 0u);
  batcher.flush(ctx);
  EXPECT_EQ(rec->draws.size(), 2u);
  EXPECT_EQ(batcher.queuedVertices(), 0u);
}

TEST_F(BatcherTest, ModeThreeMarkDirtyAndFormatChangesFlush) {
  ctx.mode = 3;
  submitQuad(1);
  submitQuad(2);
  EXPECT_EQ(rec->draws.size(), 1u) << "in mode 3 each submit draws the one before";
  ctx.mode = 2;
  submitQuad(3);
  EXPECT_EQ(rec->draws.size(), 1u) << "back in mode 2 runs merge again";
  batcher.markDirty();
  submitQuad(4);
  ASSERT_EQ(rec->draws.size(), 2u);
  EXPECT_EQ(rec->draws[1].primCount, 4u);
  ctx.format = 4;
  ctx.strides[0] = 28;
  ctx.strides[1] = 0;
  NonIdxCopy idx(0);
  std::vector<uint8_t> wide(28 * 3, 0x11);
  const void* one[] = {wide.data()};
  ASSERT_TRUE(batcher.submit(D3DPT_TRIANGLELIST, one, 1, ctx, 3, 1, idx));
  EXPECT_EQ(rec->draws.size(), 3u);
  batcher.flush(ctx);
  ASSERT_EQ(rec->draws.size(), 4u);
  EXPECT_EQ(ctx.streamStride[0], 28u) << "strides follow the new format";
  EXPECT_EQ(ctx.streamIds[1], 0u);
  EXPECT_EQ(rec->draws[3].streamBytes[0][27], 0x11);
}

TEST_F(BatcherTest, SixteenBitIndicesNeverWrapAndBuffersGrow) {
  std::vector<PosColor> many(40000);
  std::vector<Tex3> uvs(40000);
  for (size_t i = 0; i < many.size(); ++i) many[i].x = float(i);
  const void* streams[] = {many.data(), uvs.data()};
  NonIdxCopy a(0);
  ASSERT_TRUE(batcher.submit(D3DPT_LINELIST, streams, 2, ctx, 40000, 20000, a));
  NonIdxCopy b(0);
  ASSERT_TRUE(batcher.submit(D3DPT_LINELIST, streams, 2, ctx, 30000, 15000, b));
  ASSERT_EQ(rec->draws.size(), 1u) << "the first run is drawn before indices would pass 65535";
  batcher.flush(ctx);
  ASSERT_EQ(rec->draws.size(), 2u);
  EXPECT_EQ(rec->draws[0].numVertices, 40000u) << "past the speculative size of the buffers";
  PosColor last;
  std::memcpy(&last, rec->draws[0].streamBytes[0].data() + 39999 * sizeof(PosColor), sizeof last);
  EXPECT_EQ(last.x, 39999.0f);
  EXPECT_EQ(rec->draws[1].indices.back(), 29999u);
  std::vector<PosColor> tooMany(70000);
  std::vector<Tex3> tooManyUV(70000);
  const void* big[] = {tooMany.data(), tooManyUV.data()};
  NonIdxCopy c(0);
  EXPECT_FALSE(batcher.submit(D3DPT_LINELIST, big, 2, ctx, 70000, 35000, c));
}

TEST_F(BatcherTest, IndicesOutsideTheirRunAreRefused) {
  ASSERT_TRUE(submitQuad(1));
  static const uint16_t past[] = {0, 1, 3};  // a run of three vertices has no vertex 3
  IdxCopy a(past);
  EXPECT_FALSE(batcher.submit(D3DPT_TRIANGLELIST, zeros, 2, ctx, 3, 1, a));
  static const uint16_t wrapping[] = {0, 1, 0xFFFF};  // 4 + 65535 wraps into the first run
  IdxCopy b(wrapping);
  EXPECT_FALSE(batcher.submit(D3DPT_TRIANGLELIST, zeros, 2, ctx, 3, 1, b));
  EXPECT_EQ(batcher.queuedVertices(), 4u) << "refused runs queue nothing";
  EXPECT_EQ(batcher.queuedIndices(), 6u);
  batcher.flush(ctx);
  ASSERT_EQ(rec->draws.size(), 1u);
  EXPECT_EQ(rec->draws[0].numVertices, 4u);
  EXPECT_EQ(rec->draws[0].primCount, 2u);
}

TEST(IndexWriters, WriteTheirPatternsOffsetByTheBase) {
  uint16_t out[9];
  FanIdxCopy fan(0);
  fan.copy(out, 6, 10);
  EXPECT_EQ(std::vector<uint16_t>(out, out + 6), (std::vector<uint16_t>{10, 11, 12, 10, 12, 13}));
  StripIdxCopy strip(0);
  strip.copy(out, 9, 0);  // five vertices, three triangles
  EXPECT_EQ(std::vector<uint16_t>(out, out + 9), (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 2, 3, 4}));
  NonIdxCopy plain(3);
  plain.copy(out, 3, 100);
  EXPECT_EQ(std::vector<uint16_t>(out, out + 3), (std::vector<uint16_t>{103, 104, 105}));
  const uint16_t mine[] = {2, 0, 1, 5};
  IdxCopy list(mine);
  list.copy(out, 2, 1);
  list.copy(out + 2, 2, 1);
  EXPECT_EQ(std::vector<uint16_t>(out, out + 4), (std::vector<uint16_t>{3, 1, 2, 6}));
}

}  // namespace
