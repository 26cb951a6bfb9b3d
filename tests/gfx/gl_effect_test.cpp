// Effects, the batcher and the shipped HUD effect on the GL device, checked by pixels.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>

#include "render/device/prim_batcher.h"
#include "tests/gfx/gl_window_fixture.h"
#include "tests/gfx/hud_context.h"

using namespace qxgfx;
using qxtest::HudContext;
using qxtest::readPixels;
using qxtest::submitRect;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

constexpr uint32_t kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

// Every case runs offscreen, drawn into a window, and through the copy into a window.
class GLEffectTest : public qxtest::GLTargetTest {
 protected:
  void SetUp() override {
    GLTargetTest::SetUp();
    if (!dev) return;
    mgr.adopt(dev);
  }
  void TearDown() override {
    mgr.release();
    GLTargetTest::TearDown();
  }

  // Loads an effect into fx, with the screen size set.
  void load(const std::string& text, const char* name = "test.fx") {
    std::string log;
    ASSERT_TRUE(fx.createEffect(text, name, &log)) << log;
    const float size[4] = {float(kW), float(kH), 0, 0};
    fx.setVector(fx.effect()->getParameterBySemantic("screensize"), size);
  }
  void loadHud() { load(readFile(std::string(QX_SOURCE_DIR) + "/resource/effect/hud.fx"), "hud.fx"); }
  // hud.fx loaded, the back buffer cleared, and the technique's first pass begun.
  void beginHud(const char* technique, uint32_t clearColour) {
    loadHud();
    dev->clear(0, nullptr, D3DCLEAR_TARGET, clearColour, 1.0f, 0);
    ASSERT_EQ(fx.set_tech(technique), 1);
    fx.pass(0);
  }
  // Each {x, y, colour} of the back buffer.
  void expectPixels(std::initializer_list<std::array<uint32_t, 3>> want) {
    const auto px = readPixels(*dev);
    for (auto [x, y, c] : want) EXPECT_EQ(pixel(px, x, y), c) << std::hex << x << "," << y;
  }

  DeviceMgr mgr;
  FxData fx;
  PrimBatcher batcher;
};

TEST_P(GLEffectTest, HudColoredRectanglesLandOnWholePixels) {
  beginHud("Colored", kBlack);
  HudContext ctx(&fx);
  ASSERT_TRUE(submitRect(batcher, ctx, 10, 10, 30, 20, kRed));
  ASSERT_TRUE(submitRect(batcher, ctx, 40, 30, 50, 40, 0xFF00FF00));
  batcher.flush(ctx);
  expectPixels({{10, 10, kRed}, {29, 19, kRed}, {9, 10, kBlack}, {30, 19, kBlack}, {10, 20, kBlack},
                {45, 35, kGreen}});

  // Half-pixel bands with top-left edges on pixel centres cover one row (wire frames rely on it).
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  submitRect(batcher, ctx, 2.5f, 5.5f, 12.0f, 6.0f, kRed);
  submitRect(batcher, ctx, 20.5f, 5.5f, 21.0f, 15.0f, kBlue);
  batcher.flush(ctx);
  expectPixels({{2, 5, kRed}, {11, 5, kRed}, {2, 4, kBlack}, {2, 6, kBlack}, {1, 5, kBlack}, {20, 5, kBlue},
                {20, 14, kBlue}, {21, 10, kBlack}, {19, 10, kBlack}});
}

TEST_P(GLEffectTest, HudAlphaBlendsAndSkipsTransparentPixels) {
  beginHud("Colored", kBlue);
  HudContext ctx(&fx);
  const float half[4] = {0.5f, 0, 0, 0};
  fx.setVector(fx.effect()->getParameterBySemantic("ALPHA"), half);
  submitRect(batcher, ctx, 0, 0, 32, 48, kRed);
  submitRect(batcher, ctx, 32, 0, 64, 48, kRed, 0.0f);  // vertex alpha 0: nothing
  batcher.flush(ctx);
  auto px = readPixels(*dev);
  EXPECT_TRUE(qxtest::near(pixel(px, 5, 5), 0xFF800080)) << std::hex << pixel(px, 5, 5);
  EXPECT_EQ(pixel(px, 40, 5), kBlue);
}

TEST_P(GLEffectTest, HudTexturedDrawsItsColourWithoutATexture) {
  beginHud("Textured", kBlack);
  HudContext ctx(&fx);
  // No texture set: the white default stands in, so each rectangle shows its own colour.
  for (auto [left, colour] : {std::pair<float, uint32_t>{4, kRed}, {30, 0x80FFFFFF}})
    ASSERT_TRUE(submitRect(batcher, ctx, left, 4, left + 10, 12, colour));
  batcher.flush(ctx);
  auto px = readPixels(*dev);
  EXPECT_EQ(pixel(px, 4, 4), kRed);
  EXPECT_EQ(pixel(px, 3, 4), kBlack);
  EXPECT_TRUE(qxtest::near(pixel(px, 35, 8), 0xFF808080)) << std::hex << pixel(px, 35, 8);
}

const char* kCutoutFx = R"fx(
vertex_shader vs %{
layout(location = QX_POSITION) in vec3 p;
layout(location = QX_COLOR0) in vec4 c;
out vec4 vc;
void main() { gl_Position = vec4(p.x / 32.0 - 1.0, 1.0 - p.y / 24.0, 0.5, 1.0); vc = c; }
%}
fragment_shader fs %{
in vec4 vc;
void main() { qx_Color = vc; }
%}
technique Cutout { pass { ZEnable = false; CullMode = None; AlphaBlendEnable = false;
  AlphaTestEnable = true; AlphaFunc = GreaterEqual; AlphaRef = 128; VertexShader = vs; FragmentShader = fs; } }
)fx";

TEST_P(GLEffectTest, AlphaTestDiscardsWithDiscard) {
  load(kCutoutFx);
  HudContext ctx(&fx);
  dev->clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
  fx.set_tech("Cutout");
  fx.pass(0);
  submitRect(batcher, ctx, 0, 0, 32, 48, 0x7FFF0000);
  submitRect(batcher, ctx, 32, 0, 64, 48, 0x80FF0000);
  batcher.flush(ctx);
  expectPixels({{5, 5, kBlack}, {40, 5, kRed}});
  dev->setRenderState(D3DRS_ALPHATESTENABLE, 0);  // the device state drives the test
  submitRect(batcher, ctx, 0, 0, 32, 48, 0x7F00FF00);
  batcher.flush(ctx);
  expectPixels({{5, 5, kGreen}});
}

TEST_P(GLEffectTest, CompileErrorsNameTheFileAndItsLine) {
  std::string text = kCutoutFx;
  text.replace(text.find("qx_Color = vc;"), 0, "undefinedThing = 1;\n");
  std::string log;
  EXPECT_FALSE(fx.createEffect(text, "broken.fx", &log));
  EXPECT_EQ(fx.effect(), nullptr);
  EXPECT_NE(log.find("broken.fx: technique 'Cutout' pass 0 (vs, fs)"), std::string::npos) << log;
  EXPECT_NE(log.find(":10("), std::string::npos) << "line 10 of the file:\n" << log;
}

INSTANTIATE_TEST_SUITE_P(Targets, GLEffectTest,
                         ::testing::Values(qxtest::GLTarget::Offscreen, qxtest::GLTarget::Window,
                                           qxtest::GLTarget::WindowCopy),
                         qxtest::targetName);

}  // namespace
