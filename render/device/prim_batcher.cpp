#include "render/device/prim_batcher.h"

#include <algorithm>
#include <cstring>

#include "render/device/device_mgr.h"
#include "runtime/core/thread_ctx.h"

namespace {

uint32_t batchIndexCount(uint32_t type, uint32_t prims) {
  if (type == qxgfx::D3DPT_LINELIST) return prims * 2;
  if (type == qxgfx::D3DPT_TRIANGLELIST) return prims * 3;
  return 0;
}

uint32_t batchPrimCount(uint32_t type, uint32_t indices) {
  if (type == qxgfx::D3DPT_LINELIST) return indices / 2;
  if (type == qxgfx::D3DPT_TRIANGLELIST) return indices / 3;
  return 0;
}

}  // namespace

template <class T>
T* PrimBatcher::Staging<T>::extend(size_t n) {
  if (n > capacity - size) {
    const size_t needed = size + n;
    size_t grown = std::max<size_t>(capacity * 2, 1024);
    while (grown < needed) grown *= 2;
    std::unique_ptr<T[]> fresh(new T[grown]);
    if (size) std::memcpy(fresh.get(), data.get(), size * sizeof(T));
    data = std::move(fresh);
    capacity = grown;
  }
  T* at = data.get() + size;
  size += n;
  return at;
}

PrimBatcher::PrimBatcher() {
  for (VertexStream& s : vertices_.streams) s.buffer.useBatchGrowth();
  indices_.buffer.useBatchGrowth();
}

bool PrimBatcher::submit(uint32_t primType, const void* const* streams, uint32_t streamCount, IDrawContext& ctx,
                         uint32_t vertexCount, uint32_t primCount, IFIdxCopy& indexWriter) {
  if (streamCount > kStreams || vertexCount > kMaxVertices) return false;
  const uint64_t indexCount64 = uint64_t(batchIndexCount(primType, primCount));
  if (indexCount64 > 0x10000000ull) return false;
  const uint32_t indexCount = uint32_t(indexCount64);

  const uint32_t format = ctx.vertexFormatKey();
  if ((dirty_ & 1) || primType != lastType_ || format != lastFormat_ || ctx.drawMode() == 3 ||
      vertices_.count + vertexCount > kMaxVertices) {
    flush(ctx);
    lastType_ = primType;
    if (format != lastFormat_) {
      lastFormat_ = format;
      const uint16_t* strides = ctx.streamStrides();
      for (uint32_t i = 0; i < kStreams; ++i) {
        const uint32_t stride = (i < streamCount && strides) ? strides[i] : 0;
        vertices_.streams[i].stride = stride;
        vertices_.streams[i].buffer.setStride(stride);
      }
    }
    dirty_ = 0;
  }

  const uint32_t base = vertices_.count;
  if (indexCount) {
    // Indices are written first: a run whose indices leave its own vertices would make
    // the GPU read outside the buffers, so it is dropped before anything else is queued.
    const size_t at = indices_.cpu.size;
    uint16_t* written = indices_.cpu.extend(indexCount);
    indexWriter.copy(written, indexCount, base);
    for (uint32_t i = 0; i < indexCount; ++i) {
      if (written[i] < base || written[i] - base >= vertexCount) {
        indices_.cpu.size = at;
        return false;
      }
    }
    indices_.count += indexCount;
  }

  if (!vertices_.hasData) {
    vertices_.active = streamCount;
    vertices_.hasData = true;
  }
  for (uint32_t i = 0; i < vertices_.active; ++i) {
    VertexStream& s = vertices_.streams[i];
    const size_t bytes = size_t(s.stride) * vertexCount;
    uint8_t* at = s.cpu.extend(bytes);
    if (i < streamCount && streams && streams[i])
      std::memcpy(at, streams[i], bytes);
    else
      std::memset(at, 0, bytes);
  }
  vertices_.count += vertexCount;
  return true;
}

bool PrimBatcher::upload() {
  // One append per stream and flush: every stream restarts together, so they all
  // start at the same vertex.
  bool fit = true;
  for (uint32_t i = 0; i < vertices_.active; ++i) fit = fit && vertices_.streams[i].buffer.fits(vertices_.count);
  for (uint32_t i = 0; i < vertices_.active; ++i) {
    VertexStream& s = vertices_.streams[i];
    if (!fit) s.buffer.reset();
    if (s.stride && !s.buffer.append(s.cpu.data.get(), vertices_.count)) return false;
  }
  TP_Index& ib = indices_.buffer;
  return ib.append(indices_.cpu.data.get(), indices_.count);
}

void PrimBatcher::flush(IDrawContext& ctx) {
  qxgfx::Device* device = DeviceMgr::currentDevice();
  if (vertices_.count && indices_.count && device && upload()) {
    for (uint32_t i = 0; i < kStreams; ++i) {
      const VertexStream& s = vertices_.streams[i];
      if (i < vertices_.active && s.stride) {
        // The batch starts at the buffer's start; the draw's base vertex says where.
        ctx.setStream(i, s.buffer.drawRange().bufferId, 0, s.stride);
      } else {
        ctx.setStream(i, 0, 0, 0);
      }
    }
    ctx.setIndices(indices_.buffer.drawRange().bufferId);
    ctx.applyState();
    ProfScope scope("D3D");
    device->drawIndexedPrimitive(lastType_, int32_t(vertices_.streams[0].buffer.startIndex()), 0, vertices_.count,
                                 indices_.buffer.startIndex(), batchPrimCount(lastType_, indices_.count));
  }
  resetSets();
  ctx.bindEffectParams();
}

void PrimBatcher::resetSets() {
  vertices_.count = 0;
  vertices_.hasData = false;
  for (VertexStream& s : vertices_.streams) {
    s.cpu.clear();
    s.buffer.reset();
  }
  indices_.count = 0;
  indices_.cpu.clear();
  indices_.buffer.reset();
}
