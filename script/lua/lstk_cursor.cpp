#include "script/lua/lstk_cursor.h"

#include <cmath>

#include "script/lua/stack_readers.h"

LStkCursor::LStkCursor(lua_State* L, int index, int status, int savedTop)
    : L_(L), index_(index), status_(status), savedTop_(savedTop) {}

LStkCursor::LStkCursor(LStkCursor&& other) noexcept
    : L_(other.L_), index_(other.index_), status_(other.status_), flags_(other.flags_), savedTop_(other.savedTop_) {
  other.savedTop_ = -1;
}

LStkCursor& LStkCursor::operator=(LStkCursor&& other) noexcept {
  if (this != &other) {
    if (savedTop_ != -1 && L_) lua_settop(L_, savedTop_);
    L_ = other.L_;
    index_ = other.index_;
    status_ = other.status_;
    flags_ = other.flags_;
    savedTop_ = other.savedTop_;
    other.savedTop_ = -1;
  }
  return *this;
}

LStkCursor::~LStkCursor() {
  if (savedTop_ != -1 && L_) lua_settop(L_, savedTop_);
}

bool LStkCursor::inRange() const {
  if (!L_) return false;
  int top = lua_gettop(L_);
  return index_ < 0 ? index_ >= -top : (index_ >= 1 && index_ <= top);
}

bool LStkCursor::hasMore() const { return inRange(); }

int32_t LStkCursor::readInt() {
  int32_t v = inRange() ? static_cast<int32_t>(numberToU32(lua_tonumber(L_, index_))) : 0;
  ++index_;
  return v;
}

float LStkCursor::readFloat() {
  float v = inRange() ? toFloatAt(L_, index_) : 0.0f;
  ++index_;
  return v;
}

std::string LStkCursor::readString() {
  std::string v;
  if (inRange() && lua_isstring(L_, index_)) {
    size_t n = 0;
    const char* s = lua_tolstring(L_, index_, &n);
    v.assign(s, n);
  }
  ++index_;
  return v;
}

bool LStkCursor::readBool() {
  bool v = inRange() && lua_toboolean(L_, index_);
  ++index_;
  return v;
}
