// The GL device against pixels read back from llvmpipe.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <thread>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"
#include "render/texture/texture_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "tests/gfx/gl_window_fixture.h"
#include "tests/texture/texture_fixture.h"

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

// The alpha test as effects compile it, for the functions used here.
const char* kAlphaTestFS = R"(#version 330 core
in vec4 vColor;
uniform int qx_AlphaFunc;
uniform float qx_AlphaRef;
layout(location = 0) out vec4 outColor;
void main() {
  if (qx_AlphaFunc == 5 && !(vColor.a > qx_AlphaRef)) discard;
  outColor = vColor;
}
)";

constexpr uint32_t kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;


// Every case runs offscreen, drawn into a window, and through the copy into a window.
class GLDeviceTest : public qxtest::GLTargetTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (!dev) return;
    prepare();
  }
  // Layouts and programs on the current device.
  void prepare() {
    const VertexElement colorDecl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}};
    colorLayout = dev->createVertexDeclaration(colorDecl, 2);
    const VertexElement texDecl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                     {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0}};
    texLayout = dev->createVertexDeclaration(texDecl, 2);
    std::string log;
    colorProg = dev->createProgram(ProgramSource{kColorVS, kColorFS, {}}, &log);
    ASSERT_TRUE(colorProg) << log;
    alphaTestProg = dev->createProgram(ProgramSource{kColorVS, kAlphaTestFS, {}}, &log);
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
  Ref<Program> colorProg, alphaTestProg, texProg;
  Ref<VertexBuffer> vb;
  Ref<IndexBuffer> ib;
};

