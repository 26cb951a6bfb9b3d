#include "runtime/res/res_registry.h"

#include "runtime/res/res_base.h"

ResRegistry& ResRegistry::instance() {
  // Never destroyed: handles released by static destructors late in exit still find
  // a registry to ask.
  static ResRegistry* registry = new ResRegistry();
  return *registry;
}

uint32_t ResRegistry::addManager(kesto::ResBasePtr* manager) {
  kesto::SyncloGuard guard(managerLock_);
  uint32_t id = count_.load(std::memory_order_relaxed);
  if (id >= kMaxManagers) return kesto::kNoManagerId;
  managers_[id].store(manager, std::memory_order_release);
  count_.store(id + 1, std::memory_order_release);
  return id;
}

void ResRegistry::removeManager(kesto::ResBasePtr* manager) {
  kesto::SyncloGuard guard(managerLock_);
  uint32_t n = count_.load(std::memory_order_relaxed);
  for (uint32_t i = 0; i < n; ++i) {
    if (managers_[i].load(std::memory_order_relaxed) == manager) {
      managers_[i].store(nullptr, std::memory_order_release);
      return;
    }
  }
}

kesto::ResBasePtr* ResRegistry::managerById(uint32_t id) const {
  if (id >= count_.load(std::memory_order_acquire)) return nullptr;
  return managers_[id].load(std::memory_order_acquire);
}

kesto::ResBasePtr* ResRegistry::findManagerForFile(const std::u16string& fileName) const {
  uint32_t n = managerCount();
  for (uint32_t i = 0; i < n; ++i) {
    kesto::ResBasePtr* m = managers_[i].load(std::memory_order_acquire);
    if (m && m->extensionIndex(fileName) >= 0) return m;
  }
  return nullptr;
}

void ResRegistry::updateAll(float dt) {
  uint32_t n = managerCount();
  for (uint32_t i = 0; i < n; ++i) {
    kesto::ResBasePtr* m = managers_[i].load(std::memory_order_acquire);
    if (m) m->update(dt);
  }
}

void ResRegistry::attachFileSources(ResFileSources* sources) {
  files_.store(sources, std::memory_order_release);
}

qx::IFiles* ResRegistry::findFile(const std::u16string& name) const {
  ResFileSources* files = fileSources();
  return files ? files->findFile(name) : nullptr;
}

qx::IFiles* ResRegistry::createFile(const std::u16string& name, bool overwrite) const {
  ResFileSources* files = fileSources();
  return files ? files->createFile(name, overwrite) : nullptr;
}

namespace kesto {

ResBasePtr* managerById(uint32_t id) { return ResRegistry::instance().managerById(id); }

uint32_t handleRefCount(uint32_t value) {
  ResBasePtr* m = managerById(HdlBase(value).mgrId());
  return m ? m->refCount(value) : 0;
}

}  // namespace kesto
