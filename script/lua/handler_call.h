// Protected calls of handlers the engine starts on its own (recvmsg, delete_gobj,
// ref_gobj, callbacks). Such a call may come while the state's own coroutine (main) is
// suspended; a plain lua_pcall on the state would then let a yield inside the handler
// pass through and wreck main. The handler runs on a fresh coroutine instead, so a yield
// stays inside it and ends the handler with a script error.
#pragma once
#include "script/lua/lua_api.h"

// Handlers nested deeper than this fail: each level is a coroutine resume on the C stack.
inline constexpr int kMaxHandlerDepth = 64;

// lua_pcall(L, nargs, nresults, 0) on a fresh coroutine. On failure the error message
// (with the handler's stack traceback) stands on L's top, as lua_pcall leaves it. what
// names the handler in the message a yield gets.
int handlerPcall(lua_State* L, int nargs, int nresults, const char* what);
