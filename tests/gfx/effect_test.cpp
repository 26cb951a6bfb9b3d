// Effects on the recording device, and FxData driving them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>

#include "platform/effect/effect.h"
#include "render/effect/fx_data.h"
#include "render/state/param_table.h"
#include "render/state/vertex_formats.h"
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

TEST_F(EffectTest, FindsParametersTechniquesPassesAndAnnotations) {
  EXPECT_EQ(fx->parameterCount(), 6u);
  const FxHandle h = fx->getParameterBySemantic("worldviewprojection");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(fx->getParameterByName("WVP"), h) << "names match without regard to case";
  EXPECT_EQ(fx->getParameterByName("nothing"), 0u);
  EXPECT_EQ(fx->getParameterBySemantic(""), 0u) << "count has no semantic to match";
  ParamInfo info;
  ASSERT_TRUE(fx->getParameterInfo(fx->getParameterByName("tex0"), info));
  EXPECT_EQ(info.type, ParamType::Texture);
  EXPECT_EQ(info.semantic, "TEXTURE0");
  EXPECT_FALSE(fx->getParameterInfo(0x10000099, info)) << "a forged handle names nothing";

  const FxHandle two = fx->getTechniqueByName("Two");
  EXPECT_EQ(fx->getTechniqueByName("two"), 0u) << "technique names keep their case";
  TechniqueInfo ti;
  ASSERT_TRUE(fx->getTechniqueInfo(two, ti));
  EXPECT_EQ(ti.passes, 2u);
  Annotation a;
  ASSERT_TRUE(fx->getAnnotation(two, 0, a));
  EXPECT_EQ(a.name + "=" + a.value, "SYS_VType=HudVtx");
  EXPECT_FALSE(fx->getAnnotation(two, 1, a));
  const FxHandle p0 = fx->getPass(two, 0);
  PassInfo pi;
  ASSERT_TRUE(fx->getPassInfo(p0, pi));
  EXPECT_EQ(pi.name, "a");
  ASSERT_TRUE(fx->getAnnotation(p0, 0, a));
  EXPECT_EQ(a.value, "first");
  EXPECT_FALSE(fx->getPassInfo(fx->getPass(two, 2), pi));
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
  ASSERT_EQ(callsStarting("SetProgram").size(), 1u);
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
  rec->clearLog();
  fx->commitChanges();
  EXPECT_TRUE(rec->calls.empty()) << "nothing changed since the pass began";

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

TEST_F(EffectTest, ASamplerDefaultStandsInForANullTexture) {
  const char* text = R"fx(
sampler2D white : DIFFUSE { MinFilter = Point; default = 0x80336699; };
sampler2D plain : TEXTURE1;
vertex_shader vs %{ void main() { gl_Position = vec4(0.0); } %}
fragment_shader fs %{ void main() { qx_Color = texture(white, vec2(0.0)) + texture(plain, vec2(0.0)); } %}
technique T { pass { VertexShader = vs; FragmentShader = fs; } }
)fx";
  std::string log;
  std::unique_ptr<IEffect> e = createEffect(*rec, text, "d.fx", &log);
  ASSERT_TRUE(e) << log;
  const FxHandle white = e->getParameterByName("white");
  ASSERT_EQ(e->setTechnique(e->getTechniqueByName("T")), D3D_OK);
  ASSERT_EQ(e->begin(nullptr, 0), D3D_OK);
  ASSERT_EQ(e->beginPass(0), D3D_OK);
  // Nothing set: the declared colour, 1 x 1; a sampler without a default samples nothing.
  Texture* stand = rec->texture(0);
  ASSERT_NE(stand, nullptr);
  EXPECT_EQ(std::make_tuple(stand->width(0), stand->height(0), stand->format()), std::make_tuple(1u, 1u, D3DFMT_A8R8G8B8));
  LockedRect r;
  ASSERT_TRUE(stand->lockRect(0, r, nullptr, D3DLOCK_READONLY));
  EXPECT_EQ(*static_cast<const uint32_t*>(r.bits), 0x80336699u);
  stand->unlockRect(0);
  EXPECT_EQ(rec->texture(1), nullptr);
  EXPECT_EQ(e->getTexture(white), nullptr) << "the default is no value of the parameter";
  // A texture set takes its place; a null texture brings the same default back.
  auto tex = rec->createTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  e->setTexture(white, tex.get());
  e->commitChanges();
  EXPECT_EQ(rec->texture(0), tex.get());
  e->setTexture(white, nullptr);
  e->commitChanges();
  EXPECT_EQ(rec->texture(0), stand);
}

