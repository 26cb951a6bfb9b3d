// The effect manager: effect files loaded by name ("hud.fx") into FxData resources.
// A name in any letter case finds the same effect; a file that does not compile gives
// the null handle once, with the compiler's message in the log, and is tried again only
// when asked for again.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "render/effect/fx_data.h"
#include "runtime/res/resource_mgr.h"

namespace qx {
class IFiles;
}

class EffectMgr : public kesto::ResourceMgr<EffectMgr, FxData, kesto::MultiP, 1> {
 public:
  using FxHandle = kesto::Handle<EffectMgr, FxData>;

  EffectMgr();
  const char* dataTypeName() const override { return "FxData"; }

  // The named effect, built on first use (and again when the device it was built on has
  // been replaced); the null handle when no read source holds the file or it does not
  // compile. A missing file is logged by name.
  FxHandle create(const std::u16string& name);

  // Builds the effect from the whole file; generated names (no file) build nothing.
  bool loadData(FxData& data, qx::IFiles* source, const std::u16string& name);
  // Builds it again from the named file on the current device; the reason of a failure
  // is logged.
  bool rebuild(FxData& data, const std::u16string& name);

  // Where build failures are reported (stderr until the program sets its log).
  void setLog(std::function<void(std::string_view)> sink) { log_ = std::move(sink); }

 private:
  std::function<void(std::string_view)> log_;
};
