// qxlua with the test classes bound, plus gobjtest.deliver([obj]): one frame's delivery
// (of one object's messages).
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
  lua_createtable(L, 0, 1);
  lua_pushcfunction(L, deliver);
  lua_setfield(L, -2, "deliver");
  lua_setglobal(L, "gobjtest");
}

QxluaExtension extension{nullptr, &setUpState};

}  // namespace
