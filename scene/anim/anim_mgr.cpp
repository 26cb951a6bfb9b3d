#include "scene/anim/anim_mgr.h"

#include "platform/core/utf.h"
#include "runtime/fs/files.h"
#include "script/lua/script_report.h"

bool AnimMgr::loadData(Animation& data, qx::IFiles* source, const std::u16string& name) {
  if (!source) return false;
  const std::string utf8Name = qcore::utf16ToUtf8(name);
  std::string why;
  if (source->size(name) > int64_t(Animation::kMaxFileBytes)) {
    why = "larger than 4 MiB";
  } else if (FileData file = source->readWhole(name, 0); !file) {
    why = "cannot be read";
  } else if (data.build(std::string_view(file.chars(), file.size()), &why)) {
    return true;
  }
  scriptDebugLog("animation " + utf8Name + ": " + why);
  return true;
}
