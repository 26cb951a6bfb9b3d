#include "script/bind/object_kinds.h"

#include <array>
#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/core/handle.h"

namespace qxbind {

namespace {

struct ItemKind {
  const void* key;
  std::string sub;
  KindPath path;
};

struct Kinds {
  std::array<std::atomic<const void*>, 64> resources{};
  std::shared_mutex itemLock;
  std::unordered_map<const LuaClassDesc*, std::vector<ItemKind>> items;
};

Kinds& kinds() {
  static Kinds* k = new Kinds();  // outlives every state that might still call a method
  return *k;
}

}  // namespace

bool KindPath::append(const KindPath& other) {
  if (count + other.count > kMaxSteps) return false;
  for (int i = 0; i < other.count; ++i) steps[count++] = other.steps[i];
  return true;
}

void setResourceKind(uint32_t managerId, const void* key) {
  if (managerId < kinds().resources.size()) kinds().resources[managerId].store(key, std::memory_order_release);
}

const void* resourceKind(uint32_t managerId) {
  return managerId < kinds().resources.size() ? kinds().resources[managerId].load(std::memory_order_acquire)
                                              : nullptr;
}

void addItemKind(const LuaClassDesc* desc, const void* key, std::string_view sub, const KindPath& path) {
  if (!desc) return;
  std::unique_lock g(kinds().itemLock);
  std::vector<ItemKind>& list = kinds().items[desc];
  for (const ItemKind& k : list) {
    if (k.key == key && k.sub == sub) return;
  }
  list.push_back({key, std::string(sub), path});
}

void inheritItemKinds(const LuaClassDesc* derived, const LuaClassDesc* base, KindStep step) {
  if (!derived || !base || derived == base) return;
  std::vector<ItemKind> inherited;
  {
    std::shared_lock g(kinds().itemLock);
    auto it = kinds().items.find(base);
    if (it == kinds().items.end()) return;
    inherited = it->second;
  }
  for (ItemKind& k : inherited) {
    KindPath path;
    path.steps[0] = step;
    path.count = 1;
    if (path.append(k.path)) addItemKind(derived, k.key, k.sub, path);
  }
}

void* findItemKind(const LuaClassDesc* desc, void* storage, const void* key, std::string_view sub) {
  if (!desc || !storage) return nullptr;
  std::shared_lock g(kinds().itemLock);
  auto it = kinds().items.find(desc);
  if (it == kinds().items.end()) return nullptr;
  for (const ItemKind& k : it->second) {
    if (k.key == key && k.sub == sub) return k.path.apply(storage);
  }
  return nullptr;
}

}  // namespace qxbind
