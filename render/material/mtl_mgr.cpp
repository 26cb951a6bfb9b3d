#include "render/material/mtl_mgr.h"

#include <cstdio>

#include "platform/core/utf.h"
#include "render/json/json_doc.h"
#include "runtime/fs/files.h"

MtlMgr::MtlMgr() {
  addExtension(u"mtl");
  log_ = [](std::string_view msg) { std::fprintf(stderr, "%.*s\n", int(msg.size()), msg.data()); };
}

bool MtlMgr::loadData(MtlData& data, qx::IFiles* source, const std::u16string& name) {
  if (!source || name.empty() || name[0] == u'@') return true;
  const std::string utf8Name = qcore::utf16ToUtf8(name);
  std::string why = "cannot be read";
  if (source->size(name) > int64_t(qxjson::kMaxDataFileBytes)) {
    why = "larger than 4 MiB";
  } else if (FileData file = source->readWhole(name, 0)) {
    if (data.loadFromText(std::string_view(file.chars(), file.size()), &why)) return true;
  }
  if (log_) log_(utf8Name + ": " + why);
  return true;
}
