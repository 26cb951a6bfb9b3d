// qxlua for the hostile script tests (tests/hostile): two memory-item classes and a
// program folder of its own, so that QX.log never writes into the build tree.
// "QxTest.Part" stores its own handle; "QxTest.Whole" does too and builds a Part.
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/core/utf.h"
#include "runtime/fs/path_stack.h"
#include "runtime/mem/mem_mgr.h"
#include "script/qx/qx_log.h"
#include "tools/qxlua/extension.h"

namespace {

using Items = MemMgr<kesto::MultiP>;

struct Part {
  uint32_t self = MemMgrBase::threadCurrentHandle();
};

struct Whole {
  uint32_t self = MemMgrBase::threadCurrentHandle();
  Items::HandleType part = Items::instance()->createByName("QxTest.Part");
};

// The program folder, removed when qxlua ends.
struct ProgramFolder {
  std::filesystem::path dir;
  ~ProgramFolder() {
    closeQXLog();
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};

void provideManagers(kesto::ManagerCatalogue&) {
  static ProgramFolder folder;
  folder.dir = std::filesystem::temp_directory_path() / ("qxlua-qx-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder.dir);
  programPath().set(qcore::utf8ToUtf16(folder.dir.string()));
  registerClassDesc(LuaClassDesc::forType<Part>("QxTest.Part"));
  registerClassDesc(LuaClassDesc::forType<Whole>("QxTest.Whole"));
}

QxluaExtension extension{&provideManagers, nullptr};

}  // namespace