TEST_P(GLDeviceTest, ClearRectsOriginAndCulling) {
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

TEST_P(GLDeviceTest, DepthRangeTestAndClears) {
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

TEST_P(GLDeviceTest, NoOverwriteAppendKeepsEarlierDataAndDiscardDoesNot) {
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

TEST_P(GLDeviceTest, RenderTargetTextureIsTopDownAndResetsViewport) {
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

// Targets come and go, second targets sit beside the back buffer, depth buffers come in
// two formats, and states set before a Present hold after it.
TEST_P(GLDeviceTest, TargetSetsAndStatesAcrossTargetsAndFrames) {
  // A released target's name goes to the next texture: it must not draw into the old one.
  for (uint32_t c : {kRed, kGreen, kBlue}) {
    auto t = dev->createTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    auto s = t->getSurfaceLevel(0);
    dev->setRenderTarget(0, s.get());
    dev->clear(0, nullptr, D3DCLEAR_TARGET, c, 1.0f, 0);
    EXPECT_EQ(readPixels(*dev, s.get()).at(17), c);
    dev->setRenderTarget(0, dev->getBackBuffer().get());
  }

  // A second target beside the back buffer receives the shader's second output.
  const char* twoOutputs = R"(#version 330 core
in vec4 vColor;
layout(location = 0) out vec4 first;
layout(location = 1) out vec4 second;
void main() { first = vColor; second = vec4(0.0, 0.0, 1.0, 1.0); }
)";
  std::string log;
  auto both = dev->createProgram(ProgramSource{kColorVS, twoOutputs, {}}, &log);
  ASSERT_TRUE(both) << log;
  auto t = dev->createTexture(kW, kH, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto second = t->getSurfaceLevel(0);
  dev->setRenderTarget(1, second.get());
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
  colorProg = both;
  drawFull(0.5f, kRed);
  dev->setRenderTarget(1, nullptr);
  EXPECT_EQ(at(3, 3), kRed);
  EXPECT_EQ(readPixels(*dev, second.get()).at(3 * kW + 3), kBlue);
  prepare();

  // A 16-bit depth buffer with a target texture: depth only, and it tests.
  auto d16 = dev->createDepthStencilSurface(kW, kH, D3DFMT_D16);
  ASSERT_TRUE(d16);
  dev->setRenderTarget(0, second.get());
  dev->setDepthStencilSurface(d16.get());
  dev->setRenderState(D3DRS_ZENABLE, 1);
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
  drawFull(0.3f, kGreen);
  drawFull(0.6f, kRed);  // behind: fails the depth test
  EXPECT_EQ(readPixels(*dev, second.get()).at(5 * kW + 5), kGreen);
  dev->setRenderTarget(0, dev->getBackBuffer().get());
  dev->setDepthStencilSurface(dev->getDepthStencilSurface().get());
  dev->setRenderState(D3DRS_ZENABLE, 0);

  // Scissor and write mask set before Present still apply to the next frame's draws.
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  dev->setRenderState(D3DRS_SCISSORTESTENABLE, 1);
  dev->setScissorRect(Rect{0, 0, 8, 8});
  dev->setRenderState(D3DRS_COLORWRITEENABLE, 1 | 8);  // red and alpha
  drawFull(0.5f, 0xFFFFFFFF);
  dev->present();
  drawFull(0.5f, 0xFFFFFFFF);  // no clear between: it would set the states again itself
  const auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 2, 2), kRed) << "only red is written";
  EXPECT_EQ(pixel(px, 20, 20), kBlack) << "outside the scissor";
  dev->setRenderState(D3DRS_SCISSORTESTENABLE, 0);
  dev->setRenderState(D3DRS_COLORWRITEENABLE, 0xF);
}

// A target larger than the depth-stencil is drawn whole, as GL would not with that depth
// attached, and so with no depth test: the log says so the first time.
TEST_P(GLDeviceTest, ATargetLargerThanTheDepthStencilDrawsWholeAndIsLoggedOnce) {
  std::vector<std::string> logged;
  dev->setLog([&](std::string_view m) { logged.emplace_back(m); });
  dev->setRenderState(D3DRS_ZENABLE, 1);
  dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 0.0f, 0);  // every depth test fails
  auto big = dev->createTexture(2 * kW, 2 * kH, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  for (uint32_t c : {kRed, kGreen}) {
    dev->setRenderTarget(0, big->getSurfaceLevel(0).get());
    drawFull(0.5f, c);
    const auto px = readPixels(*dev, big->getSurfaceLevel(0).get());
    EXPECT_TRUE(px.at(0) == c && px.back() == c);
    dev->setRenderTarget(0, dev->getBackBuffer().get());
    drawFull(0.5f, kBlue);
    EXPECT_EQ(at(1, 1), kBlack) << "the back buffer keeps its depth test";
  }
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("128x96 is larger than the depth-stencil of 64x48: it is drawn whole with no depth test"),
            std::string::npos) << logged[0];
  dev->setRenderState(D3DRS_ZENABLE, 0);
}

// The framebuffers the device keeps for target sets go with the texture or depth buffer
// they hold, and only those: a later object could reuse the name.
TEST_P(GLDeviceTest, CachedFramebuffersGoWithTheirTargets) {
  auto boundAfterClear = [&](Surface* colour, Surface* depth) {
    dev->setRenderTarget(0, colour);
    dev->setDepthStencilSurface(depth);
    dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    GLint fbo = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
    return GLuint(fbo);
  };
  auto a = dev->createTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto b = dev->createTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto depth = dev->createDepthStencilSurface(kW, kH, D3DFMT_D24S8);
  const GLuint withA = boundAfterClear(a->getSurfaceLevel(0).get(), nullptr);
  const GLuint withB = boundAfterClear(b->getSurfaceLevel(0).get(), nullptr);
  const GLuint withDepth = boundAfterClear(dev->getBackBuffer().get(), depth.get());
  boundAfterClear(dev->getBackBuffer().get(), dev->getDepthStencilSurface().get());
  ASSERT_TRUE(withA && withB && withDepth);
  // One at a time: texture and renderbuffer names are counted apart and may be equal.
  depth = nullptr;
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);  // the device's context again
  EXPECT_FALSE(glIsFramebuffer(withDepth));
  EXPECT_TRUE(glIsFramebuffer(withA));
  a = nullptr;
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  EXPECT_FALSE(glIsFramebuffer(withA));
  EXPECT_TRUE(glIsFramebuffer(withB));
}

