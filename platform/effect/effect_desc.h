// An effect file as read, before its shaders are built (docs/effect-format.md).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qxfx {

enum class ParamType : uint8_t { Float, Vec2, Vec3, Vec4, Mat4, Int, Texture };

struct Annotation {
  std::string name;
  std::string value;  // annotations hold strings
};

struct ParamDecl {
  std::string name;
  std::string semantic;  // as written; looked up without regard to case
  ParamType type = ParamType::Vec4;
  std::vector<Annotation> annotations;
  float defaults[16] = {};                             // Int values are stored as floats
  std::vector<std::pair<uint32_t, uint32_t>> sampler;  // texture parameters: (D3DSAMP_*, value)
  bool hasDefault = false;    // texture parameters: a null texture samples defaultColor
  uint32_t defaultColor = 0;  // A8R8G8B8
  int line = 0;
};

struct ShaderBlock {
  std::string name;
  std::string source;
  int line = 0;  // the file line the source starts on
};

struct PassDecl {
  std::string name;
  std::vector<Annotation> annotations;
  std::vector<std::pair<uint32_t, uint32_t>> states;  // (D3DRS_*, value) in file order
  std::string vertexShader, fragmentShader;
  int line = 0;
};

struct TechniqueDecl {
  std::string name;
  std::vector<Annotation> annotations;
  std::vector<PassDecl> passes;
  int line = 0;
};

struct EffectDesc {
  std::vector<ParamDecl> params;
  std::vector<ShaderBlock> common;  // GLSL put before every shader, in file order
  std::vector<ShaderBlock> vertexShaders;
  std::vector<ShaderBlock> fragmentShaders;
  std::vector<TechniqueDecl> techniques;
};

// Limits on what one file may declare.
constexpr size_t kMaxEffectBytes = 1u << 20;
constexpr size_t kMaxParams = 256;
constexpr size_t kMaxTextureParams = 16;
constexpr size_t kMaxTechniques = 256;
constexpr size_t kMaxPasses = 32;
constexpr size_t kMaxAnnotations = 64;
constexpr size_t kMaxShaders = 256;
constexpr size_t kMaxNameLength = 63;

// Reads an effect file. On failure returns false with "file(line): message" in error.
bool parseEffect(std::string_view text, std::string_view fileName, EffectDesc& out, std::string& error);

// True when a and b are equal ignoring ASCII case.
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace qxfx
