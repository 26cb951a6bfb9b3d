#include "script/bind/bind_class.h"

#include <string>

#include "platform/core/utf.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/lv_policy.h"
#include "script/lua/script_report.h"

namespace qxbind {

namespace {

// Runs the class's registration function with its class table on top.
void fillClass(lua_State* L, const ClassSpec& spec, ClassTable::Kind kind, void* object, const LuaClassDesc* desc) {
  if (!spec.methods) return;
  const int top = lua_gettop(L);
  lua_getfield(L, LUA_GLOBALSINDEX, spec.name);
  ClassTable table(L, spec.name, kind, object, spec.key, desc);
  spec.methods(table);
  lua_settop(L, top);
}

const LuaClassDesc* bindObject(lua_State* L, const ClassSpec& spec, std::string_view scriptBase) {
  if (!spec.name || !spec.describe) {
    scriptDebugLog("an object class without a name or descriptor was not bound");
    return nullptr;
  }
  if (!defineLuaClass(L, spec.name, spec.size, scriptBase, nullptr)) return nullptr;
  const LuaClassDesc* desc = registerClassDesc(spec.describe(spec.name));
  if (!desc) return nullptr;
  addItemKind(desc, spec.key, "", KindPath{});
  fillClass(L, spec, ClassTable::Kind::handle, nullptr, desc);
  setMemItemMetatable(L, spec.name);
  return desc;
}

bool classTableExists(lua_State* L, const char* name) {
  lua_getfield(L, LUA_GLOBALSINDEX, name);
  bool exists = lua_istable(L, -1);
  lua_pop(L, 1);
  return exists;
}

bool bindDerived(lua_State* L, const ClassBinding& b) {
  const ClassSpec& base = b.second;
  const LuaClassDesc* baseDesc = base.name ? findClassDesc(base.name) : nullptr;
  // A base not bound yet (in this state) is bound first, with its own descriptor.
  if (!baseDesc || !classTableExists(L, base.name)) {
    baseDesc = bindObject(L, base, {});
    if (!baseDesc) return false;
  }
  const LuaClassDesc* desc = bindObject(L, b.first, {});
  if (!desc) return false;
  inheritItemKinds(desc, baseDesc, b.toBase);
  return inheritMethodTables(L, b.first.name, base.name);
}

bool bindManager(lua_State* L, const ClassBinding& b) {
  kesto::ResBasePtr* mgr = b.manager ? b.manager() : nullptr;
  void* object = b.managerObject ? b.managerObject() : nullptr;
  if (!mgr || !object) {
    scriptDebugLog(std::string("manager class \"") + (b.first.name ? b.first.name : "?") +
                   "\" not bound: the manager does not exist");
    return false;
  }
  bool ok = defineLuaClass(L, b.first.name, b.first.size, {}, object);
  if (ok) fillClass(L, b.first, ClassTable::Kind::pointer, object, nullptr);
  if (!defineLuaClass(L, b.second.name, b.second.size, {}, object)) return false;
  setResourceKind(mgr->id(), b.second.key);
  fillClass(L, b.second, ClassTable::Kind::handle, object, nullptr);
  setManagerMetatable(L, mgr->id(), b.second.name);
  return ok;
}

bool bindPointer(lua_State* L, const ClassBinding& b) {
  if (!b.first.object) {
    scriptDebugLog(std::string("class \"") + (b.first.name ? b.first.name : "?") + "\" not bound: no object");
    return false;
  }
  if (!defineLuaClass(L, b.first.name, b.first.size, {}, b.first.object)) return false;
  fillClass(L, b.first, ClassTable::Kind::pointer, b.first.object, nullptr);
  return true;
}

}  // namespace

bool bindClass(lua_State* L, const ClassBinding& binding, std::string_view scriptBase) {
  if (!L || !lua_checkstack(L, 16)) return false;
  const int top = lua_gettop(L);
  bool ok = false;
  switch (binding.kind) {
    case BindKind::object:
      ok = bindObject(L, binding.first, scriptBase) != nullptr;
      break;
    case BindKind::derived:
      ok = bindDerived(L, binding);
      break;
    case BindKind::manager:
      ok = bindManager(L, binding);
      break;
    case BindKind::pointer:
      ok = bindPointer(L, binding);
      break;
  }
  lua_settop(L, top);
  return ok;
}

bool bindClass(const ScriptHdl& state, const ClassBinding& binding, std::u16string_view scriptBase) {
  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  if (!lock.state()) return false;
  return bindClass(lock.state(), binding, qcore::utf16ToUtf8(scriptBase));
}

}  // namespace qxbind
