// A Lua value named by a dotted path from the globals ("main", "QXL.vec3.new").
#pragma once
#include <cstdint>

#include "script/lua/lua_api.h"
#include "script/lua/lua_wrap.h"

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

  // Drops the record's pending results, pushes the value at the path and three or four
  // numbers, and calls it (a resume for a resumable path).
  template <class Policy>
  static typename LuaWrap<Policy>::CallResult call3(LuaWrap<Policy>& record, const LuaFuncPath& path, float x,
                                                    float y, float z) {
    const float c[3] = {x, y, z};
    return callNumbers(record, path, c, 3);
  }
  template <class Policy>
  static typename LuaWrap<Policy>::CallResult call4(LuaWrap<Policy>& record, const LuaFuncPath& path, float x,
                                                    float y, float z, float w) {
    const float c[4] = {x, y, z, w};
    return callNumbers(record, path, c, 4);
  }

 private:
  template <class Policy>
  static typename LuaWrap<Policy>::CallResult callNumbers(LuaWrap<Policy>& record, const LuaFuncPath& path,
                                                          const float* c, int n) {
    record.dropResults();
    lua_State* L = record.policy().lock();
    int base = L ? lua_gettop(L) : 0;
    if (L) {
      path.push(L, record.yieldFlag());
      for (int i = 0; i < n; ++i) lua_pushnumber(L, c[i]);
    }
    auto result = record.call(base, n, path.isResume());
    if (L) record.policy().unlock();
    return result;
  }

  char name_[64];
  uint32_t flags_;
};
