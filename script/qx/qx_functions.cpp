// The dispatched QX functions: resources and engine objects, handle queries, debugging
// output and 64-bit comparisons.
#include "script/qx/qx_functions.h"

#include <algorithm>
#include <string>

#include "platform/core/numconv.h"
#include "platform/core/utf.h"
#include "runtime/core/handle.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/mem/thread_mem.h"
#include "runtime/res/res_base.h"
#include "runtime/res/res_registry.h"
#include "script/lua/lua_format.h"
#include "script/lua/stack_readers.h"
#include "script/qx/hdl_udata.h"
#include "script/qx/qx_log.h"
#include "script/qx/qx_msgbox.h"

namespace qxfn {

namespace {

// Table nesting shown by Print and dump. A script may ask for any depth, but a table
// that holds itself would then print without end.
constexpr int kMaxPrintDepth = 16;

int printDepth(lua_State* L, int index) {
  lua_Integer d = lua_tointeger(L, index);
  return static_cast<int>(std::clamp<lua_Integer>(d, 1, kMaxPrintDepth));
}

std::string stackText(lua_State* L, int depth) { return qcore::utf16ToUtf8(luaStackToWString(L, depth)); }

std::string stringArg(lua_State* L, int index) {
  std::string s;
  if (lua_isstring(L, index)) {
    size_t n = 0;
    const char* p = lua_tolstring(L, index, &n);
    s.assign(p, n);
  }
  return s;
}

// A push through a manager leaves exactly one value: nil when it pushed nothing.
void keepOneResult(lua_State* L, int top) {
  if (lua_gettop(L) == top) {
    lua_pushnil(L);
  } else {
    lua_settop(L, top + 1);
  }
}

kesto::ResBasePtr* managerOf(uint32_t handle) { return handle ? kesto::HdlBase(handle).manager() : nullptr; }

}  // namespace

void createRes(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::u16string name = qcore::utf8ToUtf16(stringArg(L, 1));
  std::u16string key = name;
  kesto::foldAsciiCase(key);
  int top = lua_gettop(L);
  if (!name.empty()) {
    if (kesto::ResBasePtr* m = ResRegistry::instance().findManagerForFile(key)) m->pushByName(L, name);
  }
  keepOneResult(L, top);
  qxResult(v);
}

void createAux(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::u16string name = qcore::utf8ToUtf16(stringArg(L, 1));
  bool single = lua_toboolean(L, 2);
  kesto::ResBasePtr* m = single ? static_cast<kesto::ResBasePtr*>(getThreadMemMgr())
                                : static_cast<kesto::ResBasePtr*>(MemMgr<kesto::MultiP>::instance());
  int top = lua_gettop(L);
  if (m) m->pushByName(L, name);
  keepOneResult(L, top);
  qxResult(v);
}

void Error(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::string text = stringArg(L, 1);
  text += "\n";
  text += stackText(L, 1);
  text += "ランタイムエラー(QX_Error)";
  writeQXLog(text);
}

void RTError(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::string text = stringArg(L, 1);
  text += "\n<stack stace>\n";
  text += stackText(L, 1);
  text += "Runtime Error(QX_RTError)";
  pushStringResult(v, text);
}

void Print(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::string text = stringArg(L, 1);
  int depth = printDepth(L, 2);
  text += "\r\n";
  text += stackText(L, depth);
  qxMessageBox(text, "QX_Printout");
}

void validHdl(QXView& v, uint32_t) {
  lua_State* L = v.state();
  uint32_t h = readHandleArg(L);
  kesto::ResBasePtr* m = managerOf(h);
  lua_pushboolean(L, m && m->isValidHandle(h));
  qxResult(v);
}

void getStrong(QXView& v, uint32_t) {
  lua_State* L = v.state();
  uint32_t h = readHandleArg(L);
  int top = lua_gettop(L);
  if (kesto::ResBasePtr* m = managerOf(h)) m->pushStrong(L, h, 0);
  keepOneResult(L, top);
  qxResult(v);
}

void getWeak(QXView& v, uint32_t) {
  lua_State* L = v.state();
  uint32_t h = readHandleArg(L);
  int top = lua_gettop(L);
  if (kesto::ResBasePtr* m = managerOf(h)) m->pushWeak(L, h);
  keepOneResult(L, top);
  qxResult(v);
}

void GetHdlID(QXView& v, uint32_t) {
  lua_State* L = v.state();
  lua_pushinteger(L, kesto::HdlBase(readHandleArg(L)).index());
  qxResult(v);
}

void GetRefCount(QXView& v, uint32_t) {
  lua_State* L = v.state();
  uint32_t h = readHandleArg(L);
  kesto::ResBasePtr* m = managerOf(h);
  lua_pushinteger(L, m ? m->refCount(h) : 0);
  qxResult(v);
}

// Gives the userdata a table of its own: fields written to it land in the table, reads
// look there first and then where its old metatable pointed.
void AttatchTbl(QXView& v, uint32_t) {
  lua_State* L = v.state();
  // Only a full userdata: every light userdata (or number, or string) of a state shares
  // one metatable, which this would replace for all of them.
  if (lua_type(L, 1) != LUA_TUSERDATA) {
    lua_pushnil(L);
    qxResult(v);
    return;
  }
  lua_newtable(L);
  if (lua_getmetatable(L, 1)) lua_setmetatable(L, -2);
  lua_createtable(L, 0, 3);
  lua_pushvalue(L, -2);
  lua_setfield(L, -2, "__index");
  lua_pushvalue(L, -2);
  lua_setfield(L, -2, "__newindex");
  lua_pushcfunction(L, QX_Release);
  lua_setfield(L, -2, "__gc");
  lua_setmetatable(L, 1);
  qxResult(v);
}

void HdlInfo(QXView& v, uint32_t) {
  lua_State* L = v.state();
  kesto::HdlBase h(readHandleArg(L));
  kesto::ResBasePtr* m = managerOf(h.value);
  lua_createtable(L, 0, 6);
  lua_pushinteger(L, h.mgrId());
  lua_setfield(L, -2, "r_index");
  lua_pushinteger(L, h.index());
  lua_setfield(L, -2, "index");
  lua_pushinteger(L, h.magic());
  lua_setfield(L, -2, "magic");
  lua_pushstring(L, m ? m->dataTypeName() : "");
  lua_setfield(L, -2, "name");
  lua_pushinteger(L, m ? m->refCount(h.value) : 0);
  lua_setfield(L, -2, "ref_count");
  lua_pushboolean(L, m && m->isValidHandle(h.value));
  lua_setfield(L, -2, "valid");
  qxResult(v);
}

void dump(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::string text = stackText(L, printDepth(L, 1));
  qxMessageBox(text, "QX_Dump");
}

void rpt(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::string text, one;
  for (int i = 1, n = lua_gettop(L); i <= n; ++i) {
    tostringAt(L, i, one);
    if (i > 1) text += ", ";
    text += one;
  }
  writeQXLog(text);
}

void Cmp64Num(QXView& v, uint32_t) {
  lua_State* L = v.state();
  int64_t a = StrToI64(stringArg(L, 1).c_str());
  int64_t b = StrToI64(stringArg(L, 2).c_str());
  lua_pushinteger(L, a < b ? -1 : (a > b ? 1 : 0));
  qxResult(v);
}

void log(QXView& v, uint32_t) { writeQXLog(stringArg(v.state(), 1)); }

}  // namespace qxfn
