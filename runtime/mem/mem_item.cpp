#include "runtime/mem/mem_item.h"

#include <cstring>
#include <new>

void MemItem::prepare(const LuaClassDesc& desc) {
  freeStorage();
  desc_ = &desc;
  if (desc.size == 0) return;
  storage_ = ::operator new(desc.size, std::align_val_t(kAlignment));
  std::memset(storage_, 0, desc.size);
  size_ = desc.size;
}

void MemItem::destroy() {
  const LuaClassDesc* desc = desc_;
  desc_ = nullptr;
  if (desc && desc->destroy) desc->destroy(storage_);
  freeStorage();
}

void MemItem::abandon() {
  desc_ = nullptr;
  freeStorage();
}

void MemItem::freeStorage() {
  if (storage_) ::operator delete(storage_, std::align_val_t(kAlignment));
  storage_ = nullptr;
  size_ = 0;
}
