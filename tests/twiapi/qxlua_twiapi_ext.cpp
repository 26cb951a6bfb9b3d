// qxlua plus "twitest": pump(ms), shutdown(), setUrlOpener(program), nowMs() (a monotonic clock);
// QX_SERVICE_DIR is the program folder.
#include <cstdlib>
#include <memory>

#include "net/sock/sock_managers.h"
#include "platform/core/utf.h"
#include "platform/thread/thread.h"
#include "platform/window/url_opener.h"
#include "runtime/fs/file_registry.h"
#include "runtime/fs/path_stack.h"
#include "runtime/res/res_registry.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lv_policy.h"
#include "tools/qxlua/extension.h"

namespace {

int pump(lua_State* L) {
  qxplat::sleepMs(static_cast<uint32_t>(luaL_optinteger(L, 1, 10)));
  if (GobjMgr* gobjs = GobjMgr::instance()) gobjs->deliverMsgs(0);
  return 0;
}

int nowMs(lua_State* L) {
  lua_pushnumber(L, static_cast<lua_Number>(qxplat::monotonicNs()) / 1e6);
  return 1;
}

int setUrlOpener(lua_State* L) {
  qxplat::setUrlOpener(luaL_checkstring(L, 1));
  return 0;
}

// The runner's sources for reading; a folder target for absolute host paths for writing.
class HostWrites : public ResFileSources {
 public:
  explicit HostWrites(ResFileSources* reads) : reads_(reads) { files_.mountWrite(u""); }
  qx::IFiles* findFile(const std::u16string& name) override { return reads_ ? reads_->findFile(name) : nullptr; }
  qx::IFiles* createFile(const std::u16string& name, bool overwrite) override {
    return files_.createFile(name, overwrite);
  }

 private:
  ResFileSources* reads_;
  qx::FileRegistry files_;
};

void useServiceFolder() {
  const char* dir = std::getenv("QX_SERVICE_DIR");
  if (!dir || !*dir) return;
  programPath().set(qcore::utf8ToUtf16(dir));
  static HostWrites writes(ResRegistry::instance().fileSources());
  ResRegistry::instance().attachFileSources(&writes);
}

int shutdown(lua_State*) {
  destroySockManagers();
  return 0;
}

// Managers still running when the runner leaves (a test file that raised) end here.
struct EndManagers {
  ~EndManagers() { destroySockManagers(); }
} endManagers;

// The program's start-up has made the socket managers and bound TwiAPI and them.
void setUpState(const ScriptHdl& state) {
  useServiceFolder();

  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  lua_State* L = lock.state();
  if (!L) return;
  lua_createtable(L, 0, 2);
  lua_pushcfunction(L, pump);
  lua_setfield(L, -2, "pump");
  lua_pushcfunction(L, shutdown);
  lua_setfield(L, -2, "shutdown");
  lua_pushcfunction(L, setUrlOpener);
  lua_setfield(L, -2, "setUrlOpener");
  lua_pushcfunction(L, nowMs);
  lua_setfield(L, -2, "nowMs");
  lua_setglobal(L, "twitest");
}

QxluaExtension extension{nullptr, &setUpState};

}  // namespace
