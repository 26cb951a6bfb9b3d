// What the primitive batcher needs of the application's draw context (Qeldrin): its
// current vertex format and mode, its pending stream and index state, and its effect
// parameter binding.
#pragma once
#include <cstdint>

class IDrawContext {
 public:
  virtual ~IDrawContext() = default;
  // The current vertex-format key (the first word of the current format record).
  virtual uint32_t vertexFormatKey() const = 0;
  // The byte stride of each of the 16 streams of the current format.
  virtual const uint16_t* streamStrides() const = 0;
  // 3 makes the batcher draw every submission by itself.
  virtual int32_t drawMode() const = 0;
  // Record a stream source or the index buffer (device ids, 0 for none); applied by
  // applyState.
  virtual void setStream(uint32_t stream, uint32_t bufferId, uint32_t offsetBytes, uint32_t stride) = 0;
  virtual void setIndices(uint32_t bufferId) = 0;
  // Brings render targets, camera, streams and indices to the device.
  virtual void applyState() = 0;
  // Writes the changed shared effect parameters and commits them.
  virtual void bindEffectParams() = 0;
};
