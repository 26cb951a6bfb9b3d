// Index writers: each turns one primitive run into 16-bit triangle- or line-list
// indices while the batcher copies it, offset by the run's first vertex in the batch.
#pragma once
#include <cstdint>

class IFIdxCopy {
 public:
  virtual ~IFIdxCopy() = default;
  // Writes count indices to dest, each offset by base.
  virtual void copy(uint16_t* dest, uint32_t count, uint32_t base) = 0;
};

// base + c, base + c + 1, ...: a list that needs no indices of its own.
class NonIdxCopy final : public IFIdxCopy {
 public:
  explicit NonIdxCopy(uint32_t first = 0) : next_(first) {}
  void copy(uint16_t* dest, uint32_t count, uint32_t base) override;

 private:
  uint32_t next_;
};

// Triangles (c, k, k + 1) for k = c + 1, c + 2, ...: a fan around vertex c.
class FanIdxCopy final : public IFIdxCopy {
 public:
  explicit FanIdxCopy(uint32_t centre = 0) : centre_(centre) {}
  void copy(uint16_t* dest, uint32_t count, uint32_t base) override;

 private:
  uint32_t centre_;
};

// The caller's indices, continuing where the previous call stopped.
class IdxCopy final : public IFIdxCopy {
 public:
  explicit IdxCopy(const uint16_t* indices) : p_(indices) {}
  void copy(uint16_t* dest, uint32_t count, uint32_t base) override;

 private:
  const uint16_t* p_;
};

// A triangle strip from vertex v as a list: v, v+1, v+2, v+2, v+1, v+3 per pair of
// triangles, then v, v+1, v+2 for an odd last one.
class StripIdxCopy final : public IFIdxCopy {
 public:
  explicit StripIdxCopy(uint32_t first = 0) : v_(first) {}
  void copy(uint16_t* dest, uint32_t count, uint32_t base) override;

 private:
  uint32_t v_;
};
