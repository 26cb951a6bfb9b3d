// The GL device against pixels read back from llvmpipe.
#include <gtest/gtest.h>

#include <thread>

#include "tests/gfx/gl_fixture.h"

using namespace qxgfx;
using qxtest::GLTest;
using qxtest::near;
using qxtest::readPixels;

namespace {

struct ColorVertex {
  float x, y, z;
  uint32_t color;
};
struct TexVertex {
  float x, y, z;
  float u, v;
};

const char* kColorVS = R"(#version 330 core
layout(location = 0) in vec3 inPos;
layout(location = 2) in vec4 inColor;
out vec4 vColor;
void main() { gl_Position = vec4(inPos, 1.0); vColor = inColor; }
)";
const char* kColorFS = R"(#version 330 core
in vec4 vColor;
layout(location = 0) out vec4 outColor;
void main() { outColor = vColor; }
)";
const char* kTexVS = R"(#version 330 core
layout(location = 0) in vec3 inPos;
layout(location = 4) in vec2 inUV;
uniform mat4 world;
out vec2 vUV;
void main() { gl_Position = vec4(inPos, 1.0) * world; vUV = inUV; }
)";
const char* kTexFS = R"(#version 330 core
in vec2 vUV;
uniform sampler2D tex;
layout(location = 0) out vec4 outColor;
void main() { outColor = texture(tex, vUV); }
)";

class GLDeviceTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (!dev) return;
    const VertexElement colorDecl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}};
    colorLayout = dev->createVertexDeclaration(colorDecl, 2);
    const VertexElement texDecl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                     {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0}};
    texLayout = dev->createVertexDeclaration(texDecl, 2);
    std::string log;
    colorProg = dev->createProgram(ProgramSource{kColorVS, kColorFS, {}}, &log);
    ASSERT_TRUE(colorProg) << log;
    texProg = dev->createProgram(
        ProgramSource{kTexVS, kTexFS, {{"world", UniformType::Mat4}, {"tex", UniformType::Sampler2D}}}, &log);
    ASSERT_TRUE(texProg) << log;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    texProg->setUniform(0, identity);
    const int32_t stage0 = 0;
    texProg->setUniform(1, &stage0);
    quadIndices = makeIndices({0, 1, 2, 0, 2, 3});
  }

  Ref<IndexBuffer> makeIndices(std::vector<uint16_t> idx) {
    auto ib = dev->createIndexBuffer(uint32_t(idx.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT);
    void* p = ib->lock(0, 0, 0);
    std::memcpy(p, idx.data(), idx.size() * 2);
    ib->unlock();
    return ib;
  }
  template <class V>
  Ref<VertexBuffer> makeVertices(const std::vector<V>& v) {
    auto vb = dev->createVertexBuffer(uint32_t(v.size() * sizeof(V)), D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT);
    void* p = vb->lock(0, 0, 0);
    std::memcpy(p, v.data(), v.size() * sizeof(V));
    vb->unlock();
    return vb;
  }
  // Draws a coloured triangle list of the given vertices.
  void drawColored(const std::vector<ColorVertex>& v) {
    std::vector<uint16_t> idx;
    for (size_t i = 0; i < v.size(); ++i) idx.push_back(uint16_t(i));
    auto vb = makeVertices(v);
    auto ib = makeIndices(idx);
    dev->setVertexDeclaration(colorLayout.get());
    dev->setProgram(colorProg.get());
    dev->setStreamSource(0, vb.get(), 0, sizeof(ColorVertex));
    dev->setIndices(ib.get());
    ASSERT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, uint32_t(v.size()), 0, uint32_t(v.size() / 3)),
              D3D_OK);
  }
  std::vector<ColorVertex> fullScreen(float z, uint32_t color) {
    return {{-1, 1, z, color}, {1, 1, z, color}, {1, -1, z, color},
            {-1, 1, z, color}, {1, -1, z, color}, {-1, -1, z, color}};
  }

  Ref<VertexDecl> colorLayout, texLayout;
  Ref<Program> colorProg, texProg;
  Ref<IndexBuffer> quadIndices;
};

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kGrey = 0xFF336699;

TEST_F(GLDeviceTest, ClearFillsTheBackBufferWithTheColour) {
  ASSERT_EQ(dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kGrey, 1.0f, 0), D3D_OK);
  auto px = readPixels(*dev);
  ASSERT_EQ(px.size(), size_t(kW * kH));
  for (uint32_t p : px) ASSERT_EQ(p, kGrey);
}

