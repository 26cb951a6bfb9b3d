// Intrusive reference counts for device objects, in the manner of COM interfaces: every
// holder adds a reference, and the object deletes itself when the last one goes.
#pragma once
#include <atomic>
#include <cstdint>
#include <utility>

namespace qxgfx {

class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  uint32_t addRef() const { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  uint32_t release() const {
    uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  uint32_t refCount() const { return refs_.load(std::memory_order_relaxed); }

 protected:
  virtual ~RefCounted() = default;

 private:
  mutable std::atomic<uint32_t> refs_{1};
};

// An owning pointer to a RefCounted object. Ref<T>::adopt takes over the creator's
// reference; copying adds one.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Adds a reference to p.
  explicit Ref(T* p) : p_(p) {
    if (p_) p_->addRef();
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->addRef();
  }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& o) : p_(o.get()) {
    if (p_) p_->addRef();
  }
  template <class U>
  Ref(Ref<U>&& o) noexcept : p_(o.detach()) {}
  ~Ref() { reset(); }

  Ref& operator=(const Ref& o) {
    Ref(o).swap(*this);
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    Ref(std::move(o)).swap(*this);
    return *this;
  }
  Ref& operator=(std::nullptr_t) {
    reset();
    return *this;
  }

  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->release();
  }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  bool operator==(const Ref& o) const { return p_ == o.p_; }
  bool operator==(const T* p) const { return p_ == p; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args&&... args) {
  return Ref<T>::adopt(new T(std::forward<Args>(args)...));
}

}  // namespace qxgfx
