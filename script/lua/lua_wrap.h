// LuaWrap: one Lua state or coroutine thread with its lock policy and the bookkeeping of
// the last script call. LuaWrap<LVPolicyHdl> is the record ScriptMgr keeps for each state;
// LuaWrap<LVPolicyPtr> is the same protocol without locking, built over a state the
// caller already holds (inside a native function, say).
#pragma once
#include <cstdint>
#include <string>

#include "script/lua/lstk_cursor.h"
#include "script/lua/lua_api.h"
#include "script/lua/lua_call_res.h"
#include "script/lua/lv_policy.h"

struct SMA;

template <class Policy>
class LuaWrap {
 public:
  using CallResult = std::conditional_t<std::is_same_v<Policy, LVPolicyHdl>, LuaCallRes, LStkCursor>;

  LuaWrap() = default;
  explicit LuaWrap(Policy&& policy);
  explicit LuaWrap(lua_State* L);  // lock-free records only
  ~LuaWrap();
  LuaWrap(const LuaWrap&) = delete;
  LuaWrap& operator=(const LuaWrap&) = delete;

  // Closes the current state and builds the record anew with the given policy.
  void reset(Policy&& policy);
  // Opens a fresh state in the record (allocator, libraries, collector, engine globals).
  bool openState();
  // Reads and runs "QXMain.lua"; the Lua status (0 when the file is missing or not
  // runnable). A failure's message goes to the debug log and the record's error text.
  int runMainScript();
  // Ends the state (a coroutine record only unhooks its thread from "QXTH").
  void close();

  // Calls the function at base + 1 with nargs arguments above it, as a protected call
  // or (resume) as a coroutine resume. base is the stack top before the function was
  // pushed. The result keeps the state locked while it lives; the results stay on the
  // stack afterwards and count as pending until dropResults. A failed call pops Lua's
  // error value; its text is in the result, the record's error text and the debug log.
  // A protected call runs on a fresh coroutine (handlerPcall); what names it when it yields.
  CallResult call(int base, int nargs, bool resume, const char* what = "a handler");
  // Pops the pending results of the previous call.
  void dropResults();

  lua_State* state() const { return L_; }
  Policy& policy() { return policy_; }
  int yieldFlag() const { return yieldFlag_; }
  int pendingResults() const { return pending_; }
  int pushedResults() const { return pushed_; }
  void setPushedResults(int n) { pushed_ = n; }
  bool isCoroutine() const { return coroutine_ != 0; }
  void setCoroutine(lua_State* thread) {
    L_ = thread;
    coroutine_ = 1;
  }
  const std::u16string& errorText() const { return errorText_; }
  std::u16string& errorText() { return errorText_; }

 private:
  void closeMain();
  void unhookCoroutine(lua_State* L);

  Policy policy_;
  int32_t yieldFlag_ = 0;
  int32_t pending_ = 0;
  int32_t pushed_ = 0;
  lua_State* L_ = nullptr;
  int32_t coroutine_ = 0;
  std::u16string errorText_;
  SMA* alloc_ = nullptr;  // the allocator behind a main state, ended with it
};

extern template class LuaWrap<LVPolicyHdl>;
extern template class LuaWrap<LVPolicyPtr>;

// The engine's own loader, appended to package.loaders: finds name + ".lua" through the
// mounted read sources.
int luaScriptLoader(lua_State* L);
