// Reader of effect files: parameters, GLSL blocks, techniques and passes.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/effect/effect_desc.h"
#include "platform/gfx/gfx_types.h"

namespace qxfx {

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

namespace {

using namespace qxgfx;

enum class Tok { End, Ident, Number, String, Raw, Punct };

struct Token {
  Tok kind = Tok::End;
  std::string_view text;  // identifier, number text or punctuation; raw block body
  std::string str;        // unescaped string value
  int line = 1;
};

struct Failure {
  int line;
  std::string message;
};

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Token next() {
    skipSpace();
    Token t;
    t.line = line_;
    if (pos_ >= s_.size()) return t;
    const char c = s_[pos_];
    if (isIdentStart(c)) {
      size_t b = pos_;
      while (pos_ < s_.size() && isIdentChar(s_[pos_])) ++pos_;
      t.kind = Tok::Ident;
      t.text = s_.substr(b, pos_ - b);
      return t;
    }
    if (isDigit(c) || (c == '.' && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1]))) {
      size_t b = pos_;
      while (pos_ < s_.size() && (isIdentChar(s_[pos_]) || s_[pos_] == '.' ||
                                  ((s_[pos_] == '+' || s_[pos_] == '-') && (s_[pos_ - 1] == 'e' || s_[pos_ - 1] == 'E'))))
        ++pos_;
      t.kind = Tok::Number;
      t.text = s_.substr(b, pos_ - b);
      return t;
    }
    if (c == '"') return readString(t);
    if (c == '%' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '{') return readRaw(t);
    t.kind = Tok::Punct;
    t.text = s_.substr(pos_, 1);
    ++pos_;
    return t;
  }

 private:
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  static bool isIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
  static bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c); }

  void skipSpace() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
      } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '*') {
        const int start = line_;
        pos_ += 2;
        while (pos_ + 1 < s_.size() && !(s_[pos_] == '*' && s_[pos_ + 1] == '/')) {
          if (s_[pos_] == '\n') ++line_;
          ++pos_;
        }
        if (pos_ + 1 >= s_.size()) throw Failure{start, "unterminated comment"};
        pos_ += 2;
      } else {
        return;
      }
    }
  }

  Token& readString(Token& t) {
    ++pos_;
    while (true) {
      if (pos_ >= s_.size() || s_[pos_] == '\n') throw Failure{t.line, "unterminated string"};
      char c = s_[pos_++];
      if (c == '"') break;
      if (c == '\\') {
        if (pos_ >= s_.size()) throw Failure{t.line, "unterminated string"};
        char e = s_[pos_++];
        if (e == 'n')
          c = '\n';
        else if (e == 't')
          c = '\t';
        else if (e == '"' || e == '\\')
          c = e;
        else
          throw Failure{t.line, std::string("unknown escape \\") + e};
      }
      if (t.str.size() >= 4096) throw Failure{t.line, "string longer than 4096 bytes"};
      t.str.push_back(c);
    }
    t.kind = Tok::String;
    return t;
  }

  Token& readRaw(Token& t) {
    pos_ += 2;
    const size_t b = pos_;
    // The block ends at the first "%}"; GLSL has no use for a '%' followed by '}'.
    const size_t e = s_.find("%}", b);
    if (e == std::string_view::npos) throw Failure{t.line, "GLSL block without its closing %}"};
    t.kind = Tok::Raw;
    t.text = s_.substr(b, e - b);
    for (char c : t.text)
      if (c == '\n') ++line_;
    pos_ = e + 2;
    return t;
  }

  std::string_view s_;
  size_t pos_ = 0;
  int line_ = 1;
};

struct Keyword {
  const char* name;
  uint32_t value;
};

constexpr Keyword kCompare[] = {{"Never", D3DCMP_NEVER},     {"Less", D3DCMP_LESS},
                                {"Equal", D3DCMP_EQUAL},     {"LessEqual", D3DCMP_LESSEQUAL},
                                {"Greater", D3DCMP_GREATER}, {"NotEqual", D3DCMP_NOTEQUAL},
                                {"GreaterEqual", D3DCMP_GREATEREQUAL}, {"Always", D3DCMP_ALWAYS}};
