// The collector paused while the engine pushes a value tree into a state. Every object
// such a push makes stays reachable until the handler it is for has run, so collecting
// meanwhile is wasted work; with the state's pause of 80 the collector never rests, and
// each of its cycles walks the growing table again, so a large push would cost far more
// than its size.
//
// Scripts keep collectgarbage as Lua 5.1 has it: a collector a script stopped stays
// stopped across a pause; "restart", "collect" and "step" set it running again.
#pragma once
#include "script/lua/lua_api.h"

// Replaces the state's collectgarbage with one that notes whether the script stopped
// the collector; once, when the state opens.
void trackScriptGcStop(lua_State* L);

class GcPause {
 public:
  explicit GcPause(lua_State* L);
  ~GcPause();
  GcPause(const GcPause&) = delete;
  GcPause& operator=(const GcPause&) = delete;

 private:
  lua_State* L_;
  bool paused_ = false;
};
