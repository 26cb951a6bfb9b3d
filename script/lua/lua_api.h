// The Lua 5.1 headers of the C++ build of the library: no extern "C", so a Lua error
// unwinds C++ frames and scope guards run.
#pragma once
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
