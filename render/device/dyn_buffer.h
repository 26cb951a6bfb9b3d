// Growable dynamic vertex and index buffers. A batch starts at offset 0: the first lock
// after a reset discards the old contents, later appends of the batch lock only their
// own range without overwriting, and a batch that does not fit restarts the buffer,
// bigger when its growth rule says so.
#pragma once
#include <cstdint>

#include "platform/gfx/device.h"

// (capacity in bytes, locks since the last reset, bytes needed) -> new capacity, or 0 to
// keep the buffer.
using GrowthRule = uint32_t (*)(uint32_t capacity, int32_t locks, uint32_t needed);

// No growth while the bytes fit; else from max(capacity, 256) add half (at least once)
// until the bytes fit.
uint32_t defaultGrowth(uint32_t capacity, int32_t locks, uint32_t needed);
// The batcher's rule: no growth when 32 or more locks were made and the bytes fit, nor
// once the capacity reached 1 MiB; else from max(capacity, 256) add half (at least
// once) until min(needed, 1 MiB) fits.
uint32_t batchGrowth(uint32_t capacity, int32_t locks, uint32_t needed);
constexpr uint32_t kBatchGrowthCap = 0x100000;

// What a draw binds: the buffer, its device id, the first element and the count.
struct DrawRange {
  qxgfx::Buffer* buffer = nullptr;
  uint32_t bufferId = 0;
  uint32_t start = 0;
  uint32_t count = 0;
};

class ITP_Base {
 public:
  ITP_Base() = default;
  virtual ~ITP_Base() = default;
  ITP_Base(const ITP_Base&) = delete;
  ITP_Base& operator=(const ITP_Base&) = delete;

  void setStride(uint32_t bytes) { stride_ = bytes; }
  uint32_t stride() const { return stride_; }
  void useBatchGrowth() { growth_ = batchGrowth; }
  void setGrowthRule(GrowthRule rule) { growth_ = rule ? rule : defaultGrowth; }

  // Copies count elements of the stride. Never writes past the buffer: when the growth
  // rule refuses or caps below the bytes needed, the buffer grows to fit anyway. False
  // when the device cannot make or lock the buffer; the batch then holds nothing new.
  bool append(const void* data, uint32_t count);
  // Starts a new batch.
  void reset();
  // True when count elements fit behind the write position without a restart.
  bool fits(uint32_t count) const;

  uint32_t count() const { return stride_ ? (writePos_ - batchStart_) / stride_ : 0; }
  uint32_t startIndex() const { return stride_ ? batchStart_ / stride_ : 0; }
  DrawRange drawRange() const;

  uint32_t capacity() const { return capacity_; }
  uint32_t writePosition() const { return writePos_; }
  int32_t lockCount() const { return locks_; }
  uint32_t nextLockFlags() const { return nextFlags_; }

 protected:
  // Makes the device buffer anew at that size (releasing the old one).
  virtual bool create(uint32_t bytes) = 0;
  virtual qxgfx::Buffer* buffer() const = 0;

 private:
  void* lock(uint32_t offset, uint32_t size, uint32_t flags);
  void unlock();

  uint32_t batchStart_ = 0;
  uint32_t writePos_ = 0;
  uint32_t stride_ = 0;
  uint32_t capacity_ = 0;
  int32_t locks_ = 0;
  uint32_t nextFlags_ = 0;
  GrowthRule growth_ = defaultGrowth;
};

// Dynamic, write-only vertex buffer on the device that DeviceMgr holds.
class TP_Vert final : public ITP_Base {
 public:
  qxgfx::VertexBuffer* vertexBuffer() const { return vb_.get(); }

 protected:
  bool create(uint32_t bytes) override;
  qxgfx::Buffer* buffer() const override { return vb_.get(); }

 private:
  qxgfx::Ref<qxgfx::VertexBuffer> vb_;
};

// Dynamic, write-only buffer of 16-bit indices.
class TP_Index final : public ITP_Base {
 public:
  TP_Index() { setStride(2); }
  qxgfx::IndexBuffer* indexBuffer() const { return ib_.get(); }

 protected:
  bool create(uint32_t bytes) override;
  qxgfx::Buffer* buffer() const override { return ib_.get(); }

 private:
  qxgfx::Ref<qxgfx::IndexBuffer> ib_;
};
