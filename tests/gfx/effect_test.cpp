// Effects on the recording device, and the FxData state machine against a recording
// stand-in effect.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "platform/effect/effect.h"
#include "render/effect/fx_data.h"
#include "tests/gfx/rec_fixture.h"

using namespace qxgfx;
using namespace qxfx;
using ::testing::ElementsAre;

namespace {

const char* kFx = R"fx(
mat4 wvp : WorldViewProjection;
vec4 tint : DIFFUSE = (1, 1, 1, 1);
float alpha : Alpha = 1;
int count = 3;
sampler2D tex0 : TEXTURE0 { MinFilter = Linear; AddressU = Clamp; };
sampler2D tex1 : TEXTURE1;
vertex_shader vs %{ void main() { gl_Position = vec4(0.0) * wvp; } %}
fragment_shader fs %{ void main() { qx_Color = tint * alpha; } %}
fragment_shader fs2 %{ void main() { qx_Color = texture(tex1, vec2(0.0)); } %}
technique Two < string SYS_VType = "HudVtx"; >
{
  pass a < string note = "first"; > { ZWriteEnable = false; VertexShader = vs; FragmentShader = fs; }
  pass b { AlphaBlendEnable = true; VertexShader = vs; FragmentShader = fs2; }
}
technique One { pass { VertexShader = vs; FragmentShader = fs; } }
)fx";

class EffectTest : public qxtest::RecDeviceTest {
 protected:
  void SetUp() override {
    RecDeviceTest::SetUp();
    std::string log;
    fx = createEffect(*rec, kFx, "t.fx", &log);
    ASSERT_TRUE(fx) << log;
    rec->clearLog();
  }
  std::unique_ptr<IEffect> fx;
};

TEST_F(EffectTest, FindsParametersByNameAndSemanticIgnoringCase) {
  EXPECT_EQ(fx->parameterCount(), 6u);
  const FxHandle h = fx->getParameterBySemantic("worldviewprojection");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(h, fx->getParameterByName("wvp"));
  EXPECT_EQ(fx->getParameterByName("WVP"), h) << "names match without regard to case";
  EXPECT_EQ(fx->getParameterByName("nothing"), 0u);
  EXPECT_EQ(fx->getParameterBySemantic("ALPHA"), fx->getParameterByName("alpha"));
  EXPECT_EQ(fx->getParameterBySemantic(""), 0u) << "count has no semantic to match";
  ParamInfo info;
  ASSERT_TRUE(fx->getParameterInfo(fx->getParameterByName("tex0"), info));
  EXPECT_EQ(info.type, ParamType::Texture);
  EXPECT_EQ(info.semantic, "TEXTURE0");
  EXPECT_FALSE(fx->getParameterInfo(0x10000099, info)) << "a forged handle names nothing";
}

TEST_F(EffectTest, TechniquesPassesAndAnnotations) {
  const FxHandle two = fx->getTechniqueByName("Two");
  TechniqueInfo ti;
  ASSERT_TRUE(fx->getTechniqueInfo(two, ti));
  EXPECT_EQ(ti.passes, 2u);
  Annotation a;
  ASSERT_TRUE(fx->getAnnotation(two, 0, a));
  EXPECT_EQ(a.name, "SYS_VType");
  EXPECT_EQ(a.value, "HudVtx");
  EXPECT_FALSE(fx->getAnnotation(two, 1, a));
  const FxHandle p0 = fx->getPass(two, 0);
  PassInfo pi;
  ASSERT_TRUE(fx->getPassInfo(p0, pi));
  EXPECT_EQ(pi.name, "a");
  ASSERT_TRUE(fx->getAnnotation(p0, 0, a));
  EXPECT_EQ(a.value, "first");
  EXPECT_EQ(fx->getPass(two, 2), 0u);
  EXPECT_EQ(fx->getTechniqueByName("two"), 0u);
}

