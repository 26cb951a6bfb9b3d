#include "script/lua/script_files.h"

// Until the mounted sources are wired in, scripts come from the in-process reader that
// the runner and the tests install.
#include "script/lua/script_files_seam.h"

namespace {
ScriptFileReader& reader() {
  static ScriptFileReader r;
  return r;
}
}  // namespace

void setScriptFileReader(ScriptFileReader r) { reader() = std::move(r); }

FileData scriptReadFile(const std::u16string& name, uint32_t flag) {
  if (!reader()) return FileData();
  return reader()(name, flag);
}
