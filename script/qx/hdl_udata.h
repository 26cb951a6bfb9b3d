// Handles as script values. A strong handle userdata (HdlUdata, 16 bytes) owns one
// reference to its object and gives it back when the collector calls QX_Release; a weak
// one (WeakHdlUdata, 4 bytes) carries only the handle value. Both start with the handle,
// so readers take the first word of either.
//
// Strong userdata get the metatable QXMGRMT[manager id].mt (memory items:
// QXMEMMT[class name].mt), weak ones .mt_w. A strong userdata whose class has no
// metatable still gets one whose __gc is QX_Release, so its reference is never lost.
//
// A class method's glue works through the record of its self argument:
//
//   HdlRef* self = getUdataArg1(L);
//   Widget* w = self ? static_cast<Widget*>(static_cast<MemItem*>(self->lockExclusive())->data()) : nullptr;
//   ... call, then self->unlockOne();
#pragma once
#include <cstdint>

#include "runtime/res/res_base.h"
#include "script/lua/lua_api.h"

// The contents of a strong handle userdata: {handle, word, lock depth, manager id}.
struct HdlRef {
  uint32_t handle;  // owns one reference while not 0
  uint32_t word;    // given by whoever pushed it, kept unchanged
  int32_t depth;    // > 0 exclusive levels held through this record, < 0 shared levels
  uint32_t mgrId;   // the manager is found by id on every use, never kept as a pointer

  // The handle's manager, or null when it has ended.
  kesto::ResBasePtr* manager() const;
  // Lock the object (waiting while another lane holds it) and count the level; null
  // when the object is gone or only this lane's own holds stand in the way.
  void* lockExclusive();
  void* lockShared();
  // Undoes one level (the innermost kind first: shared while depth < 0, exclusive while
  // depth > 0); nothing at depth 0.
  void unlockOne();
  // Undoes every level still held, then gives the reference back; the handle becomes 0.
  void release();
};
static_assert(sizeof(HdlRef) == 16, "the strong handle userdata is 16 bytes on every platform");

using HdlUdata = HdlRef;
struct WeakHdlUdata {
  uint32_t handle;
};
static_assert(sizeof(WeakHdlUdata) == 4, "the weak handle userdata is 4 bytes");

// Pushes a new strong userdata holding its own reference (no metatable yet). A null
// handle, or one whose object is gone (no reference can be held), pushes nil: false.
bool pushHandleUdata(lua_State* L, uint32_t handle, uint32_t word);
// Pushes a new weak userdata (no metatable); a null handle pushes nil: false.
bool pushWeakHandleUdata(lua_State* L, uint32_t handle);

// The strong record at index, or null when the value is not a strong handle userdata
// made by pushHandleUdata (a weak one, or any other 16-byte userdata, gives null).
HdlRef* toHdlRef(lua_State* L, int index);
// The strong record of a method's self: argument 1 itself, or the userdata in its raw
// field "udata" when it is a table; null otherwise.
HdlRef* getUdataArg1(lua_State* L);
// The handle argument 1 carries (a strong or weak userdata, or a table's "udata"); 0
// for anything else.
uint32_t readHandleArg(lua_State* L);

// The __gc metamethod of strong userdata (and callable by scripts): releases the
// record's reference once, after undoing any lock levels still held through it. Any
// other value is left alone.
int QX_Release(lua_State* L);

// Pushes a manager's handle as a strong userdata with the metatable of its class in
// QXMGRMT; nil and false for a null or dead handle.
bool pushStrongOfManager(lua_State* L, uint32_t handle, uint32_t word);
bool pushWeakOfManager(lua_State* L, uint32_t handle);
// The same for a memory item, its class table found in QXMEMMT by class name.
bool pushMemItemUdata(lua_State* L, uint32_t handle, uint32_t word, const char* className, bool strong);
// Makes the pushes above the ones every manager uses (idempotent).
void installHandlePushers();

// Table utilities of the binding layer, for the table t on the top of the stack:
// pushes t[name] (read raw), first creating and raw-setting an empty table when it is nil.
void getOrCreateSubtable(lua_State* L, const char* name);
// pushes t[key] (an ordinary read, metamethods apply).
void getFieldOfTop(lua_State* L, const char* key);
