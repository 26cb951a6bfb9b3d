// The GL device against pixels read back from llvmpipe.
#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "tests/gfx/gl_fixture.h"

using namespace qxgfx;
using qxtest::GLTest;
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

constexpr uint32_t kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;


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
    dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  }

  template <class T>
  void fill(T& buffer, const void* data, size_t bytes) {
    void* p = buffer->lock(0, 0, 0);
    std::memcpy(p, data, bytes);
    buffer->unlock();
  }
  Ref<IndexBuffer> makeIndices(size_t n) {
    std::vector<uint16_t> idx(n);
    std::iota(idx.begin(), idx.end(), uint16_t(0));
    if (n == 4) idx = {0, 1, 2, 0, 2, 3};  // a quad
    auto ib = dev->createIndexBuffer(uint32_t(idx.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT);
    fill(ib, idx.data(), idx.size() * 2);
    return ib;
  }
  template <class V>
  void bindVertices(const std::vector<V>& v, VertexDecl* layout, Program* prog) {
    vb = dev->createVertexBuffer(uint32_t(v.size() * sizeof(V)), D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT);
    fill(vb, v.data(), v.size() * sizeof(V));
    ib = makeIndices(v.size());
    dev->setVertexDeclaration(layout);
    dev->setProgram(prog);
    dev->setStreamSource(0, vb.get(), 0, sizeof(V));
    dev->setIndices(ib.get());
  }
  // Draws a coloured triangle list of the given vertices.
  void drawColored(const std::vector<ColorVertex>& v) {
    bindVertices(v, colorLayout.get(), colorProg.get());
    ASSERT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, uint32_t(v.size()), 0, uint32_t(v.size() / 3)),
              D3D_OK);
  }
  void drawFull(float z, uint32_t c) {
    drawColored({{-1, 1, z, c}, {1, 1, z, c}, {1, -1, z, c}, {-1, 1, z, c}, {1, -1, z, c}, {-1, -1, z, c}});
  }
  // A quad over the whole target sampling texture stage 0, (0, 0) at the top left.
  void drawTextured(Texture* tex) {
    bindVertices<TexVertex>({{-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, 1, 0}, {1, -1, 0.5f, 1, 1}, {-1, -1, 0.5f, 0, 1}},
                            texLayout.get(), texProg.get());
    dev->setTexture(0, tex);
    ASSERT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  }
  uint32_t at(uint32_t x, uint32_t y) { return pixel(readPixels(*dev), x, y); }

  Ref<VertexDecl> colorLayout, texLayout;
  Ref<Program> colorProg, texProg;
  Ref<VertexBuffer> vb;
  Ref<IndexBuffer> ib;
};

TEST_F(GLDeviceTest, ClearRectsOriginAndCulling) {
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
  dev->setViewport(Viewport{8, 8, 16, 16, 0, 1});
  const Rect r{0, 0, 12, 12};  // only 8..12 lies inside the viewport
  dev->clear(1, &r, D3DCLEAR_TARGET, kRed, 1.0f, 0);
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 9, 9), kRed);
  EXPECT_EQ(pixel(px, 7, 7), kBlack);
  EXPECT_EQ(pixel(px, 12, 12), kBlack);

  // Top-left corner, top-right corner, middle of the left edge: clockwise on screen.
  dev->setViewport(Viewport{0, 0, kW, kH, 0, 1});
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  drawColored({{-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}, {-1, 0, 0.5f, kRed}});
  px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 2, 2), kRed);
  EXPECT_EQ(pixel(px, kW / 2, 2), kRed);
  EXPECT_EQ(pixel(px, 2, kH - 3), kBlack) << "the triangle must be at the top";
  EXPECT_EQ(pixel(px, kW - 3, kH / 2), kBlack);

  const std::vector<ColorVertex> ccw = {{-1, 1, 0.5f, kGreen}, {-1, -1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}};
  drawColored(ccw);  // counter-clockwise triangles are culled by default
  EXPECT_EQ(at(2, 2), kRed);
  dev->setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  drawColored(ccw);
  EXPECT_EQ(at(2, 2), kGreen);
  drawColored({{-1, 1, 0.5f, kBlue}, {1, 1, 0.5f, kBlue}, {-1, -1, 0.5f, kBlue}});  // clockwise: culled
  EXPECT_EQ(at(2, 2), kGreen);
}

