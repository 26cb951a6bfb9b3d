// Buffers, textures, surfaces and programs of the GL backend.
#include <cstring>

#include "platform/gfx/format.h"
#include "platform/gfx/gl_internal.h"

namespace qxgfx {

namespace {
GLDevice& glDev(Resource& r) { return static_cast<GLDevice&>(r.device()); }

bool outOfMemory() {
  bool oom = false;
  for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError())
    if (e == GL_OUT_OF_MEMORY) oom = true;
  return oom;
}
}  // namespace

// ---- buffers

bool GLBufferStore::create(uint32_t length, uint32_t usage) {
  usageHint = (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
  glGenBuffers(1, &name);
  // The copy-write target leaves the vertex array's element binding alone.
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr, usageHint);
  return name != 0 && !outOfMemory();
}

void* GLBufferStore::map(uint32_t length, uint32_t offset, uint32_t size, uint32_t flags, uint32_t usage) {
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  GLbitfield access = 0;
  if (flags & D3DLOCK_READONLY) {
    access = GL_MAP_READ_BIT;
  } else if (flags & D3DLOCK_DISCARD) {
    // Orphaning: the GPU keeps the old storage for draws in flight, we write new storage.
    glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr, usageHint);
    access = GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT;
  } else if (flags & D3DLOCK_NOOVERWRITE) {
    // The caller promises not to touch bytes a queued draw reads: no wait.
    access = GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT;
  } else {
    access = GL_MAP_WRITE_BIT | ((usage & D3DUSAGE_WRITEONLY) ? 0 : GL_MAP_READ_BIT);
  }
  return glMapBufferRange(GL_COPY_WRITE_BUFFER, offset, size, access);
}

void GLBufferStore::unmap() {
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  glUnmapBuffer(GL_COPY_WRITE_BUFFER);
}

GLVertexBuffer::GLVertexBuffer(GLDevice& d, uint32_t length, uint32_t usage, uint32_t pool)
    : VertexBuffer(d, length, usage, pool) {}
GLVertexBuffer::~GLVertexBuffer() { glDev(*this).releaseName(kDeferBuffer, store.name); }
void* GLVertexBuffer::doLock(uint32_t offset, uint32_t size, uint32_t flags) {
  if (!glDev(*this).enter()) return nullptr;
  return store.map(length(), offset, size, flags, usage());
}
void GLVertexBuffer::doUnlock() {
  if (glDev(*this).enter()) store.unmap();
}

GLIndexBuffer::GLIndexBuffer(GLDevice& d, uint32_t length, uint32_t usage, uint32_t format, uint32_t pool)
    : IndexBuffer(d, length, usage, format, pool) {}
GLIndexBuffer::~GLIndexBuffer() { glDev(*this).releaseName(kDeferBuffer, store.name); }
void* GLIndexBuffer::doLock(uint32_t offset, uint32_t size, uint32_t flags) {
  if (!glDev(*this).enter()) return nullptr;
  return store.map(length(), offset, size, flags, usage());
}
void GLIndexBuffer::doUnlock() {
  if (glDev(*this).enter()) store.unmap();
}

// ---- textures

GLTexture::GLTexture(GLDevice& d, uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format,
                     uint32_t pool)
    : Texture(d, w, h, levels, usage, format, pool) {}

GLTexture::~GLTexture() { glDev(*this).releaseName(kDeferTexture, name); }

bool GLTexture::init() {
  GLDevice& d = glDev(*this);
  const bool formatKnown = isRenderTarget() ? glTargetFormatFor(format(), fmt) : glFormatFor(format(), fmt);
  if (!formatKnown || (fmt.compressed && !d.hasS3tc())) return false;
  glGenTextures(1, &name);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, name);
  d.touchedUnit0();
  const GLenum upFormat = fmt.compressed ? GL_RGBA : fmt.format;
  const GLenum upType = fmt.compressed ? GL_UNSIGNED_BYTE : fmt.type;
  for (uint32_t l = 0; l < levelCount(); ++l)
    glTexImage2D(GL_TEXTURE_2D, GLint(l), GLint(fmt.internalFormat), GLsizei(width(l)), GLsizei(height(l)), 0,
                 upFormat, upType, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levelCount()) - 1);
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, fmt.swizzle);
  shadow_.resize(levelCount());
  stale_.assign(levelCount(), 0);
  return !outOfMemory();
}

void* GLTexture::doLock(uint32_t level, const Rect& r, uint32_t, int32_t& pitch) {
  GLDevice& d = glDev(*this);
  if (!d.enter()) return nullptr;
  std::vector<uint8_t>& mem = shadow_[level];
  if (mem.empty()) mem.assign(formatLevelBytes(format(), width(level), height(level)), 0);
  if (stale_[level]) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, name);
    d.touchedUnit0();
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (fmt.compressed)
      glGetCompressedTexImage(GL_TEXTURE_2D, GLint(level), mem.data());
    else
      glGetTexImage(GL_TEXTURE_2D, GLint(level), fmt.format, fmt.type, mem.data());
    stale_[level] = 0;
  }
  pitch = int32_t(formatPitch(format(), width(level)));
  return mem.data() + formatOffset(format(), uint32_t(pitch), r.left, r.top);
}

