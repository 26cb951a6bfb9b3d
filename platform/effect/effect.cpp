#include "platform/effect/effect.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <set>

namespace qxfx {

using namespace qxgfx;

namespace {

const char* glslType(ParamType t) {
  switch (t) {
    case ParamType::Float:
      return "float";
    case ParamType::Vec2:
      return "vec2";
    case ParamType::Vec3:
      return "vec3";
    case ParamType::Vec4:
      return "vec4";
    case ParamType::Mat4:
      return "mat4";
    case ParamType::Int:
      return "int";
    case ParamType::Texture:
      return "sampler2D";
  }
  return "vec4";
}

UniformType uniformType(ParamType t) {
  switch (t) {
    case ParamType::Float:
      return UniformType::Float;
    case ParamType::Vec2:
      return UniformType::Vec2;
    case ParamType::Vec3:
      return UniformType::Vec3;
    case ParamType::Vec4:
      return UniformType::Vec4;
    case ParamType::Mat4:
      return UniformType::Mat4;
    case ParamType::Int:
      return UniformType::Int;
    case ParamType::Texture:
      return UniformType::Sampler2D;
  }
  return UniformType::Vec4;
}

const char* kHeader =
    "#version 330 core\n"
    "#define QX_POSITION 0\n"
    "#define QX_NORMAL 1\n"
    "#define QX_COLOR0 2\n"
    "#define QX_COLOR1 3\n"
    "#define QX_TEXCOORD0 4\n"
    "#define QX_TEXCOORD1 5\n"
    "#define QX_TEXCOORD2 6\n"
    "#define QX_TEXCOORD3 7\n"
    "#define QX_TEXCOORD4 8\n"
    "#define QX_TEXCOORD5 9\n"
    "#define QX_TEXCOORD6 10\n"
    "#define QX_TEXCOORD7 11\n";

// The device sets the two uniforms from the alpha-test render states; the compare runs
// on 0..255 values as the render states hold them.
const char* kAlphaTest =
    "void qx_alphaTest(float a) {\n"
    "  float v = floor(clamp(a, 0.0, 1.0) * 255.0 + 0.5);\n"
    "  float r = floor(clamp(qx_AlphaRef, 0.0, 1.0) * 255.0 + 0.5);\n"
    "  bool keep = true;\n"
    "  if (qx_AlphaFunc == 1) keep = false;\n"
    "  else if (qx_AlphaFunc == 2) keep = v < r;\n"
    "  else if (qx_AlphaFunc == 3) keep = v == r;\n"
    "  else if (qx_AlphaFunc == 4) keep = v <= r;\n"
    "  else if (qx_AlphaFunc == 5) keep = v > r;\n"
    "  else if (qx_AlphaFunc == 6) keep = v != r;\n"
    "  else if (qx_AlphaFunc == 7) keep = v >= r;\n"
    "  if (!keep) discard;\n"
    "}\n"
    "void main() {\n"
    "  qx_main();\n"
    "  qx_alphaTest(qx_Color.a);\n"
    "}\n";

// Int parameters hold their value as a float (setInt(INT_MAX) rounds up to 2^31): the
// conversion back saturates instead of overflowing.
int32_t toInt(float f) {
  if (!(f == f)) return 0;
  if (f >= 2147483647.0f) return INT32_MAX;
  if (f <= -2147483648.0f) return INT32_MIN;
  return int32_t(f);
}

void appendBlock(std::string& out, const ShaderBlock& b) {
  // Compiler messages then name the effect file's own lines.
  out += "#line " + std::to_string(b.line) + "\n";
  out += b.source;
  out += "\n";
}

constexpr uint32_t kKindParam = 1u << 28, kKindTech = 2u << 28, kKindPass = 3u << 28, kKindMask = 0xFu << 28;

class Effect final : public IEffect {
 public:
  Effect(Device& device, EffectDesc desc) : dev_(&device), desc_(std::move(desc)) {
    int stage = 0;
    for (const ParamDecl& d : desc_.params) {
      Param p;
      p.type = d.type;
      std::memcpy(p.value, d.defaults, sizeof p.value);
      if (d.type == ParamType::Texture) p.stage = stage++;
      params_.push_back(std::move(p));
    }
  }

