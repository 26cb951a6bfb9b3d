// Internal classes of the GL backend.
#pragma once
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_context.h"

#ifndef GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
#define GL_COMPRESSED_RGBA_S3TC_DXT1_EXT 0x83F1
#define GL_COMPRESSED_RGBA_S3TC_DXT3_EXT 0x83F2
#define GL_COMPRESSED_RGBA_S3TC_DXT5_EXT 0x83F3
#endif

namespace qxgfx {

struct GLFormat {
  GLenum internalFormat = 0;
  GLenum format = 0;
  GLenum type = 0;
  GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
  bool compressed = false;
  bool heldAsRGBA = false;  // a render target of fewer channels, read back packed
};
// False for a format the GL backend cannot hold.
bool glFormatFor(uint32_t d3dFormat, GLFormat& out);
// As glFormatFor, for a texture that is drawn into.
bool glTargetFormatFor(uint32_t d3dFormat, GLFormat& out);

class GLDevice;

// What the device frees later when a resource goes on another thread.
enum DeferredKind : uint32_t { kDeferBuffer = 1, kDeferTexture, kDeferRenderbuffer, kDeferProgram };

class GLVertexBuffer;
class GLIndexBuffer;

// Buffer storage shared by vertex and index buffers.
struct GLBufferStore {
  GLuint name = 0;
  GLenum usageHint = GL_STATIC_DRAW;
  bool create(uint32_t length, uint32_t usage);
  void* map(uint32_t length, uint32_t offset, uint32_t size, uint32_t flags, uint32_t usage);
  void unmap();
};

class GLVertexBuffer final : public VertexBuffer {
 public:
  GLVertexBuffer(GLDevice& d, uint32_t length, uint32_t usage, uint32_t pool);
  ~GLVertexBuffer() override;
  GLBufferStore store;

 protected:
  void* doLock(uint32_t offset, uint32_t size, uint32_t flags) override;
  void doUnlock() override;
};

class GLIndexBuffer final : public IndexBuffer {
 public:
  GLIndexBuffer(GLDevice& d, uint32_t length, uint32_t usage, uint32_t format, uint32_t pool);
  ~GLIndexBuffer() override;
  GLBufferStore store;

 protected:
  void* doLock(uint32_t offset, uint32_t size, uint32_t flags) override;
  void doUnlock() override;
};

class GLTexture final : public Texture {
 public:
  GLTexture(GLDevice& d, uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format, uint32_t pool);
  ~GLTexture() override;
  bool init();
  GLuint name = 0;
  GLFormat fmt;

 protected:
  void* doLock(uint32_t level, const Rect& rect, uint32_t flags, int32_t& pitch) override;
  void doUnlock(uint32_t level, const Rect& rect) override;
  void doGenerateMips() override;

 private:
  // The level contents as the engine last wrote them; GL never changes a texture that
  // is not a render target, so the copy stays right and locks need no read-back.
  std::vector<std::vector<uint8_t>> shadow_;
  std::vector<uint8_t> stale_;  // levels refilled by GL (mipmap generation)
};

// The back buffer (a GL texture) and depth-stencil surfaces (renderbuffers).
class GLSurface final : public Surface {
 public:
  GLSurface(GLDevice& d, SurfaceKind kind, const SurfaceDesc& desc);
  ~GLSurface() override;
  GLuint texture = 0;       // back buffer
  GLuint renderbuffer = 0;  // depth-stencil
};

class GLVertexDecl final : public VertexDecl {
 public:
  GLVertexDecl(Device& d, std::vector<VertexElement> e) : VertexDecl(d, std::move(e)) {}
};

class GLProgram final : public Program {
 public:
  GLProgram(GLDevice& d, std::vector<UniformDecl> decls);
  ~GLProgram() override;
  bool build(const ProgramSource& src, std::string* log);
  // Sends changed uniform values; the program must be in use.
  void upload(uint32_t alphaFunc, float alphaRef);
  GLuint name = 0;

 private:
  std::vector<GLint> locations_;
  GLint alphaFuncLoc_ = -1, alphaRefLoc_ = -1;
  uint32_t alphaFunc_ = ~0u;
  float alphaRef_ = -1.0f;
};


class GLDevice final : public Device {
 public:
  GLDevice(std::unique_ptr<GLContext> ctx, uint32_t width, uint32_t height, bool drawIntoWindow);
  ~GLDevice() override;
  bool init(std::string* error);

