// LuaCallRes: the outcome of a script call. It keeps the state locked while the engine
// reads the results, and tidies the stack when it ends.
#pragma once
#include <cstdint>
#include <string>

#include "script/lua/lua_api.h"
#include "script/lua/lv_policy.h"

class LStkRef;

// The engine's script-error exception: a caption and a message.
struct QXExcept {
  std::u16string caption;
  std::u16string message;
};

class LuaCallRes {
 public:
  // A locked result: copies the policy (same state) and locks it.
  LuaCallRes(const LVPolicyHdl& policy, int first, int step, int status, int restoreTop);
  // An unlocked result over a state the caller holds.
  LuaCallRes(lua_State* L, int first, int step, int status);
  LuaCallRes(LuaCallRes&& other) noexcept;
  LuaCallRes& operator=(LuaCallRes&&) = delete;
  LuaCallRes(const LuaCallRes&) = delete;
  LuaCallRes& operator=(const LuaCallRes&) = delete;
  // Sets the stack top back when a restore top was given, then unlocks once while the
  // state still exists.
  ~LuaCallRes();

  int status() const { return status_; }
  bool ok() const { return status_ == 0 || status_ == LUA_YIELD; }
  lua_State* state() const { return L_; }
  // Negative stack index of the first result (minus the result count); 0 after a failure.
  int first() const { return first_; }
  int step() const { return step_; }
  int count() const { return -first_; }
  // Stack index of result i (0-based), counting from the top.
  int indexOf(int i) const { return first_ + i; }
  // Lua's error message of a failed call (UTF-8).
  const std::string& errorText() const { return error_; }
  void setErrorText(std::string text) { error_ = std::move(text); }

  // Pins the first result in "QX_LStk".
  LStkRef refResult() const;
  // An unlocked result over the results after the first.
  LuaCallRes part() const;

 private:
  LVPolicyHdl policy_;
  lua_State* L_ = nullptr;
  int first_ = 0;
  int status_ = 0;
  int step_ = 0;
  int restoreTop_ = -1;
  bool locked_ = false;
  std::string error_;
};
