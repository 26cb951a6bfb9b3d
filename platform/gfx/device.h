// The rendering device: buffers, textures, surfaces, vertex declarations, programs, and
// the state and draw calls of a Direct3D 9 device. Backends (GL, recording) derive from
// these classes; engine code sees only this header.
//
// Ownership: every object is reference-counted (Ref<T>). When the last outside reference
// to the device goes, the device lets go of everything bound to it, but stays alive
// until its last resource is released too, so resources freed late (by a collector) still
// find their device and context. Only the thread that created the device may call it or
// lock its resources; a resource released on another thread hands its backend objects to
// the device, which frees them on its own thread at its next call.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gfx/gfx_types.h"
#include "platform/gfx/ref.h"

namespace qxgfx {

class Device;

enum class ResourceType : uint8_t { VertexBuffer, IndexBuffer, Texture, Surface, VertexDecl, Program };

class Resource : public RefCounted {
 public:
  // A device-unique id that is never 0, never 0xFFFFFFFF and never reused: engine records
  // that must stay 32 bits wide keep ids instead of pointers.
  uint32_t id() const { return id_; }
  ResourceType type() const { return type_; }
  Device& device() const { return *device_; }

 protected:
  Resource(Device& device, ResourceType type);
  ~Resource() override;

 private:
  Device* device_;  // kept alive by this resource's share of the device's count
  uint32_t id_;
  ResourceType type_;
};

// Vertex and index buffers share the lock machinery.
class Buffer : public Resource {
 public:
  uint32_t length() const { return length_; }
  uint32_t usage() const { return usage_; }
  uint32_t pool() const { return pool_; }
  // Offset and size 0 lock the whole buffer. Returns null for a range outside the buffer,
  // a buffer already locked, or a call from another thread.
  void* lock(uint32_t offset, uint32_t size, uint32_t flags);
  bool unlock();
  bool isLocked() const { return locked_; }

 protected:
  Buffer(Device& d, ResourceType t, uint32_t length, uint32_t usage, uint32_t pool)
      : Resource(d, t), length_(length), usage_(usage), pool_(pool) {}
  virtual void* doLock(uint32_t offset, uint32_t size, uint32_t flags) = 0;
  virtual void doUnlock() = 0;

 private:
  uint32_t length_, usage_, pool_;
  bool locked_ = false;
};

class VertexBuffer : public Buffer {
 protected:
  VertexBuffer(Device& d, uint32_t length, uint32_t usage, uint32_t pool)
      : Buffer(d, ResourceType::VertexBuffer, length, usage, pool) {}
};

class IndexBuffer : public Buffer {
 public:
  uint32_t format() const { return format_; }
  uint32_t indexSize() const { return format_ == D3DFMT_INDEX32 ? 4 : 2; }

 protected:
  IndexBuffer(Device& d, uint32_t length, uint32_t usage, uint32_t format, uint32_t pool)
      : Buffer(d, ResourceType::IndexBuffer, length, usage, pool), format_(format) {}

 private:
  uint32_t format_;
};

class Texture;

class Surface : public Resource {
 public:
  const SurfaceDesc& desc() const { return desc_; }
  SurfaceKind kind() const { return kind_; }
  // The texture and level behind a texture-level surface (null otherwise).
  Texture* texture() const { return texture_.get(); }
  uint32_t level() const { return level_; }
  // Lockable: offscreen plain surfaces and levels of textures that are not render targets.
  bool lockRect(LockedRect& out, const Rect* rect, uint32_t flags);
  bool unlockRect();

 protected:
  Surface(Device& d, SurfaceKind kind, const SurfaceDesc& desc, Texture* texture = nullptr, uint32_t level = 0);
  ~Surface() override;
  // Offscreen plain surfaces keep their pixels in memory here.
  std::vector<uint8_t> memory_;
  uint32_t pitch_ = 0;

 private:
  friend class Device;
  SurfaceDesc desc_;
  SurfaceKind kind_;
  Ref<Texture> texture_;
  uint32_t level_;
  bool locked_ = false;
};

class Texture : public Resource {
 public:
  uint32_t format() const { return format_; }
  uint32_t usage() const { return usage_; }
  uint32_t pool() const { return pool_; }
  uint32_t levelCount() const { return levels_; }
  uint32_t width(uint32_t level = 0) const;
  uint32_t height(uint32_t level = 0) const;
  bool isRenderTarget() const { return (usage_ & D3DUSAGE_RENDERTARGET) != 0; }
  bool isDepthStencil() const { return (usage_ & D3DUSAGE_DEPTHSTENCIL) != 0; }

