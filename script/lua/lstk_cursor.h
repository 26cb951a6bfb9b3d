// LStkCursor: a window on consecutive stack slots: the results of a lock-free call, or
// the arguments of a native function. Reading past the top gives 0 or empty text.
#pragma once
#include <cstdint>
#include <string>

#include "script/lua/lua_api.h"

class LStkCursor {
 public:
  LStkCursor() = default;
  // index: the first slot (negative counts from the top); savedTop -1 keeps the stack.
  LStkCursor(lua_State* L, int index, int status, int savedTop = -1);
  LStkCursor(LStkCursor&& other) noexcept;
  LStkCursor& operator=(LStkCursor&& other) noexcept;
  LStkCursor(const LStkCursor&) = delete;
  LStkCursor& operator=(const LStkCursor&) = delete;
  // Sets the stack top back to the saved top unless it is -1.
  ~LStkCursor();

  lua_State* state() const { return L_; }
  int index() const { return index_; }
  int status() const { return status_; }
  uint32_t flags() const { return flags_; }
  void setFlags(uint32_t f) { flags_ = f; }
  // True while the current slot lies on the stack.
  bool hasMore() const;
  void skip() { ++index_; }

  int32_t readInt();
  float readFloat();
  std::string readString();
  bool readBool();

 private:
  bool inRange() const;

  lua_State* L_ = nullptr;
  int index_ = 0;
  int status_ = 0;
  uint32_t flags_ = 0;
  int savedTop_ = -1;
};
