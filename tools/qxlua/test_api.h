// The assertion functions a Lua test file calls, and the tally of their outcomes.
#pragma once
#include "script/lua/lua_api.h"

struct TestTally {
  int passed = 0;
  int failed = 0;
};

// Registers test, check, check_eq, check_near, check_error and the table qxtest in the
// state's globals; outcomes are counted in tally.
void registerTestApi(lua_State* L, TestTally* tally);
