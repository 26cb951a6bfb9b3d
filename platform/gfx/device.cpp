#include "platform/gfx/device.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/gfx/format.h"
#include "platform/thread/thread.h"

namespace qxgfx {

uint32_t declTypeSize(uint8_t type) {
  static constexpr uint8_t kSizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
  return type < sizeof(kSizes) ? kSizes[type] : 0;
}

int attribLocation(uint8_t usage, uint8_t usageIndex) {
  switch (usage) {
    case D3DDECLUSAGE_POSITION:
      return usageIndex == 0 ? kAttribPosition : -1;
    case D3DDECLUSAGE_NORMAL:
      return usageIndex == 0 ? kAttribNormal : -1;
    case D3DDECLUSAGE_COLOR:
      return usageIndex < 2 ? kAttribColor0 + usageIndex : -1;
    case D3DDECLUSAGE_TEXCOORD:
      return usageIndex < 8 ? kAttribTexcoord0 + usageIndex : -1;
    default:
      return -1;
  }
}

uint32_t indexCountFor(uint32_t primType, uint32_t primCount) {
  switch (primType) {
    case D3DPT_POINTLIST:
      return primCount;
    case D3DPT_LINELIST:
      return primCount * 2;
    case D3DPT_LINESTRIP:
      return primCount ? primCount + 1 : 0;
    case D3DPT_TRIANGLELIST:
      return primCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return primCount ? primCount + 2 : 0;
    default:
      return 0;
  }
}

uint32_t uniformComponents(UniformType t) {
  switch (t) {
    case UniformType::Float:
    case UniformType::Int:
    case UniformType::Sampler2D:
      return 1;
    case UniformType::Vec2:
      return 2;
    case UniformType::Vec3:
      return 3;
    case UniformType::Vec4:
      return 4;
    case UniformType::Mat4:
      return 16;
  }
  return 0;
}

// ---- Resource

Resource::Resource(Device& device, ResourceType type) : device_(&device), type_(type) {
  device.total_.fetch_add(1, std::memory_order_relaxed);
  id_ = device.registerResource(this);
}

Resource::~Resource() {
  device_->unregisterResource(id_);
  device_->dropTotal();
}

// ---- Buffer

void* Buffer::lock(uint32_t offset, uint32_t size, uint32_t flags) {
  Device& d = device();
  d.traceCall("Lock %s%u %u %u 0x%x", type() == ResourceType::IndexBuffer ? "ib" : "vb", id(), offset, size,
              flags);
  if (!d.onOwnerThread() || locked_) return nullptr;
  if (offset == 0 && size == 0) size = length_;
  if (offset >= length_) return nullptr;
  if (size == 0) size = length_ - offset;
  if (size > length_ - offset) return nullptr;
  void* p = doLock(offset, size, flags);
  locked_ = p != nullptr;
  return p;
}

bool Buffer::unlock() {
  Device& d = device();
  d.traceCall("Unlock %s%u", type() == ResourceType::IndexBuffer ? "ib" : "vb", id());
  if (!locked_ || !d.onOwnerThread()) return false;
  doUnlock();
  locked_ = false;
  return true;
}

// ---- Surface

Surface::Surface(Device& d, SurfaceKind kind, const SurfaceDesc& desc, Texture* texture, uint32_t level)
    : Resource(d, ResourceType::Surface), desc_(desc), kind_(kind), texture_(texture), level_(level) {}

Surface::~Surface() = default;

bool Surface::lockRect(LockedRect& out, const Rect* rect, uint32_t flags) {
  if (kind_ == SurfaceKind::TextureLevel) return texture_->lockRect(level_, out, rect, flags);
  if (kind_ != SurfaceKind::OffscreenPlain || locked_ || !device().onOwnerThread()) return false;
  Rect r{0, 0, int32_t(desc_.width), int32_t(desc_.height)};
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > r.right || rect->bottom > r.bottom ||
        rect->left >= rect->right || rect->top >= rect->bottom)
      return false;
    r = *rect;
  }
  out.pitch = int32_t(pitch_);
  out.bits = memory_.data() + formatOffset(desc_.format, pitch_, r.left, r.top);
  locked_ = true;
  return true;
}

