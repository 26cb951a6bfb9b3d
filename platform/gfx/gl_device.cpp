// The GL 3.3 core device. Direct3D conventions are kept by the GL state itself:
// glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE) gives depth 0..1 and puts clip-space +y
// at framebuffer row 0, so every image (textures, render targets, the offscreen back
// buffer) is stored top row first, exactly as Direct3D lays it out in memory, and
// viewport and scissor rectangles counted from the top map to GL unchanged. The window,
// stored bottom row first, is drawn with the origin flipped (gl_targets.cpp).
#include <malloc.h>

#include <algorithm>
#include <cstring>

#include "platform/gfx/format.h"
#include "platform/gfx/gl_internal.h"

namespace qxgfx {

namespace {

GLenum glCompare(uint32_t f) {
  switch (f) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_LEQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum glBlendFactor(uint32_t b) {
  switch (b) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    default:
      return GL_ONE;
  }
}

GLenum glBlendOp(uint32_t op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum glPrimitive(uint32_t t) {
  switch (t) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

GLenum glAddress(uint32_t a) {
  switch (a) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

struct AttribFormat {
  GLint size;
  GLenum type;
  GLboolean normalized;
};

bool attribFormat(uint8_t declType, AttribFormat& out) {
  switch (declType) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_FLOAT4:
      out = {GLint(declType) + 1, GL_FLOAT, GL_FALSE};
      return true;
    case D3DDECLTYPE_D3DCOLOR:  // bytes B, G, R, A of an ARGB word
      out = {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE};
      return true;
    case D3DDECLTYPE_UBYTE4:
      out = {4, GL_UNSIGNED_BYTE, GL_FALSE};
      return true;
    case D3DDECLTYPE_SHORT2:
      out = {2, GL_SHORT, GL_FALSE};
      return true;
    case D3DDECLTYPE_SHORT4:
      out = {4, GL_SHORT, GL_FALSE};
      return true;
    case D3DDECLTYPE_UBYTE4N:
      out = {4, GL_UNSIGNED_BYTE, GL_TRUE};
      return true;
    case D3DDECLTYPE_SHORT2N:
      out = {2, GL_SHORT, GL_TRUE};
      return true;
    case D3DDECLTYPE_SHORT4N:
      out = {4, GL_SHORT, GL_TRUE};
      return true;
    case D3DDECLTYPE_USHORT2N:
      out = {2, GL_UNSIGNED_SHORT, GL_TRUE};
      return true;
    case D3DDECLTYPE_USHORT4N:
      out = {4, GL_UNSIGNED_SHORT, GL_TRUE};
      return true;
    case D3DDECLTYPE_FLOAT16_2:
      out = {2, GL_HALF_FLOAT, GL_FALSE};
      return true;
    case D3DDECLTYPE_FLOAT16_4:
      out = {4, GL_HALF_FLOAT, GL_FALSE};
      return true;
    default:
      return false;  // the packed 10-bit types have no GL attribute of three components
  }
}

void colorToFloats(uint32_t argb, float out[4]) {
  out[0] = float((argb >> 16) & 0xFF) / 255.0f;
  out[1] = float((argb >> 8) & 0xFF) / 255.0f;
  out[2] = float(argb & 0xFF) / 255.0f;
  out[3] = float(argb >> 24) / 255.0f;
}

bool hasExtension(const char* name) {
  GLint n = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &n);
  for (GLint i = 0; i < n; ++i) {
    const char* e = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
    if (e && std::strcmp(e, name) == 0) return true;
  }
  return false;
}

}  // namespace

GLDevice::GLDevice(std::unique_ptr<GLContext> ctx, uint32_t width, uint32_t height, bool drawIntoWindow)
    : ctx_(std::move(ctx)), width_(width), height_(height), drawIntoWindow_(drawIntoWindow) {}

GLDevice::~GLDevice() {
  unbindAll();
  // Every resource is gone by now; what remains are the device's own objects. Off the
  // owner thread the context cannot be made current here: the driver frees them with it.
  if (onOwnerThread() && ctx_->makeCurrent()) {
    for (auto [kind, name] : takeDeferred()) deleteNow(kind, name);
    for (const Fbo& f : fbos_) glDeleteFramebuffers(1, &f.name);
    if (readFbo_) glDeleteFramebuffers(1, &readFbo_);
    glDeleteSamplers(kMaxTextureStages, samplers_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
  }
  ctx_.reset();
}

bool GLDevice::init(std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major * 10 + minor < 33) return fail("GL 3.3 is needed");
  if (major * 10 + minor < 45 && !hasExtension("GL_ARB_clip_control"))
    return fail("GL_ARB_clip_control is needed for Direct3D depth and orientation");
  s3tc_ = hasExtension("GL_EXT_texture_compression_s3tc");
  if (width_ == 0 || height_ == 0) {
    int w = 0, h = 0;
    ctx_->drawableSize(w, h);
    width_ = uint32_t(std::max(w, 1));
    height_ = uint32_t(std::max(h, 1));
  }
  if (width_ > 16384 || height_ > 16384) return fail("back buffer too large");

  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  // Facing is decided before the origin flip: Direct3D's clockwise front stays clockwise.
  glFrontFace(GL_CW);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenSamplers(kMaxTextureStages, samplers_);
  for (GLuint i = 0; i < kMaxTextureStages; ++i) glBindSampler(i, samplers_[i]);
  glGenFramebuffers(1, &readFbo_);

  auto bb = Ref<GLSurface>::adopt(new GLSurface(
      *this, SurfaceKind::BackBuffer, SurfaceDesc{D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, 0, width_, height_}));
  GLFormat bbFormat;
  glFormatFor(D3DFMT_X8R8G8B8, bbFormat);
  glGenTextures(1, &bb->texture);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, bb->texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GLint(bbFormat.internalFormat), GLsizei(width_), GLsizei(height_), 0,
               bbFormat.format, bbFormat.type, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  Ref<Surface> ds = createDepthStencilSurface(width_, height_, D3DFMT_D24S8);
  if (!ds) return fail("no depth-stencil buffer");
  initDefaultTargets(bb, ds);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, defaultTargetsFramebuffer());
  if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    return fail("back buffer framebuffer incomplete");
  if (glGetError() != GL_NO_ERROR) return fail("GL error during set-up");
  windowFormats_ = windowTakesDefaultTargets();
  windowFits_ = windowFormats_;
  applyTargets();
  return true;
}

bool GLDevice::enter() {
  if (!onOwnerThread() || !ctx_ || !ctx_->makeCurrent()) return false;
  auto deferred = takeDeferred();
  for (auto [kind, name] : deferred) deleteNow(kind, name);
  return true;
}

void GLDevice::deleteNow(uint32_t kind, GLuint name) {
  if (!name) return;
  switch (kind) {
    case kDeferBuffer:
      glDeleteBuffers(1, &name);
      break;
    case kDeferTexture:
      forgetAttachment(name, false);
      glDeleteTextures(1, &name);
      break;
    case kDeferRenderbuffer:
      forgetAttachment(name, true);
      glDeleteRenderbuffers(1, &name);
      break;
    case kDeferProgram:
      glDeleteProgram(name);
      break;
    default:
      break;
  }
}

void GLDevice::releaseName(uint32_t kind, GLuint name) {
  if (!name) return;
  if (onOwnerThread() && ctx_ && ctx_->makeCurrent())
    deleteNow(kind, name);
  else
    deferRelease(kind, name);
}

// ---- creation

Ref<VertexBuffer> GLDevice::createVertexBuffer(uint32_t length, uint32_t usage, uint32_t, uint32_t pool) {
  traceCall("CreateVertexBuffer %u 0x%x", length, usage);
  if (length == 0 || length > (256u << 20) || !enter()) return nullptr;
  auto b = Ref<GLVertexBuffer>::adopt(new GLVertexBuffer(*this, length, usage, pool));
  if (!b->store.create(length, usage)) return nullptr;
  return b;
}

Ref<IndexBuffer> GLDevice::createIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool) {
  traceCall("CreateIndexBuffer %u 0x%x %u", length, usage, format);
  if (length == 0 || length > (256u << 20) || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) || !enter())
    return nullptr;
  auto b = Ref<GLIndexBuffer>::adopt(new GLIndexBuffer(*this, length, usage, format, pool));
  if (!b->store.create(length, usage)) return nullptr;
  return b;
}

