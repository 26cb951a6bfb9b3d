// Result policies of the collision queries. A query makes one from its arguments a and
// b (the policy codes of sides A and B) and c (a tag handed to scripts), hands it every
// primitive hit (onPair) and every change of the tested units (onTurn: false = the B
// unit changes next, true = the A unit does), and pushes its result (finish).
//
//   a < 3 or b < 3   ColP_NC: notifies the owners' game objects ("CUC_NOTIFY" with
//                    a = 1, "CUC_NOTIFY_TOP" / "CUC_NOTIFY_LOW" per turn with a = 2 / 3)
//                    and gives the last hit's paths (b = 0), the hit count (b = 1) or
//                    whether anything hit (other b)
//   otherwise        ColP_C: collects unit positions (9) or hit paths (10) per side
//                    into one table, side A at odd keys and side B at even ones when
//                    both collect
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/collision/col_path.h"
#include "script/lua/lua_api.h"

namespace col {

class IFColP {
 public:
  virtual ~IFColP() = default;
  virtual PairResult onPair(uint32_t unitA, uint32_t unitB, const ColPath& pathA, const ColPath& pathB) = 0;
  virtual void onTurn(bool flag) = 0;
  // False when onTurn(false) does nothing, so a query may leave it out.
  virtual bool countsPairTurns() const { return true; }
  // Pushes the query's result.
  virtual void finish(lua_State* L) = 0;
};

// The collectors of ColP_C; the base is the "no collector".
class ColPAux {
 public:
  virtual ~ColPAux() = default;
  virtual void nextTurn(bool) {}
  virtual bool add(const ColPath&) { return true; }
  virtual void flush(lua_State*, int /*table*/, int /*key*/, int /*step*/) {}
  virtual bool isNone() const { return true; }
};

enum class QueryKind { collision, scp, pair };

// The policy for a query; mode is the query mode (bit 0: A is a pipe, bit 1: B is a
// pipe; 4 for "collision_pair"). Notifications are sent through L.
std::unique_ptr<IFColP> makePolicy(lua_State* L, QueryKind kind, int mode, int a, int b, int c);

// Pushes a path as a table of its indices at 1 .. depth.
void pushPath(lua_State* L, const ColPath& path);

}  // namespace col