  Ref<VertexBuffer> createVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool) override;
  Ref<IndexBuffer> createIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool) override;
  Ref<Texture> createTexture(uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format,
                             uint32_t pool) override;
  Ref<Surface> createDepthStencilSurface(uint32_t w, uint32_t h, uint32_t format) override;
  Ref<Program> createProgram(const ProgramSource& source, std::string* log) override;

  // Makes the context current and frees what other threads released; false off-thread.
  bool enter();
  // Uploads bind textures on unit 0; the stage binding is restored before the next draw.
  void touchedUnit0() {
    textureDirtyMask_ |= 1;
    dirty_ |= kDirtyTextures;
  }
  bool hasS3tc() const { return s3tc_; }
  // Frees a GL object now on the device's thread, else hands it to the device for later.
  void releaseName(uint32_t kind, GLuint name);

 protected:
  Ref<VertexDecl> makeVertexDecl(std::vector<VertexElement> elements) override;
  void doClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
               uint32_t stencil) override;
  void doPresent() override;
  void doDraw(uint32_t primType, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices, uint32_t startIndex,
              uint32_t primCount) override;
  bool doReadRenderTarget(Surface* rt, Surface* dest) override;
  void onRenderState(uint32_t state, uint32_t value) override;

 private:
  struct Attachment {
    GLuint name = 0;
    GLint level = 0;
    bool renderbuffer = false;
    bool operator==(const Attachment&) const = default;
  };
  struct FboKey {
    Attachment color[kMaxRenderTargets];
    Attachment depth;
    bool operator==(const FboKey&) const = default;
  };
  struct Fbo {
    FboKey key;
    GLuint name = 0;
  };

  // Where the back buffer's colour, and the default depth-stencil, hold their pixels.
  enum class Home : uint8_t { Offscreen, Window };

  static Attachment attachmentOf(const Surface* s);
  // Whether the driver draws into a texture of that format: GL 3.3 promises few colour
  // formats as targets (16-bit colour is not among them).
  bool drawsInto(const GLTexture& t);
  GLuint framebufferFor(const FboKey& key, const Surface* depth);
  GLuint defaultTargetsFramebuffer();
  void applyTargets();
  // The window's own buffers (gl_targets.cpp).
  bool windowTakesDefaultTargets();
  bool drawableMatches() const;
  // Once after each Present, before the window is touched: whether it still fits.
  void followWindowSize();
  void moveColor(Home to);
  void moveDepth(Home to);
  // Copies between the offscreen pair and a window of the given size (the back buffer's,
  // but at Present).
  void copyDefaultTargets(bool toWindow, GLbitfield mask, int windowWidth, int windowHeight);
  void bindWindow(bool window);
  int32_t glRow(int32_t top, int32_t height) const;
  void applyState();
  void applyRenderStates();
  void applyVertexInput();
  void applySamplers();
  void deleteNow(uint32_t kind, GLuint name);
  // Drops cached framebuffers that use a texture or renderbuffer about to be deleted
  // (owner thread, context current).
  void forgetAttachment(GLuint name, bool renderbuffer);

  std::unique_ptr<GLContext> ctx_;
  uint32_t width_, height_;
  GLuint vao_ = 0;
  GLuint samplers_[kMaxTextureStages] = {};
  GLuint readFbo_ = 0;
  std::vector<Fbo> fbos_;
  bool renderStatesDirty_ = true;
  bool s3tc_ = false;
  // A window whose buffers match the back buffer is drawn into directly, so a frame is
  // one pass through the driver: copying an offscreen back buffer at Present serialises
  // a software rasteriser's frames. The offscreen pair stays for every other case.
  bool drawIntoWindow_;
  bool windowFormats_ = false;  // the window's buffers can hold the default targets
  bool windowFits_ = false;     // and are the back buffer's size (checked at Present)
  bool windowBound_ = false;
  bool windowCheckDue_ = false;
  bool depthLossTold_ = false;
  bool depthLeftOutTold_ = false;
  Home colorHome_ = Home::Offscreen;
  Home depthHome_ = Home::Offscreen;
  uint32_t enabledAttribs_ = 0;
};

}  // namespace qxgfx