Ref<Texture> GLDevice::createTexture(uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format,
                                     uint32_t pool) {
  traceCall("CreateTexture %u %u %u 0x%x %u %u", w, h, levels, usage, format, pool);
  const FormatInfo* f = formatInfo(format);
  if (!f || w == 0 || h == 0 || w > 16384 || h > 16384 || !enter()) return nullptr;
  if (f->depth != ((usage & D3DUSAGE_DEPTHSTENCIL) != 0)) return nullptr;
  if ((usage & D3DUSAGE_RENDERTARGET) && (f->depth || f->blockBytes)) return nullptr;
  auto t = Ref<GLTexture>::adopt(new GLTexture(*this, w, h, levels, usage, format, pool));
  if (!t->init()) return nullptr;
  if ((usage & D3DUSAGE_RENDERTARGET) && !drawsInto(*t)) return nullptr;
  return t;
}

bool GLDevice::drawsInto(const GLTexture& t) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.name, 0);
  const bool complete = glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  return complete;
}

Ref<Surface> GLDevice::createDepthStencilSurface(uint32_t w, uint32_t h, uint32_t format) {
  traceCall("CreateDepthStencilSurface %u %u %u", w, h, format);
  GLFormat gf;
  const FormatInfo* f = formatInfo(format);
  if (!f || !f->depth || !glFormatFor(format, gf) || w == 0 || h == 0 || w > 16384 || h > 16384 || !enter())
    return nullptr;
  auto s = Ref<GLSurface>::adopt(
      new GLSurface(*this, SurfaceKind::DepthStencil, SurfaceDesc{format, D3DUSAGE_DEPTHSTENCIL, 0, w, h}));
  glGenRenderbuffers(1, &s->renderbuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, s->renderbuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, gf.internalFormat, GLsizei(w), GLsizei(h));
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  if (glGetError() != GL_NO_ERROR) return nullptr;
  return s;
}

