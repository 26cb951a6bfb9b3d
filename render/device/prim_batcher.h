// Collects indexed line and triangle lists from many small draw calls into shared
// vertex and index streams, and draws each run of calls that share primitive type and
// vertex format with one DrawIndexedPrimitive.
#pragma once
#include <cstdint>
#include <memory>

#include "render/device/draw_context.h"
#include "render/device/dyn_buffer.h"
#include "render/device/idx_copy.h"

class PrimBatcher {
 public:
  static constexpr uint32_t kStreams = 4;
  static constexpr uint32_t kMaxVertices = 65536;  // reachable with 16-bit indices

  PrimBatcher();

  // Queues one run: vertexCount vertices of each of streamCount streams (one pointer per
  // stream) and the indices of primCount primitives from the index writer. Flushes first
  // when the type, the context's format or mode asks for it, when markDirty was called,
  // or when the run's vertices would take indices past 65535. Only line and triangle
  // lists get indices. False, with nothing queued, for a run that can never be drawn
  // (more than 65536 vertices, more than four streams, an index outside its vertices).
  bool submit(uint32_t primType, const void* const* streams, uint32_t streamCount, IDrawContext& ctx,
              uint32_t vertexCount, uint32_t primCount, IFIdxCopy& indices);
  // Draws what is queued, then lets the context update its effect parameters (also when
  // nothing was queued).
  void flush(IDrawContext& ctx);
  void markDirty() { dirty_ |= 1; }

  uint32_t queuedVertices() const { return vertices_.count; }
  uint32_t queuedIndices() const { return indices_.count; }

 private:
  // A growable array whose new elements are left for the caller to write (a vector
  // would zero them first); its storage is kept across flushes.
  template <class T>
  struct Staging {
    std::unique_ptr<T[]> data;
    size_t size = 0, capacity = 0;
    // Room for n more elements at the end, or null when the size would overflow.
    T* extend(size_t n);
    void clear() { size = 0; }
  };
  struct VertexStream {
    Staging<uint8_t> cpu;
    TP_Vert buffer;
    uint32_t stride = 0;
  };
  struct VertexSet {
    uint32_t active = 0;
    uint32_t count = 0;
    bool hasData = false;
    VertexStream streams[kStreams];
  };
  struct IndexSet {
    uint32_t count = 0;
    Staging<uint16_t> cpu;
    TP_Index buffer;
  };

  bool upload();
  void resetSets();

  VertexSet vertices_;
  IndexSet indices_;
  uint32_t lastType_ = 0x7FFFFFFF;
  uint32_t lastFormat_ = 0;
  uint32_t dirty_ = 0;
};