void GLTexture::doUnlock(uint32_t level, const Rect& r) {
  GLDevice& d = glDev(*this);
  if (!d.enter()) return;
  const std::vector<uint8_t>& mem = shadow_[level];
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, name);
  d.touchedUnit0();
  if (fmt.compressed) {
    glCompressedTexSubImage2D(GL_TEXTURE_2D, GLint(level), 0, 0, GLsizei(width(level)), GLsizei(height(level)),
                              fmt.internalFormat, GLsizei(mem.size()), mem.data());
    return;
  }
  const uint32_t pitch = formatPitch(format(), width(level));
  glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(width(level)));
  glTexSubImage2D(GL_TEXTURE_2D, GLint(level), r.left, r.top, r.right - r.left, r.bottom - r.top, fmt.format,
                  fmt.type, mem.data() + formatOffset(format(), pitch, r.left, r.top));
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void GLTexture::doGenerateMips() {
  GLDevice& d = glDev(*this);
  if (!d.enter() || fmt.compressed) return;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, name);
  d.touchedUnit0();
  glGenerateMipmap(GL_TEXTURE_2D);
  for (uint32_t l = 1; l < levelCount(); ++l) {
    stale_[l] = 1;
    std::vector<uint8_t>().swap(shadow_[l]);
  }
}

// ---- surfaces

GLSurface::GLSurface(GLDevice& d, SurfaceKind kind, const SurfaceDesc& desc) : Surface(d, kind, desc) {}

GLSurface::~GLSurface() {
  GLDevice& d = glDev(*this);
  d.releaseName(kDeferTexture, texture);
  d.releaseName(kDeferRenderbuffer, renderbuffer);
}

// ---- programs

GLProgram::GLProgram(GLDevice& d, std::vector<UniformDecl> decls) : Program(d, std::move(decls)) {}

GLProgram::~GLProgram() { glDev(*this).releaseName(kDeferProgram, name); }

namespace {
// The info log of a shader or program, without its trailing NUL and line ends.
template <class GetIv, class GetLog>
std::string infoLog(GLuint object, GetIv getIv, GetLog getLog) {
  GLint n = 0;
  getIv(object, GL_INFO_LOG_LENGTH, &n);
  std::string msg(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) getLog(object, n, nullptr, msg.data());
  while (!msg.empty() && (msg.back() == '\0' || msg.back() == '\n')) msg.pop_back();
  return msg;
}

GLuint compileShader(GLenum stage, const std::string& src, std::string* log) {
  GLuint sh = glCreateShader(stage);
  const char* text = src.c_str();
  const GLint len = GLint(src.size());
  glShaderSource(sh, 1, &text, &len);
  glCompileShader(sh);
  GLint ok = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    if (log)
      *log += (stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") +
              infoLog(sh, glGetShaderiv, glGetShaderInfoLog) + "\n";
    glDeleteShader(sh);
    return 0;
  }
  return sh;
}
}  // namespace

bool GLProgram::build(const ProgramSource& src, std::string* log) {
  GLuint vs = compileShader(GL_VERTEX_SHADER, src.vertex, log);
  GLuint fs = compileShader(GL_FRAGMENT_SHADER, src.fragment, log);
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    return false;
  }
  name = glCreateProgram();
  glAttachShader(name, vs);
  glAttachShader(name, fs);
  glLinkProgram(name);
  glDetachShader(name, vs);
  glDetachShader(name, fs);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(name, GL_LINK_STATUS, &ok);
  if (!ok) {
    if (log) *log += "link: " + infoLog(name, glGetProgramiv, glGetProgramInfoLog) + "\n";
    return false;
  }
  locations_.resize(uniformCount());
  for (size_t i = 0; i < uniformCount(); ++i) locations_[i] = glGetUniformLocation(name, uniform(i).name.c_str());
  alphaFuncLoc_ = glGetUniformLocation(name, kAlphaFuncUniform);
  alphaRefLoc_ = glGetUniformLocation(name, kAlphaRefUniform);
  return true;
}

void GLProgram::upload(uint32_t alphaFunc, float alphaRef) {
  if (anyDirty_) {
    for (size_t i = 0; i < uniformCount(); ++i) {
      if (!dirty_[i]) continue;
      dirty_[i] = 0;
      const GLint loc = locations_[i];
      if (loc < 0) continue;
      const auto* f = static_cast<const GLfloat*>(uniformData(i));
      const auto* n = static_cast<const GLint*>(uniformData(i));
      switch (uniform(i).type) {
        case UniformType::Float:
          glUniform1fv(loc, 1, f);
          break;
        case UniformType::Vec2:
          glUniform2fv(loc, 1, f);
          break;
        case UniformType::Vec3:
          glUniform3fv(loc, 1, f);
          break;
        case UniformType::Vec4:
          glUniform4fv(loc, 1, f);
          break;
        case UniformType::Mat4:
          // Rows of a Direct3D matrix: shaders multiply row vectors on the left.
          glUniformMatrix4fv(loc, 1, GL_TRUE, f);
          break;
        case UniformType::Int:
        case UniformType::Sampler2D:
          glUniform1iv(loc, 1, n);
          break;
      }
    }
    anyDirty_ = false;
  }
  if (alphaFuncLoc_ >= 0 && alphaFunc != alphaFunc_) {
    glUniform1i(alphaFuncLoc_, GLint(alphaFunc));
    alphaFunc_ = alphaFunc;
  }
  if (alphaRefLoc_ >= 0 && alphaRef != alphaRef_) {
    glUniform1f(alphaRefLoc_, alphaRef);
    alphaRef_ = alphaRef;
  }
}

}  // namespace qxgfx