TEST_F(GLDeviceTest, DepthRangeTestAndClears) {
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
  drawFull(-0.1f, kRed);  // in front of the near plane: clipped
  EXPECT_EQ(at(10, 10), kBlack);
  drawFull(0.5f, kRed);
  drawFull(0.7f, kGreen);  // behind: fails LESSEQUAL
  EXPECT_EQ(at(10, 10), kRed);
  drawFull(0.3f, kBlue);
  EXPECT_EQ(at(10, 10), kBlue);
  dev->setRenderState(D3DRS_ZFUNC, D3DCMP_EQUAL);
  drawFull(0.1f, kGreen);
  EXPECT_EQ(at(10, 10), kBlue) << "nearer is not equal";
  drawFull(0.3f, kRed);
  EXPECT_EQ(at(10, 10), kRed);
  dev->setRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  dev->setRenderState(D3DRS_ZENABLE, 0);
  drawFull(0.9f, kGreen);
  EXPECT_EQ(at(10, 10), kGreen);

  // Clears ignore disabled depth writes and the colour mask.
  dev->setRenderState(D3DRS_ZENABLE, 1);
  dev->clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0);
  dev->setRenderState(D3DRS_ZWRITEENABLE, 0);
  dev->clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  dev->setRenderState(D3DRS_COLORWRITEENABLE, 0);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  dev->setRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  drawFull(0.5f, kRed);
  EXPECT_EQ(at(5, 5), kRed);
}

TEST_F(GLDeviceTest, NoOverwriteAppendKeepsEarlierDataAndDiscardDoesNot) {
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
  const ColorVertex left[] = {{-1, 1, 0.5f, kRed}, {0, 1, 0.5f, kRed}, {-1, -1, 0.5f, kRed}};
  const ColorVertex right[] = {{0.2f, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
  bindVertices(std::vector<ColorVertex>(6), colorLayout.get(), colorProg.get());  // six indices
  auto dyn = dev->createVertexBuffer(sizeof left + sizeof right, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                     D3DPOOL_DEFAULT);
  dev->setStreamSource(0, dyn.get(), 0, sizeof(ColorVertex));
  auto write = [&](uint32_t offset, const ColorVertex* v, uint32_t flags) {
    void* p = dyn->lock(offset, 3 * sizeof(ColorVertex), flags);
    ASSERT_TRUE(p);
    std::memcpy(p, v, 3 * sizeof(ColorVertex));
    dyn->unlock();
  };
  write(0, left, D3DLOCK_DISCARD);
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1);
  write(sizeof left, right, D3DLOCK_NOOVERWRITE);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 2);
  EXPECT_EQ(at(2, 2), kRed);
  EXPECT_EQ(at(kW - 3, 2), kGreen);
  // A discard starts over: the first triangle is gone once only the second is rewritten.
  write(0, right, D3DLOCK_DISCARD);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1);
  EXPECT_EQ(at(2, 2), kBlack);
  EXPECT_EQ(at(kW - 3, 2), kGreen);
}

TEST_F(GLDeviceTest, RenderTargetTextureIsTopDownAndResetsViewport) {
  auto rt = dev->createTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  ASSERT_TRUE(rt);
  auto rtSurface = rt->getSurfaceLevel(0);
  ASSERT_EQ(dev->setRenderTarget(0, rtSurface.get()), D3D_OK);
  EXPECT_EQ(dev->viewport().width, 32u);
  EXPECT_EQ(dev->viewport().height, 32u);
  dev->setDepthStencilSurface(nullptr);
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
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
  drawTextured(rt.get());
  EXPECT_EQ(at(5, 3), kRed);
  EXPECT_EQ(at(5, kH - 4), kBlue);
  EXPECT_EQ(dev->setRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(GLDeviceTest, OtherThreadsCannotLockButMayRelease) {
  auto buf = dev->createVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT);
  void* fromOther = reinterpret_cast<void*>(1);
  std::thread([&] { fromOther = buf->lock(0, 0, 0); }).join();
  EXPECT_EQ(fromOther, nullptr);
  const size_t before = dev->liveResourceCount();
  std::thread([&] { buf = nullptr; }).join();
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

// Back buffers up to the largest texture side are fine; past it the device says why.
TEST(GLDeviceSize, BackBuffersReachTheLargestSide) {
  std::string why;
  if (!qxtest::makeGLDevice(8, 8, &why)) GTEST_SKIP() << "no GL context: " << why;
  EXPECT_FALSE(qxtest::makeGLDevice(16385, 1, &why));
  EXPECT_NE(why.find("back buffer too large"), std::string::npos) << why;
  for (auto [w, h] : {std::pair<uint32_t, uint32_t>{16384, 1}, {1, 16384}}) {
    why.clear();
    qxtest::makeGLDevice(w, h, &why);
    EXPECT_EQ(why.find("too large"), std::string::npos) << w << "x" << h << ": " << why;
  }
}

}  // namespace