  // Refuses a file whose programs would cost more than the bounds, before compiling.
  bool withinBounds(std::string_view fileName, std::string* log) const {
    std::set<std::pair<std::string, std::string>> pairs;
    for (const TechniqueDecl& tech : desc_.techniques) {
      for (const PassDecl& pass : tech.passes) {
        if (!pairs.emplace(pass.vertexShader, pass.fragmentShader).second) continue;
        if (pairs.size() > kMaxPrograms) {
          if (log) *log = std::string(fileName) + ": more than " + std::to_string(kMaxPrograms) + " programs";
          return false;
        }
        ProgramSource src = buildProgramSource(desc_, *findShader(desc_.vertexShaders, pass.vertexShader),
                                               *findShader(desc_.fragmentShaders, pass.fragmentShader));
        if (src.vertex.size() > kMaxProgramBytes || src.fragment.size() > kMaxProgramBytes) {
          if (log)
            *log = std::string(fileName) + ": technique '" + tech.name + "' (" + pass.vertexShader + ", " +
                   pass.fragmentShader + "): a shader of more than " + std::to_string(kMaxProgramBytes >> 10) +
                   " KiB of GLSL";
          return false;
        }
      }
    }
    return true;
  }

  bool build(std::string_view fileName, std::string* log) {
    if (!withinBounds(fileName, log)) return false;
    std::map<std::pair<std::string, std::string>, Ref<Program>> built;
    size_t sourceBytes = 0;
    passes_.resize(desc_.techniques.size());
    for (size_t t = 0; t < desc_.techniques.size(); ++t) {
      const TechniqueDecl& tech = desc_.techniques[t];
      for (size_t p = 0; p < tech.passes.size(); ++p) {
        const PassDecl& pass = tech.passes[p];
        auto key = std::make_pair(pass.vertexShader, pass.fragmentShader);
        auto it = built.find(key);
        if (it == built.end()) {
          ProgramSource src = buildProgramSource(desc_, *findShader(desc_.vertexShaders, pass.vertexShader),
                                                 *findShader(desc_.fragmentShaders, pass.fragmentShader));
          // Every program repeats the common blocks: many passes over a large common
          // block would otherwise turn one small file into gigabytes of GLSL to compile.
          sourceBytes += src.vertex.size() + src.fragment.size();
          if (sourceBytes > kMaxProgramSourceBytes) {
            if (log) *log = std::string(fileName) + ": its programs hold more than 32 MiB of GLSL in all";
            return false;
          }
          std::string why;
          Ref<Program> prog = dev_->createProgram(src, &why);
          if (!prog) {
            if (log)
              *log = std::string(fileName) + ": technique '" + tech.name + "' pass " + std::to_string(p) + " (" +
                     pass.vertexShader + ", " + pass.fragmentShader + "):\n" + why;
            return false;
          }
          it = built.emplace(key, prog).first;
        }
        passes_[t].push_back(it->second);
      }
    }
    return true;
  }

  FxHandle getParameterByName(std::string_view name) const override {
    for (size_t i = 0; i < desc_.params.size(); ++i)
      if (desc_.params[i].name == name) return kKindParam | uint32_t(i);
    for (size_t i = 0; i < desc_.params.size(); ++i)
      if (equalsNoCase(desc_.params[i].name, name)) return kKindParam | uint32_t(i);
    return 0;
  }
  FxHandle getParameterBySemantic(std::string_view semantic) const override {
    if (semantic.empty()) return 0;
    for (size_t i = 0; i < desc_.params.size(); ++i)
      if (equalsNoCase(desc_.params[i].semantic, semantic)) return kKindParam | uint32_t(i);
    return 0;
  }
  FxHandle getParameter(uint32_t index) const override {
    return index < desc_.params.size() ? kKindParam | index : 0;
  }
  uint32_t parameterCount() const override { return uint32_t(desc_.params.size()); }
  bool getParameterInfo(FxHandle h, ParamInfo& out) const override {
    const ParamDecl* d = param(h);
    if (!d) return false;
    out = ParamInfo{d->name, d->semantic, d->type, uint32_t(d->annotations.size())};
    return true;
  }
  FxHandle getTechniqueByName(std::string_view name) const override {
    for (size_t i = 0; i < desc_.techniques.size(); ++i)
      if (desc_.techniques[i].name == name) return kKindTech | uint32_t(i);
    return 0;
  }
  FxHandle getTechnique(uint32_t index) const override {
    return index < desc_.techniques.size() ? kKindTech | index : 0;
  }
  uint32_t techniqueCount() const override { return uint32_t(desc_.techniques.size()); }
  bool getTechniqueInfo(FxHandle h, TechniqueInfo& out) const override {
    const TechniqueDecl* t = technique(h);
    if (!t) return false;
    out = TechniqueInfo{t->name, uint32_t(t->passes.size()), uint32_t(t->annotations.size())};
    return true;
  }
  FxHandle getPass(FxHandle tech, uint32_t index) const override {
    const TechniqueDecl* t = technique(tech);
    if (!t || index >= t->passes.size()) return 0;
    return kKindPass | ((tech & 0xFFFF) << 8) | index;
  }
  bool getPassInfo(FxHandle h, PassInfo& out) const override {
    const PassDecl* p = pass(h);
    if (!p) return false;
    out = PassInfo{p->name, uint32_t(p->annotations.size())};
    return true;
  }
  bool getAnnotation(FxHandle object, uint32_t index, Annotation& out) const override {
    const std::vector<Annotation>* list = nullptr;
    if (const ParamDecl* d = param(object)) list = &d->annotations;
    if (const TechniqueDecl* t = technique(object)) list = &t->annotations;
    if (const PassDecl* p = pass(object)) list = &p->annotations;
    if (!list || index >= list->size()) return false;
    out = (*list)[index];
    return true;
  }