TEST_F(EffectTest, EveryParameterTypeReachesTheProgramAsItsUniform) {
  const char* text = R"fx(
float f; vec2 v2; vec3 v3 : EYEPOS = (1, 2, 3); vec4 v4; mat4 m; int i = 7; sampler2D s;
vertex_shader vs %{ void main() { gl_Position = vec4(v3, f) * m + vec4(v2, v2) + v4 + float(i); } %}
fragment_shader fs %{ void main() { qx_Color = texture(s, vec2(0.0)); } %}
technique T { pass { VertexShader = vs; FragmentShader = fs; } }
)fx";
  std::string log;
  std::unique_ptr<IEffect> e = createEffect(*rec, text, "types.fx", &log);
  ASSERT_TRUE(e) << log;
  ASSERT_EQ(e->setTechnique(e->getTechniqueByName("T")), D3D_OK);
  ASSERT_EQ(e->begin(nullptr, 0), D3D_OK);
  ASSERT_EQ(e->beginPass(0), D3D_OK);
  Program* prog = rec->program();
  ASSERT_TRUE(prog);
  const std::pair<const char*, UniformType> want[] = {{"f", UniformType::Float}, {"v2", UniformType::Vec2},
                                                      {"v3", UniformType::Vec3}, {"v4", UniformType::Vec4},
                                                      {"m", UniformType::Mat4},  {"i", UniformType::Int},
                                                      {"s", UniformType::Sampler2D}};
  for (const auto& [name, type] : want) {
    const int slot = prog->findUniform(name);
    ASSERT_GE(slot, 0) << name;
    EXPECT_EQ(prog->uniform(size_t(slot)).type, type) << name;
  }
  const float* v3 = static_cast<const float*>(prog->uniformData(size_t(prog->findUniform("v3"))));
  EXPECT_EQ(std::make_tuple(v3[0], v3[1], v3[2]), std::make_tuple(1.0f, 2.0f, 3.0f));
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
  const std::pair<float, int32_t> cases[] = {{float(INT32_MIN), INT32_MIN}, {1e30f, INT32_MAX}, {std::nanf(""), 0},
                                             {-42.0f, -42}};
  for (auto [in, want] : cases) {
    fx->setFloat(count, in);
    EXPECT_EQ(sent(), want) << in;
  }
}

// Shaders named v0.. and f0.., and techniques of 32 passes whose k-th pass uses the pair
// (k / fragments, k % fragments): distinct pairs, each one program.
std::string passesOverPairs(int vertices, int fragments, int passes, const std::string& common = "") {
  std::string text = common;
  for (int i = 0; i < vertices; ++i) text += "vertex_shader v" + std::to_string(i) + " %{ void main() {} %}\n";
  for (int i = 0; i < fragments; ++i) text += "fragment_shader f" + std::to_string(i) + " %{ void main() {} %}\n";
  for (int k = 0; k < passes; ++k) {
    if (k % 32 == 0) text += (k ? "}\n" : "") + std::string("technique T") + std::to_string(k / 32) + " {\n";
    text += "pass { VertexShader = v" + std::to_string((k / fragments) % vertices) + "; FragmentShader = f" +
            std::to_string(k % fragments) + "; }\n";
  }
  return text + "}\n";
}

