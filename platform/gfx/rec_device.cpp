// The recording device: resources live in memory, every call is traced as a line of
// text and every draw keeps a copy of the indices and vertex bytes it reads.
#include <algorithm>
#include <cstring>

#include "platform/gfx/device.h"
#include "platform/gfx/format.h"

namespace qxgfx {
namespace {

// A discarded range reads as this byte, so code that relies on discarded contents shows.
constexpr uint8_t kScribble = 0xCD;

template <class Base>
class RecBuffer final : public Base {
 public:
  template <class... A>
  explicit RecBuffer(A&&... a) : Base(std::forward<A>(a)...), mem(Base::length(), 0) {}
  std::vector<uint8_t> mem;

 protected:
  void* doLock(uint32_t offset, uint32_t, uint32_t flags) override {
    if (flags & D3DLOCK_DISCARD) std::fill(mem.begin(), mem.end(), kScribble);
    return mem.data() + offset;
  }
  void doUnlock() override {}
};

struct RecVBBase : VertexBuffer {
  RecVBBase(Device& d, uint32_t len, uint32_t usage, uint32_t pool) : VertexBuffer(d, len, usage, pool) {}
};
struct RecIBBase : IndexBuffer {
  RecIBBase(Device& d, uint32_t len, uint32_t usage, uint32_t fmt, uint32_t pool) : IndexBuffer(d, len, usage, fmt, pool) {}
};
using RecVB = RecBuffer<RecVBBase>;
using RecIB = RecBuffer<RecIBBase>;

class RecTexture final : public Texture {
 public:
  RecTexture(Device& d, uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format, uint32_t pool)
      : Texture(d, w, h, levels, usage, format, pool) {
    for (uint32_t l = 0; l < levelCount(); ++l)
      mem.emplace_back(formatLevelBytes(format, width(l), height(l)), 0);
  }
  std::vector<std::vector<uint8_t>> mem;

 protected:
  void* doLock(uint32_t level, const Rect& r, uint32_t, int32_t& pitch) override {
    pitch = int32_t(formatPitch(format(), width(level)));
    return mem[level].data() + formatOffset(format(), uint32_t(pitch), r.left, r.top);
  }
  void doUnlock(uint32_t, const Rect&) override {}
  void doGenerateMips() override {}
};

class RecSurface final : public Surface {
 public:
  RecSurface(Device& d, SurfaceKind kind, const SurfaceDesc& desc) : Surface(d, kind, desc) {
    pitch_ = formatPitch(desc.format, desc.width);
    memory_.assign(size_t(pitch_) * desc.height, 0);
  }
  std::vector<uint8_t>& pixels() { return memory_; }
  uint32_t pitch() const { return pitch_; }
};

class RecDecl final : public VertexDecl {
 public:
  RecDecl(Device& d, std::vector<VertexElement> e) : VertexDecl(d, std::move(e)) {}
};

class RecProgram final : public Program {
 public:
  RecProgram(Device& d, std::vector<UniformDecl> u) : Program(d, std::move(u)) {}
};

class RecDeviceImpl final : public RecordingDevice {
 public:
  RecDeviceImpl(uint32_t w, uint32_t h) {
    tracing_ = true;
    auto bb = Ref<Surface>::adopt(new RecSurface(*this, SurfaceKind::BackBuffer,
                                                 SurfaceDesc{D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, 0, w, h}));
    auto ds = Ref<Surface>::adopt(
        new RecSurface(*this, SurfaceKind::DepthStencil, SurfaceDesc{D3DFMT_D24S8, D3DUSAGE_DEPTHSTENCIL, 0, w, h}));
    initDefaultTargets(bb, ds);
  }
  ~RecDeviceImpl() override { unbindAll(); }

  Ref<VertexBuffer> createVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool) override {
    if (length == 0 || length > (256u << 20)) {
      traceCall("CreateVertexBuffer %u 0x%x %u %u -> null", length, usage, fvf, pool);
      return nullptr;
    }
    auto* b = new RecVB(*this, length, usage, pool);
    traceCall("CreateVertexBuffer %u 0x%x %u %u -> vb%u", length, usage, fvf, pool, b->id());
    return Ref<VertexBuffer>::adopt(b);
  }

  Ref<IndexBuffer> createIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool) override {
    if (length == 0 || length > (256u << 20) || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) {
      traceCall("CreateIndexBuffer %u 0x%x %u %u -> null", length, usage, format, pool);
      return nullptr;
    }
    auto* b = new RecIB(*this, length, usage, format, pool);
    traceCall("CreateIndexBuffer %u 0x%x %u %u -> ib%u", length, usage, format, pool, b->id());
    return Ref<IndexBuffer>::adopt(b);
  }

  Ref<Texture> createTexture(uint32_t w, uint32_t h, uint32_t levels, uint32_t usage, uint32_t format,
                             uint32_t pool) override {
    const FormatInfo* f = formatInfo(format);
    if (!f || w == 0 || h == 0 || w > 16384 || h > 16384 || (f->depth && !(usage & D3DUSAGE_DEPTHSTENCIL))) {
      traceCall("CreateTexture %u %u %u 0x%x %u %u -> null", w, h, levels, usage, format, pool);
      return nullptr;
    }
    auto* t = new RecTexture(*this, w, h, levels, usage, format, pool);
    traceCall("CreateTexture %u %u %u 0x%x %u %u -> tex%u", w, h, levels, usage, format, pool, t->id());
    return Ref<Texture>::adopt(t);
  }

