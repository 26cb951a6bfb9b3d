// The collision shapes as the packed tree holds them (records of 32-bit floats, see
// treesync::groupSize) and the six dispatch tables over pairs of shape kinds: pair
// tests, bounding builders and bounding checks, each for 2D and 3D. Row = kind of side
// A, column = kind of side B; kind 0 (a level without a shape of its own) passes every
// test and check and builds nothing.
//
// 2D kinds: 1 rectangle, 2 segment, 3 circle, 4 point; 3D kinds: 1 sphere, 2 segment,
// 3 capsule, 4 cylinder, 5 triangle. Kinds 5-7 in 2D and 6-7 in 3D are script-object
// records; no bound class supplies collision tests, so their cells answer false.
#pragma once
#include <cstdint>

#include "script/lua/lua_api.h"
#include "script/treesync/tree_sync.h"

namespace col {

using PairTest = bool (*)(const uint8_t* a, const uint8_t* b);

PairTest pairTest(bool is3D, uint32_t kindA, uint32_t kindB);
treesync::BoundFn boundBuilder2D(uint32_t boundKind, uint32_t childKind);
treesync::BoundFn boundBuilder3D(uint32_t boundKind, uint32_t childKind);
treesync::BoundFn boundCheck2D(uint32_t boundKind, uint32_t childKind);
treesync::BoundFn boundCheck3D(uint32_t boundKind, uint32_t childKind);

// The tree sync's hooks for a unit of that dimension.
const treesync::SyncHooks& syncHooks(bool is3D);

// Reads the fields of a script shape (COL.Rect, COL.Circle, ...) at index node.
void readShape(lua_State* L, int node, uint32_t kind, bool is3D, uint8_t* dest);
// Pushes a new script shape of that kind made by its COL constructor from the record;
// nil for kinds without a constructor or when the constructor fails.
void pushShapeObject(lua_State* L, uint32_t kind, bool is3D, const uint8_t* record);

}  // namespace col