// What the window system does to a resized window's buffers after a swap; the offscreen
// video driver keeps them, so the test drops the depth-stencil itself (to 0: every draw
// behind it fails).
void dropWindowDepth() {
  GLint drawn = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
  GLboolean depthMask = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDepthMask(GL_TRUE);
  glDisable(GL_SCISSOR_TEST);
  glClearDepth(0.0);
  glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawn));
  glDepthMask(depthMask);
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

// The back buffer stores no alpha and the default depth-stencil outlives Present and the
// window's resizes: frames that clear only colour draw the same on every path, with a
// second target bound beside the back buffer, and while and after the window has another
// size. A resize between frames is the one the window system may take the depth with:
// the device says so once.
TEST_P(GLDeviceTest, BackBufferAlphaAndDepthHoldAcrossPathsAndResizes) {
  std::vector<std::string> logged;
  dev->setLog([&](std::string_view m) { logged.emplace_back(m); });
  // The left half is near; the rest is at the far plane.
  auto nearLeftHalf = [&] {
    dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
    drawColored({{-1, 1, 0.3f, kBlue}, {0, 1, 0.3f, kBlue}, {0, -1, 0.3f, kBlue},
                 {-1, 1, 0.3f, kBlue}, {0, -1, 0.3f, kBlue}, {-1, -1, 0.3f, kBlue}});
  };
  nearLeftHalf();
  dev->present();
  auto second = dev->createTexture(kW, kH, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  const uint32_t kClear = 0x00204060;  // alpha 0, which the back buffer does not keep
  // A green quad behind the near half, blended by the destination's alpha.
  // (Present is the caller's.)
  auto frame = [&](const char* step, bool withSecondTarget, bool checkDepth = true) {
    SCOPED_TRACE(step);
    dev->setRenderTarget(1, withSecondTarget ? second->getSurfaceLevel(0).get() : nullptr);
    dev->clear(0, nullptr, D3DCLEAR_TARGET, kClear, 1.0f, 0);
    dev->setRenderState(D3DRS_ZWRITEENABLE, 0);
    dev->setRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev->setRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA);
    dev->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVDESTALPHA);
    drawFull(0.5f, kGreen);
    dev->setRenderState(D3DRS_ALPHABLENDENABLE, 0);
    dev->setRenderState(D3DRS_ZWRITEENABLE, 1);
    dev->setRenderTarget(1, nullptr);
    const auto px = readPixels(*dev);
    EXPECT_EQ(pixel(px, kW - 5, 5), kGreen) << "the destination's alpha reads 1";
    if (checkDepth) {
      EXPECT_EQ(pixel(px, 5, 5), kClear | 0xFF000000u) << "the near half's depth is kept";
    }
  };
  for (bool withSecondTarget : {false, true, false}) {
    frame("into the window, or beside a second target", withSecondTarget);
    dev->present();
  }
  if (!window) return;
  SDL_Window* w = window->sdlWindow();
  // Resized as a frame is drawn (and back): seen at Present, before the window system
  // drops its buffers.
  for (int h : {kH - 8, kH}) {
    frame("resized as it is drawn", h == kH);
    SDL_SetWindowSize(w, int(kW), h);
    dev->present();
    dropWindowDepth();
    frame("after the resize", false);
    dev->present();
  }
  EXPECT_TRUE(logged.empty());

  // Resized between frames: the device learns of it after the window system.
  const bool intoWindow = GetParam() == qxtest::GLTarget::Window;
  for (int h : {kH - 8, kH, kH - 8, kH}) {
    SDL_SetWindowSize(w, int(kW), h);
    dropWindowDepth();
    frame("resized between frames", false, !intoWindow);
    dev->present();
  }
  if (intoWindow) {
    ASSERT_EQ(logged.size(), 1u) << "once";
    EXPECT_NE(logged[0].find("undefined until it is cleared"), std::string::npos) << logged[0];
    nearLeftHalf();
    dev->present();
    frame("cleared again", false);
  } else {
    EXPECT_TRUE(logged.empty());
  }
}