bool Surface::unlockRect() {
  if (kind_ == SurfaceKind::TextureLevel) return texture_->unlockRect(level_);
  if (!locked_) return false;
  locked_ = false;
  return true;
}

namespace {

// Surfaces without backend objects: levels of textures and system-memory surfaces.
class PlainSurface final : public Surface {
 public:
  PlainSurface(Device& d, SurfaceKind kind, const SurfaceDesc& desc, Texture* texture = nullptr, uint32_t level = 0)
      : Surface(d, kind, desc, texture, level) {}
  void allocate() {
    pitch_ = formatPitch(desc().format, desc().width);
    memory_.assign(size_t(pitch_) * formatRows(desc().format, desc().height), 0);
  }
};

}  // namespace

// ---- Texture

Texture::Texture(Device& d, uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format, uint32_t pool)
    : Resource(d, ResourceType::Texture), width_(w), height_(h), usage_(usage), format_(format), pool_(pool) {
  uint32_t full = 1;
  for (uint32_t m = std::max(w, h); m > 1; m >>= 1) ++full;
  levels_ = (levels == 0 || levels > full) ? full : levels;
  lockedLevel_.assign(levels_, 0);
  lockedRect_.assign(levels_, Rect{});
}

uint32_t Texture::width(uint32_t level) const { return level < 32 ? std::max(1u, width_ >> level) : 1; }
uint32_t Texture::height(uint32_t level) const { return level < 32 ? std::max(1u, height_ >> level) : 1; }

bool Texture::lockRect(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags) {
  Device& d = device();
  d.traceCall("LockRect tex%u %u 0x%x", id(), level, flags);
  if (!d.onOwnerThread() || level >= levels_ || lockedLevel_[level] || isRenderTarget() || isDepthStencil())
    return false;
  const int32_t w = int32_t(width(level)), h = int32_t(height(level));
  Rect r{0, 0, w, h};
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > w || rect->bottom > h || rect->left >= rect->right ||
        rect->top >= rect->bottom)
      return false;
    r = *rect;
    const FormatInfo* f = formatInfo(format_);
    if (f && f->blockBytes) {
      // Compressed data moves in whole blocks.
      if ((r.left & 3) || (r.top & 3) || ((r.right & 3) && r.right != w) || ((r.bottom & 3) && r.bottom != h))
        return false;
    }
  }
  int32_t pitch = 0;
  void* p = doLock(level, r, flags, pitch);
  if (!p) return false;
  out.bits = p;
  out.pitch = pitch;
  lockedLevel_[level] = 1;
  lockedRect_[level] = r;
  return true;
}

bool Texture::unlockRect(uint32_t level) {
  Device& d = device();
  d.traceCall("UnlockRect tex%u %u", id(), level);
  if (level >= levels_ || !lockedLevel_[level] || !d.onOwnerThread()) return false;
  doUnlock(level, lockedRect_[level]);
  lockedLevel_[level] = 0;
  return true;
}

void Texture::generateMipSubLevels() {
  Device& d = device();
  d.traceCall("GenerateMipSubLevels tex%u", id());
  if (d.onOwnerThread() && levels_ > 1) doGenerateMips();
}

Ref<Surface> Texture::getSurfaceLevel(uint32_t level) {
  if (level >= levels_) return nullptr;
  SurfaceDesc desc{format_, usage_, pool_, width(level), height(level)};
  return Ref<Surface>::adopt(new PlainSurface(device(), SurfaceKind::TextureLevel, desc, this, level));
}

// ---- Program

Program::Program(Device& d, std::vector<UniformDecl> decls) : Resource(d, ResourceType::Program), decls_(std::move(decls)) {
  uint32_t words = 0;
  for (const UniformDecl& u : decls_) {
    offsets_.push_back(words);
    words += uniformComponents(u.type);
  }
  values_.assign(words, 0);
  dirty_.assign(decls_.size(), 1);
}