TEST_F(EffectTest, PassesSetTheirProgramStatesTexturesAndValues) {
  auto texA = rec->createTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  ASSERT_EQ(fx->setTechnique(fx->getTechniqueByName("Two")), D3D_OK);
  ASSERT_EQ(fx->setTexture(fx->getParameterByName("tex1"), texA.get()), D3D_OK);
  const float tint[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  fx->setVector(fx->getParameterBySemantic("diffuse"), tint);
  uint32_t passes = 0;
  ASSERT_EQ(fx->begin(&passes, 7), D3D_OK);
  EXPECT_EQ(passes, 2u);
  rec->clearLog();
  ASSERT_EQ(fx->beginPass(0), D3D_OK);
  auto progCalls = callsStarting("SetProgram");
  ASSERT_EQ(progCalls.size(), 1u);
  EXPECT_THAT(callsStarting("SetRenderState"), ElementsAre("SetRenderState 14 0"));
  EXPECT_THAT(callsStarting("SetTexture"),
              ElementsAre("SetTexture 0 null0", "SetTexture 1 tex" + std::to_string(texA->id())));
  EXPECT_THAT(callsStarting("SetSamplerState"), ElementsAre("SetSamplerState 0 6 2", "SetSamplerState 0 1 3"));
  Program* prog = rec->program();
  ASSERT_TRUE(prog);
  const int slot = prog->findUniform("tint");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(static_cast<const float*>(prog->uniformData(size_t(slot)))[2], 0.75f);
  EXPECT_EQ(*static_cast<const int32_t*>(prog->uniformData(size_t(prog->findUniform("tex1")))), 1)
      << "texture parameters sample from their own stage";
  EXPECT_EQ(*static_cast<const int32_t*>(prog->uniformData(size_t(prog->findUniform("count")))), 3);

  // Values set inside a pass reach the program only with CommitChanges.
  fx->setFloat(fx->getParameterByName("alpha"), 0.5f);
  const int alphaSlot = prog->findUniform("alpha");
  EXPECT_EQ(*static_cast<const float*>(prog->uniformData(size_t(alphaSlot))), 1.0f);
  fx->commitChanges();
  EXPECT_EQ(*static_cast<const float*>(prog->uniformData(size_t(alphaSlot))), 0.5f);

  ASSERT_EQ(fx->endPass(), D3D_OK);
  rec->clearLog();
  ASSERT_EQ(fx->beginPass(1), D3D_OK);
  EXPECT_THAT(callsStarting("SetRenderState"), ElementsAre("SetRenderState 27 1"));
  EXPECT_NE(rec->program(), prog) << "another fragment shader, another program";
  EXPECT_EQ(fx->beginPass(2), D3DERR_INVALIDCALL);
  EXPECT_EQ(fx->setTechnique(fx->getTechniqueByName("One")), D3DERR_INVALIDCALL) << "not while begun";
  fx->endPass();
  EXPECT_EQ(fx->end(), D3D_OK);
  EXPECT_EQ(fx->end(), D3DERR_INVALIDCALL);
}

TEST_F(EffectTest, SettersCheckTheParameterType) {
  const float m[16] = {};
  const float v[4] = {1, 2, 3, 4};
  EXPECT_EQ(fx->setMatrix(fx->getParameterByName("tint"), m), D3DERR_INVALIDCALL);
  EXPECT_EQ(fx->setVector(fx->getParameterByName("wvp"), v), D3DERR_INVALIDCALL);
  EXPECT_EQ(fx->setVector(fx->getParameterByName("tex0"), v), D3DERR_INVALIDCALL);
  EXPECT_EQ(fx->setVector(0, v), D3DERR_INVALIDCALL);
  EXPECT_EQ(fx->setVector(fx->getParameterByName("alpha"), v), D3D_OK);
  float out[16];
  ASSERT_TRUE(fx->getValue(fx->getParameterByName("alpha"), out));
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_EQ(out[1], 0.0f) << "a float takes only the first component";
  auto other = createRecordingDevice(8, 8);
  auto foreign = other->createTexture(2, 2, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED);
  EXPECT_EQ(fx->setTexture(fx->getParameterByName("tex0"), foreign.get()), D3DERR_INVALIDCALL);
}

TEST_F(EffectTest, PassesSharingShadersShareAProgram) {
  const size_t before = rec->liveResourceCount();
  std::string log;
  auto again = createEffect(*rec, kFx, "t.fx", &log);
  ASSERT_TRUE(again);
  EXPECT_EQ(rec->liveResourceCount(), before + 2) << "(vs, fs) and (vs, fs2)";
}

TEST_F(EffectTest, AProgramThatDoesNotBuildGivesNullAndItsLog) {
  std::string log;
  std::string broken = kFx;
  broken.replace(broken.find("qx_Color = tint"), 0, "#error nope\n");
  EXPECT_FALSE(createEffect(*rec, broken, "broken.fx", &log));
  EXPECT_NE(log.find("broken.fx: technique 'Two' pass 0 (vs, fs)"), std::string::npos) << log;
  EXPECT_FALSE(createEffect(*rec, "technique", "cut.fx", &log));
  EXPECT_EQ(log.rfind("cut.fx(1): ", 0), 0u) << log;
}

TEST_F(EffectTest, IntParametersSaturateOnTheWayToTheProgram) {
  ASSERT_EQ(fx->setTechnique(fx->getTechniqueByName("One")), D3D_OK);
  ASSERT_EQ(fx->begin(nullptr, 7), D3D_OK);
  ASSERT_EQ(fx->beginPass(0), D3D_OK);
  Program* prog = rec->program();
  ASSERT_TRUE(prog);
  const FxHandle count = fx->getParameterByName("count");
  auto sent = [&] {
    fx->commitChanges();
    return *static_cast<const int32_t*>(prog->uniformData(size_t(prog->findUniform("count"))));
  };
  fx->setInt(count, INT32_MAX);  // held as the float 2^31
  EXPECT_EQ(sent(), INT32_MAX);
  fx->setInt(count, INT32_MIN);
  EXPECT_EQ(sent(), INT32_MIN);
  fx->setFloat(count, 1e30f);
  EXPECT_EQ(sent(), INT32_MAX);
  fx->setFloat(count, std::nanf(""));
  EXPECT_EQ(sent(), 0);
  fx->setInt(count, -42);
  EXPECT_EQ(sent(), -42);
}

TEST_F(EffectTest, ProgramsOfOneFileAreCappedInSize) {
  // Well under the file limit, but 64 programs that each repeat a 600 kB common block.
  std::string text = "common %{\n// " + std::string(600000, 'x') + "\n%}\n";
  for (int i = 0; i < 8; ++i) {
    text += "vertex_shader v" + std::to_string(i) + " %{ void main() {} %}\n";
    text += "fragment_shader f" + std::to_string(i) + " %{ void main() {} %}\n";
  }
  for (int t = 0; t < 2; ++t) {
    text += "technique T" + std::to_string(t) + " {\n";
    for (int p = 0; p < 32; ++p)
      text += "pass { VertexShader = v" + std::to_string(p % 8) + "; FragmentShader = f" +
              std::to_string(t * 4 + p / 8) + "; }\n";
    text += "}\n";
  }
  const size_t before = rec->liveResourceCount();
  std::string log;
  EXPECT_FALSE(createEffect(*rec, text, "huge.fx", &log));
  EXPECT_NE(log.find("huge.fx: its programs hold more than 32 MiB"), std::string::npos) << log.substr(0, 200);
  EXPECT_EQ(rec->liveResourceCount(), before) << "the programs built so far are gone";
}

TEST_F(EffectTest, FxDataKeepsItsStateWhenAPassIsRefused) {
  FxData data;
  data.adopt(std::move(fx));
  ASSERT_EQ(data.set_tech("Two"), 2);
  EXPECT_EQ(data.begin(), 2u);
  data.beginPass(5);
  EXPECT_EQ(data.passState(), FxData::kBegun) << "no pass 5";
  data.beginPass(-7);
  EXPECT_EQ(data.passState(), FxData::kBegun);
  // Still known as begun, the effect is ended before the switch, so the switch takes.
  EXPECT_EQ(data.set_tech("One"), 1);
  EXPECT_EQ(data.effect()->currentTechnique(), data.effect()->getTechniqueByName("One"));
  data.pass(0);
  EXPECT_EQ(data.passState(), 0);
}

TEST(EffectSource, FragmentShadersEndWithTheAlphaTest) {
  EffectDesc d;
  std::string err;
  ASSERT_TRUE(parseEffect(kFx, "t.fx", d, err));
  ProgramSource src = buildProgramSource(d, d.vertexShaders[0], d.fragmentShaders[0]);
  EXPECT_EQ(src.uniforms.size(), 6u);
  EXPECT_EQ(src.uniforms[0].type, UniformType::Mat4);
  EXPECT_EQ(src.uniforms[4].type, UniformType::Sampler2D);
  EXPECT_NE(src.vertex.find("uniform mat4 wvp;"), std::string::npos);
  EXPECT_NE(src.vertex.find("#line 8\n"), std::string::npos) << "compiler lines are the file's";
  EXPECT_NE(src.fragment.find("#define main qx_main"), std::string::npos);
  EXPECT_NE(src.fragment.find("qx_alphaTest(qx_Color.a)"), std::string::npos);
}

// ---- FxData against a stand-in effect that records the calls it gets.

class CallLog : public IEffect {
 public:
  explicit CallLog(std::vector<std::string>& log) : log_(log) {}
  FxHandle getParameterByName(std::string_view) const override { return 0; }
  FxHandle getParameterBySemantic(std::string_view) const override { return 0; }
  FxHandle getParameter(uint32_t) const override { return 0; }
  uint32_t parameterCount() const override { return 0; }
  bool getParameterInfo(FxHandle, ParamInfo&) const override { return false; }
  FxHandle getTechniqueByName(std::string_view name) const override {
    return name == "A" ? 1 : name == "B" ? 2 : 0;
  }
  FxHandle getTechnique(uint32_t) const override { return 0; }
  uint32_t techniqueCount() const override { return 2; }
  bool getTechniqueInfo(FxHandle t, TechniqueInfo& out) const override {
    out.passes = t == 1 ? 2 : 3;
    return true;
  }
  FxHandle getPass(FxHandle, uint32_t) const override { return 0; }
  bool getPassInfo(FxHandle, PassInfo&) const override { return false; }
  bool getAnnotation(FxHandle, uint32_t, Annotation&) const override { return false; }
  int32_t setTechnique(FxHandle t) override {
    log_.push_back("SetTechnique " + std::to_string(t));
    tech_ = t;
    return D3D_OK;
  }
  FxHandle currentTechnique() const override { return tech_; }
  int32_t begin(uint32_t* passes, uint32_t flags) override {
    log_.push_back("Begin " + std::to_string(flags));
    if (passes) *passes = tech_ == 1 ? 2 : 3;
    return tech_ ? D3D_OK : D3DERR_INVALIDCALL;
  }
  int32_t beginPass(uint32_t p) override {
    log_.push_back("BeginPass " + std::to_string(p));
    return D3D_OK;
  }
  int32_t commitChanges() override {
    log_.push_back("CommitChanges");
    return D3D_OK;
  }
  int32_t endPass() override {
    log_.push_back("EndPass");
    return D3D_OK;
  }
  int32_t end() override {
    log_.push_back("End");
    return D3D_OK;
  }
  int32_t setFloat(FxHandle, float) override { return D3D_OK; }
  int32_t setVector(FxHandle, const float*) override { return D3D_OK; }
  int32_t setMatrix(FxHandle, const float* m) override {
    log_.push_back("SetMatrix " + std::to_string(m[3]) + " " + std::to_string(m[12]) + " " + std::to_string(m[15]));
    return D3D_OK;
  }
  int32_t setInt(FxHandle, int32_t) override { return D3D_OK; }
  int32_t setTexture(FxHandle, Texture*) override { return D3D_OK; }
  bool getValue(FxHandle, float*) const override { return false; }
  Texture* getTexture(FxHandle) const override { return nullptr; }

 private:
  std::vector<std::string>& log_;
  FxHandle tech_ = 0;
};

class FxDataTest : public ::testing::Test {
 protected:
  void SetUp() override { fx.adopt(std::make_unique<CallLog>(log)); }
  std::vector<std::string> log;
  FxData fx;
};

TEST_F(FxDataTest, PassesBeginOnceAndEndBetween) {
  EXPECT_EQ(fx.set_tech("A"), 2);
  fx.pass(0);
  fx.pass(1);
  EXPECT_THAT(log, ElementsAre("SetTechnique 1", "Begin 7", "BeginPass 0", "EndPass", "BeginPass 1"));
  EXPECT_EQ(fx.passState(), 1);
}

TEST_F(FxDataTest, SetTechMidPassClosesPassAndEffect) {
  fx.set_tech("A");
  fx.pass(1);
  log.clear();
  EXPECT_EQ(fx.set_tech("B"), 3);
  EXPECT_THAT(log, ElementsAre("EndPass", "End", "SetTechnique 2"));
  EXPECT_EQ(fx.passState(), FxData::kNotBegun);
  log.clear();
  fx.pass(0);
  EXPECT_THAT(log, ElementsAre("Begin 7", "BeginPass 0")) << "the next pass begins again";
}

TEST_F(FxDataTest, UnknownTechniqueChangesNothing) {
  fx.set_tech("A");
  fx.pass(0);
  log.clear();
  EXPECT_EQ(fx.set_tech("Nope"), 0);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(fx.passState(), 0);
}

TEST_F(FxDataTest, BeginClosesWhatIsOpen) {
  fx.set_tech("B");
  EXPECT_EQ(fx.begin(), 3u);
  EXPECT_EQ(fx.passState(), FxData::kBegun);
  fx.beginPass(2);
  log.clear();
  EXPECT_EQ(fx.begin(), 3u);
  EXPECT_THAT(log, ElementsAre("EndPass", "End", "Begin 7"));
  log.clear();
  fx.pass(1);  // begun already: no second Begin
  EXPECT_THAT(log, ElementsAre("BeginPass 1"));
}

TEST_F(FxDataTest, AffineMatricesGainTheirLastColumn) {
  const float m43[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  fx.setMatrix43(5, m43);
  fx.setMatrix43(0, m43);  // a null parameter sets nothing
  EXPECT_THAT(log, ElementsAre("SetMatrix 0.000000 10.000000 1.000000"));
}

TEST(FxDataEmpty, WithoutAnEffectEverythingIsHarmless) {
  FxData fx;
  EXPECT_EQ(fx.set_tech("A"), 0);
  fx.pass(0);
  EXPECT_EQ(fx.begin(), 0u);
  fx.commit();
  std::string log;
  EXPECT_FALSE(fx.createEffect("technique T {}", "x.fx", &log)) << "no device";
  EXPECT_NE(log.find("no device"), std::string::npos);
}

}  // namespace