  int32_t setTechnique(FxHandle h) override {
    if (!technique(h) || begun_) return D3DERR_INVALIDCALL;
    tech_ = int(h & 0xFFFF);
    return D3D_OK;
  }
  FxHandle currentTechnique() const override { return tech_ < 0 ? 0 : kKindTech | uint32_t(tech_); }

  int32_t begin(uint32_t* passes, uint32_t) override {
    if (tech_ < 0 || begun_) return D3DERR_INVALIDCALL;
    begun_ = true;
    pass_ = -1;
    if (passes) *passes = uint32_t(passes_[size_t(tech_)].size());
    return D3D_OK;
  }

  int32_t beginPass(uint32_t index) override {
    if (!begun_ || index >= passes_[size_t(tech_)].size()) return D3DERR_INVALIDCALL;
    pass_ = int(index);
    const PassDecl& decl = desc_.techniques[size_t(tech_)].passes[index];
    Program* prog = passes_[size_t(tech_)][index].get();
    dev_->setProgram(prog);
    for (auto [state, value] : decl.states) dev_->setRenderState(state, value);
    for (size_t i = 0; i < params_.size(); ++i) {
      Param& p = params_[i];
      if (p.type == ParamType::Texture) {
        dev_->setTexture(uint32_t(p.stage), bound(i));
        for (auto [state, value] : desc_.params[i].sampler) dev_->setSamplerState(uint32_t(p.stage), state, value);
      }
      sendValue(*prog, i);
      p.dirty = false;
    }
    return D3D_OK;
  }

  int32_t commitChanges() override {
    if (pass_ < 0) return D3D_OK;
    Program* prog = passes_[size_t(tech_)][size_t(pass_)].get();
    for (size_t i = 0; i < params_.size(); ++i) {
      Param& p = params_[i];
      if (!p.dirty) continue;
      if (p.type == ParamType::Texture) dev_->setTexture(uint32_t(p.stage), bound(i));
      sendValue(*prog, i);
      p.dirty = false;
    }
    return D3D_OK;
  }

  int32_t endPass() override {
    if (pass_ < 0) return D3DERR_INVALIDCALL;
    pass_ = -1;
    return D3D_OK;
  }

  int32_t end() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    begun_ = false;
    pass_ = -1;
    return D3D_OK;
  }

  int32_t setFloat(FxHandle h, float v) override {
    const float vec[4] = {v, 0, 0, 0};
    Param* p = value(h);
    if (!p || p->type == ParamType::Mat4 || p->type == ParamType::Texture) return D3DERR_INVALIDCALL;
    return store(*p, vec, 1);
  }
  int32_t setVector(FxHandle h, const float v[4]) override {
    Param* p = value(h);
    if (!p || !v || p->type == ParamType::Mat4 || p->type == ParamType::Texture) return D3DERR_INVALIDCALL;
    return store(*p, v, uniformComponents(uniformType(p->type)));
  }
  int32_t setMatrix(FxHandle h, const float m[16]) override {
    Param* p = value(h);
    if (!p || !m || p->type != ParamType::Mat4) return D3DERR_INVALIDCALL;
    return store(*p, m, 16);
  }
  int32_t setInt(FxHandle h, int32_t v) override { return setFloat(h, float(v)); }
  int32_t setTexture(FxHandle h, Texture* texture) override {
    Param* p = value(h);
    if (!p || p->type != ParamType::Texture || (texture && &texture->device() != dev_.get()))
      return D3DERR_INVALIDCALL;
    if (p->texture.get() != texture) {
      p->texture = Ref<Texture>(texture);
      p->dirty = true;
    }
    return D3D_OK;
  }
  bool getValue(FxHandle h, float out[16]) const override {
    const ParamDecl* d = param(h);
    if (!d || d->type == ParamType::Texture) return false;
    std::memcpy(out, params_[h & 0xFFFF].value, sizeof(float) * 16);
    return true;
  }
  Texture* getTexture(FxHandle h) const override {
    const ParamDecl* d = param(h);
    return d && d->type == ParamType::Texture ? params_[h & 0xFFFF].texture.get() : nullptr;
  }

 private:
  struct Param {
    ParamType type = ParamType::Vec4;
    float value[16] = {};
    Ref<Texture> texture;
    Ref<Texture> fallback;  // the sampler's declared default
    int stage = -1;
    bool dirty = true;
  };

