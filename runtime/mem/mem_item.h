// MemItem: the object of a script-created class, living in a memory manager's slot. Its
// storage is a zero-filled block of the class's size, aligned to 16 bytes, into which the
// class descriptor's construct builds the object; ending the item runs the descriptor's
// destroy and frees the block.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/mem/lua_class_desc.h"

class MemItem {
 public:
  static constexpr size_t kAlignment = 16;

  MemItem() = default;
  ~MemItem() { destroy(); }
  MemItem(const MemItem&) = delete;
  MemItem& operator=(const MemItem&) = delete;

  // The object (null for an item without storage).
  void* data() const { return storage_; }
  uint32_t size() const { return size_; }
  // The class record (null for an item made by the plain create).
  const LuaClassDesc* desc() const { return desc_; }
  // The class name, empty for an item without a class.
  const char* className() const { return desc_ ? desc_->name : ""; }

  // Points the item at its class and gives it a zero-filled block of the class's size.
  // The object is not built yet.
  void prepare(const LuaClassDesc& desc);
  // Runs the class's destroy on the object, then frees the block. Does nothing twice.
  void destroy();
  // Frees the block without running destroy: for an object whose construct failed.
  void abandon();

  // Call one descriptor callback on the object; nothing happens for an item without a
  // class.
  void callTypeFn2(void* a, void* b) const {
    if (desc_) desc_->draw(storage_, a, b);
  }
  void callTypeFn3(void* a, void* b) const {
    if (desc_) desc_->material(storage_, a, b);
  }
  void callTypeFn4(void* a, void* b, void* c) const {
    if (desc_) desc_->collect(storage_, a, b, c);
  }
  void callTypeFn9(void* a, void* b, void* c) const {
    if (desc_) desc_->drawDrawer(storage_, a, b, c);
  }
  void callTypeFn10(void* a, void* b, void* c) const {
    if (desc_) desc_->update(storage_, a, b, c);
  }
  void callTypeFn15(void* a, void* b) const {
    if (desc_) desc_->colStep1(storage_, a, b);
  }
  void callTypeFn16(void* a, void* b) const {
    if (desc_) desc_->colStep2(storage_, a, b);
  }
  void callTypeFn17(void* a, void* b) const {
    if (desc_) desc_->colStep3(storage_, a, b);
  }
  void callTypeFn18(void* a, void* b) const {
    if (desc_) desc_->colStep4(storage_, a, b);
  }
  void callTypeFn19(void* a, void* b) const {
    if (desc_) desc_->colStep5(storage_, a, b);
  }
  void callTypeFn20(void* a, void* b) const {
    if (desc_) desc_->colStep6(storage_, a, b);
  }
  bool callTypeFn21(void* a, void* b) const { return desc_ && desc_->colNotify(storage_, a, b); }

 private:
  void freeStorage();

  void* storage_ = nullptr;
  uint32_t size_ = 0;
  const LuaClassDesc* desc_ = nullptr;
};
