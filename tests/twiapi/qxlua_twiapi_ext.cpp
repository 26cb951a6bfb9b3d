// qxlua with the game-object manager, the socket managers and the bind order's steps for
// game objects and TwiAPI, plus the table "twitest":
//   twitest.pump(ms)      sleeps ms, then delivers the queued game-object messages;
//                         gives the number that were queued
//   twitest.shutdown()    ends the socket managers (TLS first)
#include <memory>

#include "net/sock/sock_managers.h"
#include "net/twiapi/twiapi_bind.h"
#include "platform/thread/thread.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lv_policy.h"
#include "tools/qxlua/extension.h"

namespace {

int pump(lua_State* L) {
  qxplat::sleepMs(static_cast<uint32_t>(luaL_optinteger(L, 1, 10)));
  GobjMgr* gobjs = GobjMgr::instance();
  size_t queued = gobjs ? gobjs->queuedCount() : 0;
  if (gobjs) gobjs->deliverMsgs(0);
  lua_pushinteger(L, static_cast<lua_Integer>(queued));
  return 1;
}

int shutdown(lua_State*) {
  destroySockManagers();
  return 0;
}

// Managers still running when the runner leaves (a test file that raised) end here.
struct EndManagers {
  ~EndManagers() { destroySockManagers(); }
} endManagers;

void provideManagers(kesto::ManagerCatalogue& managers) {
  managers.provide(kesto::ManagerKind::gameObject, [] { return std::make_unique<GobjMgr>(); });
}

void setUpState(const ScriptHdl& state) {
  createSockManagers();
  qxbind::BindOrder order;
  order.provide(gobjBinding());
  order.provide(twiAPIBinding());
  order.run(state);

  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  lua_State* L = lock.state();
  if (!L) return;
  lua_createtable(L, 0, 2);
  lua_pushcfunction(L, pump);
  lua_setfield(L, -2, "pump");
  lua_pushcfunction(L, shutdown);
  lua_setfield(L, -2, "shutdown");
  lua_setglobal(L, "twitest");
}

QxluaExtension extension{&provideManagers, &setUpState};

}  // namespace
