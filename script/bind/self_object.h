// The object a bound method or field works on, found from its self argument and locked
// for the call.
//
// Handle classes: argument 1 is a strong handle userdata or a table holding one in
// "udata" (a sub-object proxy also names its field in "_sub"). The object is locked
// through its manager for the length of the call and held by a reference of its own:
// the lock alone does not keep an object from being destroyed, and a call may reach
// script code (a callback, a handle whose release calls delete_gobj) that drops or
// releases self. A self that carries no strong handle, an
// object that is gone, and an object of another kind raise a Lua error.
//
// Pointer classes: the glue holds the class's engine object and its kind as upvalues;
// argument 1 must be the class table (its "pointer") or that pointer itself.
#pragma once
#include <cstdint>

#include "script/lua/lua_api.h"

namespace kesto {
class ResBasePtr;
}

namespace qxbind {

class SelfHold {
 public:
  SelfHold() = default;
  ~SelfHold();
  SelfHold(const SelfHold&) = delete;
  SelfHold& operator=(const SelfHold&) = delete;

  // The object of kind key behind argument 1, locked exclusively (or shared); raises a
  // Lua error naming what (the method or field) when there is none.
  void* lock(lua_State* L, const void* key, bool exclusive, const char* what);

 private:
  kesto::ResBasePtr* mgr_ = nullptr;
  uint32_t handle_ = 0;
  bool exclusive_ = true;
  bool locked_ = false;
};

// The engine object of a pointer class (upvalue 1) when its kind (upvalue 2) is key and
// argument 1 names it; raises a Lua error otherwise.
void* pointerSelf(lua_State* L, const void* key, const char* what);

}  // namespace qxbind
