// The material manager: material files ("mtl") loaded by name. A material may refer to
// others by name; a chain of references that comes back to a material still loading
// ends there with the null handle.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "render/material/mtl_data.h"
#include "runtime/res/resource_mgr.h"

namespace qx {
class IFiles;
}

class MtlMgr : public kesto::ResourceMgr<MtlMgr, MtlData, kesto::MultiP, 0> {
 public:
  using MtlHandle = ::MtlHandle;

  MtlMgr();
  const char* dataTypeName() const override { return "MtlData"; }

  // The named material, loaded on first use; null when no read source holds the file.
  MtlHandle acquire(const std::u16string& name) { return acquireByName(name).handle; }

  bool loadData(MtlData& data, qx::IFiles* source, const std::u16string& name);

  // Where unreadable files are reported (stderr until the program sets its log).
  void setLog(std::function<void(std::string_view)> sink) { log_ = std::move(sink); }

 private:
  std::function<void(std::string_view)> log_;
};