Ref<Program> GLDevice::createProgram(const ProgramSource& source, std::string* log) {
  traceCall("CreateProgram");
  if (!enter()) {
    if (log) *log = "programs are built on the device's own thread";
    return nullptr;
  }
  auto p = Ref<GLProgram>::adopt(new GLProgram(*this, source.uniforms));
  if (!p->build(source, log)) return nullptr;
  return p;
}

Ref<VertexDecl> GLDevice::makeVertexDecl(std::vector<VertexElement> elements) {
  return Ref<VertexDecl>::adopt(new GLVertexDecl(*this, std::move(elements)));
}

// ---- state

void GLDevice::onRenderState(uint32_t, uint32_t) { renderStatesDirty_ = true; }

void GLDevice::applyRenderStates() {
  const uint32_t* rs = renderStates_;
  if (rs[D3DRS_ZENABLE])
    glEnable(GL_DEPTH_TEST);
  else
    glDisable(GL_DEPTH_TEST);
  glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  glDepthFunc(glCompare(rs[D3DRS_ZFUNC]));
  switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_NONE:
      glDisable(GL_CULL_FACE);
      break;
    case D3DCULL_CW:
      glEnable(GL_CULL_FACE);
      glCullFace(GL_FRONT);
      break;
    default:
      glEnable(GL_CULL_FACE);
      glCullFace(GL_BACK);
      break;
  }
  if (rs[D3DRS_ALPHABLENDENABLE])
    glEnable(GL_BLEND);
  else
    glDisable(GL_BLEND);
  glBlendFunc(glBlendFactor(rs[D3DRS_SRCBLEND]), glBlendFactor(rs[D3DRS_DESTBLEND]));
  glBlendEquation(glBlendOp(rs[D3DRS_BLENDOP]));
  const uint32_t mask = rs[D3DRS_COLORWRITEENABLE];
  glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
  const uint32_t fill = rs[D3DRS_FILLMODE];
  glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_WIREFRAME ? GL_LINE : fill == D3DFILL_POINT ? GL_POINT : GL_FILL);
  if (rs[D3DRS_SCISSORTESTENABLE])
    glEnable(GL_SCISSOR_TEST);
  else
    glDisable(GL_SCISSOR_TEST);
  renderStatesDirty_ = false;
}

