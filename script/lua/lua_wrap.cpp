#include "script/lua/lua_wrap.h"

#include <stdexcept>
#include <string>

#include "platform/core/smalloc.h"
#include "platform/core/utf.h"
#include "runtime/core/text_encoding.h"
#include "script/lua/gc_pause.h"
#include "script/lua/handler_call.h"
#include "script/lua/script_alloc.h"
#include "script/lua/script_files.h"
#include "script/lua/script_mgr.h"
#include "script/lua/script_report.h"

namespace {

// An error outside every protected call would end the process; it unwinds to the engine
// code that caused it instead.
int throwOnPanic(lua_State* L) {
  const char* msg = lua_tostring(L, -1);
  throw std::runtime_error(std::string("unprotected Lua error: ") + (msg ? msg : "(no message)"));
}

std::string errorMessageOnTop(lua_State* L, int status) {
  if (status == -1) return "a native function raised a C++ exception";
  const char* msg = lua_tostring(L, -1);
  if (msg) return msg;
  return std::string("error object is a ") + luaL_typename(L, -1);
}

// L's call stack from level on, as debug.traceback writes it. Lua leaves the stack of a
// coroutine that died of an error in place, so this works after a failed resume too.
std::string stackTraceback(lua_State* L, int level) {
  std::string out = "stack traceback:";
  lua_Debug ar;
  for (int shown = 0; shown < 20 && lua_getstack(L, level, &ar); ++level, ++shown) {
    lua_getinfo(L, "Snl", &ar);
    out += "\n\t";
    out += ar.short_src;
    out += ':';
    if (ar.currentline > 0) out += std::to_string(ar.currentline) + ':';
    if (ar.namewhat && *ar.namewhat) {
      out += std::string(" in function '") + (ar.name ? ar.name : "?") + "'";
    } else if (*ar.what == 'm') {
      out += " in main chunk";
    } else if (*ar.what == 'C') {
      out += " ?";
    } else {
      out += std::string(" in function <") + ar.short_src + ':' + std::to_string(ar.linedefined) + '>';
    }
  }
  return out;
}

// Message handler of protected runs: the message with the stack where it was raised.
int addTraceback(lua_State* L) {
  if (!lua_isstring(L, 1)) return 1;
  std::string text = std::string(lua_tostring(L, 1)) + "\n" + stackTraceback(L, 1);
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

}  // namespace

template <class Policy>
LuaWrap<Policy>::LuaWrap(Policy&& policy) {
  policy_.swap(policy);
}

template <class Policy>
LuaWrap<Policy>::LuaWrap(lua_State* L) {
  if constexpr (std::is_same_v<Policy, LVPolicyPtr>) {
    Policy p(L);
    policy_.swap(p);
  }
  L_ = L;
}

template <class Policy>
LuaWrap<Policy>::~LuaWrap() {
  close();
  if constexpr (std::is_same_v<Policy, LVPolicyHdl>) policy_.forget();
}

template <class Policy>
void LuaWrap<Policy>::reset(Policy&& policy) {
  close();
  if constexpr (std::is_same_v<Policy, LVPolicyHdl>) policy_.forget();
  Policy fresh;
  policy_.swap(fresh);
  policy_.swap(policy);
  yieldFlag_ = pending_ = pushed_ = coroutine_ = 0;
  L_ = nullptr;
  errorText_.clear();
}

template <class Policy>
bool LuaWrap<Policy>::openState() {
  if constexpr (std::is_same_v<Policy, LVPolicyHdl>) {
    closeMain();
    alloc_ = NewSMA(scriptAllocPolicy());
    lua_State* L = lua_newstate(LuaAlloc, alloc_);
    if (!L) {
      DeleteSMA(alloc_);
      alloc_ = nullptr;
      return false;
    }
    L_ = L;
    lua_atpanic(L, throwOnPanic);
    luaL_openlibs(L);
    trackScriptGcStop(L);
    lua_gc(L, LUA_GCSETPAUSE, 80);
    lua_gc(L, LUA_GCSETSTEPMUL, 150);
    // No system module may shadow a script module.
    lua_getglobal(L, "package");
    if (lua_istable(L, -1)) {
      lua_pushstring(L, "");
      lua_setfield(L, -2, "path");
      lua_pushstring(L, "");
      lua_setfield(L, -2, "cpath");
    }
    lua_pop(L, 1);
    lua_createtable(L, 0, 0);
    lua_setglobal(L, "QX_LStk");
    lua_pushlightuserdata(L, L);
    lua_setglobal(L, "QXLS");
    if (ScriptMgr* m = ScriptMgr::ofValue(policy_.handle())) m->noteStateOpened(L, policy_.handle());
    return true;
  } else {
    return false;
  }
}

template <class Policy>
int LuaWrap<Policy>::runMainScript() {
  if constexpr (std::is_same_v<Policy, LVPolicyHdl>) {
    FileData file = scriptReadFile(u"QXMain.lua", 0);
    if (file.empty()) return 0;
    if (!policy_.isValid()) openState();
    lua_State* L = policy_.lock();
    if (!L) return 0;
    BOMInfo bom = detectBOM(file.data(), file.size());
    if (bom.encoding != TextEncoding::Utf8 && bom.encoding != TextEncoding::None) {
      policy_.unlock();
      const std::string msg = "QXMain.lua is not UTF-8 text";
      scriptDebugLog(msg);
      errorText_ = qcore::utf8ToUtf16(msg);
      return LUA_ERRSYNTAX;
    }
    int skip = bom.encoding == TextEncoding::Utf8 ? bom.length : 0;
    if (static_cast<uint32_t>(skip) > file.size()) skip = 0;
    const int handler = lua_gettop(L) + 1;
    lua_pushcfunction(L, addTraceback);
    int status = luaL_loadbuffer(L, file.chars() + skip, file.size() - skip, "@QXMain.lua");
    if (status == 0) status = lua_pcall(L, 0, 0, handler);
    if (status != 0) {
      std::string msg = errorMessageOnTop(L, status);
      lua_pop(L, 1);
      scriptDebugLog("QXMain.lua: " + msg);
      errorText_ = qcore::utf8ToUtf16(msg);
    }
    lua_remove(L, handler);
    policy_.unlock();
    return status;
  } else {
    return 0;
  }
}

template <class Policy>
void LuaWrap<Policy>::unhookCoroutine(lua_State* L) {
  int top = lua_gettop(L);
  lua_getglobal(L, "QXTH");
  if (lua_istable(L, -1)) {
    lua_pushnil(L);
    while (lua_next(L, -2)) {
      if (lua_tothread(L, -1) == L_) {
        lua_pop(L, 1);
        lua_pushnil(L);
        lua_rawset(L, -3);
        coroutine_ = 0;
        break;
      }
      lua_pop(L, 1);
    }
  }
  lua_settop(L, top);
}

template <class Policy>
void LuaWrap<Policy>::closeMain() {
  if constexpr (std::is_same_v<Policy, LVPolicyHdl>) {
    if (L_) {
      lua_State* L = L_;
      if (ScriptMgr* m = ScriptMgr::ofValue(policy_.handle())) m->noteStateClosed(L);
      L_ = nullptr;
      lua_close(L);
    }
    if (alloc_) {
      DeleteSMA(alloc_);
      alloc_ = nullptr;
    }
  } else {
    L_ = nullptr;
  }
}

template <class Policy>
void LuaWrap<Policy>::close() {
  if (coroutine_) {
    if constexpr (std::is_same_v<Policy, LVPolicyHdl>) {
      // The thread belongs to another state's universe; its own lock is this record's.
      if (L_ && policy_.isValid()) {
        if (policy_.lock()) {
          unhookCoroutine(L_);
          policy_.unlock();
        }
      }
    } else {
      if (L_) unhookCoroutine(L_);
    }
    return;
  }
  closeMain();
}

template <class Policy>
typename LuaWrap<Policy>::CallResult LuaWrap<Policy>::call(int base, int nargs, bool resume, const char* what) {
  lua_State* L = policy_.lock();
  if (!L) {
    if constexpr (std::is_same_v<Policy, LVPolicyHdl>) {
      LuaCallRes r(static_cast<lua_State*>(nullptr), 0, 0, LUA_ERRRUN);
      r.setErrorText("the script state no longer exists");
      return r;
    } else {
      return LStkCursor(nullptr, 0, LUA_ERRRUN);
    }
  }
  uint32_t previous = 0;
  ScriptMgr* mgr = nullptr;
  if constexpr (std::is_same_v<Policy, LVPolicyHdl>) {
    mgr = ScriptMgr::ofValue(policy_.handle());
    if (mgr) previous = mgr->exchangeThreadEntry(policy_.handle());
  }
  int status = resume ? lua_resume(L, nargs) : handlerPcall(L, nargs, LUA_MULTRET, what);
  if (mgr) mgr->exchangeThreadEntry(previous);

  std::string error;
  if (status == 0 || status == LUA_YIELD) {
    if (resume) yieldFlag_ = status == LUA_YIELD ? 1 : 0;
    pending_ = lua_gettop(L) - base;
    if (pending_ < 0) pending_ = 0;
  } else {
    error = errorMessageOnTop(L, status);
    lua_pop(L, 1);
    if (resume) {
      yieldFlag_ = 0;
      error += "\n" + stackTraceback(L, 0);
    }
    errorText_ = qcore::utf8ToUtf16(error);
    scriptDebugLog("script call failed: " + error);
  }

  if constexpr (std::is_same_v<Policy, LVPolicyHdl>) {
    bool ok = status == 0 || status == LUA_YIELD;
    LuaCallRes r = ok ? LuaCallRes(policy_, -pending_, 1, status, -1) : LuaCallRes(policy_, 0, 0, status, -1);
    r.setErrorText(std::move(error));
    policy_.unlock();
    return r;
  } else {
    policy_.unlock();
    bool ok = status == 0 || status == LUA_YIELD;
    LStkCursor c(L, ok ? -pending_ : 0, status);
    return c;
  }
}

template <class Policy>
void LuaWrap<Policy>::dropResults() {
  if (pending_ <= 0) return;
  lua_State* L = policy_.lock();
  if (!L) return;
  int top = lua_gettop(L);
  lua_settop(L, pending_ <= top ? -pending_ - 1 : 0);
  pending_ = 0;
  policy_.unlock();
}

template class LuaWrap<LVPolicyHdl>;
template class LuaWrap<LVPolicyPtr>;

// ---- the engine's module loader ------------------------------------------------------

int luaScriptLoader(lua_State* L) {
  size_t nameLen = 0;
  const char* name = luaL_checklstring(L, 1, &nameLen);
  // Module names whose file name does not fit the engine's 256-byte name buffer are
  // not looked for.
  if (nameLen + 5 > 256) {
    lua_pushfstring(L, "\n\tmodule name too long for the mounted sources");
    return 1;
  }
  std::string fileName(name, nameLen);
  fileName += ".lua";
  FileData file = scriptReadFile(qcore::utf8ToUtf16(fileName), 1);
  if (file.empty()) {
    lua_pushfstring(L, "\n\tno file '%s' in the mounted sources", fileName.c_str());
    return 1;
  }
  BOMInfo bom = detectBOM(file.data(), file.size());
  if (bom.encoding != TextEncoding::Utf8 && bom.encoding != TextEncoding::None) {
    lua_pushfstring(L, "\n\t'%s' is not UTF-8", fileName.c_str());
    return 1;
  }
  uint32_t skip = bom.encoding == TextEncoding::Utf8 ? static_cast<uint32_t>(bom.length) : 0;
  if (skip > file.size()) skip = 0;
  const std::string chunkName = "@" + fileName;
  if (luaL_loadbuffer(L, file.chars() + skip, file.size() - skip, chunkName.c_str()) == 0) return 1;
  std::string msg = lua_tostring(L, -1) ? lua_tostring(L, -1) : "syntax error";
  lua_pop(L, 1);
  scriptMessageBox(msg, "lua構文エラー");
  lua_pushfstring(L, "\n\t%s", msg.c_str());
  return 1;
}
