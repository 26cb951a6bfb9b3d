// The collision managers: ColMgr keeps the units (TopCUC), the collision pool their
// packed trees come from and the test-chain caches, and runs the queries; ColPipeMgr
// keeps the pipes (ColPipe), ordered lists of counted unit handles.
//
// Queries ("collision", "collision_scp", "collision_pair") take units or pipes, make
// the result policy from a, b and c (col_policy.h), refresh every tested unit to the
// query's time and walk each pair's chain. They iterate over a counted snapshot of each
// pipe with its units locked for the whole query, so a handler that adds or removes
// units, re-sources them or starts another query changes later queries, not this one;
// a pair whose unit a handler re-sourced stops its walk.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "platform/core/smalloc.h"
#include "runtime/res/resource_mgr.h"
#include "scene/collision/test_chain.h"
#include "scene/collision/top_cuc.h"
#include "script/bind/glue_types.h"

class ColMgr : public kesto::ResourceMgrNoName<ColMgr, TopCUC> {
 public:
  using UnitHandle = kesto::Handle<ColMgr, TopCUC>;

  ColMgr() = default;
  const char* dataTypeName() const override { return "TopCUC"; }

  // The collision pool (process-wide, so packed trees may outlive the manager's slots).
  static SMA* pool();
  // Size class of the pool: below 61 bytes 60, up to 1024 the next power of two, beyond
  // that the next multiple of 256.
  static size_t poolSize(size_t request);

  // The cached chain for the pair of codes, built on first use.
  const col::TestChain& chain(uint32_t codeA, uint32_t codeB);
  size_t chainCount(bool is3D) const { return chains_[is3D ? 1 : 0].size(); }

  // Script methods.
  std::tuple<UnitHandle, bool> scriptCreate(bool flag);
  UnitHandle newCUC(int32_t flags, qxbind::ObjectRef owner, int32_t id, qxbind::QXInt code);
  qxbind::QXInt cuid(lua_State* L, bool is3D, qxbind::StackArg description);
  qxbind::Pushed collision(lua_State* L, qxbind::ObjectRef a, qxbind::ObjectRef b, int32_t pa, int32_t pb, int32_t c,
                           float time);
  qxbind::Pushed collision_scp(lua_State* L, qxbind::ObjectRef pipe, int32_t pa, int32_t pb, int32_t c, float time);
  qxbind::Pushed collision_pair(lua_State* L, qxbind::ObjectRef a, qxbind::ObjectRef b, int32_t pa, int32_t pb,
                                int32_t c, float time);

 private:
  std::map<uint64_t, std::unique_ptr<col::TestChain>> chains_[2];
  uint64_t lastKey_[2] = {~0ull, ~0ull};
  const col::TestChain* last_[2] = {nullptr, nullptr};
};

// Builds a unit code from a script description (see "cuid"); raises a Lua error for
// more than 7 shapes or nesting deeper than 16 tables.
uint32_t buildUnitCode(lua_State* L, int index, bool is3D);

struct ColPipe {
  std::vector<ColMgr::UnitHandle> units;

  void add(qxbind::ObjectRef unit);
  bool has(qxbind::ObjectRef unit) const;
  void remove(qxbind::ObjectRef unit);
  qxbind::ObjectRef get(int32_t index) const;
  int32_t size() const { return static_cast<int32_t>(units.size()); }
};

class ColPipeMgr : public kesto::ResourceMgrNoName<ColPipeMgr, ColPipe> {
 public:
  using PipeHandle = kesto::Handle<ColPipeMgr, ColPipe>;
  const char* dataTypeName() const override { return "ColPipe"; }
  std::tuple<PipeHandle, bool> scriptCreate(bool flag);
};