void GLDevice::applyVertexInput() {
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_ ? static_cast<GLIndexBuffer*>(indices_.get())->store.name : 0);
  uint32_t enabled = 0;
  if (decl_) {
    for (const VertexElement& e : decl_->elements()) {
      const int loc = attribLocation(e.usage, e.usageIndex);
      AttribFormat af;
      const StreamSource& s = streams_[e.stream];
      if (loc < 0 || !attribFormat(e.type, af) || !s.buffer) continue;
      glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLVertexBuffer*>(s.buffer.get())->store.name);
      glVertexAttribPointer(GLuint(loc), af.size, af.type, af.normalized, GLsizei(s.stride),
                            reinterpret_cast<const void*>(uintptr_t(s.offset) + e.offset));
      enabled |= 1u << loc;
    }
  }
  for (int loc = 0; loc < kAttribCount; ++loc) {
    const uint32_t bit = 1u << loc;
    if ((enabled & bit) && !(enabledAttribs_ & bit)) glEnableVertexAttribArray(GLuint(loc));
    if (!(enabled & bit) && (enabledAttribs_ & bit)) glDisableVertexAttribArray(GLuint(loc));
  }
  enabledAttribs_ = enabled;
}

void GLDevice::applySamplers() {
  for (uint32_t stage = 0; stage < kMaxTextureStages; ++stage) {
    if (!(samplerDirtyMask_ & (1u << stage))) continue;
    const uint32_t* ss = samplerStates_[stage];
    const GLuint smp = samplers_[stage];
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_S, GLint(glAddress(ss[D3DSAMP_ADDRESSU])));
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_T, GLint(glAddress(ss[D3DSAMP_ADDRESSV])));
    float border[4];
    colorToFloats(ss[D3DSAMP_BORDERCOLOR], border);
    glSamplerParameterfv(smp, GL_TEXTURE_BORDER_COLOR, border);
    const bool magLinear = ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
    const bool minLinear = ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    glSamplerParameteri(smp, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    GLint minFilter;
    switch (ss[D3DSAMP_MIPFILTER]) {
      case D3DTEXF_NONE:
        minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
        break;
      case D3DTEXF_POINT:
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        break;
      default:
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        break;
    }
    glSamplerParameteri(smp, GL_TEXTURE_MIN_FILTER, minFilter);
  }
  samplerDirtyMask_ = 0;
}

void GLDevice::applyState() {
  if (dirty_ & kDirtyTargets) applyTargets();
  if (dirty_ & kDirtyViewport) {
    glViewport(GLint(viewport_.x), glRow(int32_t(viewport_.y), int32_t(viewport_.height)), GLsizei(viewport_.width),
               GLsizei(viewport_.height));
    glDepthRangef(viewport_.minZ, viewport_.maxZ);
  }
  if (dirty_ & kDirtyScissor)
    glScissor(scissor_.left, glRow(scissor_.top, scissor_.bottom - scissor_.top), scissor_.right - scissor_.left,
              scissor_.bottom - scissor_.top);
  if (renderStatesDirty_) applyRenderStates();
  if (dirty_ & kDirtyVertexInput) applyVertexInput();
  if (dirty_ & kDirtyProgram) glUseProgram(program_ ? static_cast<GLProgram*>(program_.get())->name : 0);
  if (dirty_ & kDirtyTextures) {
    for (uint32_t stage = 0; stage < kMaxTextureStages; ++stage) {
      if (!(textureDirtyMask_ & (1u << stage))) continue;
      glActiveTexture(GL_TEXTURE0 + stage);
      const Texture* t = textures_[stage].get();
      glBindTexture(GL_TEXTURE_2D, t ? static_cast<const GLTexture*>(t)->name : 0);
    }
    textureDirtyMask_ = 0;
  }
  if (dirty_ & kDirtySamplers) applySamplers();
  dirty_ = 0;
}

