// The values of a material: IFMtl<T> gives a value of type T, fixed (MtlImm), picked
// from a list (MtlRandPick) or drawn from a closed range (MtlRandRange, int and float).
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "render/material/mtl_random.h"

template <class T>
class IFMtl {
 public:
  static constexpr uint32_t kRandomIndex = 0xFFFFFFFFu;
  virtual ~IFMtl() = default;
  // The value; lists take element index, or one at random for kRandomIndex, and give
  // null for an index past their end. Ranges draw anew on every call.
  virtual const T* get(uint32_t index) = 0;
  // The stored data: the value, the first element, or the minimum (then the maximum).
  virtual const T* elements() const = 0;
  virtual uint32_t count() const = 0;  // elements of a list, else 0
  virtual uint32_t kind() const = 0;   // 0 fixed, 1 list, 2 range
};

template <class T>
class MtlImm final : public IFMtl<T> {
 public:
  explicit MtlImm(T v) : value_(std::move(v)) {}
  const T* get(uint32_t) override { return &value_; }
  const T* elements() const override { return &value_; }
  uint32_t count() const override { return 0; }
  uint32_t kind() const override { return 0; }

 private:
  T value_;
};

template <class T>
class MtlRandPick final : public IFMtl<T> {
 public:
  void add(T v) { items_.push_back(std::move(v)); }
  const T* get(uint32_t index) override {
    if (items_.empty()) return nullptr;
    if (index == IFMtl<T>::kRandomIndex) index = qxmtl::nextRandom() % items_.size();
    return index < items_.size() ? &items_[index] : nullptr;
  }
  const T* elements() const override { return items_.empty() ? nullptr : items_.data(); }
  uint32_t count() const override { return uint32_t(items_.size()); }
  uint32_t kind() const override { return 1; }

 private:
  std::vector<T> items_;
};

template <class T>
class MtlRandRange;

template <>
class MtlRandRange<int32_t> final : public IFMtl<int32_t> {
 public:
  MtlRandRange(int32_t lo, int32_t hi) : bounds_{lo, hi} {}
  // The value for random number r: the minimum plus r modulo the range's width; an
  // empty or reversed range gives its minimum.
  static int32_t valueFor(int32_t lo, int32_t hi, uint32_t r) {
    if (hi < lo) return lo;
    const int64_t span = int64_t(hi) - lo + 1;
    return int32_t(lo + int64_t(r) % span);
  }
  const int32_t* get(uint32_t) override {
    last_ = valueFor(bounds_[0], bounds_[1], qxmtl::nextRandom());
    return &last_;
  }
  const int32_t* elements() const override { return bounds_; }
  uint32_t count() const override { return 0; }
  uint32_t kind() const override { return 2; }

 private:
  int32_t bounds_[2];
  int32_t last_ = 0;
};

template <>
class MtlRandRange<float> final : public IFMtl<float> {
 public:
  static constexpr float kStep = 3.0518509e-5f;  // nearest to 1 / 32767
  MtlRandRange(float lo, float hi) : bounds_{lo, hi} {}
  // lo + (hi - lo) r / 32767, held inside the bounds against rounding.
  static float valueFor(float lo, float hi, uint32_t r) {
    const float v = lo + (hi - lo) * float(r) * kStep;
    return std::clamp(v, std::min(lo, hi), std::max(lo, hi));
  }
  const float* get(uint32_t) override {
    last_ = valueFor(bounds_[0], bounds_[1], qxmtl::nextRandom());
    return &last_;
  }
  const float* elements() const override { return bounds_; }
  uint32_t count() const override { return 0; }
  uint32_t kind() const override { return 2; }

 private:
  float bounds_[2];
  float last_ = 0;
};