TEST_F(GLDeviceTest, ClearRectanglesStayInsideTheViewport) {
  dev->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  dev->setViewport(Viewport{8, 8, 16, 16, 0, 1});
  const Rect r{0, 0, 12, 12};  // only 8..12 lies inside the viewport
  dev->clear(1, &r, D3DCLEAR_TARGET, kRed, 1.0f, 0);
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 9, 9), kRed);
  EXPECT_EQ(pixel(px, 7, 7), 0xFF000000u);
  EXPECT_EQ(pixel(px, 12, 12), 0xFF000000u);
}

TEST_F(GLDeviceTest, TriangleLandsWithTopLeftOriginAndClockwiseFront) {
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  // Top-left corner, top-right corner, middle of the left edge: clockwise on screen.
  drawColored({{-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}, {-1, 0, 0.5f, kRed}});
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 2, 2), kRed);
  EXPECT_EQ(pixel(px, kW / 2, 2), kRed);
  EXPECT_EQ(pixel(px, 2, kH - 3), 0xFF000000u) << "the triangle must be at the top";
  EXPECT_EQ(pixel(px, kW - 3, kH / 2), 0xFF000000u);
}

TEST_F(GLDeviceTest, CullModesFollowDirect3DWinding) {
  const std::vector<ColorVertex> ccw = {{-1, 1, 0.5f, kRed}, {-1, -1, 0.5f, kRed}, {1, 1, 0.5f, kRed}};
  dev->setRenderState(D3DRS_ZENABLE, 0);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  drawColored(ccw);  // default: counter-clockwise triangles are culled
  EXPECT_EQ(pixel(readPixels(*dev), 2, 2), 0xFF000000u);
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  drawColored(ccw);
  EXPECT_EQ(pixel(readPixels(*dev), 2, 2), kRed);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  drawColored({{-1, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {-1, -1, 0.5f, kGreen}});  // clockwise
  EXPECT_EQ(pixel(readPixels(*dev), 2, 2), 0xFF000000u);
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  drawColored(ccw);
  EXPECT_EQ(pixel(readPixels(*dev), 2, 2), kRed);
}

TEST_F(GLDeviceTest, DepthRunsFromZeroToOneAndTests) {
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  drawColored(fullScreen(-0.1f, kRed));  // in front of the near plane: clipped
  EXPECT_EQ(pixel(readPixels(*dev), 10, 10), 0xFF000000u);
  drawColored(fullScreen(0.5f, kRed));
  drawColored(fullScreen(0.7f, kGreen));  // behind: fails LESSEQUAL
  EXPECT_EQ(pixel(readPixels(*dev), 10, 10), kRed);
  drawColored(fullScreen(0.3f, kBlue));
  EXPECT_EQ(pixel(readPixels(*dev), 10, 10), kBlue);
  dev->setRenderState(D3DRS_ZENABLE, 0);
  drawColored(fullScreen(0.9f, kGreen));
  EXPECT_EQ(pixel(readPixels(*dev), 10, 10), kGreen);
}

TEST_F(GLDeviceTest, DepthClearIgnoresDisabledDepthWrites) {
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.0f, 0);
  dev->setRenderState(D3DRS_ZWRITEENABLE, 0);
  drawColored(fullScreen(0.0f, kGreen));
  dev->clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  dev->setRenderState(D3DRS_COLORWRITEENABLE, 0);  // nor does it respect the colour mask
  dev->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  dev->setRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  dev->setRenderState(D3DRS_ZWRITEENABLE, 1);
  drawColored(fullScreen(0.5f, kRed));
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 5, 5), kRed);
}