  // Level contents stay between locks. A null rect locks the whole level; compressed
  // formats lock whole 4x4 blocks. Render targets cannot be locked.
  bool lockRect(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags);
  bool unlockRect(uint32_t level);
  // Refills levels 1.. from level 0 (textures created with D3DUSAGE_AUTOGENMIPMAP).
  void generateMipSubLevels();
  Ref<Surface> getSurfaceLevel(uint32_t level);

 protected:
  Texture(Device& d, uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format, uint32_t pool);
  virtual void* doLock(uint32_t level, const Rect& rect, uint32_t flags, int32_t& pitch) = 0;
  virtual void doUnlock(uint32_t level, const Rect& rect) = 0;
  virtual void doGenerateMips() = 0;

 private:
  uint32_t width_, height_, levels_, usage_, format_, pool_;
  std::vector<int8_t> lockedLevel_;  // per level: 1 while locked
  std::vector<Rect> lockedRect_;
};

class VertexDecl : public Resource {
 public:
  const std::vector<VertexElement>& elements() const { return elements_; }

 protected:
  VertexDecl(Device& d, std::vector<VertexElement> elements)
      : Resource(d, ResourceType::VertexDecl), elements_(std::move(elements)) {}

 private:
  std::vector<VertexElement> elements_;
};

enum class UniformType : uint8_t { Float, Vec2, Vec3, Vec4, Mat4, Int, Sampler2D };
// Components in a value of the type (floats, or ints for Int and Sampler2D).
uint32_t uniformComponents(UniformType t);

struct UniformDecl {
  std::string name;
  UniformType type = UniformType::Vec4;
};

struct ProgramSource {
  std::string vertex;
  std::string fragment;
  std::vector<UniformDecl> uniforms;  // the values the program's user sets, by slot
};

// Names of the uniforms through which the device emulates the alpha test; a fragment
// shader that declares them gets them set from the alpha-test render states.
inline constexpr const char* kAlphaFuncUniform = "qx_AlphaFunc";
inline constexpr const char* kAlphaRefUniform = "qx_AlphaRef";

// A linked vertex and fragment program. Uniform values are kept here and reach the
// backend when the program draws.
class Program : public Resource {
 public:
  size_t uniformCount() const { return decls_.size(); }
  const UniformDecl& uniform(size_t slot) const { return decls_[slot]; }
  int findUniform(const std::string& name) const;
  // data holds uniformComponents(type) floats, or ints for Int and Sampler2D; a matrix is
  // 16 floats in Direct3D order (rows, for row vectors).
  void setUniform(size_t slot, const void* data);
  const void* uniformData(size_t slot) const { return values_.data() + offsets_[slot]; }

 protected:
  Program(Device& d, std::vector<UniformDecl> decls);
  // Slots changed since the backend last took them.
  std::vector<uint8_t> dirty_;
  bool anyDirty_ = true;

 private:
  std::vector<UniformDecl> decls_;
  std::vector<uint32_t> offsets_;
  std::vector<uint32_t> values_;  // 4-byte words
};

struct StreamSource {
  Ref<VertexBuffer> buffer;
  uint32_t offset = 0;
  uint32_t stride = 0;
};

class Device {
 public:
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  uint32_t addRef() const;
  uint32_t release() const;
  uint32_t refCount() const { return userRefs_.load(std::memory_order_relaxed); }

