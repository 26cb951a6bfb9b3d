// qxlua with two memory-item classes and a program folder of its own, plus the table
// "qxext" for what a script cannot see by itself:
//   qxext.objlen(v)         lua_objlen of the value (the size of a userdata)
//   qxext.handle_of(v)      the handle a value carries, as a number
//   qxext.self_of(u)        the handle the object stored for itself while it was built
//   qxext.part_of(u)        the strong userdata of a "QxTest.Whole"'s part
//   qxext.items()           memory items alive in the process's manager
//   qxext.constructing()    the handle of the item being built on this thread (0)
//   qxext.log_path()        where QX.log writes
//   qxext.frame(fn)         runs fn inside one profiled frame and builds the report
// "QxTest.Part" stores its own handle; "QxTest.Whole" does too and builds a Part.
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/core/utf.h"
#include "runtime/core/profiler.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/path_stack.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/stack_readers.h"
#include "script/lua/lv_policy.h"
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

// Both classes keep their own handle first.
uint32_t storedSelf(uint32_t h) {
  kesto::HdlLock<Items::HandleType> lock(h);
  return lock && lock->data() ? *static_cast<const uint32_t*>(lock->data()) : 0;
}

int objlen(lua_State* L) {
  lua_pushinteger(L, static_cast<lua_Integer>(lua_objlen(L, 1)));
  return 1;
}

int handleOf(lua_State* L) {
  lua_pushnumber(L, getHandleAt(L, 1));
  return 1;
}

int selfOf(lua_State* L) {
  lua_pushnumber(L, storedSelf(getHandleAt(L, 1)));
  return 1;
}

int partOf(lua_State* L) {
  uint32_t part = 0;
  {
    kesto::HdlLock<Items::HandleType> lock(getHandleAt(L, 1));
    if (lock && std::string(lock->className()) == "QxTest.Whole") part = static_cast<Whole*>(lock->data())->part.value;
  }
  Items::instance()->pushStrong(L, part, 0);
  return 1;
}

int items(lua_State* L) {
  lua_pushinteger(L, static_cast<lua_Integer>(Items::instance()->usedCount()));
  return 1;
}

int constructing(lua_State* L) {
  lua_pushnumber(L, MemMgrBase::threadCurrentHandle());
  return 1;
}

int logPath(lua_State* L) {
  std::string path = qxLogPath();
  lua_pushlstring(L, path.data(), path.size());
  return 1;
}

int frame(lua_State* L) {
  luaL_checktype(L, 1, LUA_TFUNCTION);
  Profiler* p = getThreadProfiler() ? getThreadProfiler() : createThreadProfiler();
  p->beginFrame();
  lua_call(L, 0, 0);
  p->endFrame(false);
  p->buildReport(*getThreadProfileReport());
  return 0;
}

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

void setUpState(const ScriptHdl& state) {
  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  lua_State* L = lock.state();
  if (!L) return;
  const luaL_Reg fns[] = {{"objlen", objlen},     {"handle_of", handleOf},       {"self_of", selfOf},
                          {"part_of", partOf},    {"items", items},              {"constructing", constructing},
                          {"log_path", logPath},  {"frame", frame},              {nullptr, nullptr}};
  lua_createtable(L, 0, 8);
  luaL_register(L, nullptr, fns);
  lua_setglobal(L, "qxext");
}

QxluaExtension extension{&provideManagers, &setUpState};

}  // namespace
