// The records of game-object messages: a queued message (GobjMsg) and the head of one
// "recvmsg" call (GobjMsgHead), which the queue's delivery and the immediate senders
// (animation and collision notifications) share.
#pragma once
#include <cstdint>
#include <cstring>

#include "script/lua/lua_api.h"
#include "script/lua/lua_var.h"

// Copies at most 63 characters of name and the terminator; longer names are cut.
inline void copyMsgName(char (&dest)[64], const char* name) {
  size_t n = name ? strnlen(name, sizeof dest - 1) : 0;
  if (n) std::memcpy(dest, name, n);
  dest[n] = 0;
}

struct GobjMsg {
  static constexpr uint32_t kMaxValues = 4;

  uint32_t target = 0;
  char name[64] = {};
  uint32_t count = 0;
  LuaVar values[kMaxValues];

  GobjMsg() = default;
  GobjMsg(uint32_t t, const char* n) : target(t) { copyMsgName(name, n); }
  GobjMsg(GobjMsg&&) noexcept = default;
  GobjMsg& operator=(GobjMsg&&) noexcept = default;
  GobjMsg(const GobjMsg&) = delete;
  GobjMsg& operator=(const GobjMsg&) = delete;
};

struct GobjMsgHead {
  uint32_t target = 0;
  char name[64] = {};

  GobjMsgHead(uint32_t t, const char* n) : target(t) { copyMsgName(name, n); }

  // Pushes the object's "recvmsg" method and its arguments so far: the method, the
  // script object as self, the number 0 and the name. Gives 3, the argument count so
  // far; the caller pushes its values and calls the function at the returned base.
  //
  // "ref_gobj" and the method lookup run protected. When the script has no object for
  // the handle, the object has no "recvmsg", or the lookup raises, nothing is left on
  // the stack and 0 is given: the message is dropped.
  int pushRecvmsg(lua_State* L) const;
};
