#include "script/qx/qx_globals.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/utf.h"
#include "runtime/core/synclo.h"
#include "script/lua/lua_glue.h"
#include "script/qx/hdl_udata.h"
#include "script/qx/qx_functions.h"
#include "script/qx/qx_integer.h"

namespace {

struct Entry {
  std::string name;
  QXFunction fn;
  uint32_t reserved;  // always 0; handed to the function as its second argument
};

// One table for every state: a script that replaces "QXLS" cannot steer the dispatcher
// to a foreign table. Entries never move or go away, so an index stays good.
struct Registry {
  kesto::Synclo lock;
  std::deque<Entry> entries;
  std::vector<std::pair<std::string, QXFunction>> added;  // other subsystems' functions
};

Registry& registry() {
  static Registry* r = new Registry();
  return *r;
}

int dispatch(lua_State* L) {
  auto index = static_cast<size_t>(lua_tointeger(L, lua_upvalueindex(1)));
  QXView view(L);
  Registry& r = registry();
  kesto::SyncloGuard g(r.lock);
  if (index >= r.entries.size()) return 0;
  const Entry& e = r.entries[index];
  e.fn(view, e.reserved);
  return view.pushedResults();
}

void setPlain(lua_State* L, const char* name, lua_CFunction fn) {
  lua_pushcfunction(L, fn);
  lua_setfield(L, -2, name);
}

// Pushes the global "QX", made anew when it is not a table.
void pushQXTable(lua_State* L) {
  lua_getglobal(L, "QX");
  if (lua_istable(L, -1)) return;
  lua_pop(L, 1);
  lua_newtable(L);
  lua_pushvalue(L, -1);
  lua_setglobal(L, "QX");
}

}  // namespace

void registerQXFunction(lua_State* L, const char* name, QXFunction fn) {
  size_t index;
  {
    Registry& r = registry();
    kesto::SyncloGuard g(r.lock);
    index = r.entries.size();
    for (size_t i = 0; i < r.entries.size(); ++i) {
      if (r.entries[i].fn == fn && r.entries[i].name == name) index = i;
    }
    if (index == r.entries.size()) r.entries.push_back(Entry{name, fn, 0});
  }
  pushQXTable(L);
  lua_pushinteger(L, static_cast<lua_Integer>(index));
  lua_pushcclosure(L, luaGuarded<dispatch>, 1);
  lua_setfield(L, -2, name);
  lua_pop(L, 1);
}

void addQXGlobalFunction(const char* name, QXFunction fn) {
  Registry& r = registry();
  kesto::SyncloGuard g(r.lock);
  for (auto& a : r.added) {
    if (a.first == name) {
      a.second = fn;
      return;
    }
  }
  r.added.emplace_back(name, fn);
}

void registerQXGlobals(lua_State* L) {
  installHandlePushers();
  static const std::pair<const char*, QXFunction> kCore[] = {
      {"createRes", qxfn::createRes},     {"createAux", qxfn::createAux}, {"Error", qxfn::Error},
      {"RTError", qxfn::RTError},         {"Print", qxfn::Print},         {"validHdl", qxfn::validHdl},
      {"getStrong", qxfn::getStrong},     {"getWeak", qxfn::getWeak},     {"GetHdlID", qxfn::GetHdlID},
      {"GetRefCount", qxfn::GetRefCount}, {"AttatchTbl", qxfn::AttatchTbl}, {"GetUID", qxfn::GetUID},
      {"RetUID", qxfn::RetUID},           {"HdlInfo", qxfn::HdlInfo},     {"dump", qxfn::dump},
      {"rpt", qxfn::rpt},                 {"Cmp64Num", qxfn::Cmp64Num},   {"log", qxfn::log},
  };
  for (const auto& [name, fn] : kCore) registerQXFunction(L, name, fn);
  std::vector<std::pair<std::string, QXFunction>> added;
  {
    Registry& r = registry();
    kesto::SyncloGuard g(r.lock);
    added = r.added;
  }
  for (const auto& [name, fn] : added) registerQXFunction(L, name.c_str(), fn);

  pushQXTable(L);
  setPlain(L, "LoadJson", luaGuarded<qxfn::LoadJson>);
  setPlain(L, "IsLightData", luaGuarded<qxfn::IsLightData>);
  setPlain(L, "profBegin", luaGuarded<qxfn::profBegin>);
  setPlain(L, "profEnd", luaGuarded<qxfn::profEnd>);
  setPlain(L, "profStr", luaGuarded<qxfn::profStr>);
  setPlain(L, "profTable", luaGuarded<qxfn::profTable>);
  lua_pop(L, 1);
  lua_pushcfunction(L, QX_Release);
  lua_setglobal(L, "QX_Release");
  registerQXInteger(L);
}

void registerQXGlobals(const ScriptHdl& state) {
  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  if (lua_State* L = lock.state()) registerQXGlobals(L);
}

void pushStringResult(QXView& v, std::string_view text) {
  lua_pushlstring(v.state(), text.data(), text.size());
  qxResult(v);
}

std::string readStringArg(LStkCursor& args) { return args.readString(); }

std::u16string readWideStringArg(LStkCursor& args) { return qcore::utf8ToUtf16(args.readString()); }

uintptr_t readPointerArg(LStkCursor& args) {
  if (args.hasMore()) {
    lua_State* L = args.state();
    int i = args.index();
    int t = lua_type(L, i);
    if (t == LUA_TLIGHTUSERDATA || t == LUA_TUSERDATA) {
      args.skip();
      return reinterpret_cast<uintptr_t>(lua_touserdata(L, i));
    }
  }
  return static_cast<uint32_t>(args.readInt());
}
