// The memory managers: resource managers whose objects are MemItems of script-created
// classes, made by class name. MemMgr<kesto::MultiP> is the process's one, built at engine
// start in the catalogue's "memory" place, its items locked per lane; each thread that asks
// gets its own MemMgr<kesto::SingleP> (getThreadMemMgr), whose locks never refuse.
//
// Handles reach the manager that made them through the manager id they carry, so items
// of several threads' managers never mix. The managers also list the handles of items
// whose last reference went (the lost-handle lists the script reads once per frame).
//
//   registerClassDesc(LuaClassDesc::forType<Widget>("Widget"));
//   auto h = MemMgr<kesto::MultiP>::instance()->createByName("Widget");
//   // inside Widget(): self = MemMgrBase::threadCurrentHandle();
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/synclo.h"
#include "runtime/mem/lua_class_desc.h"
#include "runtime/mem/mem_item.h"
#include "runtime/res/resource_mgr.h"

// Pushes the strong (16-byte) or weak (4-byte) userdata of an item with the metatable of
// its class; installed by the script layer. Gives false when nothing usable was pushed.
using MemItemPushFn = bool (*)(lua_State* L, uint32_t handle, uint32_t word, const char* className, bool strong);
void setMemItemPusher(MemItemPushFn fn);

// Where a memory manager says that it is full (stderr until the script layer installs
// its debug log).
using MemMgrReportFn = void (*)(std::string_view message);
void setMemMgrReporter(MemMgrReportFn fn);

// What both memory managers share: the construction records of the calling thread and
// the lost-handle lists.
class MemMgrBase {
 public:
  // The handle of the innermost item being built on the calling thread (no reference
  // added), or 0 outside every construction. A constructor stores it as its own handle.
  static uint32_t threadCurrentHandle();
  // The class name of that item ("" outside every construction).
  static const char* threadCurrentName();
  // Whether a class descriptor of exactly that name is registered.
  static bool hasType(std::string_view className) { return findClassDesc(className) != nullptr; }

  // Starts a new lost-handle list; the one filled since the previous swap becomes
  // readable through copyFrameItems.
  void swapFrameItems();
  // The list filled before the last swap.
  void copyFrameItems(std::vector<uint32_t>& out);

 protected:
  MemMgrBase() = default;
  ~MemMgrBase() = default;

  // Construction records form a stack per thread: an item's constructor that makes
  // further items sees its own handle again once the inner ones are built.
  class ConstructionScope {
   public:
    ConstructionScope(const char* className, uint32_t handle);
    ~ConstructionScope();
    ConstructionScope(const ConstructionScope&) = delete;
    ConstructionScope& operator=(const ConstructionScope&) = delete;
  };

  void addLostHandle(uint32_t handle);
  void clearFrameItems();

 private:
  kesto::Synclo frameLock_;  // other threads append while the main thread swaps
  std::vector<uint32_t> frames_[2];
  uint32_t current_ = 0;
};

template <class Policy>
class MemMgr : public kesto::ResourceMgrNoName<MemMgr<Policy>, MemItem, Policy>, public MemMgrBase {
  using Base = kesto::ResourceMgrNoName<MemMgr<Policy>, MemItem, Policy>;

 public:
  using HandleType = typename Base::HandleType;

  MemMgr() = default;
  ~MemMgr() override = default;

  const char* dataTypeName() const override { return "MemItem"; }

  // A new item of the named class, built by its descriptor's construct, with one
  // reference for the caller; null when the class is unknown or the table is full.
  HandleType createByName(std::string_view className);

  // Creates an item of the class and pushes its strong userdata; false (nothing usable
  // pushed) for an unknown class.
  bool pushByName(lua_State* L, const std::u16string& className) override;
  bool pushStrong(lua_State* L, uint32_t handle, uint32_t word) override;
  bool pushWeak(lua_State* L, uint32_t handle) override;

  // How many items one manager holds at once.
  static constexpr uint32_t kMaxItems = 4096;

  // The class name of a live item ("" for a dead handle or an item without a class).
  std::string className(uint32_t handle);

  // Destroys every item still alive (the owning thread is ending); later releases of
  // their handles do nothing. The lost-handle lists are emptied.
  void destroyAllItems();

  // Lists the handle of an item whose last reference has gone (called under the
  // manager lock by the release path).
  void unlinkSlot(uint32_t index);

 private:
  // Reports a full table once, until an item can be made again.
  void noteFull(std::string_view className);
  std::atomic<bool> fullReported_{false};
};

extern template class MemMgr<kesto::MultiP>;
extern template class MemMgr<kesto::SingleP>;

using MemMgrMulti = MemMgr<kesto::MultiP>;
using MemMgrSingle = MemMgr<kesto::SingleP>;
