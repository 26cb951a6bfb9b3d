// TopCUC: a collision unit. It mirrors a tree of Lua tables (its source, whose nodes are
// COL shapes and lists of child nodes) in a packed tree laid out by its unit code, names
// the game object that owns it and carries the script's id for it.
//
// Flags: bit 0 keeps a second, transformed copy of the shapes and runs the change-list
// pass on refresh; bit 1 runs the child-list pass (additions, removals, rereads) on
// refresh. A unit with either bit keeps its source table.
//
// The packed tree is replaced, never changed in place, by set_source and refresh: a walk
// that holds the old tree (a query whose handler re-sources the unit) keeps reading it,
// and a malformed script tree leaves the unit as it was.
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
  // The root's first shape as the pair tests read it (null without a tree), kept with
  // the tree so that most pair tests touch only the unit and that shape.
  const uint8_t* rootShape = nullptr;

  void setTree(std::shared_ptr<treesync::PackedTree> t);

  bool keepsSource() const { return (flags & 3) != 0; }

  // Script methods.
  void set_source(lua_State* L, qxbind::StackArg table);
  qxbind::Pushed get_source(lua_State* L);
  void refresh(lua_State* L, float time);
  qxbind::Pushed getcif(lua_State* L, qxbind::StackArg path);
  qxbind::ObjectRef get_gobj() const { return {owner.value}; }
  int32_t get_id() const { return id; }

  // Refreshes from the source when time is past the stamp; false with the message in
  // error when the source tree is malformed (the unit is then left as it was).
  bool refreshAt(lua_State* L, float time, std::string& error);
};

// Counts changes to any unit's tree or stamp. A query keeps copies of what its pair loop
// reads of its units while this count stays the same.
uint32_t unitChangeCount();

// The owner (a Gobj handle value) of a unit; 0 for anything else.
uint32_t unitOwner(uint32_t unit);

// Pushes COL.CUC.meta, or nil when the script has none.
void pushNodeMeta(lua_State* L);
