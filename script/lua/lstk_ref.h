// Pinned Lua values. A value that an engine object keeps (a callback, a script object, a
// table read from a script) is stored in the global anchor table "QX_LStk" under a slot
// of its own; the reference names the slot. Slots come from one process-wide counter
// that grows by 2 per pin and never reuses a slot; releasing clears s and s + 1.
//
// LStkRef takes the state's lock around every access and may be used from any thread.
// LStkRefNL takes no lock: the caller holds the state.
#pragma once
#include <cstdint>

#include "script/lua/lua_api.h"
#include "script/lua/lua_var.h"
#include "script/lua/lv_policy.h"

// The next pin slot (process-wide, 64-bit, atomic).
int64_t nextPinSlot();
// Pushes the anchor table "QX_LStk" (a fresh one when a script has replaced it).
void pushAnchorTable(lua_State* L);

class LStkRef {
 public:
  LStkRef() = default;
  LStkRef(const LStkRef& other);
  LStkRef& operator=(const LStkRef& other) {
    if (this != &other) assign(other);
    return *this;
  }
  LStkRef(LStkRef&& other) noexcept { swap(other); }
  LStkRef& operator=(LStkRef&& other) noexcept {
    if (this != &other) takeFrom(other);
    return *this;
  }
  ~LStkRef();

  // Empties the reference without touching the anchor (for a new record).
  void init();
  // Pins a new empty table in the state.
  void newTable(const LVPolicyHdl& policy);
  // Pins the value at index (with a key: the pinned value's field under it), then pops
  // the anchor and popCount further values. False when the state no longer exists.
  bool pin(const LVPolicyHdl& policy, int popCount, int index, const LuaVar* key = nullptr);
  // Pushes the designated value (nil for a missing field); with another state of the same
  // Lua universe given, the value is moved there. False when nothing could be pushed.
  bool push(lua_State* target = nullptr);
  // Pushes the anchor, the pinned value and (with a key) the field without locking and
  // without removing anything; gives the top before the push.
  int pushKeepTop(lua_State* L) const;
  // Lua type of the designated value (LUA_TNONE when empty or gone).
  int type();
  uint32_t getState() const { return policy_.handle(); }
  LVPolicyHdl& policy() { return policy_; }
  int64_t slot() const { return slot_; }
  const LuaVar& key() const { return key_; }
  bool isPinned() const { return slot_ >= 0 && policy_.handle() != 0; }

  void assign(const LStkRef& source);
  void takeFrom(LStkRef& source);
  void swap(LStkRef& other) noexcept;
  void release();

  // Calls visitor(L, arg) for each pair of the designated table (key at -2, value at
  // -1) until it returns true. The visitor must leave the stack as it found it.
  void forEachPair(bool (*visitor)(lua_State*, void*), void* arg);
  // Reads the designated table's pairs as readTableIntoMap does.
  void readPairs(LuaVarTable& out);

 private:
  friend class LStkRefNL;
  LVPolicyHdl policy_;
  int64_t slot_ = -1;
  int32_t type_ = -1;
  LuaVar key_;
};

class LStkRefNL {
 public:
  LStkRefNL() = default;
  LStkRefNL(const LStkRefNL& other);
  LStkRefNL& operator=(const LStkRefNL& other) {
    if (this != &other) assign(other);
    return *this;
  }
  ~LStkRefNL();

  void init();
  void newTable(lua_State* L);
  // Pins the value on top of the stack, then pops popCount values.
  void pin(lua_State* L, const LuaVar* key, int popCount);
  void pinTop(lua_State* L) { pin(L, nullptr, 0); }
  // Pushes the designated value onto the reference's own state; false (nothing pushed)
  // for an empty reference.
  bool push();
  int pushKeepTop() const;
  int type();
  lua_State* state() const { return L_; }
  int64_t slot() const { return slot_; }
  void assign(const LStkRefNL& source);
  void release();

  // A lock-free view of a locked reference's pin: the lender's lock is taken now and
  // held until this view is released.
  bool borrow(LStkRef& lender);
  // Sets the metatable designated by meta on the value designated by value.
  static void setMetatable(LStkRefNL& value, LStkRefNL& meta);
  // lua_objlen of a designated string, table or userdata; 0 otherwise.
  size_t len();

 private:
  lua_State* L_ = nullptr;
  int64_t slot_ = -1;
  int32_t type_ = -1;
  LStkRef* lender_ = nullptr;
  LuaVar key_;
};

// Moves the value at index of source into ref's state (the calling thread's current
// state when ref has none) and pins it there; ref's old pin is released first. False when
// that state is gone or belongs to another Lua universe than source.
bool xmoveValueToThread(LStkRef& ref, lua_State* source, int index);
// The same for the value on top of source, lock-free; the target is ref's state or source
// (nothing happens when they belong to different universes).
void xmoveValueToRefNL(LStkRefNL& ref, lua_State* source);

// With a table on top and a value below it: table[n] = value (the value stays).
void setFieldFromBelow(lua_State* L, int64_t n);
// Pushes table[key] for the table at index.
void getFieldByVar(lua_State* L, const LuaVar& key, int index);
// With a table on top: table[n] = nil.
void clearIntKey(lua_State* L, int64_t n);
// The table at index gets [key] = the designated value.
void setFieldToRef(lua_State* L, const LuaVar& key, LStkRef& ref, int index);
void setFieldToRefNL(lua_State* L, const LuaVar& key, LStkRefNL& ref, int index);