  Ref<Surface> createDepthStencilSurface(uint32_t w, uint32_t h, uint32_t format) override {
    const FormatInfo* f = formatInfo(format);
    if (!f || !f->depth || w == 0 || h == 0 || w > 16384 || h > 16384) return nullptr;
    auto* s = new RecSurface(*this, SurfaceKind::DepthStencil, SurfaceDesc{format, D3DUSAGE_DEPTHSTENCIL, 0, w, h});
    traceCall("CreateDepthStencilSurface %u %u %u -> s%u", w, h, format, s->id());
    return Ref<Surface>::adopt(s);
  }

  Ref<Program> createProgram(const ProgramSource& src, std::string* log) override {
    const std::string& bad = failProgramsContaining;
    if (!bad.empty() &&
        (src.vertex.find(bad) != std::string::npos || src.fragment.find(bad) != std::string::npos)) {
      traceCall("CreateProgram -> null");
      if (log) *log = "recording device: program contains \"" + bad + "\"";
      return nullptr;
    }
    auto* p = new RecProgram(*this, src.uniforms);
    traceCall("CreateProgram -> prog%u", p->id());
    return Ref<Program>::adopt(p);
  }

 protected:
  Ref<VertexDecl> makeVertexDecl(std::vector<VertexElement> elements) override {
    return Ref<VertexDecl>::adopt(new RecDecl(*this, std::move(elements)));
  }

  void trace(const std::string& line) override { calls.push_back(line); }

  // Fills the cleared colour into render target 0 when it keeps memory here, so that
  // readbacks of the recording device show clears.
  void doClear(uint32_t, const Rect*, uint32_t flags, uint32_t color, float, uint32_t) override {
    if (!(flags & D3DCLEAR_TARGET)) return;
    Surface* rt = renderTargets_[0].get();
    std::vector<uint8_t>* mem = nullptr;
    uint32_t pitch = 0;
    if (rt->kind() == SurfaceKind::BackBuffer) {
      auto* s = static_cast<RecSurface*>(rt);
      mem = &s->pixels();
      pitch = s->pitch();
    } else if (rt->kind() == SurfaceKind::TextureLevel) {
      auto* t = static_cast<RecTexture*>(rt->texture());
      mem = &t->mem[rt->level()];
      pitch = formatPitch(t->format(), t->width(rt->level()));
    }
    if (!mem || formatInfo(rt->desc().format)->bytesPerPixel != 4) return;
    for (uint32_t y = viewport_.y; y < viewport_.y + viewport_.height; ++y)
      for (uint32_t x = viewport_.x; x < viewport_.x + viewport_.width; ++x)
        std::memcpy(mem->data() + size_t(y) * pitch + size_t(x) * 4, &color, 4);
  }

  void doPresent() override {}

  void doDraw(uint32_t primType, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices, uint32_t startIndex,
              uint32_t primCount) override {
    RecordedDraw d;
    d.primType = primType;
    d.baseVertex = baseVertex;
    d.minIndex = minIndex;
    d.numVertices = numVertices;
    d.startIndex = startIndex;
    d.primCount = primCount;
    auto* ib = static_cast<RecIB*>(indices_.get());
    const uint32_t n = indexCountFor(primType, primCount);
    for (uint32_t i = 0; i < n; ++i) {
      const size_t at = size_t(startIndex + i) * ib->indexSize();
      uint32_t v = 0;
      std::memcpy(&v, ib->mem.data() + at, ib->indexSize());
      d.indices.push_back(v);
    }
    for (int s = 0; s < kMaxStreams; ++s) {
      const StreamSource& src = streams_[s];
      if (!src.buffer) continue;
      auto* vb = static_cast<RecVB*>(src.buffer.get());
      d.streamIds[s] = vb->id();
      d.streamBytes.resize(size_t(s) + 1);
      if (src.offset < vb->mem.size()) d.streamBytes[s].assign(vb->mem.begin() + src.offset, vb->mem.end());
    }
    d.programId = program_ ? program_->id() : 0;
    draws.push_back(std::move(d));
  }

  bool doReadRenderTarget(Surface* rt, Surface* dest) override {
    LockedRect out;
    if (!dest->lockRect(out, nullptr, 0)) return false;
    const std::vector<uint8_t>* mem = nullptr;
    uint32_t pitch = 0;
    if (rt->kind() == SurfaceKind::BackBuffer) {
      auto* s = static_cast<RecSurface*>(rt);
      mem = &s->pixels();
      pitch = s->pitch();
    } else {
      auto* t = static_cast<RecTexture*>(rt->texture());
      mem = &t->mem[rt->level()];
      pitch = formatPitch(t->format(), t->width(rt->level()));
    }
    const uint32_t rowBytes = std::min<uint32_t>(pitch, uint32_t(out.pitch));
    for (uint32_t y = 0; y < rt->desc().height; ++y)
      std::memcpy(static_cast<uint8_t*>(out.bits) + size_t(y) * out.pitch, mem->data() + size_t(y) * pitch, rowBytes);
    dest->unlockRect();
    return true;
  }
};

}  // namespace

Ref<RecordingDevice> createRecordingDevice(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return nullptr;
  return Ref<RecordingDevice>::adopt(new RecDeviceImpl(width, height));
}

}  // namespace qxgfx
