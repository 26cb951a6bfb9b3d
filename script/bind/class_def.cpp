#include "script/bind/class_def.h"

#include <locale>
#include <sstream>

#include "script/bind/script_error.h"
#include "script/lua/script_report.h"
#include "script/qx/hdl_udata.h"

namespace qxbind {

bool isBindableClassName(std::string_view name) {
  if (name.empty() || name.size() > 62) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!alpha && !(digit && i > 0)) return false;
  }
  return true;
}

bool isBindableModuleName(std::string_view name) {
  if (name.empty() || name.size() > 250) return false;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
}

std::string classDefinitionText(std::string_view N, uint32_t size, std::string_view B) {
  std::ostringstream s;
  s.imbue(std::locale::classic());  // the size is Lua text: no digit grouping
  if (!B.empty()) s << "require(\"" << B << "\")";
  s << "if " << N << "==nil then " << N << "={} end \r\n";
  s << "QXL.join(" << N << ",{name=\"" << N << "\"," << "size=" << size << ","
    << "fvt_ptr={},fvt_hdl={},fvt_b={},";
  s << "new=function(...) " << "return " << N << ".new_base(false, ...) end,";
  s << "newS=function(...) " << "return " << N << ".new_base(true, ...) end,";
  s << "new_base=function(bSingle, ...) local ret=QX.createAux(\"" << N << "\", bSingle) " << "if " << N
    << ".fvt_hdl.init then ret:init(...) elseif " << N << ".fvt_hdl.load then ret:load(...) end \t\treturn ret end,";
  // A script object keeps its handle in "udata"; a plain handle is its own.
  s << "tostring=function(obj) return \"" << N
    << ": id=\" .. QX.GetHdlID(type(obj)==\"userdata\" and obj or obj.udata) end, "
    << "valid=function(self) return QX.validHdl(self) end," << "isweak=false,"
    << "getweak=function(self) return QX.getWeak(self) end})" << "\n";
  s << "local Dummy=function() local base=" << N
    << " local fvhdl,fvptr,fvb=base.fvt_hdl,base.fvt_ptr,base.fvt_b "
    << "base.HdlR=function(inst,key) local f=fvhdl[key] if f then if fvb[key] then return f(inst) end return f end "
       "\t\t  return base[key] end "
    << "base.HdlW=function(inst,key,value) local f=fvhdl[key] if f then f(inst,value) end end "
    << "base.PtrR=function(inst,key) local f=fvptr[key] if f then if fvb[key] then return f(inst.pointer) end return "
       "f end end "
    << "base.PtrW=function(inst,key,value) local f=fvptr[key] if f then f(inst.pointer,value) end end "
    << "end Dummy()" << "\n";
  s << N << ".mt={__index=" << N << ".HdlR,__newindex=" << N << ".HdlW,__gc=QX_Release,__tostring=" << N
    << ".tostring} ";
  s << "function " << N << ":release() QX_Release(self) end ";
  s << "setmetatable(" << N << ",{__index=" << N << ".PtrR,__newindex=" << N << ".PtrW})";
  s << N << "_W={name=\"" << N << "\"," << "get=function(self) return QX.getStrong(self) end,"
    << "isweak=true," << "tostring=function(obj) return \"" << N << "(Weak): id=\" .. QX.GetHdlID(obj) end, "
    << "valid=function(self) return QX.validHdl(self) end}";
  s << "rawset(" << N << ",\"mt_w\", {__index=" << N << "_W,__newindex=" << N << "_W, __tostring=" << N
    << "_W.tostring})" << "\n";
  if (!B.empty()) {
    const std::string D = "_" + std::string(N);
    s << D << "=" << N << "\n";
    s << N << "=derived_fromC(" << D << ")" << "\n";
    s << "for k,v in pairs(" << D << ") do if k~=\"new\" then " << N << "[k]=v end end" << "\n";
    s << D << "= nil" << "\n";
  }
  return s.str();
}

