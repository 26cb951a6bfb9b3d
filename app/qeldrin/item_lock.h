// A memory item (a script-created object) locked exclusively for one callback, with a
// reference of its own so that the object cannot go while its callback runs. An item
// that no longer exists, or one this thread cannot lock, gives no object.
#pragma once
#include <cstdint>

#include "runtime/mem/mem_item.h"

class ItemLock {
 public:
  explicit ItemLock(uint32_t handle);
  ~ItemLock();
  ItemLock(const ItemLock&) = delete;
  ItemLock& operator=(const ItemLock&) = delete;

  MemItem* item() const { return item_; }
  explicit operator bool() const { return item_ != nullptr; }
  MemItem* operator->() const { return item_; }

 private:
  uint32_t handle_ = 0;
  bool referenced_ = false;
  MemItem* item_ = nullptr;
};
