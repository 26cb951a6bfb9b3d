// TopCUC: a collision unit. It mirrors a tree of Lua tables (its source, whose nodes are
// COL shapes and lists of child nodes) in a packed tree laid out by its unit code, names
// the game object that owns it and carries the script's id for it.
//
// Flags: bit 0 keeps a second, transformed copy of the shapes and runs the change-list
// pass on refresh; bit 1 runs the child-list pass (additions, removals, rereads) on
// refresh. A unit with either bit keeps its source table.
//
// set_source replaces the packed tree. refresh changes it in place, unless a walk holds it
// (a query whose handler refreshes the unit): then it works on a copy, so the walk keeps
// reading the old tree. A refresh that fails may have left the script's tree changed (its
// do_remchild / do_addchild ran) and the packed one half done: the unit then takes a full
// build of the script's tree as it now is, mapped through its transforms but with its lists
// left alone, and its next refresh, even at the same time, builds afresh and applies the
// lists again.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/core/handle.h"
#include "script/bind/glue_types.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lstk_ref.h"
#include "script/treesync/packed_tree.h"

class ColMgr;

struct TopCUC {
  uint32_t code = 0;
  uint32_t flags = 0;
  int32_t id = 0;
  GobjHdl owner;
  float stamp = 0;
  uint32_t sourced = 0;
  std::shared_ptr<treesync::PackedTree> tree;
  LStkRef source;
  // The last refresh failed: the next one rebuilds from the source whatever its time.
  bool stale = false;
  // The root's first shape as the pair tests read it (null without a tree), kept with
  // the tree so that most pair tests touch only the unit and that shape.
  const uint8_t* rootShape = nullptr;

  void setTree(std::shared_ptr<treesync::PackedTree> t);

  bool keepsSource() const { return (flags & 3) != 0; }
  bool needsRefresh(float time) const { return time > stamp || stale; }

  // Script methods.
  void set_source(lua_State* L, qxbind::StackArg table);
  qxbind::Pushed get_source(lua_State* L);
  void refresh(lua_State* L, float time);
  qxbind::Pushed getcif(lua_State* L, qxbind::StackArg path);
  qxbind::ObjectRef get_gobj() const { return {owner.value}; }
  int32_t get_id() const { return id; }

  // Refreshes from the source when time is past the stamp or the last refresh failed;
  // false with the message in error when the source tree is malformed.
  bool refreshAt(lua_State* L, float time, std::string& error);

 private:
  // The packed tree of the source as it now is (at stack index root): a full build, then,
  // with passes, chg_all and the refresh passes over it, without them only the transforms.
  // False with the message in error.
  bool rebuild(lua_State* L, int root, int meta, bool passes, std::string& error);
};

// Counts changes to any unit's tree or stamp. A query keeps copies of what its pair loop
// reads of its units while this count stays the same.
uint32_t unitChangeCount();

// The owner (a Gobj handle value) of a unit; 0 for anything else.
uint32_t unitOwner(uint32_t unit);

// Pushes COL.CUC.meta, or nil when the script has none.
void pushNodeMeta(lua_State* L);
