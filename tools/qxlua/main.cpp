// qxlua: runs a Lua test file inside the engine, without a window.
//
//   qxlua [--root FOLDER | --root $] TESTFILE
//
// Boots the engine's singletons as the program does (every built manager; those not
// built yet are stand-ins), mounts FOLDER (by default the test file's folder) or the
// in-memory tree as the read source, creates the script state (which runs that source's
// "QXMain.lua" when it has one), runs the bind order, then runs TESTFILE. The file calls test(name, fn) for each case and the check
// functions inside them. Prints "N passed, N failed"; the exit code is 0 only when
// nothing failed.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "program/main/engine_singletons.h"
#include "program/main/script_setup.h"
#include "platform/core/utf.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/file_registry.h"
#include "runtime/res/catalogue.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/script_files.h"
#include "script/lua/script_mgr.h"
#include "tools/qxlua/extension.h"
#include "tools/qxlua/test_api.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: qxlua [--root FOLDER | --root $] TESTFILE\n");
  return 2;
}

bool readHostFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Runs the test file in the state; false when it could not be loaded or raised outside
// every test case.
bool runTestFile(LuaWrap<LVPolicyHdl>& wrap, const std::string& path, const std::string& text) {
  lua_State* L = wrap.state();
  size_t skip = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  wrap.dropResults();
  int base = lua_gettop(L);
  std::string chunkName = "@" + std::filesystem::path(path).filename().string();
  if (luaL_loadbuffer(L, text.data() + skip, text.size() - skip, chunkName.c_str()) != 0) {
    std::printf("FAIL loading %s\n  %s\n", path.c_str(), lua_tostring(L, -1));
    lua_pop(L, 1);
    return false;
  }
  LuaCallRes r = wrap.call(base, 0, false);
  if (!r.ok()) {
    std::printf("FAIL %s\n  %s\n", path.c_str(), r.errorText().c_str());
    return false;
  }
  return true;
}

// Mounts the root, creates and binds the state and runs the test file; 0, or 2 when the
// engine could not be set up.
int runWithManagers(const std::string& root, const std::string& testFile, const std::string& text,
                    TestTally& tally) {
  qx::FileRegistry files;
  if (!files.mountRead(qcore::utf8ToUtf16(root))) {
    std::fprintf(stderr, "qxlua: cannot mount %s\n", root.c_str());
    return 2;
  }
  files.mountWrite(u"$");
  AttachedFileSources attached(files);

  installScriptStateSetup();
  std::u16string mainError;
  ScriptHdl state = ScriptMgr::instance()->createState(&mainError);
  if (!state.value) {
    std::fprintf(stderr, "qxlua: no script state\n");
    return 2;
  }
  if (!mainError.empty()) {
    std::printf("FAIL QXMain.lua\n  %s\n", qcore::utf16ToUtf8(mainError).c_str());
    ++tally.failed;
  }
  bindEngineClasses(state);
  QxluaExtension::setUpState(state);
  kesto::HdlLock<ScriptHdl> record(state);
  registerTestApi(record->state(), &tally);
  if (!runTestFile(*record, testFile, text)) ++tally.failed;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root, testFile;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
      root = argv[++i];
    } else if (argv[i][0] == '-' || !testFile.empty()) {
      return usage();
    } else {
      testFile = argv[i];
    }
  }
  if (testFile.empty()) return usage();
  if (root.empty()) root = std::filesystem::absolute(testFile).parent_path().string();

  std::string text;
  if (!readHostFile(testFile, text)) {
    std::fprintf(stderr, "qxlua: cannot read %s\n", testFile.c_str());
    return 2;
  }

  TestTally tally;
  if (!initEngineSingletons(0, QxluaExtension::provideManagers)) {
    destroyEngineSingletons();
    std::fprintf(stderr, "qxlua: the managers did not get their ids\n");
    return 2;
  }
  attachThreadLane();
  int code = runWithManagers(root, testFile, text, tally);
  detachThreadLane();
  destroyEngineSingletons();
  // Releasing the state's handles took a lane again for this thread.
  detachThreadLane();
  if (code != 0) return code;
  std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
  return tally.failed == 0 ? 0 : 1;
}