  // Creation. A failed creation returns null.
  virtual Ref<VertexBuffer> createVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool) = 0;
  virtual Ref<IndexBuffer> createIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool) = 0;
  // levels 0 makes the full chain down to 1x1.
  virtual Ref<Texture> createTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                     uint32_t format, uint32_t pool) = 0;
  virtual Ref<Surface> createDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format) = 0;
  Ref<Surface> createOffscreenPlainSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t pool);
  // Elements must name streams below 16 and known types; duplicate usages are refused.
  Ref<VertexDecl> createVertexDeclaration(const VertexElement* elements, size_t count);
  // On failure the compiler's or linker's message goes to log.
  virtual Ref<Program> createProgram(const ProgramSource& source, std::string* log) = 0;

  Ref<Surface> getBackBuffer() const { return backBuffer_; }
  Ref<Surface> getDepthStencilSurface() const { return depthStencil_; }
  Ref<Surface> getRenderTarget(uint32_t index) const;
  uint32_t backBufferWidth() const { return backBuffer_ ? backBuffer_->desc().width : 0; }
  uint32_t backBufferHeight() const { return backBuffer_ ? backBuffer_->desc().height : 0; }

  // State. Setters return D3D_OK or D3DERR_INVALIDCALL. Setting render target 0 resets
  // the viewport to the whole target.
  int32_t setRenderTarget(uint32_t index, Surface* surface);
  int32_t setDepthStencilSurface(Surface* surface);
  int32_t setViewport(const Viewport& vp);
  const Viewport& viewport() const { return viewport_; }
  int32_t setScissorRect(const Rect& r);
  int32_t setRenderState(uint32_t state, uint32_t value);
  uint32_t renderState(uint32_t state) const;
  int32_t setSamplerState(uint32_t stage, uint32_t type, uint32_t value);
  uint32_t samplerState(uint32_t stage, uint32_t type) const;
  int32_t setTexture(uint32_t stage, Texture* texture);
  Texture* texture(uint32_t stage) const { return stage < kMaxTextureStages ? textures_[stage].get() : nullptr; }
  int32_t setVertexDeclaration(VertexDecl* decl);
  int32_t setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride);
  const StreamSource& streamSource(uint32_t stream) const { return streams_[stream & 15]; }
  int32_t setIndices(IndexBuffer* buffer);
  IndexBuffer* indices() const { return indices_.get(); }
  int32_t setProgram(Program* program);
  Program* program() const { return program_.get(); }

  // Operations. Clear works on the viewport (or the given rectangles inside it) and
  // ignores write masks and the scissor test.
  int32_t clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z, uint32_t stencil);
  int32_t beginScene();
  int32_t endScene();
  int32_t present();
  int32_t drawIndexedPrimitive(uint32_t primType, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                               uint32_t startIndex, uint32_t primCount);
  // Copies a render target (or the back buffer) into an offscreen plain surface of the
  // same size and format, both made on this device.
  int32_t getRenderTargetData(Surface* renderTarget, Surface* dest);

  // Resources by id (null for an unknown or released id, or another type). The result
  // carries no reference: the caller must hold the object alive by other means.
  VertexBuffer* findVertexBuffer(uint32_t id) const;
  IndexBuffer* findIndexBuffer(uint32_t id) const;
  Resource* findResource(uint32_t id) const;
  size_t liveResourceCount() const;

  bool onOwnerThread() const;
  uint32_t ownerThread() const { return ownerThread_; }
  // Frames presented so far.
  uint64_t frameCount() const { return frames_; }
  // Where the device reports what it could not keep (stderr until set).
  void setLog(std::function<void(std::string_view)> sink) { log_ = std::move(sink); }

 protected:
  Device();
  virtual ~Device();
  // Backends call this once their default back buffer and depth-stencil exist.
  void initDefaultTargets(Ref<Surface> backBuffer, Ref<Surface> depthStencil);
  // Drops the default targets and every bound object (backend destructors call it first).
  void unbindAll();

  // Backend hooks.
  virtual Ref<VertexDecl> makeVertexDecl(std::vector<VertexElement> elements) = 0;
  virtual void doClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
                       uint32_t stencil) = 0;
  virtual void doPresent() = 0;
  virtual void doDraw(uint32_t primType, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                      uint32_t startIndex, uint32_t primCount) = 0;
  virtual bool doReadRenderTarget(Surface* rt, Surface* dest) = 0;
  virtual void onRenderState(uint32_t /*state*/, uint32_t /*value*/) {}
  // Called with the trace line of every call when tracing is on.
  virtual void trace(const std::string& /*line*/) {}
  bool tracing_ = false;
  void traceCall(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void report(std::string_view text) const;

  // Dirty bits of the state the backend applies before a draw or clear.
  enum Dirty : uint32_t {
    kDirtyTargets = 1u << 0,
    kDirtyViewport = 1u << 1,
    kDirtyScissor = 1u << 2,
    kDirtyVertexInput = 1u << 3,  // declaration, streams or indices
    kDirtyProgram = 1u << 4,
    kDirtyTextures = 1u << 5,
    kDirtySamplers = 1u << 6,
  };
  uint32_t dirty_ = ~0u;
  uint32_t samplerDirtyMask_ = 0xFFFF;
  uint32_t textureDirtyMask_ = 0xFFFF;

  Ref<Surface> backBuffer_, depthStencil_;
  Ref<Surface> renderTargets_[kMaxRenderTargets];
  Ref<Surface> currentDepth_;
  Viewport viewport_;
  Rect scissor_;
  uint32_t renderStates_[256];
  static constexpr int kSamplerStates = 14;
  uint32_t samplerStates_[kMaxTextureStages][kSamplerStates];
  Ref<Texture> textures_[kMaxTextureStages];
  Ref<VertexDecl> decl_;
  StreamSource streams_[kMaxStreams];
  Ref<IndexBuffer> indices_;
  Ref<Program> program_;
  bool inScene_ = false;
  uint64_t frames_ = 0;

  // Backend objects released off the owner thread, freed by drainReleased().
  void deferRelease(uint32_t kind, uint32_t name);
  std::vector<std::pair<uint32_t, uint32_t>> takeDeferred();

 private:
  friend class Resource;
  friend class Buffer;
  friend class Texture;
  friend class Surface;
  uint32_t registerResource(Resource* r);
  void unregisterResource(uint32_t id);
  void dropTotal() const;

  mutable std::atomic<uint32_t> userRefs_{1};
  mutable std::atomic<uint32_t> total_{1};  // 1 while outside references exist, plus live resources

  uint32_t ownerThread_;
  mutable std::mutex registryMutex_;
  std::unordered_map<uint32_t, Resource*> registry_;
  uint32_t nextId_ = 1;
  std::mutex deferredMutex_;
  std::vector<std::pair<uint32_t, uint32_t>> deferred_;
  std::function<void(std::string_view)> log_;
};