  static const ShaderBlock* findShader(const std::vector<ShaderBlock>& list, const std::string& name) {
    for (const ShaderBlock& b : list)
      if (b.name == name) return &b;
    return nullptr;
  }

  const ParamDecl* param(FxHandle h) const {
    if ((h & kKindMask) != kKindParam || (h & 0x0FFFFFFF) >= desc_.params.size()) return nullptr;
    return &desc_.params[h & 0xFFFF];
  }
  Param* value(FxHandle h) { return param(h) ? &params_[h & 0xFFFF] : nullptr; }
  const TechniqueDecl* technique(FxHandle h) const {
    if ((h & kKindMask) != kKindTech || (h & 0x0FFFFFFF) >= desc_.techniques.size()) return nullptr;
    return &desc_.techniques[h & 0xFFFF];
  }
  const PassDecl* pass(FxHandle h) const {
    if ((h & kKindMask) != kKindPass) return nullptr;
    const uint32_t t = (h >> 8) & 0xFFFFF, p = h & 0xFF;
    if (t >= desc_.techniques.size() || p >= desc_.techniques[t].passes.size()) return nullptr;
    return &desc_.techniques[t].passes[p];
  }

  // What texture parameter i samples: its texture, else the 1x1 texture of the colour its
  // sampler declares as default (made on first use), else nothing.
  Texture* bound(size_t i) {
    Param& p = params_[i];
    if (p.texture || !desc_.params[i].hasDefault) return p.texture.get();
    if (!p.fallback) {
      p.fallback = dev_->createTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
      LockedRect r;
      if (p.fallback && p.fallback->lockRect(0, r, nullptr, 0)) {
        const uint32_t colour = desc_.params[i].defaultColor;
        std::memcpy(r.bits, &colour, sizeof colour);  // A8R8G8B8 is the word's byte order
        p.fallback->unlockRect(0);
      }
    }
    return p.fallback.get();
  }

  int32_t store(Param& p, const float* v, uint32_t n) {
    if (std::memcmp(p.value, v, n * sizeof(float)) != 0) {
      std::memcpy(p.value, v, n * sizeof(float));
      p.dirty = true;
    }
    return D3D_OK;
  }

  void sendValue(Program& prog, size_t i) const {
    const Param& p = params_[i];
    if (p.type == ParamType::Texture) {
      prog.setUniform(i, &p.stage);
    } else if (p.type == ParamType::Int) {
      const int32_t v = toInt(p.value[0]);
      prog.setUniform(i, &v);
    } else {
      prog.setUniform(i, p.value);
    }
  }

  Ref<Device> dev_;
  EffectDesc desc_;
  std::vector<Param> params_;
  std::vector<std::vector<Ref<Program>>> passes_;
  int tech_ = -1;
  bool begun_ = false;
  int pass_ = -1;
};

}  // namespace

ProgramSource buildProgramSource(const EffectDesc& desc, const ShaderBlock& vertex, const ShaderBlock& fragment) {
  ProgramSource src;
  std::string uniforms;
  for (const ParamDecl& p : desc.params) {
    uniforms += std::string("uniform ") + glslType(p.type) + " " + p.name + ";\n";
    src.uniforms.push_back(UniformDecl{p.name, uniformType(p.type)});
  }
  src.vertex = kHeader;
  src.vertex += "#define QX_VERTEX_SHADER 1\n" + uniforms;
  for (const ShaderBlock& c : desc.common) appendBlock(src.vertex, c);
  appendBlock(src.vertex, vertex);

  src.fragment = kHeader;
  src.fragment += "#define QX_FRAGMENT_SHADER 1\n" + uniforms;
  src.fragment += "layout(location = 0) out vec4 qx_Color;\n";
  src.fragment += std::string("uniform int ") + kAlphaFuncUniform + ";\n";
  src.fragment += std::string("uniform float ") + kAlphaRefUniform + ";\n";
  for (const ShaderBlock& c : desc.common) appendBlock(src.fragment, c);
  // The body's main runs first; the alpha test follows it.
  src.fragment += "#define main qx_main\n";
  appendBlock(src.fragment, fragment);
  src.fragment += "#undef main\n#line 1 1\n";
  src.fragment += kAlphaTest;
  return src;
}

std::unique_ptr<IEffect> createEffect(Device& device, std::string_view text, std::string_view fileName,
                                      std::string* log) {
  EffectDesc desc;
  std::string error;
  if (!parseEffect(text, fileName, desc, error)) {
    if (log) *log = error;
    return nullptr;
  }
  auto fx = std::make_unique<Effect>(device, std::move(desc));
  if (!fx->build(fileName, log)) return nullptr;
  return fx;
}

}  // namespace qxfx
