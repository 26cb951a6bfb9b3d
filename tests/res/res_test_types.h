// Data types and managers shared by the resource-manager tests.
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "runtime/res/hdl_lock.h"
#include "runtime/res/resource_mgr.h"

namespace restest {

// Counts how many objects are alive and how many were ever built.
struct Counted {
  static inline std::atomic<int> alive{0};
  static inline std::atomic<int> built{0};
  int value = 0;
  Counted() {
    ++alive;
    ++built;
  }
  ~Counted() { --alive; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
};

class CountedMgr : public kesto::ResourceMgrNoName<CountedMgr, Counted> {
 public:
  const char* dataTypeName() const override { return "Counted"; }
};
using CountedHandle = CountedMgr::HandleType;

class SingleMgr : public kesto::ResourceMgrNoName<SingleMgr, Counted, kesto::SingleP> {
 public:
  const char* dataTypeName() const override { return "Counted"; }
};

// A named manager whose loader records its calls and fails for names containing "bad".
class NamedMgr : public kesto::ResourceMgr<NamedMgr, Counted, kesto::MultiP, 1> {
 public:
  NamedMgr() { addExtension(u"png"); }
  const char* dataTypeName() const override { return "Named"; }
  bool loadData(Counted&, qx::IFiles* source, const std::u16string& name) {
    loads.push_back(name);
    sources.push_back(source);
    return name.find(u"bad") == std::u16string::npos;
  }
  std::vector<std::u16string> loads;
  std::vector<qx::IFiles*> sources;
};

}  // namespace restest