TEST_F(GLDeviceTest, TexturedQuadSamplesTopRowFirst) {
  auto tex = dev->createTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  ASSERT_TRUE(tex);
  LockedRect lr;
  ASSERT_TRUE(tex->lockRect(0, lr, nullptr, 0));
  auto* row0 = static_cast<uint32_t*>(lr.bits);
  auto* row1 = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.bits) + lr.pitch);
  row0[0] = kRed;
  row0[1] = kGreen;
  row1[0] = kBlue;
  row1[1] = 0xFFFFFFFF;
  ASSERT_TRUE(tex->unlockRect(0));
  auto vb = makeVertices<TexVertex>({{-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, 1, 0}, {1, -1, 0.5f, 1, 1}, {-1, -1, 0.5f, 0, 1}});
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  dev->setVertexDeclaration(texLayout.get());
  dev->setProgram(texProg.get());
  dev->setTexture(0, tex.get());
  dev->setStreamSource(0, vb.get(), 0, sizeof(TexVertex));
  dev->setIndices(quadIndices.get());
  ASSERT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 4, 4), kRed);
  EXPECT_EQ(pixel(px, kW - 5, 4), kGreen);
  EXPECT_EQ(pixel(px, 4, kH - 5), kBlue);
  EXPECT_EQ(pixel(px, kW - 5, kH - 5), 0xFFFFFFFFu);

  // A partial lock keeps the rest of the level: the glyph cache writes this way.
  const Rect one{1, 1, 2, 2};
  ASSERT_TRUE(tex->lockRect(0, lr, &one, 0));
  *static_cast<uint32_t*>(lr.bits) = kGrey;
  tex->unlockRect(0);
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
  px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 4, 4), kRed);
  EXPECT_EQ(pixel(px, kW - 5, kH - 5), kGrey);
}

TEST_F(GLDeviceTest, NoOverwriteAppendKeepsEarlierData) {
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  auto vb = dev->createVertexBuffer(6 * sizeof(ColorVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                    D3DPOOL_DEFAULT);
  auto ib = makeIndices({0, 1, 2, 3, 4, 5});
  const ColorVertex left[] = {{-1, 1, 0.5f, kRed}, {0, 1, 0.5f, kRed}, {-1, -1, 0.5f, kRed}};
  const ColorVertex right[] = {{0.2f, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
  void* p = vb->lock(0, sizeof left, D3DLOCK_DISCARD);
  ASSERT_TRUE(p);
  std::memcpy(p, left, sizeof left);
  vb->unlock();
  dev->setVertexDeclaration(colorLayout.get());
  dev->setProgram(colorProg.get());
  dev->setStreamSource(0, vb.get(), 0, sizeof(ColorVertex));
  dev->setIndices(ib.get());
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1);
  p = vb->lock(sizeof left, sizeof right, D3DLOCK_NOOVERWRITE);
  ASSERT_TRUE(p);
  std::memcpy(p, right, sizeof right);
  vb->unlock();
  dev->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 2);
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 2, 2), kRed);
  EXPECT_EQ(pixel(px, kW - 3, 2), kGreen);
  // A discard starts over: the first triangle is gone once only the second is rewritten.
  p = vb->lock(0, sizeof right, D3DLOCK_DISCARD);
  std::memcpy(p, right, sizeof right);
  vb->unlock();
  dev->clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1);
  px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 2, 2), 0xFF000000u);
  EXPECT_EQ(pixel(px, kW - 3, 2), kGreen);
}

