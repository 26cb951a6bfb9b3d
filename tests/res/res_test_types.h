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
  std::u16string loadedFrom;
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
template <int Flag>
class NamedMgrT : public kesto::ResourceMgr<NamedMgrT<Flag>, Counted, kesto::MultiP, Flag> {
 public:
  NamedMgrT() {
    this->addExtension(u"png");
    this->addExtension(u"dds");
  }
  const char* dataTypeName() const override { return "Named"; }
  bool loadData(Counted& data, qx::IFiles* source, const std::u16string& name) {
    loads.push_back(name);
    sources.push_back(source);
    data.loadedFrom = name;
    return name.find(u"bad") == std::u16string::npos;
  }
  std::vector<std::u16string> loads;
  std::vector<qx::IFiles*> sources;
};
using NamedMgr = NamedMgrT<1>;
using StrictNamedMgr = NamedMgrT<0>;

}  // namespace restest
