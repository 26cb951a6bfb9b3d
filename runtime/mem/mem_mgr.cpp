#include "runtime/mem/mem_mgr.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/utf.h"
#include "runtime/res/hdl_lock.h"

namespace {

std::atomic<MemItemPushFn> gPusher{nullptr};
std::atomic<MemMgrReportFn> gReporter{nullptr};

struct ConstructionRecord {
  char name[LuaClassDesc::kNameSize];
  uint32_t handle;
};

// Only the owning thread touches its records, so they need no lock.
std::vector<ConstructionRecord>& constructionStack() {
  thread_local std::vector<ConstructionRecord> stack;
  return stack;
}

}  // namespace

void setMemItemPusher(MemItemPushFn fn) { gPusher.store(fn, std::memory_order_release); }

void setMemMgrReporter(MemMgrReportFn fn) { gReporter.store(fn, std::memory_order_release); }

// ---- MemMgrBase ----------------------------------------------------------------------

MemMgrBase::ConstructionScope::ConstructionScope(const char* className, uint32_t handle) {
  ConstructionRecord r{};
  std::strncpy(r.name, className ? className : "", sizeof r.name - 1);
  r.handle = handle;
  constructionStack().push_back(r);
}

MemMgrBase::ConstructionScope::~ConstructionScope() {
  auto& stack = constructionStack();
  if (!stack.empty()) stack.pop_back();
}

uint32_t MemMgrBase::threadCurrentHandle() {
  auto& stack = constructionStack();
  return stack.empty() ? 0 : stack.back().handle;
}

const char* MemMgrBase::threadCurrentName() {
  auto& stack = constructionStack();
  return stack.empty() ? "" : stack.back().name;
}

void MemMgrBase::swapFrameItems() {
  kesto::SyncloGuard g(frameLock_);
  current_ ^= 1;
  frames_[current_].clear();
}

void MemMgrBase::copyFrameItems(std::vector<uint32_t>& out) {
  kesto::SyncloGuard g(frameLock_);
  out = frames_[current_ ^ 1];
}

void MemMgrBase::addLostHandle(uint32_t handle) {
  kesto::SyncloGuard g(frameLock_);
  frames_[current_].push_back(handle);
}

void MemMgrBase::clearFrameItems() {
  kesto::SyncloGuard g(frameLock_);
  frames_[0].clear();
  frames_[1].clear();
  current_ = 0;
}

// ---- MemMgr --------------------------------------------------------------------------

template <class Policy>
typename MemMgr<Policy>::HandleType MemMgr<Policy>::createByName(std::string_view className) {
  const LuaClassDesc* desc = findClassDesc(className);
  if (!desc) return HandleType();
  HandleType h = this->create().handle;
  if (!h.value) {
    noteFull(className);
    return h;
  }
  fullReported_.store(false, std::memory_order_relaxed);
  kesto::HdlLock<HandleType> lock(h);
  if (!lock) return HandleType();
  MemItem& item = *lock;
  item.prepare(*desc);
  ConstructionScope scope(desc->name, h.value);
  if (desc->construct) {
    try {
      desc->construct(item.data());
    } catch (...) {
      // A half-built object must not be destroyed as if it were whole.
      item.abandon();
      throw;
    }
  }
  return h;
}

template <class Policy>
void MemMgr<Policy>::noteFull(std::string_view className) {
  if (fullReported_.exchange(true)) return;
  const std::string msg = "memory manager full: all " + std::to_string(kMaxItems) +
                          " objects are alive; no new \"" + std::string(className) + "\" was made";
  if (MemMgrReportFn report = gReporter.load(std::memory_order_acquire)) {
    report(msg);
  } else {
    std::fprintf(stderr, "%s\n", msg.c_str());
  }
}

template <class Policy>
bool MemMgr<Policy>::pushByName(lua_State* L, const std::u16string& className) {
  MemItemPushFn push = gPusher.load(std::memory_order_acquire);
  if (!push) return false;
  std::string name = qcore::utf16ToUtf8(className);
  HandleType h = createByName(name);
  // A null handle still goes through the pusher, which pushes nil for it.
  return push(L, h.value, 0, name.c_str(), true) && h.value != 0;
}

template <class Policy>
bool MemMgr<Policy>::pushStrong(lua_State* L, uint32_t handle, uint32_t word) {
  MemItemPushFn push = gPusher.load(std::memory_order_acquire);
  if (!push) return false;
  std::string name = className(handle);
  return push(L, handle, word, name.c_str(), true);
}

template <class Policy>
bool MemMgr<Policy>::pushWeak(lua_State* L, uint32_t handle) {
  MemItemPushFn push = gPusher.load(std::memory_order_acquire);
  if (!push) return false;
  std::string name = className(handle);
  return push(L, handle, 0, name.c_str(), false);
}

template <class Policy>
std::string MemMgr<Policy>::className(uint32_t handle) {
  kesto::SyncloGuard g(this->lock_);
  auto* s = this->liveSlot(handle);
  return s ? std::string(s->data()->className()) : std::string();
}

template <class Policy>
void MemMgr<Policy>::destroyAllItems() {
  // Destructors may release (or even make) other items of this manager, so the table is
  // walked again until a pass finds nothing alive.
  for (bool found = true; found;) {
    found = false;
    kesto::SyncloGuard g(this->lock_);
    for (uint32_t i = 0; i < this->highWater(); ++i) {
      auto& slot = this->slotAt(i);
      if (slot.state != kesto::SlotState::live) continue;
      found = true;
      slot.refs = 0;
      this->discardSlot(kesto::formHandle(i, this->id(), slot.generation));
    }
  }
  clearFrameItems();
}

template <class Policy>
void MemMgr<Policy>::unlinkSlot(uint32_t index) {
  addLostHandle(kesto::formHandle(index, this->id(), this->slotAt(index).generation));
}

template class MemMgr<kesto::MultiP>;
template class MemMgr<kesto::SingleP>;
