#include "render/effect/effect_mgr.h"

#include <cstdio>

#include "platform/core/utf.h"
#include "platform/effect/effect_desc.h"
#include "runtime/fs/files.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"

EffectMgr::EffectMgr() {
  log_ = [](std::string_view msg) { std::fprintf(stderr, "%.*s\n", int(msg.size()), msg.data()); };
}

EffectMgr::FxHandle EffectMgr::create(const std::u16string& name) {
  FxHandle h = acquireByName(name).handle;
  if (kesto::HdlLock<FxHandle> lock{h}) lock->effect();  // onto the current device
  if (h.value || name.empty() || !log_) return h;
  // A failed build has logged its reason already; a file nobody holds has not.
  std::u16string key = name;
  if (!normalizeName(key) || !ResRegistry::instance().findFile(key)) {
    log_(qcore::utf16ToUtf8(name) + ": no effect file of that name in the mounted sources");
  }
  return h;
}

bool EffectMgr::loadData(FxData& data, qx::IFiles* source, const std::u16string& name) {
  if (!source) return false;
  const std::string utf8Name = qcore::utf16ToUtf8(name);
  // A file too large to be an effect is refused before it is read into memory.
  if (source->size(name) > int64_t(qxfx::kMaxEffectBytes)) {
    if (log_) log_(utf8Name + ": larger than 1 MiB");
    return false;
  }
  FileData file = source->readWhole(name, 0);
  if (!file) {
    if (log_) log_(utf8Name + ": cannot be read");
    return false;
  }
  std::string why;
  data.setFileName(name);
  if (data.createEffect(std::string_view(file.chars(), file.size()), utf8Name, &why)) return true;
  if (log_) log_(why);
  return false;
}

bool EffectMgr::rebuild(FxData& data, const std::u16string& name) {
  if (qx::IFiles* source = ResRegistry::instance().findFile(name)) return loadData(data, source, name);
  if (log_) log_(qcore::utf16ToUtf8(name) + ": no longer in the mounted sources; not built again on the new device");
  return false;
}
