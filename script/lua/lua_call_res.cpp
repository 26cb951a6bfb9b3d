#include "script/lua/lua_call_res.h"

#include "script/lua/lstk_ref.h"

LuaCallRes::LuaCallRes(const LVPolicyHdl& policy, int first, int step, int status, int restoreTop)
    : policy_(policy), first_(first), status_(status), step_(step), restoreTop_(restoreTop) {
  L_ = policy_.lock();
  locked_ = L_ != nullptr;
}

LuaCallRes::LuaCallRes(lua_State* L, int first, int step, int status)
    : L_(L), first_(first), status_(status), step_(step) {}

LuaCallRes::LuaCallRes(LuaCallRes&& other) noexcept
    : L_(other.L_),
      first_(other.first_),
      status_(other.status_),
      step_(other.step_),
      restoreTop_(other.restoreTop_),
      locked_(other.locked_),
      error_(std::move(other.error_)) {
  policy_.swap(other.policy_);
  other.locked_ = false;
  other.restoreTop_ = -1;
}

LuaCallRes::~LuaCallRes() {
  if (restoreTop_ != -1 && L_) lua_settop(L_, restoreTop_);
  if (locked_ && policy_.isValid()) policy_.unlock();
}

LStkRef LuaCallRes::refResult() const {
  LStkRef ref;
  if (L_ && first_ < 0) ref.pin(LVPolicyHdl(policy_.handle()), 0, first_);
  return ref;
}

LuaCallRes LuaCallRes::part() const { return LuaCallRes(L_, first_ + step_, step_, status_); }