// Devices. The GL device draws through a GL 3.3 core context. With a window (an
// SDL_Window created with the OpenGL flag) whose buffers match the back buffer, the back
// buffer and its depth-stencil are the window's own and Present swaps; otherwise (and for
// target sets the window cannot hold) they are an offscreen RGB8 texture and a D24S8
// renderbuffer, which Present copies to the window. Either way the back buffer stores no
// alpha: a blend reads its alpha as 1. The window system reallocates a resized window's
// buffers, so a depth-stencil left in the window when it is resized between frames is
// undefined until cleared (logged once); one resized while a frame is drawn is carried
// out before Present. Without a window the context is an EGL surfaceless (or pbuffer)
// one and Present waits for the frame to finish.
struct GLDeviceParams {
  void* sdlWindow = nullptr;
  uint32_t width = 0;   // back-buffer size without a window; with one, 0 takes the
  uint32_t height = 0;  // window's drawable size
  bool vsync = false;
  // Draw into the window's own buffers while they match the back buffer; false keeps
  // every frame in the offscreen back buffer that Present copies (tests compare both).
  bool drawIntoWindow = true;
};
Ref<Device> createGLDevice(const GLDeviceParams& params, std::string* error);

// The recording device keeps every resource in memory, traces every call as a text line
// and keeps a snapshot of every draw, for tests of the code above the device.
struct RecordedDraw {
  uint32_t primType = 0;
  int32_t baseVertex = 0;
  uint32_t minIndex = 0, numVertices = 0, startIndex = 0, primCount = 0;
  std::vector<uint32_t> indices;                   // the indices the draw reads
  std::vector<std::vector<uint8_t>> streamBytes;   // per bound stream: bytes from its offset
  uint32_t streamIds[kMaxStreams] = {};
  uint32_t programId = 0;
};
class RecordingDevice : public Device {
 public:
  std::vector<std::string> calls;
  std::vector<RecordedDraw> draws;
  // Program sources containing this text fail to build (an empty text fails none).
  std::string failProgramsContaining = "#error";
  void clearLog() {
    calls.clear();
    draws.clear();
  }

 protected:
  RecordingDevice() = default;
};
Ref<RecordingDevice> createRecordingDevice(uint32_t width, uint32_t height);

}  // namespace qxgfx
