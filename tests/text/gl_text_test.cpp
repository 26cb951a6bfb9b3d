// A line of Latin and Japanese text laid out on glyph pages that live in GL textures,
// drawn through the device and read back from llvmpipe.
#include <gtest/gtest.h>

#include <cstring>

#include "hud/text/a8_surface.h"
#include "hud/text/font_context.h"
#include "hud/text/text_place.h"
#include "render/device/device_mgr.h"
#include "tests/gfx/gl_fixture.h"

namespace {

using namespace qxgfx;
using namespace hudtext;

const char* kVS = R"(#version 330 core
layout(location = 0) in vec3 inPos;
layout(location = 4) in vec3 inUV;
out vec2 vUV;
void main() { gl_Position = vec4(inPos, 1.0); vUV = inUV.xy; }
)";
const char* kFS = R"(#version 330 core
in vec2 vUV;
uniform sampler2D tex;
layout(location = 0) out vec4 outColor;
void main() { float a = texture(tex, vUV).a; outColor = vec4(a, a, a, 1.0); }
)";

constexpr uint32_t kW = 128, kH = 16;

TEST(GLText, HelloWorldPageIsDrawnFromTheUploadedTexture) {
  std::string why;
  Ref<Device> dev = qxtest::makeGLDevice(kW, kH, &why);
  if (!dev) GTEST_SKIP() << "no GL context: " << why;
  DeviceMgr mgr;
  mgr.adopt(dev);

  const U32String text = U"Hello 世界";
  GlyphLayout layout;
  SharedFonts& fonts = sharedFonts();
  ASSERT_TRUE(fonts.defaultFont);
  ASSERT_EQ(fonts.defaultFont->faceName(), u"IPAGothic");
  kesto::SyncloGuard lock(fonts.lock);
  const auto size = hudTextFit(layout, fonts.defaultFont, 6, text, {0, 0, 1000, 1000}, 0, false);
  EXPECT_EQ(size, std::make_pair(8 * 6 + 16 * 2, 12));
  ASSERT_EQ(layout.batches.size(), 1u);
  const PageBatch& batch = layout.batches[0];
  ASSERT_EQ(batch.vertices.size(), text.size() * 4);
  ASSERT_TRUE(batch.page->texture());
  EXPECT_FALSE(batch.page->dirty());

  // Japanese glyphs, not the missing-glyph box: distinct, inked cells.
  auto cellBytes = [&](size_t i) {
    const UVW& tl = layout.uvQuads[i][0];
    const uint32_t x0 = uint32_t(tl.u * 1024 + 0.5f), y0 = uint32_t(tl.v * 1024 + 0.5f);
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < layout.lineHeight; ++y)
      for (int32_t x = 0; x < layout.cellWidth; ++x)
        out.push_back(batch.page->bytes()[(y0 + y) * batch.page->pitch() + x0 + x]);
    return out;
  };
  EXPECT_NE(fonts.defaultFont->glyphIndex(U'世'), 0u);
  EXPECT_NE(fonts.defaultFont->glyphIndex(U'界'), 0u);
  EXPECT_NE(cellBytes(6), cellBytes(7));
  for (size_t i : {0, 6, 7}) {
    int inked = 0;
    for (uint8_t v : cellBytes(i)) inked += v > 128;
    EXPECT_GT(inked, 10) << i;
  }

  // Draw every quad with the page texture, one pixel per texel.
  struct V {
    float x, y, z, u, v, w;
  };
  std::vector<V> verts;
  std::vector<uint16_t> idx;
  for (size_t q = 0; q < batch.vertices.size(); q += 4) {
    for (size_t k = 0; k < 4; ++k) {
      const TextVertex& tv = batch.vertices[q + k];
      const UVW& uv = batch.uvs[q + k];
      verts.push_back({tv.x / kW * 2 - 1, 1 - tv.y / kH * 2, 0.5f, uv.u, uv.v, uv.w});
    }
    for (uint16_t k : {0, 1, 2, 0, 2, 3}) idx.push_back(uint16_t(q + k));
  }
  const VertexElement decl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 0}};
  auto layoutDecl = dev->createVertexDeclaration(decl, 2);
  std::string log;
  auto prog = dev->createProgram(ProgramSource{kVS, kFS, {{"tex", UniformType::Sampler2D}}}, &log);
  ASSERT_TRUE(prog) << log;
  const int32_t stage0 = 0;
  prog->setUniform(0, &stage0);
  auto vb = dev->createVertexBuffer(uint32_t(verts.size() * sizeof(V)), D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT);
  std::memcpy(vb->lock(0, 0, 0), verts.data(), verts.size() * sizeof(V));
  vb->unlock();
  auto ib = dev->createIndexBuffer(uint32_t(idx.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT);
  std::memcpy(ib->lock(0, 0, 0), idx.data(), idx.size() * 2);
  ib->unlock();
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
  dev->setVertexDeclaration(layoutDecl.get());
  dev->setProgram(prog.get());
  dev->setTexture(0, batch.page->texture());
  dev->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  dev->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  dev->setStreamSource(0, vb.get(), 0, sizeof(V));
  dev->setIndices(ib.get());
  ASSERT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, uint32_t(verts.size()), 0, uint32_t(idx.size() / 3)),
            D3D_OK);
  const std::vector<uint32_t> px = qxtest::readPixels(*dev);
  ASSERT_EQ(px.size(), size_t(kW) * kH);

  // Each glyph's screen cell shows its page cell; later quads overlap earlier ones, so
  // compare the columns up to the next glyph's start.
  int compared = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const int32_t x0 = int32_t(batch.vertices[i * 4].x);
    const int32_t x1 = i + 1 < text.size() ? int32_t(batch.vertices[(i + 1) * 4].x) : x0 + layout.cellWidth;
    const std::vector<uint8_t> cell = cellBytes(i);
    for (int32_t y = 0; y < layout.lineHeight; ++y)
      for (int32_t x = x0; x < x1 && x < x0 + layout.cellWidth; ++x) {
        const uint8_t want = cell[size_t(y) * layout.cellWidth + (x - x0)];
        const uint32_t grey = 0xFF000000u | want << 16 | want << 8 | want;
        ASSERT_TRUE(qxtest::near(px[size_t(y) * kW + x], grey)) << "glyph " << i << " at " << x << "," << y;
        ++compared;
      }
  }
  EXPECT_GT(compared, 900);
  mgr.release();
}

}  // namespace