TEST_F(GLDeviceTest, RenderTargetTextureIsTopDownAndResetsViewport) {
  auto rt = dev->createTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  ASSERT_TRUE(rt);
  auto rtSurface = rt->getSurfaceLevel(0);
  ASSERT_EQ(dev->setRenderTarget(0, rtSurface.get()), D3D_OK);
  EXPECT_EQ(dev->viewport().width, 32u);
  EXPECT_EQ(dev->viewport().height, 32u);
  dev->setDepthStencilSurface(nullptr);
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
  // The top half of the target turns red.
  drawColored({{-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}, {1, 0, 0.5f, kRed},
               {-1, 1, 0.5f, kRed}, {1, 0, 0.5f, kRed}, {-1, 0, 0.5f, kRed}});
  auto rtPx = readPixels(*dev, rtSurface.get());
  ASSERT_EQ(rtPx.size(), 32u * 32u);
  EXPECT_EQ(rtPx[2 * 32 + 2], kRed);
  EXPECT_EQ(rtPx[29 * 32 + 2], kBlue);

  ASSERT_EQ(dev->setRenderTarget(0, dev->getBackBuffer().get()), D3D_OK);
  EXPECT_EQ(dev->viewport().width, kW);
  dev->setDepthStencilSurface(dev->getDepthStencilSurface().get());
  auto vb = makeVertices<TexVertex>({{-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, 1, 0}, {1, -1, 0.5f, 1, 1}, {-1, -1, 0.5f, 0, 1}});
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  dev->setVertexDeclaration(texLayout.get());
  dev->setProgram(texProg.get());
  dev->setTexture(0, rt.get());
  dev->setStreamSource(0, vb.get(), 0, sizeof(TexVertex));
  dev->setIndices(quadIndices.get());
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 5, 3), kRed);
  EXPECT_EQ(pixel(px, 5, kH - 4), kBlue);
  EXPECT_EQ(dev->setRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(GLDeviceTest, WireframeFillModeDrawsOnlyEdges) {
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  dev->setRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
  drawColored({{-0.5f, 0.5f, 0.5f, kRed}, {0.5f, 0.5f, 0.5f, kRed}, {0.5f, -0.5f, 0.5f, kRed}});
  auto px = readPixels(*dev);
  EXPECT_NE(pixel(px, 40, 22), kRed) << "the inside stays empty";
  int red = 0;
  for (uint32_t p : px) red += p == kRed;
  EXPECT_GT(red, 20);
}

TEST_F(GLDeviceTest, BlendingMixesWithTheTarget) {
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
  dev->setRenderState(D3DRS_ALPHABLENDENABLE, 1);
  dev->setRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  drawColored(fullScreen(0.5f, 0x80FF0000));
  EXPECT_TRUE(near(pixel(readPixels(*dev), 3, 3), 0xFF80007F)) << std::hex << pixel(readPixels(*dev), 3, 3);
}

TEST_F(GLDeviceTest, BrokenShaderGivesNullAndTheCompilerLog) {
  std::string log;
  auto p = dev->createProgram(ProgramSource{kColorVS, "#version 330 core\nvoid main() { nonsense; }\n", {}}, &log);
  EXPECT_FALSE(p);
  EXPECT_NE(log.find("fragment shader"), std::string::npos) << log;
}

TEST_F(GLDeviceTest, OtherThreadsCannotLockButMayRelease) {
  auto vb = dev->createVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT);
  void* fromOther = reinterpret_cast<void*>(1);
  std::thread([&] { fromOther = vb->lock(0, 0, 0); }).join();
  EXPECT_EQ(fromOther, nullptr);
  const size_t before = dev->liveResourceCount();
  std::thread([&] { vb = nullptr; }).join();
  EXPECT_EQ(dev->liveResourceCount(), before - 1);
  // The GL buffer itself goes at the next call on this thread.
  EXPECT_EQ(dev->clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);

  // A render target drawn to, then released elsewhere: its framebuffer goes with it
  // on this thread, and drawing goes on.
  auto rt = dev->createTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  dev->setRenderTarget(0, rt->getSurfaceLevel(0).get());
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0);
  dev->setRenderTarget(0, dev->getBackBuffer().get());
  std::thread([&] { rt = nullptr; }).join();
  for (int i = 0; i < 3; ++i) {
    auto again = dev->createTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_EQ(dev->setRenderTarget(0, again->getSurfaceLevel(0).get()), D3D_OK);
    dev->clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    EXPECT_EQ(readPixels(*dev, dev->getRenderTarget(0).get())[0], kGreen);
    dev->setRenderTarget(0, dev->getBackBuffer().get());
  }
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
  EXPECT_EQ(readPixels(*dev)[0], kBlue);
}

TEST_F(GLDeviceTest, TexturesOutliveTheLastDeviceReference) {
  auto tex = dev->createTexture(4, 4, 0, 0, D3DFMT_A8, D3DPOOL_MANAGED);
  ASSERT_TRUE(tex);
  EXPECT_EQ(tex->levelCount(), 3u);
  colorLayout = nullptr;
  colorProg = nullptr;
  texLayout = nullptr;
  texProg = nullptr;
  quadIndices = nullptr;
  dev = nullptr;  // the device waits for its last resource
  LockedRect lr;
  ASSERT_TRUE(tex->lockRect(2, lr, nullptr, 0));
  *static_cast<uint8_t*>(lr.bits) = 7;
  EXPECT_TRUE(tex->unlockRect(2));
  tex = nullptr;  // and goes with it (LeakSanitizer checks)
}

TEST_F(GLDeviceTest, CompressedTexturesLockWholeBlocks) {
  auto tex = dev->createTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
  ASSERT_TRUE(tex);
  LockedRect lr;
  const Rect bad{1, 0, 4, 4};
  EXPECT_FALSE(tex->lockRect(0, lr, &bad, 0));
  ASSERT_TRUE(tex->lockRect(0, lr, nullptr, 0));
  EXPECT_EQ(lr.pitch, 16);  // two blocks of 8 bytes
  tex->unlockRect(0);
}

}  // namespace