bool defineLuaClass(lua_State* L, std::string_view name, uint32_t size, std::string_view base, void* object) {
  const std::string shown(name.substr(0, 62));
  if (!isBindableClassName(name) || (!base.empty() && !isBindableModuleName(base))) {
    scriptDebugLog("class \"" + shown + "\" not bound: unusable class or base name");
    return false;
  }
  const int top = lua_gettop(L);
  const std::string text = classDefinitionText(name, size, base);
  int status = luaL_loadbuffer(L, text.data(), text.size(), kClassChunkName);
  if (status == 0) status = lua_pcall(L, 0, 0, 0);
  if (status != 0) {
    const char* err = lua_tostring(L, -1);
    scriptDebugLog("class \"" + shown + "\" not bound: " + (err ? err : "(error object)"));
    lua_settop(L, top);
    return false;
  }
  lua_getfield(L, LUA_GLOBALSINDEX, shown.c_str());
  if (!lua_istable(L, -1)) {
    scriptDebugLog("class \"" + shown + "\" not bound: its definition left no class table");
    lua_settop(L, top);
    return false;
  }
  if (object) {
    lua_pushstring(L, "pointer");
    lua_pushlightuserdata(L, object);
    lua_rawset(L, -3);
  }
  lua_settop(L, top);
  return true;
}

namespace {

void setDirectoryEntry(lua_State* L, const char* directory, const char* className, void (*pushKey)(lua_State*, const void*),
                       const void* key) {
  const int top = lua_gettop(L);
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  getOrCreateSubtable(L, directory);
  pushKey(L, key);
  lua_getfield(L, LUA_GLOBALSINDEX, className);
  lua_rawset(L, -3);
  lua_settop(L, top);
}

}  // namespace

void setManagerMetatable(lua_State* L, uint32_t managerId, const char* className) {
  setDirectoryEntry(
      L, "QXMGRMT", className,
      [](lua_State* S, const void* k) { lua_pushinteger(S, static_cast<lua_Integer>(*static_cast<const uint32_t*>(k))); },
      &managerId);
}

void setMemItemMetatable(lua_State* L, const char* className) {
  setDirectoryEntry(
      L, "QXMEMMT", className, [](lua_State* S, const void* k) { lua_pushstring(S, static_cast<const char*>(k)); },
      className);
}

bool inheritMethodTables(lua_State* L, const char* derived, const char* base) {
  const int top = lua_gettop(L);
  lua_getfield(L, LUA_GLOBALSINDEX, derived);
  lua_getfield(L, LUA_GLOBALSINDEX, base);
  if (!lua_istable(L, top + 1) || !lua_istable(L, top + 2)) {
    lua_settop(L, top);
    return false;
  }
  for (const char* name : {"fvt_hdl", "fvt_b"}) {
    lua_getfield(L, top + 1, name);  // derived[name]
    lua_getfield(L, top + 2, name);  // base[name]
    if (lua_istable(L, -2) && lua_istable(L, -1)) {
      lua_createtable(L, 0, 1);
      lua_insert(L, -2);
      lua_setfield(L, -2, "__index");
      lua_setmetatable(L, -2);
    }
    lua_settop(L, top + 2);
  }
  lua_settop(L, top);
  return true;
}

void storeGlue(lua_State* L, const char* table, const char* name, lua_CFunction fn, int nup, bool isField) {
  lua_pushcclosure(L, fn, nup);
  const int classTable = lua_gettop(L) - 1;
  lua_getfield(L, classTable, table);
  if (lua_istable(L, -1)) {
    lua_pushvalue(L, -2);
    lua_setfield(L, -2, name);
  }
  lua_pop(L, 2);
  lua_getfield(L, classTable, "fvt_b");
  if (lua_istable(L, -1)) {
    lua_pushboolean(L, isField);
    lua_setfield(L, -2, name);
  }
  lua_pop(L, 1);
}

}  // namespace qxbind
