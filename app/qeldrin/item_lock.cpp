#include "app/qeldrin/item_lock.h"

#include "platform/thread/thread.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/res_base.h"

ItemLock::ItemLock(uint32_t handle) : handle_(handle) {
  if (!handle) return;
  const bool memory = MemMgrMulti::ofValue(handle) != nullptr || MemMgrSingle::ofValue(handle) != nullptr;
  kesto::ResBasePtr* mgr = memory ? kesto::managerById(kesto::HdlBase(handle).mgrId()) : nullptr;
  if (!mgr || !mgr->addRef(handle)) return;
  referenced_ = true;
  for (;;) {
    kesto::SlotLockResult why;
    void* data = mgr->tryLock(handle, true, why);
    if (data) {
      item_ = static_cast<MemItem*>(data);
      return;
    }
    if (why != kesto::SlotLockResult::busy) return;
    qxplat::yieldThread();
  }
}

ItemLock::~ItemLock() {
  if (!referenced_) return;
  kesto::ResBasePtr* mgr = kesto::managerById(kesto::HdlBase(handle_).mgrId());
  if (!mgr) return;
  if (item_) mgr->unlockExclusive(handle_);
  mgr->release(handle_);
}
