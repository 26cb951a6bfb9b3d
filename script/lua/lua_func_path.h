// A Lua value named by a dotted path from the globals ("main", "QXL.vec3.new").
#pragma once
#include <cstdint>

#include "script/lua/lua_api.h"

class LuaFuncPath {
 public:
  // Bit 0 of flags: the value runs as a coroutine resume, and while the state is
  // suspended in a yield the path pushes nothing so that the call resumes it.
  LuaFuncPath(const char* name, uint32_t flags);

  // Pushes the value at the path (nil when a step of it is missing or not indexable), or
  // nothing for a resumable path while the state is suspended. Gives 0.
  int push(lua_State* L, int yieldFlag) const;
  bool isResume() const { return (flags_ & 1) != 0; }
  const char* name() const { return name_; }

 private:
  char name_[64];
  uint32_t flags_;
};
