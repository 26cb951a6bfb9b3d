// Reading effect files, well-formed and hostile.
#include <gtest/gtest.h>

#include <string>

#include "platform/effect/effect_desc.h"
#include "platform/gfx/gfx_types.h"

using namespace qxfx;
using namespace qxgfx;

namespace {

const char* kSample = R"fx(// a sample
mat4 wvp : WORLDVIEWPROJECTION;
vec4 tint : Diffuse < string UIName = "Tint \"colour\""; > = (1, 0.5, 0.25, 1.0);
float alpha : ALPHA = 0.5f;
int mode = 0x10;
vec2 offset : OFFSET = {-3, 4.5e1};
sampler2D diffuse : TEXTURE0 { MinFilter = Linear; magfilter = point; AddressU = Clamp; BorderColor = 0xFF00FF00; };

common %{ float half_(float x) { return x * 0.5; } %}

vertex_shader vs %{
layout(location = QX_POSITION) in vec3 p;
void main() { gl_Position = vec4(p, 1.0) * wvp; }
%}
fragment_shader fs %{
void main() { qx_Color = tint; }
%}

/* two techniques */
technique Plain < string SYS_VType = "HudVtx"; string OBJ_alpha = "ALPHA:1"; >
{
  pass p0 < string diffuse = "TEXTURE0:white.png"; >
  {
    ZEnable = false; ZWriteEnable = 0; ZFunc = Greater;
    AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha; BlendOp = RevSubtract;
    CullMode = none; ColorWriteEnable = 7; AlphaTestEnable = true; AlphaFunc = GreaterEqual; AlphaRef = 128;
    FillMode = Wireframe;
    VertexShader = vs; PixelShader = fs;
  }
  pass { VertexShader = vs; FragmentShader = fs; }
};
technique Other { pass only { VertexShader = vs; FragmentShader = fs; } }
)fx";

