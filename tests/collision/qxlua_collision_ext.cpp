// qxlua plus "coltest": treeAllocs(), the arrays packed collision trees have taken from
// their pool so far (what a refresh costs).
#include "script/lua/lv_policy.h"
#include "script/treesync/packed_tree.h"
#include "tools/qxlua/extension.h"

namespace {

int treeAllocs(lua_State* L) {
  lua_pushnumber(L, static_cast<lua_Number>(treesync::PackedTree::allocations()));
  return 1;
}

void setUpState(const ScriptHdl& state) {
  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  lua_State* L = lock.state();
  if (!L) return;
  lua_createtable(L, 0, 1);
  lua_pushcfunction(L, treeAllocs);
  lua_setfield(L, -2, "treeAllocs");
  lua_setglobal(L, "coltest");
}

QxluaExtension extension{nullptr, &setUpState};

}  // namespace
