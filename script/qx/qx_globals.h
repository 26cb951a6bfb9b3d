// The global table "QX": the engine's general services for scripts. Most of its
// functions go through one process-wide table of native functions with a common calling
// form; QX.<name> is a closure of the dispatcher holding the function's index. The
// dispatcher runs every such function under one global lock, so they never run at the
// same time (a function may call back into Lua and be entered again on its thread).
//
// A registered function reads its arguments from the view's state and pushes its
// results through the view, counting them (qxResult / pushStringResult):
//
//   void qxCountThings(QXView& v, uint32_t) {
//     lua_pushinteger(v.state(), 3);
//     qxResult(v);
//   }
//   registerQXFunction(L, "CountThings", qxCountThings);
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/lua/lstk_cursor.h"
#include "script/lua/lua_wrap.h"
#include "script/lua/script_fwd.h"

using QXView = LuaWrap<LVPolicyPtr>;
using QXFunction = void (*)(QXView& view, uint32_t reserved);

// Sets up "QX" (the registered and the plain functions), the global "QX_Release" and the
// integer class "QXInteger" in a state the caller holds, and makes handle pushes give
// script values. Run once per main state before its first script.
void registerQXGlobals(lua_State* L);
// The same for a state by handle, under its lock.
void registerQXGlobals(const ScriptHdl& state);

// Adds fn to the process-wide table (once per name and function) and stores its closure
// as QX[name], creating the global "QX" when it is missing. The caller holds the state.
void registerQXFunction(lua_State* L, const char* name, QXFunction fn);

// How a "QX" function is called, for the script API reference. The functions read their
// arguments at run time, so each declares them beside its registration: args as
// "kind name" separated by ", " (a trailing "?" where the function tests for absence,
// "kind ..." for any number), results as kinds in order ("nothing" for none).
struct QXDoc {
  const char* args = "";
  const char* results = "nothing";
  const char* text = nullptr;
};

// Functions that other subsystems bring: the HUD adds "DialogRes", "GetFontInfo" and
// "CountChara" here once at start-up. registerQXGlobals registers them after the core
// functions, in the order they were added; states set up before they were added do not
// get them.
void addQXGlobalFunction(const char* name, QXFunction fn, QXDoc doc = {});

// Every function registerQXGlobals sets in "QX", in its order, with its declaration.
std::vector<std::pair<std::string, QXDoc>> qxFunctionDocs();

// Counts n more results pushed through the view.
inline void qxResult(QXView& v, int n = 1) { v.setPushedResults(v.pushedResults() + n); }
void pushStringResult(QXView& v, std::string_view text);

// Argument readers over a cursor on the arguments (past the top: empty or 0).
std::string readStringArg(LStkCursor& args);
std::u16string readWideStringArg(LStkCursor& args);
uintptr_t readPointerArg(LStkCursor& args);