// After the application object is made again (a device on a window of its own), nothing
// made under the old device draws or reads back as another: a file's texture and effect
// are made again from their files, fetched by name or held; a render target is refused
// (logged once), and reading it back fails.
TEST_P(GLDeviceTest, WhatAReplacedDeviceMadeIsMadeAgainOrRefused) {
  textest::FolderSources files;
  const uint8_t red[4] = {255, 0, 0, 255};
  files.putPng("red.png", 4, 4, red);
  files.put("tex.fx", R"(sampler2D tex;
vertex_shader v %{ layout(location = QX_POSITION) in vec3 pos; layout(location = QX_TEXCOORD0) in vec2 uv;
  out vec2 vUV; void main() { gl_Position = vec4(pos, 1.0); vUV = uv; } %}
fragment_shader f %{ in vec2 vUV; void main() { qx_Color = texture(tex, vUV); } %}
technique T { pass { ZEnable = false; VertexShader = v; FragmentShader = f; } })");
  std::vector<std::string> logged;
  auto log = [&](std::string_view m) { logged.emplace_back(m); };
  DeviceMgr devices;
  devices.adopt(dev);
  TextureMgr textures;
  textures.setLog(log);
  EffectMgr effects;
  effects.setLog(log);
  using TexLock = kesto::HdlLock<TextureMgr::TexHandle>;
  using FxLock = kesto::HdlLock<EffectMgr::FxHandle>;
  TextureMgr::TexHandle tex = textures.load(u"red.png", 0, 1);
  EffectMgr::FxHandle fx = effects.create(u"tex.fx");
  TextureMgr::TexHandle target = textures.create_blank(4, D3DFMT_A8R8G8B8);
  ASSERT_TRUE(tex.value && fx.value && target.value);
  Ref<Surface> oldTarget = TexLock(target)->getSurface();

  // The application object goes with its device and window, and comes back with new ones.
  std::vector<std::pair<std::unique_ptr<qxplat::Window>, Ref<Device>>> replaced;
  Ref<Texture> green;
  auto replace = [&] {
    devices.release();
    replaced.emplace_back(std::move(window), dev);
    std::string why;
    dev = makeDevice(&why);
    ASSERT_TRUE(dev) << why;
    devices.adopt(dev);
    prepare();
    green = dev->createTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    LockedRect r;
    ASSERT_TRUE(green->lockRect(0, r, nullptr, 0));
    *static_cast<uint32_t*>(r.bits) = kGreen;
    green->unlockRect(0);
  };
  // Green is bound first: a texture or effect of an old device would draw that.
  auto drawsRed = [&] {
    dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    drawTextured(green.get());
    FxLock effect(fx);
    ASSERT_TRUE(effect && effect->effect());
    EXPECT_EQ(effect->set_tech("T"), 1);
    effect->setTexture(effect->effect()->getParameterByName("tex"), TexLock(tex)->texture());
    effect->pass(0);
    ASSERT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    effect->set_tech("T");
    EXPECT_EQ(at(kW / 2, kH / 2), kRed);
  };
  ASSERT_NO_FATAL_FAILURE(replace());
  EXPECT_EQ(effects.create(u"TEX.fx").value, fx.value);  // fetched by name
  EXPECT_EQ(textures.load(u"Red.png", 0, 1).value, tex.value);
  drawsRed();
  EXPECT_TRUE(logged.empty()) << logged.front();
  ASSERT_NO_FATAL_FAILURE(replace());  // only held
  drawsRed();

  // The render target of the first device.
  EXPECT_FALSE(TexLock(target)->getSurface());
  EXPECT_FALSE(TexLock(target)->texture());
  EXPECT_FALSE(textures.saveAsFile(target.value, u"rt.png"));
  EXPECT_FALSE(files.has("rt.png"));
  auto copy = dev->createOffscreenPlainSurface(16, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  EXPECT_EQ(dev->getRenderTargetData(oldTarget.get(), copy.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                          [](const std::string& m) { return m.find("replaced") != std::string::npos; }),
            1)
      << logged.size();

  // What the old devices hold goes before their windows.
  tex.reset();
  fx.reset();
  target.reset();
  oldTarget = nullptr;
  for (auto& old : replaced) old.second = nullptr;
}

// Reading a target into a surface the caller holds locked is refused, not a success
// that wrote nothing.
TEST_P(GLDeviceTest, ReadingIntoALockedSurfaceIsRefused) {
  auto sys = dev->createOffscreenPlainSurface(kW, kH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM);
  LockedRect held;
  ASSERT_TRUE(sys->lockRect(held, nullptr, 0));
  EXPECT_EQ(dev->getRenderTargetData(dev->getBackBuffer().get(), sys.get()), D3DERR_INVALIDCALL);
  sys->unlockRect();
  EXPECT_EQ(dev->getRenderTargetData(dev->getBackBuffer().get(), sys.get()), D3D_OK);
}

TEST_P(GLDeviceTest, OtherThreadsCannotLockButMayRelease) {
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

// Devices on one thread take turns: an offscreen device that comes and goes leaves the
// window's device drawing into its window.
TEST(GLDeviceThread, AWindowDeviceOutlivesAnOffscreenOne) {
  std::string why;
  std::unique_ptr<qxplat::Window> win;
  Ref<Device> onWindow = qxtest::makeWindowGLDevice(16, 16, true, win, &why);
  if (!onWindow) GTEST_SKIP() << "no GL window: " << why;
  Ref<Device> offscreen = qxtest::makeGLDevice(8, 8, &why);
  ASSERT_TRUE(offscreen) << why;
  offscreen->clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0);
  offscreen = nullptr;  // makes its own context current to free it, then releases it
  onWindow->clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
  const auto px = readPixels(*onWindow);
  ASSERT_EQ(px.size(), 256u);
  EXPECT_EQ(px[17], kGreen);
  onWindow = nullptr;
}

// From the first frame after the window's size differs from the back buffer's, frames go
// through the copy; once it matches again they are drawn into the window again.
TEST(GLDeviceWindow, AWindowOfAnotherSizeIsDrawnThroughTheCopy) {
  std::string why;
  std::unique_ptr<qxplat::Window> win;
  Ref<Device> d = qxtest::makeWindowGLDevice(16, 16, true, win, &why);
  if (!d) GTEST_SKIP() << "no GL window: " << why;
  auto frame = [&](uint32_t colour) {
    d->clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
    GLint binding = -1;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &binding);
    EXPECT_EQ(readPixels(*d).at(17), colour);
    d->present();
    return binding;
  };
  EXPECT_EQ(frame(kRed), 0);
  SDL_SetWindowSize(win->sdlWindow(), 16, 12);  // one side is enough
  EXPECT_NE(frame(kGreen), 0) << "the next frame starts in the copy";
  EXPECT_NE(frame(kBlue), 0);
  SDL_SetWindowSize(win->sdlWindow(), 16, 16);
  EXPECT_EQ(frame(kRed), 0);
  EXPECT_EQ(frame(kGreen), 0);

  // Stretched into a window of another size, the copy filters: a red-blue edge blends.
  auto blendsAnEdge = [&](int w, int h) {
    SDL_SetWindowSize(win->sdlWindow(), w, h);
    d->present();
    d->clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    const Rect corner{0, 0, 7, 7};
    d->clear(1, &corner, D3DCLEAR_TARGET, kRed, 1.0f, 0);
    d->present();
    std::vector<uint32_t> px(16 * 16);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadPixels(0, 0, 16, 16, GL_BGRA, GL_UNSIGNED_BYTE, px.data());
    return std::any_of(px.begin(), px.end(), [](uint32_t p) {
      const uint32_t r = (p >> 16) & 0xFF, b = p & 0xFF;
      return r > 0x10 && r < 0xF0 && b > 0x10 && b < 0xF0;
    });
  };
  EXPECT_TRUE(blendsAnEdge(16, 12));
  EXPECT_TRUE(blendsAnEdge(12, 16));
  d = nullptr;
}

