// The one process-wide registry of resource managers: it hands out manager ids (the
// bits 12-17 of every handle), finds a manager by id or by file extension, and ticks
// every manager once per update step. The mounted file sources attach here too.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "runtime/core/handle.h"
#include "runtime/core/synclo.h"

namespace qx {
class IFiles;
}

namespace kesto {
class ResBasePtr;
}

// The read sources as named lookups see them: the first mounted source that holds a
// file of the given (already lower-cased) name, or null.
class ResFileSources {
 public:
  virtual ~ResFileSources() = default;
  virtual qx::IFiles* findFile(const std::u16string& name) = 0;
  // The first write target whose create of the name succeeds, or null.
  virtual qx::IFiles* createFile(const std::u16string& /*name*/, bool /*overwrite*/) { return nullptr; }
};

class ResRegistry {
 public:
  // Ids 0..62; 63 is the "no manager" id.
  static constexpr uint32_t kMaxManagers = kesto::kNoManagerId;

  static ResRegistry& instance();

  // Appends the manager and gives its id, the count of registrations before it; once
  // every id is taken the manager gets 63 and is not listed.
  uint32_t addManager(kesto::ResBasePtr* manager);
  // Clears the manager's entry; its id is never handed out again.
  void removeManager(kesto::ResBasePtr* manager);
  // Null for a removed manager or an id never handed out (63 included).
  kesto::ResBasePtr* managerById(uint32_t id) const;
  // Ids handed out so far.
  uint32_t managerCount() const { return count_.load(std::memory_order_acquire); }

  // The first manager, in registration order, that accepts the name's extension.
  kesto::ResBasePtr* findManagerForFile(const std::u16string& fileName) const;
  // Every manager's update, in registration order.
  void updateAll(float dt);

  void attachFileSources(ResFileSources* sources);
  ResFileSources* fileSources() const { return files_.load(std::memory_order_acquire); }
  // Null when no attached source holds the name (or nothing is attached).
  qx::IFiles* findFile(const std::u16string& name) const;
  // Null when no attached write target creates the file (or nothing is attached).
  qx::IFiles* createFile(const std::u16string& name, bool overwrite) const;

 private:
  ResRegistry() = default;

  kesto::Synclo managerLock_;  // serialises registrations
  std::atomic<kesto::ResBasePtr*> managers_[kMaxManagers] = {};
  std::atomic<uint32_t> count_{0};
  std::atomic<ResFileSources*> files_{nullptr};
};
