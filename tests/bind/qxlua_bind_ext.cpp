// qxlua with the test classes bound, plus the table "gobjtest":
//   gobjtest.deliver([obj])               one frame's delivery (of one object's messages)
//   gobjtest.queued()                     messages waiting
//   gobjtest.post(obj, name, ...)         posts on this thread (at most three values)
//   gobjtest.post_from_thread(obj, name, ...)  posts from a new thread and waits for it
// (values as the network layer builds them, see bindtest::postMsgHere).
#include <memory>

#include "script/bind/bind_class.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lv_policy.h"
#include "script/lua/stack_readers.h"
#include "tests/bind/test_classes.h"
#include "tools/qxlua/extension.h"

namespace {

std::unique_ptr<bindtest::ThingMgr>& things() {
  static std::unique_ptr<bindtest::ThingMgr> m;
  return m;
}

int deliver(lua_State* L) {
  GobjMgr::instance()->deliverMsgs(lua_isnoneornil(L, 1) ? 0 : getHandleAt(L, 1));
  return 0;
}

int queued(lua_State* L) {
  lua_pushnumber(L, static_cast<lua_Number>(GobjMgr::instance()->queuedCount()));
  return 1;
}

void setUpState(const ScriptHdl& state) {
  if (!things()) things() = std::make_unique<bindtest::ThingMgr>();
  qxbind::bindClass(state, bindtest::panelBinding());
  qxbind::bindClass(state, bindtest::widgetBinding());
  qxbind::bindClass(state, bindtest::fancyBinding());
  qxbind::bindClass(state, bindtest::thingBinding());
  qxbind::bindClass(state, bindtest::serviceBinding());

  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  lua_State* L = lock.state();
  if (!L) return;
  lua_createtable(L, 0, 4);
  const luaL_Reg fns[] = {{"deliver", deliver}, {"queued", queued}, {"post", bindtest::postMsgHere},
                          {"post_from_thread", bindtest::postMsgFromThread}, {nullptr, nullptr}};
  for (const luaL_Reg* r = fns; r->name; ++r) {
    lua_pushcfunction(L, r->func);
    lua_setfield(L, -2, r->name);
  }
  lua_setglobal(L, "gobjtest");
}

QxluaExtension extension{nullptr, &setUpState};

}  // namespace