int Program::findUniform(const std::string& name) const {
  for (size_t i = 0; i < decls_.size(); ++i)
    if (decls_[i].name == name) return int(i);
  return -1;
}

void Program::setUniform(size_t slot, const void* data) {
  if (slot >= decls_.size() || !data) return;
  const size_t bytes = uniformComponents(decls_[slot].type) * 4;
  uint32_t* dst = values_.data() + offsets_[slot];
  if (std::memcmp(dst, data, bytes) == 0) return;
  std::memcpy(dst, data, bytes);
  dirty_[slot] = 1;
  anyDirty_ = true;
}

// ---- Device

Device::Device() : ownerThread_(qxplat::currentThreadId()) {
  std::fill(std::begin(renderStates_), std::end(renderStates_), 0u);
  renderStates_[D3DRS_ZENABLE] = 1;
  renderStates_[D3DRS_FILLMODE] = D3DFILL_SOLID;
  renderStates_[D3DRS_ZWRITEENABLE] = 1;
  renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
  renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  renderStates_[D3DRS_COLORWRITEENABLE] = D3DCOLORWRITEENABLE_ALL;
  renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  for (auto& stage : samplerStates_) {
    std::fill(std::begin(stage), std::end(stage), 0u);
    stage[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    stage[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    stage[3] = D3DTADDRESS_WRAP;
    stage[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    stage[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    stage[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    stage[D3DSAMP_MAXANISOTROPY] = 1;
  }
}

Device::~Device() = default;

uint32_t Device::addRef() const {
  const uint32_t before = userRefs_.fetch_add(1, std::memory_order_relaxed);
  // Reached again through one of its resources: the outside share counts once more.
  if (before == 0) total_.fetch_add(1, std::memory_order_relaxed);
  return before + 1;
}

uint32_t Device::release() const {
  uint32_t left = userRefs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) {
    // Nobody outside can reach the device any more: drop what it holds so that resources
    // only the device kept alive go now; the device itself waits for the rest.
    const_cast<Device*>(this)->unbindAll();
    dropTotal();
  }
  return left;
}

void Device::dropTotal() const {
  if (total_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void Device::initDefaultTargets(Ref<Surface> backBuffer, Ref<Surface> depthStencil) {
  backBuffer_ = std::move(backBuffer);
  depthStencil_ = std::move(depthStencil);
  renderTargets_[0] = backBuffer_;
  currentDepth_ = depthStencil_;
  viewport_ = Viewport{0, 0, backBufferWidth(), backBufferHeight(), 0.0f, 1.0f};
  scissor_ = Rect{0, 0, int32_t(backBufferWidth()), int32_t(backBufferHeight())};
  dirty_ = ~0u;
}

void Device::unbindAll() {
  for (auto& t : renderTargets_) t = nullptr;
  currentDepth_ = nullptr;
  for (auto& t : textures_) t = nullptr;
  for (auto& s : streams_) s = StreamSource{};
  indices_ = nullptr;
  decl_ = nullptr;
  program_ = nullptr;
  backBuffer_ = nullptr;
  depthStencil_ = nullptr;
}

bool Device::onOwnerThread() const { return qxplat::currentThreadId() == ownerThread_; }

void Device::report(std::string_view text) const {
  const std::string line = "device: " + std::string(text);
  if (log_)
    log_(line);
  else
    std::fprintf(stderr, "%s\n", line.c_str());
}

void Device::traceCall(const char* fmt, ...) {
  if (!tracing_) return;
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  trace(buf);
}

uint32_t Device::registerResource(Resource* r) {
  std::lock_guard<std::mutex> g(registryMutex_);
  uint32_t id = nextId_++;
  if (nextId_ == 0xFFFFFFFFu) nextId_ = 1;  // 4 billion objects later: wrap, skipping the markers
  registry_[id] = r;
  return id;
}

void Device::unregisterResource(uint32_t id) {
  std::lock_guard<std::mutex> g(registryMutex_);
  registry_.erase(id);
}

Resource* Device::findResource(uint32_t id) const {
  std::lock_guard<std::mutex> g(registryMutex_);
  auto it = registry_.find(id);
  return it == registry_.end() ? nullptr : it->second;
}

VertexBuffer* Device::findVertexBuffer(uint32_t id) const {
  Resource* r = findResource(id);
  return r && r->type() == ResourceType::VertexBuffer ? static_cast<VertexBuffer*>(r) : nullptr;
}

IndexBuffer* Device::findIndexBuffer(uint32_t id) const {
  Resource* r = findResource(id);
  return r && r->type() == ResourceType::IndexBuffer ? static_cast<IndexBuffer*>(r) : nullptr;
}

size_t Device::liveResourceCount() const {
  std::lock_guard<std::mutex> g(registryMutex_);
  return registry_.size();
}

void Device::deferRelease(uint32_t kind, uint32_t name) {
  std::lock_guard<std::mutex> g(deferredMutex_);
  deferred_.emplace_back(kind, name);
}

std::vector<std::pair<uint32_t, uint32_t>> Device::takeDeferred() {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  std::lock_guard<std::mutex> g(deferredMutex_);
  out.swap(deferred_);
  return out;
}

Ref<Surface> Device::createOffscreenPlainSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t pool) {
  traceCall("CreateOffscreenPlainSurface %u %u %u %u", width, height, format, pool);
  const FormatInfo* f = formatInfo(format);
  if (!f || f->depth || f->blockBytes || width == 0 || height == 0 || width > 16384 || height > 16384)
    return nullptr;
  auto* s = new PlainSurface(*this, SurfaceKind::OffscreenPlain, SurfaceDesc{format, 0, pool, width, height});
  s->allocate();
  return Ref<Surface>::adopt(s);
}

Ref<VertexDecl> Device::createVertexDeclaration(const VertexElement* elements, size_t count) {
  traceCall("CreateVertexDeclaration %zu", count);
  if (!elements || count == 0 || count > 64) return nullptr;
  std::vector<VertexElement> list(elements, elements + count);
  for (size_t i = 0; i < count; ++i) {
    const VertexElement& e = list[i];
    if (e.stream >= kMaxStreams || declTypeSize(e.type) == 0) return nullptr;
    for (size_t j = 0; j < i; ++j)
      if (list[j].usage == e.usage && list[j].usageIndex == e.usageIndex) return nullptr;
  }
  return makeVertexDecl(std::move(list));
}

Ref<Surface> Device::getRenderTarget(uint32_t index) const {
  return index < kMaxRenderTargets ? renderTargets_[index] : nullptr;
}

namespace {
bool isColorTarget(const Surface* s) {
  if (!s) return false;
  if (s->kind() == SurfaceKind::BackBuffer) return true;
  return s->kind() == SurfaceKind::TextureLevel && s->texture()->isRenderTarget();
}
bool isDepthTarget(const Surface* s) {
  if (!s) return false;
  if (s->kind() == SurfaceKind::DepthStencil) return true;
  return s->kind() == SurfaceKind::TextureLevel && s->texture()->isDepthStencil();
}
}  // namespace

int32_t Device::setRenderTarget(uint32_t index, Surface* surface) {
  traceCall("SetRenderTarget %u %s%u", index, surface ? "s" : "null", surface ? surface->id() : 0);
  if (index >= kMaxRenderTargets || (index == 0 && !surface)) return D3DERR_INVALIDCALL;
  if (surface && (!isColorTarget(surface) || &surface->device() != this)) return D3DERR_INVALIDCALL;
  renderTargets_[index] = Ref<Surface>(surface);
  dirty_ |= kDirtyTargets;
  if (index == 0) {
    viewport_ = Viewport{0, 0, surface->desc().width, surface->desc().height, 0.0f, 1.0f};
    dirty_ |= kDirtyViewport;
  }
  return D3D_OK;
}

int32_t Device::setDepthStencilSurface(Surface* surface) {
  traceCall("SetDepthStencilSurface %s%u", surface ? "s" : "null", surface ? surface->id() : 0);
  if (surface && (!isDepthTarget(surface) || &surface->device() != this)) return D3DERR_INVALIDCALL;
  currentDepth_ = Ref<Surface>(surface);
  dirty_ |= kDirtyTargets;
  return D3D_OK;
}

int32_t Device::setViewport(const Viewport& vp) {
  traceCall("SetViewport %u %u %u %u %g %g", vp.x, vp.y, vp.width, vp.height, double(vp.minZ), double(vp.maxZ));
  const Surface* rt = renderTargets_[0].get();
  if (!rt || vp.width == 0 || vp.height == 0 || uint64_t(vp.x) + vp.width > rt->desc().width ||
      uint64_t(vp.y) + vp.height > rt->desc().height || !(vp.minZ >= 0.0f && vp.maxZ <= 1.0f && vp.minZ <= vp.maxZ))
    return D3DERR_INVALIDCALL;
  viewport_ = vp;
  dirty_ |= kDirtyViewport;
  return D3D_OK;
}

int32_t Device::setScissorRect(const Rect& r) {
  traceCall("SetScissorRect %d %d %d %d", r.left, r.top, r.right, r.bottom);
  if (r.left > r.right || r.top > r.bottom) return D3DERR_INVALIDCALL;
  scissor_ = r;
  dirty_ |= kDirtyScissor;
  return D3D_OK;
}

int32_t Device::setRenderState(uint32_t state, uint32_t value) {
  traceCall("SetRenderState %u %u", state, value);
  if (state >= 256) return D3DERR_INVALIDCALL;
  if (renderStates_[state] != value) {
    renderStates_[state] = value;
    onRenderState(state, value);
  }
  return D3D_OK;
}

uint32_t Device::renderState(uint32_t state) const { return state < 256 ? renderStates_[state] : 0; }

int32_t Device::setSamplerState(uint32_t stage, uint32_t type, uint32_t value) {
  traceCall("SetSamplerState %u %u %u", stage, type, value);
  if (stage >= kMaxTextureStages || type >= kSamplerStates) return D3DERR_INVALIDCALL;
  if (samplerStates_[stage][type] != value) {
    samplerStates_[stage][type] = value;
    samplerDirtyMask_ |= 1u << stage;
    dirty_ |= kDirtySamplers;
  }
  return D3D_OK;
}

uint32_t Device::samplerState(uint32_t stage, uint32_t type) const {
  return stage < kMaxTextureStages && type < kSamplerStates ? samplerStates_[stage][type] : 0;
}

int32_t Device::setTexture(uint32_t stage, Texture* texture) {
  traceCall("SetTexture %u %s%u", stage, texture ? "tex" : "null", texture ? texture->id() : 0);
  if (stage >= kMaxTextureStages || (texture && &texture->device() != this)) return D3DERR_INVALIDCALL;
  if (textures_[stage].get() != texture) {
    textures_[stage] = Ref<Texture>(texture);
    textureDirtyMask_ |= 1u << stage;
    dirty_ |= kDirtyTextures;
  }
  return D3D_OK;
}

int32_t Device::setVertexDeclaration(VertexDecl* decl) {
  traceCall("SetVertexDeclaration %s%u", decl ? "decl" : "null", decl ? decl->id() : 0);
  if (decl && &decl->device() != this) return D3DERR_INVALIDCALL;
  if (decl_.get() != decl) {
    decl_ = Ref<VertexDecl>(decl);
    dirty_ |= kDirtyVertexInput;
  }
  return D3D_OK;
}

int32_t Device::setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
  traceCall("SetStreamSource %u %s%u %u %u", stream, buffer ? "vb" : "null", buffer ? buffer->id() : 0, offset,
            stride);
  if (stream >= kMaxStreams || (buffer && &buffer->device() != this)) return D3DERR_INVALIDCALL;
  StreamSource& s = streams_[stream];
  if (s.buffer.get() != buffer || s.offset != offset || s.stride != stride) {
    s.buffer = Ref<VertexBuffer>(buffer);
    s.offset = offset;
    s.stride = stride;
    dirty_ |= kDirtyVertexInput;
  }
  return D3D_OK;
}

int32_t Device::setIndices(IndexBuffer* buffer) {
  traceCall("SetIndices %s%u", buffer ? "ib" : "null", buffer ? buffer->id() : 0);
  if (buffer && &buffer->device() != this) return D3DERR_INVALIDCALL;
  if (indices_.get() != buffer) {
    indices_ = Ref<IndexBuffer>(buffer);
    dirty_ |= kDirtyVertexInput;
  }
  return D3D_OK;
}

int32_t Device::setProgram(Program* program) {
  traceCall("SetProgram %s%u", program ? "prog" : "null", program ? program->id() : 0);
  if (program && &program->device() != this) return D3DERR_INVALIDCALL;
  if (program_.get() != program) {
    program_ = Ref<Program>(program);
    dirty_ |= kDirtyProgram;
  }
  return D3D_OK;
}

int32_t Device::clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
                      uint32_t stencil) {
  traceCall("Clear %u 0x%x 0x%08x %g %u", rectCount, flags, color, double(z), stencil);
  if (!onOwnerThread() || (rectCount && !rects) || (flags & ~7u) || !flags) return D3DERR_INVALIDCALL;
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !currentDepth_) return D3DERR_INVALIDCALL;
  doClear(rectCount, rects, flags, color, std::clamp(z, 0.0f, 1.0f), stencil);
  return D3D_OK;
}

int32_t Device::beginScene() {
  traceCall("BeginScene");
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

int32_t Device::endScene() {
  traceCall("EndScene");
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

int32_t Device::present() {
  traceCall("Present");
  if (!onOwnerThread()) return D3DERR_INVALIDCALL;
  ++frames_;
  doPresent();
  return D3D_OK;
}

int32_t Device::drawIndexedPrimitive(uint32_t primType, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                     uint32_t startIndex, uint32_t primCount) {
  traceCall("DrawIndexedPrimitive %u %d %u %u %u %u", primType, baseVertex, minIndex, numVertices, startIndex,
            primCount);
  const uint32_t count = indexCountFor(primType, primCount);
  if (!onOwnerThread() || count == 0 || !indices_ || !decl_) return D3DERR_INVALIDCALL;
  const uint64_t indexEnd = (uint64_t(startIndex) + count) * indices_->indexSize();
  if (indexEnd > indices_->length()) return D3DERR_INVALIDCALL;
  doDraw(primType, baseVertex, minIndex, numVertices, startIndex, primCount);
  return D3D_OK;
}

int32_t Device::getRenderTargetData(Surface* renderTarget, Surface* dest) {
  traceCall("GetRenderTargetData %u %u", renderTarget ? renderTarget->id() : 0, dest ? dest->id() : 0);
  if (!onOwnerThread() || !isColorTarget(renderTarget) || !dest || dest->kind() != SurfaceKind::OffscreenPlain ||
      &renderTarget->device() != this || &dest->device() != this)
    return D3DERR_INVALIDCALL;
  const SurfaceDesc& a = renderTarget->desc();
  const SurfaceDesc& b = dest->desc();
  const FormatInfo* fa = formatInfo(a.format);
  const FormatInfo* fb = formatInfo(b.format);
  if (a.width != b.width || a.height != b.height || !fa || !fb || fa->bytesPerPixel != fb->bytesPerPixel)
    return D3DERR_INVALIDCALL;
  return doReadRenderTarget(renderTarget, dest) ? D3D_OK : D3DERR_INVALIDCALL;
}

}  // namespace qxgfx