constexpr Keyword kBlend[] = {{"Zero", D3DBLEND_ZERO},
                              {"One", D3DBLEND_ONE},
                              {"SrcColor", D3DBLEND_SRCCOLOR},
                              {"InvSrcColor", D3DBLEND_INVSRCCOLOR},
                              {"SrcAlpha", D3DBLEND_SRCALPHA},
                              {"InvSrcAlpha", D3DBLEND_INVSRCALPHA},
                              {"DestAlpha", D3DBLEND_DESTALPHA},
                              {"InvDestAlpha", D3DBLEND_INVDESTALPHA},
                              {"DestColor", D3DBLEND_DESTCOLOR},
                              {"InvDestColor", D3DBLEND_INVDESTCOLOR},
                              {"SrcAlphaSat", D3DBLEND_SRCALPHASAT}};
constexpr Keyword kBlendOp[] = {{"Add", D3DBLENDOP_ADD},
                                {"Subtract", D3DBLENDOP_SUBTRACT},
                                {"RevSubtract", D3DBLENDOP_REVSUBTRACT},
                                {"Min", D3DBLENDOP_MIN},
                                {"Max", D3DBLENDOP_MAX}};
constexpr Keyword kCull[] = {{"None", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}};
constexpr Keyword kFill[] = {{"Point", D3DFILL_POINT}, {"Wireframe", D3DFILL_WIREFRAME}, {"Solid", D3DFILL_SOLID}};
constexpr Keyword kFilter[] = {{"None", D3DTEXF_NONE},
                               {"Point", D3DTEXF_POINT},
                               {"Linear", D3DTEXF_LINEAR},
                               {"Anisotropic", D3DTEXF_ANISOTROPIC}};
constexpr Keyword kAddress[] = {
    {"Wrap", D3DTADDRESS_WRAP}, {"Mirror", D3DTADDRESS_MIRROR}, {"Clamp", D3DTADDRESS_CLAMP}, {"Border", D3DTADDRESS_BORDER}};
constexpr Keyword kBool[] = {{"true", 1}, {"false", 0}};

enum class ValueKind { Bool, Int, Compare, Blend, BlendOp, Cull, Fill, Filter, Address, Mask, AlphaRef };

struct StateName {
  const char* name;
  uint32_t state;
  ValueKind kind;
};

constexpr StateName kPassStates[] = {
    {"ZEnable", D3DRS_ZENABLE, ValueKind::Bool},
    {"ZWriteEnable", D3DRS_ZWRITEENABLE, ValueKind::Bool},
    {"ZFunc", D3DRS_ZFUNC, ValueKind::Compare},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, ValueKind::Bool},
    {"SrcBlend", D3DRS_SRCBLEND, ValueKind::Blend},
    {"DestBlend", D3DRS_DESTBLEND, ValueKind::Blend},
    {"BlendOp", D3DRS_BLENDOP, ValueKind::BlendOp},
    {"CullMode", D3DRS_CULLMODE, ValueKind::Cull},
    {"ColorWriteEnable", D3DRS_COLORWRITEENABLE, ValueKind::Mask},
    {"AlphaTestEnable", D3DRS_ALPHATESTENABLE, ValueKind::Bool},
    {"AlphaFunc", D3DRS_ALPHAFUNC, ValueKind::Compare},
    {"AlphaRef", D3DRS_ALPHAREF, ValueKind::AlphaRef},
    {"FillMode", D3DRS_FILLMODE, ValueKind::Fill},
};

constexpr StateName kSamplerStates[] = {
    {"MinFilter", D3DSAMP_MINFILTER, ValueKind::Filter},   {"MagFilter", D3DSAMP_MAGFILTER, ValueKind::Filter},
    {"MipFilter", D3DSAMP_MIPFILTER, ValueKind::Filter},   {"AddressU", D3DSAMP_ADDRESSU, ValueKind::Address},
    {"AddressV", D3DSAMP_ADDRESSV, ValueKind::Address},    {"BorderColor", D3DSAMP_BORDERCOLOR, ValueKind::Int},
    {"MaxAnisotropy", D3DSAMP_MAXANISOTROPY, ValueKind::Int},
};

