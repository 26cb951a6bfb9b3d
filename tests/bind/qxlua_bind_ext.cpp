// qxlua with the game-object manager, the bind order's game-object step and the test
// classes bound, plus the table "gobjtest":
//   gobjtest.deliver([obj])               one frame's delivery (of one object's messages)
//   gobjtest.queued()                     messages waiting
//   gobjtest.post(obj, name, ...)         posts on this thread (at most three values)
//   gobjtest.post_from_thread(obj, name, ...)  posts from a new thread and waits for it
// Values are taken as the network layer builds them: tables without "dim" become table
// values, not pinned references.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "script/bind/bind_class.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
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

bool isVectorTable(lua_State* L, int index) {
  lua_getfield(L, index, "dim");
  bool vec = lua_isnumber(L, -1) != 0;
  lua_pop(L, 1);
  return vec;
}

// A value as a network thread would build it: nested tables become table values.
void toValue(lua_State* L, int index, LuaVar& out, int depth) {
  index = absIndex(L, index);
  if (!lua_istable(L, index) || isVectorTable(L, index) || depth > 8) {
    LuaVar::fromLua(L, index, out);
    return;
  }
  out.resetToTable();
  lua_pushnil(L);
  while (lua_next(L, index)) {
    LuaVar key, value;
    LuaVar::fromLua(L, -2, key);
    toValue(L, -1, value, depth + 1);
    out.table()->insertTaking(std::move(key), std::move(value));
    lua_pop(L, 1);
  }
}

std::vector<LuaVar> messageValues(lua_State* L, int first) {
  std::vector<LuaVar> values;
  for (int i = first; i <= lua_gettop(L) && values.size() < 3; ++i) {
    values.emplace_back();
    toValue(L, i, values.back(), 0);
  }
  return values;
}

int deliver(lua_State* L) {
  GobjMgr::instance()->deliverMsgs(lua_isnoneornil(L, 1) ? 0 : getHandleAt(L, 1));
  return 0;
}

int queued(lua_State* L) {
  lua_pushnumber(L, static_cast<lua_Number>(GobjMgr::instance()->queuedCount()));
  return 1;
}

int post(lua_State* L) {
  std::vector<LuaVar> v = messageValues(L, 3);
  GobjMgr::instance()->postMsg(getHandleAt(L, 1), luaL_checkstring(L, 2), v.data(), static_cast<uint32_t>(v.size()));
  return 0;
}

int postFromThread(lua_State* L) {
  std::vector<LuaVar> v = messageValues(L, 3);
  const uint32_t target = getHandleAt(L, 1);
  const std::string name = luaL_checkstring(L, 2);
  std::thread worker([&] {
    GobjMgr* m = GobjMgr::instance();
    switch (v.size()) {
      case 0:
        m->postMsg0(target, name.c_str());
        break;
      case 1:
        m->postMsg1(target, name.c_str(), std::move(v[0]));
        break;
      case 2:
        m->postMsg2(target, name.c_str(), std::move(v[0]), std::move(v[1]));
        break;
      default:
        m->postMsg3(target, name.c_str(), std::move(v[0]), std::move(v[1]), std::move(v[2]));
        break;
    }
  });
  worker.join();
  return 0;
}

void provideManagers(kesto::ManagerCatalogue& managers) {
  managers.provide(kesto::ManagerKind::gameObject, [] { return std::make_unique<GobjMgr>(); });
}

void setUpState(const ScriptHdl& state) {
  if (!things()) things() = std::make_unique<bindtest::ThingMgr>();
  qxbind::BindOrder order;
  order.provide(gobjBinding());
  order.run(state);
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
  const luaL_Reg fns[] = {{"deliver", deliver}, {"queued", queued}, {"post", post},
                          {"post_from_thread", postFromThread}, {nullptr, nullptr}};
  for (const luaL_Reg* r = fns; r->name; ++r) {
    lua_pushcfunction(L, r->func);
    lua_setfield(L, -2, r->name);
  }
  lua_setglobal(L, "gobjtest");
}

QxluaExtension extension{&provideManagers, &setUpState};

}  // namespace
