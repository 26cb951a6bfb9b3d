// The one published instance of a class, set while the object lives.
#pragma once
#include <atomic>

namespace kesto {

template <class T>
class Singleton {
 public:
  static T* instance() { return static_cast<T*>(instance_.load(std::memory_order_acquire)); }

  Singleton(const Singleton&) = delete;
  Singleton& operator=(const Singleton&) = delete;

 protected:
  Singleton() { instance_.store(this, std::memory_order_release); }
  // Clears the pointer only when it still names this object, so ending an older
  // instance does not hide a newer one.
  virtual ~Singleton() {
    Singleton* me = this;
    instance_.compare_exchange_strong(me, nullptr, std::memory_order_acq_rel);
  }

 private:
  static inline std::atomic<Singleton*> instance_{nullptr};
};

}  // namespace kesto
