// The script engine a benchmark drives: memory, game-object and script managers (plus the
// benchmark's own), the resource scripts mounted, and one state started from a QXMain.lua
// holding `main`. Made once per run and never torn down: benchmarks end with the process.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "platform/core/utf.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/file_registry.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/catalogue.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_files.h"
#include "script/lua/script_mgr.h"
#include "script/qx/qx_globals.h"

namespace qxbench {

struct ScriptEngine {
  using Provide = std::function<void(kesto::ManagerCatalogue&)>;

  // extra provides managers made after the memory manager and before the game objects.
  explicit ScriptEngine(const std::string& main, const Provide& extra = {}) {
    attachThreadLane();
    char pattern[] = "/tmp/qx-bench-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    std::ofstream(dir / "QXMain.lua") << main;
    files.mountRead(qcore::utf8ToUtf16(dir.string()));
    files.mountRead(qcore::utf8ToUtf16(std::string(QX_SOURCE_DIR) + "/resource/script"));
    attached = std::make_unique<AttachedFileSources>(files);
    managers.provide(kesto::ManagerKind::memory, [] { return std::make_unique<MemMgr<kesto::MultiP>>(); });
    if (extra) extra(managers);
    managers.provide(kesto::ManagerKind::gameObject, [] { return std::make_unique<GobjMgr>(); });
    managers.provide(kesto::ManagerKind::script, [] { return std::make_unique<ScriptMgr>(); });
    ScriptMgr::setStateSetup(registerQXGlobals);
    managers.constructAll();
    state = ScriptMgr::instance()->createState();
    std::filesystem::remove_all(dir);  // QXMain.lua has run
  }

  // Locks the state for the rest of the run and makes it current on this thread.
  lua_State* lock() {
    lua_State* L = (new LVPolicyHdl(state))->lock();
    ScriptMgr::instance()->exchangeThreadEntry(state.value);
    return L;
  }

  qx::FileRegistry files;
  std::unique_ptr<AttachedFileSources> attached;
  kesto::ManagerCatalogue managers;
  ScriptHdl state;
};

}  // namespace qxbench
