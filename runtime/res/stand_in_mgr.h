// A manager that holds a place in the catalogue for a subsystem not built yet: it
// registers (so the managers after it keep their ids), reports its data type name and
// claims its file extensions, but owns no objects; every handle it is given is stale.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/res/base_path.h"
#include "runtime/res/res_base.h"

namespace kesto {

class StandInMgr : public ResBasePtr, public BasePath {
 public:
  StandInMgr(const char* className, const char* dataTypeName);
  ~StandInMgr() override;

  const char* className() const { return className_; }
  const char* dataTypeName() const override { return dataTypeName_; }
  bool isValidHandle(uint32_t) override { return false; }
  uint32_t refCount(uint32_t) override { return 0; }
  int32_t extensionIndex(const std::u16string& fileName) const override { return indexOfExtension(fileName); }
  bool addRef(uint32_t) override { return false; }
  bool release(uint32_t) override { return false; }
  void* lockShared(uint32_t) override { return nullptr; }
  void* lockExclusive(uint32_t) override { return nullptr; }
  void unlockShared(uint32_t) override {}
  void unlockExclusive(uint32_t) override {}
  void* tryLock(uint32_t, bool, SlotLockResult& why) override {
    why = SlotLockResult::dead;
    return nullptr;
  }

 private:
  const char* className_;
  const char* dataTypeName_;
};

}  // namespace kesto