TEST_F(EffectTest, FilesAreRefusedBeforeTheirProgramsCostTooMuch) {
  const struct {
    const char* name;
    std::string text;
    const char* message;  // empty: the file builds
  } cases[] = {
      // Well under the file limit, but one program would repeat a 600 kB common block.
      {"big common", passesOverPairs(2, 2, 4, "common %{\n// " + std::string(600000, 'x') + "\n%}\n"),
       "(v0, f0): a shader of more than 64 KiB of GLSL"},
      {"65 programs", passesOverPairs(9, 8, 65), "more than 64 programs"},
      {"64 programs", passesOverPairs(8, 8, 64), ""},
      // 8192 passes over one program cost one program.
      {"8192 passes of one pair", passesOverPairs(1, 1, 8192), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = rec->liveResourceCount();
    std::string log;
    std::unique_ptr<IEffect> built = createEffect(*rec, c.text, "huge.fx", &log);
    if (!*c.message) {
      EXPECT_TRUE(built) << log;
      continue;
    }
    EXPECT_FALSE(built);
    EXPECT_EQ(log.rfind("huge.fx: ", 0), 0u) << log.substr(0, 200);
    EXPECT_NE(log.find(c.message), std::string::npos) << log.substr(0, 200);
    EXPECT_EQ(rec->liveResourceCount(), before) << "nothing was compiled";
  }
}

TEST_F(EffectTest, FxDataBeginsAndEndsAroundTheEffect) {
  FxData none;  // no effect: nothing is set and nothing begins
  const float v[4] = {1, 2, 3, 4};
  none.setVector(1, v);
  none.setTexture(1, nullptr);
  EXPECT_EQ(none.set_tech("One"), 0);
  none.pass(0);
  EXPECT_EQ(none.passState(), FxData::kNotBegun);
  FxData data;
  data.adopt(std::move(fx));
  IEffect* e = data.effect();
  ASSERT_EQ(data.set_tech("Two"), 2);
  data.pass(0);
  EXPECT_EQ(data.passState(), 0);
  Program* first = rec->program();
  data.pass(1);
  EXPECT_EQ(data.passState(), 1);
  EXPECT_NE(rec->program(), first);
  EXPECT_EQ(data.set_tech("Nope"), 0);
  EXPECT_EQ(data.passState(), 1) << "an unknown technique changes nothing";
  // Mid-pass, a switch ends the pass and the effect first, or the effect refuses it.
  EXPECT_EQ(data.set_tech("One"), 1);
  EXPECT_EQ(e->currentTechnique(), e->getTechniqueByName("One"));
  EXPECT_EQ(data.passState(), FxData::kNotBegun);
  EXPECT_EQ(data.begin(), 1u);
  EXPECT_EQ(data.begin(), 1u) << "what is open is ended first";
  data.beginPass(5);
  data.beginPass(-7);
  EXPECT_EQ(data.passState(), FxData::kBegun) << "a refused pass changes nothing";
  // Still known as begun, the effect is ended before the switch, so the switch takes.
  EXPECT_EQ(data.set_tech("Two"), 2);
  EXPECT_EQ(e->currentTechnique(), e->getTechniqueByName("Two"));
  data.pass(0);
  EXPECT_EQ(data.passState(), 0);

  // A 4x3 matrix gains its last column; a null parameter sets nothing.
  const float m43[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  none.setMatrix43(1, m43);
  data.setMatrix43(0, m43);
  data.setMatrix43(e->getParameterByName("wvp"), m43);
  float out[16];
  ASSERT_TRUE(e->getValue(e->getParameterByName("wvp"), out));
  EXPECT_EQ((std::vector<float>{out[3], out[12], out[15]}), (std::vector<float>{0, 10, 1}));
}

TEST_F(EffectTest, TechniqueAnnotationsBecomeParameterBindings) {
  std::string log;
  fx = createEffect(*rec, R"fx(vec4 tint : DIFFUSE;
sampler2D tex0 : TEXTURE0;
vertex_shader vs %{ void main() { gl_Position = vec4(0.0); } %}
fragment_shader fs %{ void main() { qx_Color = tint; } %}
technique T < string SYS_VType = "HudVtx"; string OBJ_tint = "DIFFUSE:0.5 0.25"; string ab = "too short";
  string EXT_keep = "diffuse: 1 2 3 4 5"; string OBJ_tex = "TEXTURE0:white.png"; string OBJ_bad = "X:1 y 2"; >
{ pass < string glow = "ALPHA:  3"; > { VertexShader = vs; FragmentShader = fs; } }
)fx", "b.fx", &log);
  ASSERT_TRUE(fx) << log;
  std::vector<std::string> loaded;
  const TechniqueBindings b = buildTechniqueBindings(*fx, fx->getTechniqueByName("T"), [&](std::string_view name) {
    loaded.emplace_back(name);
    return 0u;
  });
  EXPECT_EQ(b.vertexFormat, vertexFormatIndex("HudVtx"));
  EXPECT_GT(b.vertexFormat, 0);
  ASSERT_EQ(b.technique.size(), 4u) << "names shorter than a prefix are skipped";
  const ParamBinding& tint = b.technique.at("tint");
  EXPECT_EQ(tint.param, fx->getParameterBySemantic("DIFFUSE"));
  EXPECT_FALSE(tint.keep);
  EXPECT_EQ(std::vector<float>(tint.defaultValue.f, tint.defaultValue.f + 4), (std::vector<float>{0.5f, 0.25f, 0, 0}));
  EXPECT_TRUE(b.technique.at("keep").keep);
  EXPECT_EQ(b.technique.at("keep").defaultValue.f[3], 4.0f) << "at most four values";
  EXPECT_EQ(b.technique.at("tex").defaultValue.kind, ParamValue::kTexture);
  EXPECT_EQ(loaded, (std::vector<std::string>{"white.png"}));
  EXPECT_EQ(b.technique.at("bad").defaultValue.f[1], 0.0f) << "reading stops at what is no number";
  ASSERT_EQ(b.passes.size(), 1u);
  EXPECT_EQ(b.passes[0].at("glow").defaultValue.f[0], 3.0f);
  EXPECT_EQ(ParamValue::ofTexture(0).kind, ParamValue::kTexture) << "even without a texture";
}

// Number defaults go through the number scan; one written with fewer numbers than its
// parameter has is reported with the binding and the parameter.
TEST_F(EffectTest, NumberDefaultsAreScannedAndShortOnesReported) {
  const struct {
    const char* annotation;  // as written in the file
    std::vector<float> value;
    int given;  // of a short default; -1 when none is reported
  } rows[] = {
      {"V4:1, 0.5, 0.25, 1", {1, 0.5f, 0.25f, 1}, -1},
      {"V4:(1, 0.5, 0.25, 1)", {1, 0.5f, 0.25f, 1}, -1},
      {"V4:1\\t2\\t3\\t4", {1, 2, 3, 4}, -1},
      {"V4:1,2,3,4", {1, 2, 3, 4}, -1},
      {"V3:.5 -.25 1", {0.5f, -0.25f, 1, 0}, -1},
      {"V4:1 2", {1, 2, 0, 0}, 2},
      {"F:", {0, 0, 0, 0}, 0},
      {"F", {0, 0, 0, 0}, -1},  // no default at all: nothing to say
  };
  std::string technique = "technique T <";
  for (size_t i = 0; i < std::size(rows); ++i)
    technique += " string OBJ_r" + std::to_string(i) + " = \"" + rows[i].annotation + "\";";
  std::string log;
  fx = createEffect(*rec, "vec4 v4 : V4; vec3 v3 : V3; vec2 v2 : V2; float f : F;\n"
                          "vertex_shader vs %{ void main() { gl_Position = v4 + vec4(v3, f) + vec4(v2, 0, 0); } %}\n"
                          "fragment_shader fs %{ void main() { qx_Color = vec4(1.0); } %}\n" +
                              technique + "> { pass { VertexShader = vs; FragmentShader = fs; } }\n",
                   "d.fx", &log);
  ASSERT_TRUE(fx) << log;
  const TechniqueBindings b = buildTechniqueBindings(*fx, fx->getTechniqueByName("T"), {});
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::string name = "r" + std::to_string(i);
    const ParamValue& v = b.technique.at(name).defaultValue;
    EXPECT_EQ(std::vector<float>(v.f, v.f + 4), rows[i].value) << rows[i].annotation;
    auto said = std::find_if(b.shortDefaults.begin(), b.shortDefaults.end(),
                             [&](const ShortDefault& d) { return d.binding == name; });
    if (rows[i].given < 0) {
      EXPECT_EQ(said, b.shortDefaults.end()) << rows[i].annotation;
      continue;
    }
    ASSERT_NE(said, b.shortDefaults.end()) << rows[i].annotation;
    EXPECT_EQ(said->given, rows[i].given) << rows[i].annotation;
    const std::string semantic(rows[i].annotation, std::string_view(rows[i].annotation).find(':'));
    EXPECT_EQ(said->wanted, semantic == "F" ? 1 : semantic[1] - '0') << rows[i].annotation;
    EXPECT_EQ(said->parameter, semantic == "F" ? "f" : "v" + semantic.substr(1)) << rows[i].annotation;
  }
}

}  // namespace
