#include "render/device/dyn_buffer.h"

#include <algorithm>
#include <cstring>

#include "render/device/device_mgr.h"

namespace {

// max(capacity, 256) grown by half at least once until target fits; 0 past 32 bits.
uint32_t growToward(uint32_t capacity, uint64_t target) {
  uint64_t c = std::max<uint32_t>(capacity, 256);
  do {
    c += c / 2;
  } while (c < target);
  return c > 0xFFFFFFFFull ? 0 : uint32_t(c);
}

constexpr uint32_t kUsage = qxgfx::D3DUSAGE_DYNAMIC | qxgfx::D3DUSAGE_WRITEONLY;  // 0x208

}  // namespace

uint32_t defaultGrowth(uint32_t capacity, int32_t, uint32_t needed) {
  if (needed <= capacity) return 0;
  return growToward(capacity, needed);
}

uint32_t batchGrowth(uint32_t capacity, int32_t locks, uint32_t needed) {
  if (locks >= 32 && needed <= capacity) return 0;
  if (capacity >= kBatchGrowthCap) return 0;
  return growToward(capacity, std::min(needed, kBatchGrowthCap));
}

bool ITP_Base::fits(uint32_t count) const {
  const uint64_t needed = uint64_t(count) * stride_;
  return buffer() && capacity_ >= writePos_ && capacity_ - writePos_ >= needed;
}

bool ITP_Base::append(const void* data, uint32_t count) {
  const uint64_t bytes = uint64_t(count) * stride_;
  if (bytes == 0) return true;
  if (bytes > 0xFFFFFFFFull || !data) return false;
  const uint32_t needed = uint32_t(bytes);

  if (buffer() && capacity_ - writePos_ >= needed) {
    void* p = lock(writePos_, needed, nextFlags_);
    if (!p) return false;
    ++locks_;
    std::memcpy(p, data, needed);
    writePos_ += needed;
    nextFlags_ = qxgfx::D3DLOCK_NOOVERWRITE;
    unlock();
    return true;
  }

  // Restart at offset 0. What the batch held is dropped now, so that a failure below
  // leaves an empty batch rather than a range over a new or discarded buffer.
  const int32_t locksBefore = locks_;
  batchStart_ = writePos_ = 0;
  locks_ = 0;
  uint32_t grown = growth_(capacity_, locksBefore, needed);
  if (grown < needed && capacity_ < needed) {
    // The rule's cap bounds speculative growth only: data that is here must fit.
    grown = std::max(grown, defaultGrowth(capacity_, locksBefore, needed));
    if (grown < needed) return false;
  }
  uint32_t flags = qxgfx::D3DLOCK_DISCARD;
  if (grown > 0) {
    if (!create(grown)) {
      capacity_ = 0;
      return false;
    }
    capacity_ = grown;
    flags = 0;
  }
  void* p = lock(0, 0, flags);
  if (!p) return false;
  std::memcpy(p, data, needed);
  writePos_ = needed;
  locks_ = 1;
  unlock();
  nextFlags_ = qxgfx::D3DLOCK_NOOVERWRITE;
  return true;
}

void ITP_Base::reset() {
  if (locks_ > 0) nextFlags_ = qxgfx::D3DLOCK_DISCARD;
  writePos_ = 0;
  batchStart_ = 0;
  locks_ = 0;
}

void* ITP_Base::lock(uint32_t offset, uint32_t size, uint32_t flags) {
  qxgfx::Buffer* b = buffer();
  return b ? b->lock(offset, size, flags) : nullptr;
}

void ITP_Base::unlock() {
  if (qxgfx::Buffer* b = buffer()) b->unlock();
}

DrawRange ITP_Base::drawRange() const {
  qxgfx::Buffer* b = buffer();
  return DrawRange{b, b ? b->id() : 0, startIndex(), count()};
}

bool TP_Vert::create(uint32_t bytes) {
  vb_ = nullptr;
  qxgfx::Device* d = DeviceMgr::currentDevice();
  if (!d) return false;
  vb_ = d->createVertexBuffer(bytes, kUsage, 0, qxgfx::D3DPOOL_DEFAULT);
  return bool(vb_);
}

bool TP_Index::create(uint32_t bytes) {
  ib_ = nullptr;
  qxgfx::Device* d = DeviceMgr::currentDevice();
  if (!d) return false;
  ib_ = d->createIndexBuffer(bytes, kUsage, qxgfx::D3DFMT_INDEX16, qxgfx::D3DPOOL_DEFAULT);
  return bool(ib_);
}
