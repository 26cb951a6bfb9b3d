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
  struct Added {
    std::string name;
    QXFunction fn;
    QXDoc doc;
  };
  std::vector<Added> added;  // other subsystems' functions
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

void addQXGlobalFunction(const char* name, QXFunction fn, QXDoc doc) {
  Registry& r = registry();
  kesto::SyncloGuard g(r.lock);
  for (auto& a : r.added) {
    if (a.name == name) {
      a.fn = fn;
      a.doc = doc;
      return;
    }
  }
  r.added.push_back({name, fn, doc});
}

namespace {

struct CoreFunction {
  const char* name;
  QXFunction fn;
  QXDoc doc;
};

const CoreFunction kCore[] = {
    {"createRes", qxfn::createRes,
     {"string file", "object or nil",
      "The resource of that file, read once and then shared by name: a texture (.dds, .png, .tga, .bmp, .jpg), a "
      "material (.mtl) or a sprite animation (.spr, an object without methods that `HUDUnit_rect:init_animator` "
      "finds by the same name); nil for a missing file or another extension."}},
    {"createAux", qxfn::createAux,
     {"string className, boolean single", "object or nil",
      "A new object of a bound class (single: of this thread only); what `new` calls."}},
    {"Error", qxfn::Error, {"string message", "nothing", "Writes the message and the script stack to log.txt."}},
    {"RTError", qxfn::RTError, {"string message", "string", "The message followed by the script stack."}},
    {"Print", qxfn::Print,
     {"string text, integer depth", "nothing", "Shows the text and the stack (tables to depth 1..16) in a box."}},
    {"validHdl", qxfn::validHdl, {"object handle", "boolean", "Whether the object still lives."}},
    {"getStrong", qxfn::getStrong, {"object handle", "object or nil", "The counted handle of the object."}},
    {"getWeak", qxfn::getWeak, {"object handle", "object or nil", "The weak handle of the object."}},
    {"GetHdlID", qxfn::GetHdlID, {"object handle", "integer", "The handle's slot index."}},
    {"GetRefCount", qxfn::GetRefCount, {"object handle", "integer"}},
    {"AttatchTbl", qxfn::AttatchTbl,
     {"userdata object", "table or nil", "Gives the userdata a table of its own for fields; nil for anything else."}},
    {"GetUID", qxfn::GetUID, {"string pool", "QXInteger", "An id no other holder of that pool has."}},
    {"RetUID", qxfn::RetUID, {"string pool, QXInteger id", "nothing", "Gives an id back to its pool."}},
    {"HdlInfo", qxfn::HdlInfo,
     {"object handle", "table", "{r_index, index, magic, name, ref_count, valid} of the handle."}},
    {"dump", qxfn::dump, {"integer depth", "nothing", "Shows the script stack (tables to depth 1..16) in a box."}},
    {"rpt", qxfn::rpt, {"string ...", "nothing", "Writes its arguments, separated by \", \", to log.txt."}},
    {"Cmp64Num", qxfn::Cmp64Num,
     {"string a, string b", "integer",
      "-1, 0 or 1 as the signed 64-bit decimal numbers a and b compare (ids of the service). Each is read from its "
      "leading blanks, sign and digits (no digit: 0) and saturates: above 2^63 - 1 it reads as 2^63 - 1, below "
      "-2^63 as -2^63, so two numbers past either end compare equal."}},
    {"log", qxfn::log, {"string text", "nothing", "Writes the line to log.txt."}},
};

struct PlainFunction {
  const char* name;
  lua_CFunction fn;
  QXDoc doc;
};

const PlainFunction kPlain[] = {
    {"LoadJson", luaGuarded<qxfn::LoadJson>,
     {"string file", "table or string or number or boolean or nothing",
      "The JSON file's value; nothing when it cannot be read."}},
    {"IsLightData", luaGuarded<qxfn::IsLightData>, {"table t", "boolean", "Whether the table has no list part."}},
    {"profBegin", luaGuarded<qxfn::profBegin>, {"string name", "nothing", "Opens a profiler sample."}},
    {"profEnd", luaGuarded<qxfn::profEnd>, {"string name", "nothing", "Closes the profiler sample."}},
    {"profStr", luaGuarded<qxfn::profStr>, {"", "string", "The profiler's report."}},
    {"profTable", luaGuarded<qxfn::profTable>, {"", "nothing", "Kept for old scripts; does nothing."}},
};

}  // namespace

std::vector<std::pair<std::string, QXDoc>> qxFunctionDocs() {
  std::vector<std::pair<std::string, QXDoc>> out;
  for (const CoreFunction& f : kCore) out.emplace_back(f.name, f.doc);
  {
    Registry& r = registry();
    kesto::SyncloGuard g(r.lock);
    for (const Registry::Added& a : r.added) out.emplace_back(a.name, a.doc);
  }
  for (const PlainFunction& f : kPlain) out.emplace_back(f.name, f.doc);
  return out;
}

void registerQXGlobals(lua_State* L) {
  installHandlePushers();
  for (const CoreFunction& f : kCore) registerQXFunction(L, f.name, f.fn);
  std::vector<std::pair<std::string, QXFunction>> added;
  {
    Registry& r = registry();
    kesto::SyncloGuard g(r.lock);
    for (const Registry::Added& a : r.added) added.emplace_back(a.name, a.fn);
  }
  for (const auto& [name, fn] : added) registerQXFunction(L, name.c_str(), fn);

  pushQXTable(L);
  for (const PlainFunction& f : kPlain) setPlain(L, f.name, f.fn);
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