TEST(EffectParser, ReadsParametersShadersTechniquesAndPasses) {
  EffectDesc d;
  std::string err;
  ASSERT_TRUE(parseEffect(kSample, "sample.fx", d, err)) << err;
  ASSERT_EQ(d.params.size(), 6u);
  EXPECT_EQ(d.params[0].type, ParamType::Mat4);
  EXPECT_EQ(d.params[1].semantic, "Diffuse");
  ASSERT_EQ(d.params[1].annotations.size(), 1u);
  EXPECT_EQ(d.params[1].annotations[0].value, "Tint \"colour\"");
  EXPECT_EQ(d.params[1].defaults[1], 0.5f);
  EXPECT_EQ(d.params[2].defaults[0], 0.5f);
  EXPECT_EQ(d.params[3].defaults[0], 16.0f);
  EXPECT_EQ(d.params[4].defaults[0], -3.0f);
  EXPECT_EQ(d.params[4].defaults[1], 45.0f);
  EXPECT_EQ(d.params[5].type, ParamType::Texture);
  EXPECT_EQ(d.params[5].sampler,
            (std::vector<std::pair<uint32_t, uint32_t>>{{D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
                                                        {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
                                                        {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
                                                        {D3DSAMP_BORDERCOLOR, 0xFF00FF00u}}));
  ASSERT_EQ(d.common.size(), 1u);
  EXPECT_EQ(d.common[0].line, 9);
  ASSERT_EQ(d.vertexShaders.size(), 1u);
  EXPECT_EQ(d.vertexShaders[0].line, 11);

  ASSERT_EQ(d.techniques.size(), 2u);
  const TechniqueDecl& t = d.techniques[0];
  ASSERT_EQ(t.annotations.size(), 2u);
  EXPECT_EQ(t.annotations[1].name + "=" + t.annotations[1].value, "OBJ_alpha=ALPHA:1");
  ASSERT_EQ(t.passes.size(), 2u);
  EXPECT_EQ(t.passes[0].annotations[0].value, "TEXTURE0:white.png");
  EXPECT_EQ(t.passes[0].states,
            (std::vector<std::pair<uint32_t, uint32_t>>{
                {D3DRS_ZENABLE, 0}, {D3DRS_ZWRITEENABLE, 0}, {D3DRS_ZFUNC, D3DCMP_GREATER},
                {D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT},
                {D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_COLORWRITEENABLE, 7}, {D3DRS_ALPHATESTENABLE, 1},
                {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}, {D3DRS_ALPHAREF, 128},
                {D3DRS_FILLMODE, D3DFILL_WIREFRAME}}));
  EXPECT_EQ(t.passes[0].fragmentShader, "fs");
  EXPECT_EQ(t.passes[1].name, "");
  EXPECT_TRUE(t.passes[1].states.empty());
  EXPECT_EQ(d.techniques[1].passes[0].name, "only");
}

// tests/fuzz/effect.cmake covers survival; these pin the messages a pack author gets.
TEST(EffectParser, RejectsWithTheFileAndLine) {
  const std::pair<std::string, const char*> cases[] = {
      {"vertex_shader v %{ void main() {}", "(1): GLSL block without its closing %}"},
      {"vec4 c : X < string a = \"open; >;", "unterminated string"},
      {"/* never closed", "unterminated comment"},
      {"vec3 c = (1, 2);", "vec3 takes 3 values"},
      {"float c = 1.5.5;", "bad number"},
      {"vec2 c = (1, -1e300);", "value out of range for vec2"},
      {"int c = 3000000000;", "value out of range for int"},
      {"vec4 c;\nvec4 c;", "(2): parameter 'c' is declared twice"},
      {"float qx_Color;", "may not begin with gl_"},
      {"sampler2D t { MinFilter = Cubic; };", "expected a filter"},
      {"technique T { }", "has no pass"},
      {"technique T { pass { AlphaRef = 256; } }", "out of range"},
      {"technique T { pass { Shininess = 1; } }", "unknown render state 'Shininess'"},
      {"technique T { pass { ZEnable = true; } }", "names a VertexShader and a FragmentShader"},
      {"technique T { pass { VertexShader = v; FragmentShader = f; } }", "no vertex_shader named 'v'"},
      {"technique T < string x = \"1\"; string x = \"2\"; > { }", "given twice"},
      {"technique T { pass", "expected '{'"},
      {"float a234567890123456789012345678901234567890123456789012345678901234;", "longer than 63"},
      {std::string(kMaxEffectBytes + 1, ' '), "larger than 1 MiB"},
      {std::string("float a;\0float b;", 17), "not a text file"},
      {[] {
         std::string many;
         for (int i = 0; i <= 16; ++i) many += "sampler2D t" + std::to_string(i) + ";\n";
         return many;
       }(),
       "(17): more than 16 texture parameters"},
      {[] {
         std::string passes = "vertex_shader v %{%} fragment_shader f %{%} technique T {";
         for (int i = 0; i <= 32; ++i) passes += " pass { VertexShader = v; FragmentShader = f; }";
         return passes + " }";
       }(),
       "too many passes"},
      // A byte-order mark is skipped, and lines still count from the file's first.
      {"\xEF\xBB\xBFvec4 c;\nvec4 c;", "bad.fx(2): parameter 'c' is declared twice"},
      {"\xEF\xBB\xEF\xBB\xBFvec4 c;", "(1): "}};
  for (const auto& [text, message] : cases) {
    EffectDesc d;
    std::string err;
    EXPECT_FALSE(parseEffect(text, "bad.fx", d, err)) << message;
    EXPECT_EQ(err.rfind("bad.fx", 0), 0u) << err;
    EXPECT_NE(err.find(message), std::string::npos) << err;
    EXPECT_TRUE(d.techniques.empty() && d.params.empty()) << "nothing half-read is kept: " << message;
  }
}

TEST(EffectParser, SkipsAByteOrderMark) {
  EffectDesc d;
  std::string err;
  ASSERT_TRUE(parseEffect("\xEF\xBB\xBFvec4 tint : DIFFUSE;", "bom.fx", d, err)) << err;
  ASSERT_EQ(d.params.size(), 1u);
  EXPECT_EQ(d.params[0].name, "tint");
}

}  // namespace
