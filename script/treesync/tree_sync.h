// Keeps a packed tree (packed_tree.h) in step with the Lua node tree it mirrors. A node
// is a table whose array part holds its children and whose fields hold its shape
// values; the script marks changes in per-node lists:
//   "_chglist"  indices of children whose values changed
//   "_addlist"  new child tables to append
//   "_remlist"  indices of children to remove
//   "_tf"       optional transform {pos, rot, scale} applied to the node's subtree
// and converts each list through node:cnv_tbl(name) before the engine reads it. After
// applying additions and removals the engine calls node:do_addchild() and
// node:do_remchild(), which move the Lua children the way the blocks moved: removed
// slots are filled from the end (holes in ascending order take the surviving tail blocks
// from the last one down), then the array shrinks. The engine writes node._parent and
// gives every node with children the metatable COL.CUC.meta.
//
// List indices that are not whole numbers within the child count, or repeat, are
// ignored. Errors raised by the script's list methods are logged and the walk goes on; a
// malformed tree (a child that is no table, a read that raises) raises a Lua error, so
// callers run the walks through runProtected on a copy of the tree they can drop.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/lua/lua_api.h"
#include "script/treesync/packed_tree.h"

namespace treesync {

// Reads the shape of that kind from the Lua node at index node into dest.
using ShapeReader = void (*)(lua_State* L, int node, uint32_t kind, bool is3D, uint8_t* dest);
// A bounding shape and the first shapes of its node's children; a check answers true
// when the bounding shape must be rebuilt, a builder rebuilds it.
using BoundFn = bool (*)(uint8_t* bound, const uint8_t* const* children, size_t n);
// The function for (kind of the bounding group, kind of the children's first group), or
// null for "nothing to do".
using BoundSelector = BoundFn (*)(uint32_t boundKind, uint32_t childKind);

struct SyncHooks {
  ShapeReader read = nullptr;
  BoundSelector build = nullptr;
  BoundSelector check = nullptr;
};

// The whole tree from the Lua node at index root; meta is the index of COL.CUC.meta.
void luaBuildTree(lua_State* L, int root, int meta, PackedTree& tree, const SyncHooks& hooks);
// Applies every node's "_chglist", mapping values through the transforms (two-copy
// trees). True when something below the root changed.
bool luaSyncChgList(lua_State* L, int root, PackedTree& tree, const SyncHooks& hooks, bool callFlag);
// Maps every node of a two-copy tree through the transforms above it, as a change pass
// over a fully listed tree would, without reading or clearing the script's lists.
void luaMapTree(lua_State* L, int root, PackedTree& tree, const SyncHooks& hooks);
// Applies "_remlist" and "_addlist" of every node, rereads the leaves and keeps the
// bounding shapes; converts every node's "_chglist" through cnv_tbl and, with callFlag set,
// clears it.
bool luaSyncChildLists(lua_State* L, int root, int meta, PackedTree& tree, const SyncHooks& hooks, bool callFlag);

inline void luaBuildTree2D(lua_State* L, int root, int meta, PackedTree& t, const SyncHooks& h) {
  luaBuildTree(L, root, meta, t, h);
}
inline void luaBuildTree3D(lua_State* L, int root, int meta, PackedTree& t, const SyncHooks& h) {
  luaBuildTree(L, root, meta, t, h);
}
inline bool luaSyncChgList2D(lua_State* L, int root, PackedTree& t, const SyncHooks& h, bool flag) {
  return luaSyncChgList(L, root, t, h, flag);
}
inline bool luaSyncChgList3D(lua_State* L, int root, PackedTree& t, const SyncHooks& h, bool flag) {
  return luaSyncChgList(L, root, t, h, flag);
}
inline bool luaSyncChildListsA(lua_State* L, int root, int meta, PackedTree& t, const SyncHooks& h, bool flag) {
  return luaSyncChildLists(L, root, meta, t, h, flag);
}
inline bool luaSyncChildListsB(lua_State* L, int root, int meta, PackedTree& t, const SyncHooks& h, bool flag) {
  return luaSyncChildLists(L, root, meta, t, h, flag);
}

// Runs work(L, root, meta) in a protected call with the Lua values at the absolute
// indices root and meta as its arguments (their indices inside the call are passed
// on). False, with the message in error, when it raised.
using ProtectedWork = void (*)(lua_State* L, int root, int meta, void* arg);
bool runProtected(lua_State* L, int root, int meta, ProtectedWork work, void* arg, std::string& error);

}  // namespace treesync