struct TypeName {
  const char* name;
  ParamType type;
  uint32_t count;
};
constexpr TypeName kTypes[] = {{"float", ParamType::Float, 1}, {"vec2", ParamType::Vec2, 2},
                               {"vec3", ParamType::Vec3, 3},   {"vec4", ParamType::Vec4, 4},
                               {"mat4", ParamType::Mat4, 16},  {"int", ParamType::Int, 1},
                               {"sampler2D", ParamType::Texture, 0}};

class Parser {
 public:
  Parser(std::string_view text, EffectDesc& out) : lex_(text), out_(out) { advance(); }

  void parseFile() {
    while (tok_.kind != Tok::End) {
      if (tok_.kind != Tok::Ident) fail("expected a declaration");
      if (tok_.text == "common") {
        advance();
        out_.common.push_back(raw(""));
      } else if (tok_.text == "vertex_shader" || tok_.text == "fragment_shader") {
        const bool vertex = tok_.text == "vertex_shader";
        advance();
        auto& list = vertex ? out_.vertexShaders : out_.fragmentShaders;
        std::string name = ident("a shader name");
        for (const ShaderBlock& b : list)
          if (b.name == name) fail("shader '" + name + "' is declared twice");
        if (list.size() >= kMaxShaders) fail("too many shaders");
        list.push_back(raw(name));
      } else if (tok_.text == "technique") {
        parseTechnique();
      } else {
        parseParam();
      }
    }
    resolveShaders();
  }

 private:
  [[noreturn]] void fail(const std::string& msg) { throw Failure{tok_.line, msg}; }
  [[noreturn]] void failAt(int line, const std::string& msg) { throw Failure{line, msg}; }

  void advance() { tok_ = lex_.next(); }
  bool isPunct(char c) const { return tok_.kind == Tok::Punct && tok_.text[0] == c; }
  void expect(char c) {
    if (!isPunct(c)) fail(std::string("expected '") + c + "'");
    advance();
  }
  bool accept(char c) {
    if (!isPunct(c)) return false;
    advance();
    return true;
  }

  std::string ident(const char* what) {
    if (tok_.kind != Tok::Ident) fail(std::string("expected ") + what);
    if (tok_.text.size() > kMaxNameLength) fail("name longer than 63 characters");
    std::string s(tok_.text);
    advance();
    return s;
  }

  ShaderBlock raw(std::string name) {
    if (tok_.kind != Tok::Raw) fail("expected a GLSL block %{ ... %}");
    ShaderBlock b{std::move(name), std::string(tok_.text), tok_.line};
    advance();
    return b;
  }

