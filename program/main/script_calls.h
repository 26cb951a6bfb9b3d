// The frame loop's calls into the script's `main` coroutine. Each drops the results the
// previous call left, pushes what the path names (nothing while `main` is suspended in a
// yield, so the call resumes it) and makes the call with the record's state locked. The
// caller holds the state's handle lock around the call and the reading of its results.
#pragma once
#include <cstdint>

#include "script/lua/lua_call_res.h"
#include "script/lua/lua_func_path.h"
#include "script/lua/lua_wrap.h"

// What the update and draw resumes pass first, so the script can tell them apart.
constexpr int kMainUpdatePhase = 1;
constexpr int kMainDrawPhase = 2;

// Starts (or resumes) with no arguments.
LuaCallRes callGlobal0(LuaWrap<LVPolicyHdl>& record, const LuaFuncPath& path);
// Resumes with (1, dt, update ms, draw ms, fps).
LuaCallRes callFrameUpdate(LuaWrap<LVPolicyHdl>& record, const LuaFuncPath& path, float dt, float updateMs,
                           float drawMs, int32_t fps);
// Resumes with (2, value).
LuaCallRes callFrameDraw(LuaWrap<LVPolicyHdl>& record, const LuaFuncPath& path, int32_t value);

// keepRunning becomes the first result read as a boolean (false when the call left no
// result or failed). Gives an unlocked result over the results after the first, with the
// call's status.
LuaCallRes readMainResults(const LuaCallRes& result, bool& keepRunning);