// Back buffers up to the largest texture side are fine; past it the device says why.
TEST(GLDeviceSize, BackBuffersReachTheLargestSide) {
  std::string why;
  if (!qxtest::makeGLDevice(8, 8, &why)) {
    if (qxtest::glContextAvailable()) FAIL() << "GL works here, the device does not: " << why;
    GTEST_SKIP() << "no GL context: " << why;
  }
  EXPECT_FALSE(qxtest::makeGLDevice(16385, 1, &why));
  EXPECT_NE(why.find("back buffer too large"), std::string::npos) << why;
  for (auto [w, h] : {std::pair<uint32_t, uint32_t>{16384, 1}, {1, 16384}}) {
    why.clear();
    qxtest::makeGLDevice(w, h, &why);
    EXPECT_EQ(why.find("too large"), std::string::npos) << w << "x" << h << ": " << why;
  }
}

// The window's own pixels after Present, top row first, read on the device's context
// (current after Present).
std::vector<uint32_t> windowPixels(uint32_t w, uint32_t h) {
  std::vector<uint32_t> rows(size_t(w) * h), out(size_t(w) * h);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadPixels(0, 0, GLsizei(w), GLsizei(h), GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) out[size_t(y) * w + x] = rows[size_t(h - 1 - y) * w + x] | 0xFF000000u;
  return out;
}