// ---- operations

void GLDevice::doClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
                       uint32_t stencil) {
  if (!enter()) return;
  applyState();
  // Direct3D clears the viewport whatever the write masks and scissor say.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  glEnable(GL_SCISSOR_TEST);
  float c[4];
  colorToFloats(color, c);
  glClearColor(c[0], c[1], c[2], c[3]);
  glClearDepth(z);
  glClearStencil(GLint(stencil & 0xFF));
  GLbitfield bits = 0;
  if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
  if (flags & D3DCLEAR_ZBUFFER) bits |= GL_DEPTH_BUFFER_BIT;
  if (flags & D3DCLEAR_STENCIL) bits |= GL_STENCIL_BUFFER_BIT;
  const Rect vp{int32_t(viewport_.x), int32_t(viewport_.y), int32_t(viewport_.x + viewport_.width),
                int32_t(viewport_.y + viewport_.height)};
  auto clearRect = [&](const Rect& r) {
    const Rect a{std::max(r.left, vp.left), std::max(r.top, vp.top), std::min(r.right, vp.right),
                 std::min(r.bottom, vp.bottom)};
    if (a.left >= a.right || a.top >= a.bottom) return;
    glScissor(a.left, glRow(a.top, a.bottom - a.top), a.right - a.left, a.bottom - a.top);
    glClear(bits);
  };
  if (rectCount == 0) {
    clearRect(vp);
  } else {
    for (uint32_t i = 0; i < rectCount; ++i) clearRect(rects[i]);
  }
  renderStatesDirty_ = true;
  dirty_ |= kDirtyScissor;
}

void GLDevice::doDraw(uint32_t primType, int32_t baseVertex, uint32_t, uint32_t, uint32_t startIndex,
                      uint32_t primCount) {
  if (!enter() || !program_) return;
  applyState();
  auto* prog = static_cast<GLProgram*>(program_.get());
  const uint32_t alphaFunc = renderStates_[D3DRS_ALPHATESTENABLE] ? renderStates_[D3DRS_ALPHAFUNC] : D3DCMP_ALWAYS;
  prog->upload(alphaFunc, float(renderStates_[D3DRS_ALPHAREF] & 0xFF) / 255.0f);
  const uint32_t isz = indices_->indexSize();
  glDrawElementsBaseVertex(glPrimitive(primType), GLsizei(indexCountFor(primType, primCount)),
                           isz == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(uintptr_t(startIndex) * isz), baseVertex);
}

// A software rasteriser (llvmpipe) mallocs its binned scene and its vertex and buffer
// storage afresh every frame and frees it when the frame is drawn. With glibc's default
// thresholds that memory goes back to the kernel each time and comes back through page
// faults the next frame, which costs the drawing thread more than the engine's own work.
// Keeping freed memory in the process ends that; the heap stays at its high-water mark.
static void keepFreedMemory() {
  static const bool done = [] {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    return true;
  }();
  (void)done;
}

Ref<Device> createGLDevice(const GLDeviceParams& params, std::string* error) {
  keepFreedMemory();
  std::unique_ptr<GLContext> ctx = params.sdlWindow ? createSdlWindowContext(params.sdlWindow, params.vsync, error)
                                                    : createOffscreenContext(error);
  if (!ctx) return nullptr;
  if (!params.sdlWindow && (params.width == 0 || params.height == 0)) {
    if (error) *error = "an offscreen device needs a back-buffer size";
    return nullptr;
  }
  auto dev = Ref<GLDevice>::adopt(new GLDevice(std::move(ctx), params.width, params.height, params.drawIntoWindow));
  if (!dev->init(error)) return nullptr;
  return dev;
}

}  // namespace qxgfx