  double number() {
    bool negative = false;
    if (isPunct('-') || isPunct('+')) {
      negative = isPunct('-');
      advance();
    }
    if (tok_.kind == Tok::Ident) {
      for (const Keyword& k : kBool)
        if (tok_.text == k.name) {
          advance();
          return k.value;
        }
    }
    if (tok_.kind != Tok::Number) fail("expected a number");
    std::string_view t = tok_.text;
    double v = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
      uint32_t u = 0;
      auto r = std::from_chars(t.data() + 2, t.data() + t.size(), u, 16);
      if (r.ec != std::errc() || r.ptr != t.data() + t.size()) fail("bad number '" + std::string(t) + "'");
      v = u;
    } else {
      if (!t.empty() && (t.back() == 'f' || t.back() == 'F')) t.remove_suffix(1);
      auto r = std::from_chars(t.data(), t.data() + t.size(), v);
      if (r.ec != std::errc() || r.ptr != t.data() + t.size()) fail("bad number '" + std::string(tok_.text) + "'");
    }
    advance();
    return negative ? -v : v;
  }

  uint32_t unsignedValue(uint32_t max) {
    const int line = tok_.line;
    double v = number();
    if (!(v >= 0 && v <= max) || v != double(uint32_t(v))) failAt(line, "value out of range 0.." + std::to_string(max));
    return uint32_t(v);
  }

  template <size_t N>
  uint32_t keyword(const Keyword (&table)[N], const char* what) {
    if (tok_.kind == Tok::Ident)
      for (const Keyword& k : table)
        if (equalsNoCase(tok_.text, k.name)) {
          advance();
          return k.value;
        }
    fail(std::string("expected ") + what);
  }

  uint32_t stateValue(ValueKind kind) {
    switch (kind) {
      case ValueKind::Bool:
        if (tok_.kind == Tok::Number) return unsignedValue(1);
        return keyword(kBool, "true or false");
      case ValueKind::Int:
        return unsignedValue(0xFFFFFFFFu);
      case ValueKind::Mask:
        return unsignedValue(15);
      case ValueKind::AlphaRef:
        return unsignedValue(255);
      case ValueKind::Compare:
        return keyword(kCompare, "a comparison (Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always)");
      case ValueKind::Blend:
        return keyword(kBlend, "a blend factor");
      case ValueKind::BlendOp:
        return keyword(kBlendOp, "a blend operation (Add, Subtract, RevSubtract, Min, Max)");
      case ValueKind::Cull:
        return keyword(kCull, "a cull mode (None, CW, CCW)");
      case ValueKind::Fill:
        return keyword(kFill, "a fill mode (Point, Wireframe, Solid)");
      case ValueKind::Filter:
        return keyword(kFilter, "a filter (None, Point, Linear, Anisotropic)");
      case ValueKind::Address:
        return keyword(kAddress, "an address mode (Wrap, Mirror, Clamp, Border)");
    }
    fail("bad value");
  }

  std::vector<Annotation> annotations() {
    std::vector<Annotation> list;
    if (!accept('<')) return list;
    while (!accept('>')) {
      if (tok_.kind != Tok::Ident || tok_.text != "string") fail("annotations are written: string name = \"value\";");
      advance();
      Annotation a;
      a.name = ident("an annotation name");
      for (const Annotation& o : list)
        if (o.name == a.name) fail("annotation '" + a.name + "' is given twice");
      expect('=');
      if (tok_.kind != Tok::String) fail("expected a string value");
      a.value = tok_.str;
      advance();
      expect(';');
      if (list.size() >= kMaxAnnotations) fail("too many annotations");
      list.push_back(std::move(a));
    }
    return list;
  }

  void parseParam() {
    const int line = tok_.line;
    const TypeName* type = nullptr;
    for (const TypeName& t : kTypes)
      if (tok_.text == t.name) type = &t;
    if (!type) fail("unknown declaration '" + std::string(tok_.text) + "'");
    advance();
    ParamDecl p;
    p.line = line;
    p.type = type->type;
    p.name = ident("a parameter name");
    if (p.name.rfind("gl_", 0) == 0 || p.name.rfind("qx_", 0) == 0 || p.name.find("__") != std::string::npos)
      failAt(line, "parameter names may not begin with gl_ or qx_ nor hold __");
    for (const ParamDecl& o : out_.params)
      if (o.name == p.name) failAt(line, "parameter '" + p.name + "' is declared twice");
    if (accept(':')) p.semantic = ident("a semantic");
    p.annotations = annotations();
    if (type->type == ParamType::Texture) {
      if (accept('{')) {
        while (!accept('}')) {
          if (tok_.kind == Tok::Ident && equalsNoCase(tok_.text, "Default")) {
            advance();
            expect('=');
            p.defaultColor = stateValue(ValueKind::Int);
            p.hasDefault = true;
            expect(';');
            continue;
          }
          const StateName* s = nullptr;
          for (const StateName& n : kSamplerStates)
            if (tok_.kind == Tok::Ident && equalsNoCase(tok_.text, n.name)) s = &n;
          if (!s) fail("unknown sampler state '" + std::string(tok_.text) + "'");
          advance();
          expect('=');
          p.sampler.emplace_back(s->state, stateValue(s->kind));
          expect(';');
          if (p.sampler.size() > 32) fail("too many sampler states");
        }
      }
      size_t textures = 0;
      for (const ParamDecl& o : out_.params) textures += o.type == ParamType::Texture;
      if (textures >= kMaxTextureParams) failAt(line, "more than 16 texture parameters");
    } else if (accept('=')) {
      const bool bracketed = isPunct('(') || isPunct('{');
      const char close = isPunct('(') ? ')' : '}';
      if (bracketed) advance();
      uint32_t n = 0;
      do {
        if (n >= type->count) fail("too many values for " + std::string(type->name));
        const int vline = tok_.line;
        const double v = number();
        // Defaults are kept as floats and an int goes to GLSL as an int: both conversions
        // must be exact or in range.
        const bool fits = type->type == ParamType::Int
                              ? v == std::trunc(v) && v >= -2147483648.0 && v <= 2147483647.0
                              : std::fabs(v) <= double(FLT_MAX);
        if (!fits) failAt(vline, "value out of range for " + std::string(type->name));
        p.defaults[n++] = float(v);
      } while (bracketed && accept(','));
      if (bracketed) expect(close);
      if (n != type->count) failAt(line, std::string(type->name) + " takes " + std::to_string(type->count) + " values");
    }
    expect(';');
    if (out_.params.size() >= kMaxParams) failAt(line, "too many parameters");
    out_.params.push_back(std::move(p));
  }

  void parseTechnique() {
    const int line = tok_.line;
    advance();
    TechniqueDecl t;
    t.line = line;
    t.name = ident("a technique name");
    for (const TechniqueDecl& o : out_.techniques)
      if (o.name == t.name) failAt(line, "technique '" + t.name + "' is declared twice");
    t.annotations = annotations();
    expect('{');
    while (!accept('}')) {
      if (tok_.kind != Tok::Ident || tok_.text != "pass") fail("expected a pass");
      if (t.passes.size() >= kMaxPasses) fail("too many passes");
      t.passes.push_back(parsePass(t));
    }
    accept(';');
    if (t.passes.empty()) failAt(line, "technique '" + t.name + "' has no pass");
    if (out_.techniques.size() >= kMaxTechniques) failAt(line, "too many techniques");
    out_.techniques.push_back(std::move(t));
  }

  PassDecl parsePass(const TechniqueDecl& tech) {
    PassDecl p;
    p.line = tok_.line;
    advance();
    if (tok_.kind == Tok::Ident) {
      p.name = ident("a pass name");
      for (const PassDecl& o : tech.passes)
        if (o.name == p.name) failAt(p.line, "pass '" + p.name + "' is declared twice");
    }
    p.annotations = annotations();
    expect('{');
    while (!accept('}')) {
      if (tok_.kind != Tok::Ident) fail("expected a render state");
      const std::string_view name = tok_.text;
      const int line = tok_.line;
      advance();
      expect('=');
      if (equalsNoCase(name, "VertexShader")) {
        p.vertexShader = ident("a vertex shader name");
      } else if (equalsNoCase(name, "FragmentShader") || equalsNoCase(name, "PixelShader")) {
        p.fragmentShader = ident("a fragment shader name");
      } else {
        const StateName* s = nullptr;
        for (const StateName& n : kPassStates)
          if (equalsNoCase(name, n.name)) s = &n;
        if (!s) failAt(line, "unknown render state '" + std::string(name) + "'");
        p.states.emplace_back(s->state, stateValue(s->kind));
        if (p.states.size() > 64) failAt(line, "too many render states");
      }
      expect(';');
    }
    accept(';');
    if (p.vertexShader.empty() || p.fragmentShader.empty())
      failAt(p.line, "a pass names a VertexShader and a FragmentShader");
    return p;
  }

  void resolveShaders() {
    for (const TechniqueDecl& t : out_.techniques)
      for (const PassDecl& p : t.passes) {
        bool vs = false, fs = false;
        for (const ShaderBlock& b : out_.vertexShaders) vs = vs || b.name == p.vertexShader;
        for (const ShaderBlock& b : out_.fragmentShaders) fs = fs || b.name == p.fragmentShader;
        if (!vs) failAt(p.line, "no vertex_shader named '" + p.vertexShader + "'");
        if (!fs) failAt(p.line, "no fragment_shader named '" + p.fragmentShader + "'");
      }
  }

  Lexer lex_;
  Token tok_;
  EffectDesc& out_;
};

}  // namespace

bool parseEffect(std::string_view text, std::string_view fileName, EffectDesc& out, std::string& error) {
  out = EffectDesc{};
  if (text.size() > kMaxEffectBytes) {
    error = std::string(fileName) + ": larger than 1 MiB";
    return false;
  }
  if (text.find('\0') != std::string_view::npos) {
    error = std::string(fileName) + ": not a text file";
    return false;
  }
  // Editors may save a byte-order mark; line numbers are unaffected.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  try {
    Parser p(text, out);
    p.parseFile();
  } catch (const Failure& f) {
    error = std::string(fileName) + "(" + std::to_string(f.line) + "): " + f.message;
    out = EffectDesc{};
    return false;
  }
  return true;
}

}  // namespace qxfx