// One frame that moves between the window and the offscreen targets in every way the
// device allows, drawn into a window and through the copy into one. The window draws
// the same pixels as the offscreen back buffer at every step, and shows them after
// Present.
class GLTargetsTest : public GLDeviceTest {
 protected:
  qxtest::GLTarget target() const override { return qxtest::GLTarget::WindowCopy; }

  struct Frame {
    std::vector<std::vector<uint32_t>> steps;  // the back buffer (or a target) at each check
    std::vector<uint32_t> shown;               // the window after Present
    GLint drawBinding = -1;                    // the draw framebuffer after the first draw
  };

  void drawQuad(float x0, float y0, float x1, float y1, float z, uint32_t c) {
    drawColored({{x0, y0, z, c}, {x1, y0, z, c}, {x1, y1, z, c}, {x0, y0, z, c}, {x1, y1, z, c}, {x0, y1, z, c}});
  }

  Frame drawMixedFrame() {
    Frame f;
    const uint32_t kWhite = 0xFFFFFFFF, kYellow = 0xFFFFFF00, kMagenta = 0xFFFF00FF, kCyan = 0xFF00FFFF;
    dev->setRenderState(D3DRS_ZENABLE, 1);
    dev->setRenderState(D3DRS_ZWRITEENABLE, 1);
    dev->setRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    dev->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
    dev->setViewport(Viewport{8, 8, 16, 16, 0, 1});
    const Rect r{0, 0, 12, 12};
    dev->clear(1, &r, D3DCLEAR_TARGET, kRed, 1.0f, 0);
    dev->setViewport(Viewport{0, 0, kW, kH, 0, 1});
    // A scissor near the top right, and a clockwise triangle at the top left.
    dev->setRenderState(D3DRS_SCISSORTESTENABLE, 1);
    dev->setScissorRect(Rect{40, 4, 60, 20});
    drawFull(0.5f, kGreen);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &f.drawBinding);
    dev->setRenderState(D3DRS_SCISSORTESTENABLE, 0);
    dev->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    drawColored({{-1, -0.2f, 0.5f, kBlue}, {-0.2f, -0.2f, 0.5f, kBlue}, {-1, -1, 0.5f, kBlue}});
    drawColored({{-1, -0.2f, 0.5f, kRed}, {-1, -1, 0.5f, kRed}, {-0.2f, -0.2f, 0.5f, kRed}});  // culled
    dev->setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // An alpha-0 quad in front with depth writes on: discarded, so it leaves no depth.
    dev->setRenderState(D3DRS_ALPHATESTENABLE, 1);
    dev->setRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    dev->setRenderState(D3DRS_ALPHAREF, 0);
    bindVertices<ColorVertex>({{-1, 1, 0.2f, 0x00FF0000}, {0, 1, 0.2f, 0x00FF0000}, {0, -1, 0.2f, 0x00FF0000},
                               {-1, -1, 0.2f, 0x00FF0000}},
                              colorLayout.get(), alphaTestProg.get());
    EXPECT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    dev->setRenderState(D3DRS_ALPHATESTENABLE, 0);
    drawFull(0.6f, kWhite);
    f.steps.push_back(readPixels(*dev));

    // A target texture with the default depth-stencil: it sees the depth drawn so far.
    auto rt = dev->createTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    auto rts = rt->getSurfaceLevel(0);
    dev->setRenderTarget(0, rts.get());
    dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    drawFull(0.55f, kCyan);  // behind the scissored green, in front of the white
    f.steps.push_back(readPixels(*dev, rts.get()));
    dev->clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.3f, 0);  // the top left 32x32 of the depth
    dev->setRenderTarget(0, dev->getBackBuffer().get());
    drawFull(0.4f, kYellow);  // everywhere but the top left 32x32

    // The back buffer with a depth-stencil of its own, then the default one again.
    auto ownDepth = dev->createDepthStencilSurface(kW, kH, D3DFMT_D24S8);
    dev->setDepthStencilSurface(ownDepth.get());
    dev->clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    drawQuad(0.5f, 1, 1, 0.5f, 0.9f, kMagenta);
    dev->setDepthStencilSurface(dev->getDepthStencilSurface().get());
    drawFull(0.45f, 0xFF808080);  // the default depth outlived the other one: fails everywhere
    drawQuad(-1, -0.5f, -0.5f, -1, 0.35f, kCyan);  // the bottom left, in front of the yellow only
    f.steps.push_back(readPixels(*dev));
    drawQuad(-0.25f, 0.25f, 0.25f, -0.25f, 0.1f, kMagenta);  // after a read, into the window again
    dev->present();
    if (target() != qxtest::GLTarget::Offscreen) f.shown = windowPixels(kW, kH);
    f.steps.push_back(readPixels(*dev));
    return f;
  }
};

TEST_F(GLTargetsTest, AFrameDrawsTheSameInTheWindowAsOffscreen) {
  const Frame offscreen = drawMixedFrame();
  EXPECT_NE(offscreen.drawBinding, 0);
  ASSERT_EQ(offscreen.steps.size(), 4u);
  const auto& first = offscreen.steps[0];
  EXPECT_EQ(pixel(first, 50, 10), kGreen);
  EXPECT_EQ(pixel(first, 2, kH - 3), kBlue);
  EXPECT_EQ(pixel(first, 2, 2), 0xFFFFFFFFu) << "the alpha-0 quad must leave no depth";
  const auto& inTarget = offscreen.steps[1];
  EXPECT_EQ(inTarget.at(2 * 32 + 2), 0xFF00FFFFu);
  const auto& later = offscreen.steps[2];
  EXPECT_EQ(pixel(later, 2, 2), 0xFFFFFFFFu) << "the target's depth clear must reach the back buffer's depth";
  EXPECT_EQ(pixel(later, 45, 15), 0xFFFFFF00u);
  EXPECT_EQ(pixel(later, 35, 40), 0xFFFFFF00u);
  EXPECT_EQ(pixel(later, 60, 2), 0xFFFF00FFu);
  EXPECT_EQ(pixel(later, 2, kH - 3), 0xFF00FFFFu);
  EXPECT_EQ(pixel(offscreen.steps[3], kW / 2, kH / 2), 0xFFFF00FFu);

  EXPECT_EQ(offscreen.shown, offscreen.steps[3]);

  std::string why;
  std::unique_ptr<qxplat::Window> win;
  dev = qxtest::makeWindowGLDevice(kW, kH, true, win, &why);
  ASSERT_TRUE(dev) << why;
  prepare();
  const Frame f = drawMixedFrame();
  EXPECT_EQ(f.drawBinding, 0) << "drawn into the window itself";
  ASSERT_EQ(f.steps.size(), offscreen.steps.size());
  for (size_t i = 0; i < f.steps.size(); ++i) EXPECT_EQ(f.steps[i], offscreen.steps[i]) << "check " << i;
  EXPECT_EQ(f.shown, offscreen.steps[3]);
  colorLayout = texLayout = nullptr;
  colorProg = alphaTestProg = texProg = nullptr;
  vb = nullptr;
  ib = nullptr;
  dev = nullptr;  // before its window
}

INSTANTIATE_TEST_SUITE_P(Targets, GLDeviceTest,
                         ::testing::Values(qxtest::GLTarget::Offscreen, qxtest::GLTarget::Window,
                                           qxtest::GLTarget::WindowCopy),
                         qxtest::targetName);

}  // namespace
