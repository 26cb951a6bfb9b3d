#include "scene/collision/col_mgr.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "runtime/core/thread_ctx.h"
#include "runtime/math/geometry.h"
#include "runtime/res/hdl_lock.h"
#include "scene/collision/col_policy.h"
#include "scene/collision/col_shapes.h"
#include "script/lua/script_report.h"
#include "script/lua/stack_readers.h"

namespace {

using UnitHandle = ColMgr::UnitHandle;
using UnitLock = kesto::HdlLock<UnitHandle>;
using PipeLock = kesto::HdlLock<ColPipeMgr::PipeHandle>;

size_t sizeClass(size_t request) { return ColMgr::poolSize(request); }

// A unit of a query, held and locked for the whole query.
struct Unit {
  UnitHandle handle;
  UnitLock lock;
  TopCUC* data = nullptr;
};
using Units = std::vector<Unit>;

// What the pair loop reads of a unit, side by side with its neighbours: its code and a
// copy of its root shape. An entry holds while its epoch is the runner's: no script ran
// since it was taken (a refresh, a walk whose handlers may re-source units, a turn's
// notification), and the unit needed no refresh then.
struct Hot {
  static constexpr size_t kInline = 16;
  uint32_t epoch = 0;
  uint32_t code = 0;
  const uint8_t* shape = nullptr;  // copy, the unit's own shape when larger, or null
  alignas(16) uint8_t copy[kInline];
};
static_assert(sizeof(Hot) == 32 && sizeof(Circle) <= Hot::kInline);
using Hots = std::vector<Hot>;

bool liveUnit(uint32_t h) {
  ColMgr* m = h ? ColMgr::ofValue(h) : nullptr;
  return m && m->isValidHandle(h);
}

bool livePipe(uint32_t h) {
  ColPipeMgr* m = h ? ColPipeMgr::ofValue(h) : nullptr;
  return m && m->isValidHandle(h);
}

// True for a pipe, false for a unit; raises for anything else.
bool isPipeArg(lua_State* L, uint32_t h, int arg) {
  if (liveUnit(h)) return false;
  if (!livePipe(h)) luaL_error(L, "collision: argument %d is not a live TopCUC or ColPipe", arg);
  return true;
}

Units unitsOf(uint32_t h, bool pipe) {
  std::vector<UnitHandle> handles;
  if (pipe) {
    PipeLock p(h, PipeLock::kShared);
    if (p) handles = p->units;
  } else {
    handles.push_back(UnitHandle::fromValue(h));
  }
  Units units(handles.size());
  for (size_t i = 0; i < handles.size(); ++i) {
    units[i].handle = std::move(handles[i]);
    units[i].lock.lock(units[i].handle.value);
    units[i].data = units[i].lock.data();
  }
  return units;
}

struct Held {
  const TopCUC* a;
  const TopCUC* b;
  const treesync::PackedTree* treeA;
  const treesync::PackedTree* treeB;
};

bool stillValid(const void* arg) {
  auto* h = static_cast<const Held*>(arg);
  return h->a->tree.get() == h->treeA && h->b->tree.get() == h->treeB;
}

class PairRunner {
 public:
  PairRunner(ColMgr& mgr, lua_State* L, col::IFColP& policy, float time)
      : mgr_(mgr), L_(L), policy_(policy), time_(time) {}

  // The stop flag of the pair's walk.
  bool test(Unit& a, Hot& ha, Unit& b, Hot& hb) {
    if (!a.data || !b.data) return false;
    if (ha.epoch != epoch_ || hb.epoch != epoch_) {
      // A unit with a current copy needs no refresh; a refresh may change either unit.
      if (ha.epoch != epoch_) refresh(*a.data);
      refresh(*b.data);
      if (ha.epoch != epoch_) snap(ha, *a.data);
      if (hb.epoch != epoch_) snap(hb, *b.data);
    }
    // An empty or unsourced unit never hits, nor does a 2D unit a 3D one.
    if (!ha.shape || !hb.shape || ((ha.code ^ hb.code) & 0x80000000u)) return false;
    if (ha.code != chainA_ || hb.code != chainB_ || !chain_) {
      chain_ = &mgr_.chain(ha.code, hb.code);
      chainA_ = ha.code;
      chainB_ = hb.code;
      single_ = chain_->single();
    }
    const col::TestChain& chain = *chain_;
    if (col::PairTest single = chain.single()) {
      if (!single(ha.shape, hb.shape)) return false;
    }
    const TopCUC& A = *a.data;
    const TopCUC& B = *b.data;
    treesync::PackedTree* treeA = A.tree.get();
    treesync::PackedTree* treeB = B.tree.get();
    Held held{&A, &B, treeA, treeB};
    col::QueryContext ctx;
    ctx.policy = &policy_;
    ctx.unitA = a.handle.value;
    ctx.unitB = b.handle.value;
    ctx.valid = &stillValid;
    ctx.validArg = &held;
    ctx.treeA = &A.tree;
    ctx.treeB = &B.tree;
    col::WalkState walk;
    walk.side[0].layout = &treeA->layout();
    walk.side[0].block = treeA->root();
    walk.side[1].layout = &treeB->layout();
    walk.side[1].block = treeB->root();
    const bool stop = chain.run(ctx, walk).stop;
    invalidate();
    return stop;
  }

  // True for a pair test() would find a miss, decided from the copies alone; false when
  // test() must tell.
  bool quickMiss(const Hot& a, const Hot& b) const {
    if (a.epoch != epoch_ || b.epoch != epoch_) return false;
    if (!a.shape || !b.shape) return true;
    if (a.code != chainA_ || b.code != chainB_ || !single_) return false;
    return !single_(a.shape, b.shape);
  }

  // Takes pairs (a, b[0]), (a, b[1]), ... while each is a quick miss, calling
  // onTurn(false) after each as the query would; gives how many it took. Only pure pair
  // tests run here, so nothing the copies hold can change on the way.
  // Kept out of line: the loop then has the registers to itself.
  [[gnu::noinline]] size_t missRun(const Hot& a, const Hot* b, size_t count) const {
    if (a.epoch != epoch_ || !a.shape || a.code != chainA_ || !single_) return 0;
    const uint32_t epoch = epoch_, codeB = chainB_;
    size_t k = 0;
    if (single_ == circles_) {
      // Circles, by far the most common unit: the circle test itself, not through the table.
      Circle ca;
      std::memcpy(&ca, a.shape, sizeof ca);
      for (; k < count; ++k) {
        const Hot& h = b[k];
        // A circle always sits in the copy; anything else is left to the general path.
        if (h.epoch != epoch || h.shape != h.copy || h.code != codeB) break;
        Circle cb;
        std::memcpy(&cb, h.copy, sizeof cb);
        if (circlesOverlap(ca, cb)) break;
        if (turns_) policy_.onTurn(false);
      }
      return k;
    }
    const col::PairTest test = single_;
    for (; k < count; ++k) {
      const Hot& h = b[k];
      if (h.epoch != epoch || !h.shape || h.code != codeB || test(a.shape, h.shape)) break;
      if (turns_) policy_.onTurn(false);
    }
    return k;
  }

  // After anything that may run scripts (a walk's handlers, a turn's notification): when
  // any unit changed, every unit is read afresh.
  void invalidate() {
    const uint32_t now = unitChangeCount();
    if (now == seen_) return;
    seen_ = now;
    ++epoch_;
  }

 private:
  void refresh(TopCUC& unit) {
    if (!unit.needsRefresh(time_)) return;
    // A unit whose refresh failed is rebuilt once per query, not at each of its pairs.
    if (unit.stale && std::find(failed_.begin(), failed_.end(), &unit) != failed_.end()) return;
    std::string error;
    if (!unit.refreshAt(L_, time_, error)) {
      scriptDebugLog("collision: refresh failed: " + error);
      failed_.push_back(&unit);
    }
    invalidate();
  }

  void snap(Hot& h, const TopCUC& unit) const {
    h.epoch = epoch_;
    h.code = unit.code;
    h.shape = unit.rootShape;
    if (!h.shape) return;
    const treesync::PackedLayout& lay = unit.tree->layout();
    const size_t size = treesync::groupSize(lay.level(0).kinds[0], lay.is3D());
    if (size > 0 && size <= Hot::kInline) {
      std::memcpy(h.copy, h.shape, size);
      h.shape = h.copy;
    }
  }

  ColMgr& mgr_;
  lua_State* L_;
  col::IFColP& policy_;
  float time_;
  uint32_t epoch_ = 1;
  uint32_t seen_ = unitChangeCount();
  uint32_t chainA_ = 0, chainB_ = 0;
  const col::TestChain* chain_ = nullptr;
  col::PairTest single_ = nullptr;
  const col::PairTest circles_ = col::pairTest(false, 3, 3);
  const bool turns_ = policy_.countsPairTurns();
  std::vector<const TopCUC*> failed_;
};

uint32_t codeOf(lua_State* L, int index, int depth, uint32_t& code, int& pos, int& groups) {
  if (depth > 16) luaL_error(L, "cuid: the description nests deeper than 16 tables");
  if (!lua_istable(L, index)) return code;
  bool number = false;
  const int n = static_cast<int>(lua_objlen(L, index));
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, index, i);
    if (lua_type(L, -1) == LUA_TNUMBER) {
      if (number) {
        code |= 1u << pos;
        pos += 1;
      }
      if (++groups > 7) luaL_error(L, "cuid: more than 7 shapes");
      code |= (numberToU32(lua_tonumber(L, -1)) & 7u) << pos;
      pos += 3;
      number = true;
    } else if (lua_istable(L, -1)) {
      if (number) pos += 1;
      codeOf(L, lua_gettop(L), depth + 1, code, pos, groups);
      lua_pop(L, 1);
      return code;
    }
    lua_pop(L, 1);
  }
  return code;
}

}  // namespace

SMA* ColMgr::pool() {
  static const std::unique_ptr<SMA, void (*)(SMA*)> sma(NewSMA(SMAPolicy{nullptr, nullptr, &sizeClass}), &DeleteSMA);
  return sma.get();
}

size_t ColMgr::poolSize(size_t request) {
  if (request < 61) return 60;
  if (request <= 1024) return std::bit_ceil(request);
  return (request + 255) / 256 * 256;
}

const col::TestChain& ColMgr::chain(uint32_t codeA, uint32_t codeB) {
  const int dim = (codeA >> 31) ? 1 : 0;
  const uint64_t key = (static_cast<uint64_t>(codeB) << 32) | codeA;
  if (key == lastKey_[dim]) return *last_[dim];
  std::unique_ptr<col::TestChain>& slot = chains_[dim][key];
  if (!slot) slot = std::make_unique<col::TestChain>(codeA, codeB);
  lastKey_[dim] = key;
  last_[dim] = slot.get();
  return *slot;
}

std::tuple<ColMgr::UnitHandle, bool> ColMgr::scriptCreate(bool flag) {
  Result r = create(flag ? 1 : 0);
  return {std::move(r.handle), r.created};
}

ColMgr::UnitHandle ColMgr::newCUC(int32_t flags, qxbind::ObjectRef owner, int32_t id, qxbind::QXInt code) {
  Result r = create();
  UnitLock unit(r.handle.value);
  if (!unit) return {};
  unit->code = code.value;
  unit->flags = static_cast<uint32_t>(flags);
  unit->id = id;
  unit->owner = GobjHdl::fromValue(owner.handle);
  return std::move(r.handle);
}

uint32_t buildUnitCode(lua_State* L, int index, bool is3D) {
  uint32_t code = 0;
  int pos = 0, groups = 0;
  luaL_checkstack(L, 20, "cuid");
  codeOf(L, index, 0, code, pos, groups);
  return is3D ? code | 0x80000000u : code;
}

qxbind::QXInt ColMgr::cuid(lua_State* L, bool is3D, qxbind::StackArg description) {
  return {buildUnitCode(L, description.index, is3D)};
}

qxbind::Pushed ColMgr::collision(lua_State* L, qxbind::ObjectRef a, qxbind::ObjectRef b, int32_t pa, int32_t pb,
                                 int32_t c, float time) {
  ProfScope prof("collision");
  const bool pipeA = isPipeArg(L, a.handle, 2), pipeB = isPipeArg(L, b.handle, 3);
  const int mode = (pipeA ? 1 : 0) | (pipeB ? 2 : 0);
  Units ua = unitsOf(a.handle, pipeA), ub = unitsOf(b.handle, pipeB);
  std::unique_ptr<col::IFColP> policy = col::makePolicy(L, col::QueryKind::collision, mode, pa, pb, c);
  PairRunner run(*this, L, *policy, time);
  Hots ha(ua.size()), hb(ub.size());
  ProfScope pass("_col");
  switch (mode) {
    case 0:
      run.test(ua[0], ha[0], ub[0], hb[0]);
      break;
    case 1:
      for (size_t i = 0; i < ua.size(); ++i) {
        if (run.test(ua[i], ha[i], ub[0], hb[0])) break;
        policy->onTurn(true);
        run.invalidate();
      }
      break;
    case 2:
      for (size_t j = 0; j < ub.size(); ++j) {
        if (run.test(ua[0], ha[0], ub[j], hb[j])) break;
        policy->onTurn(false);
      }
      break;
    default:
      for (size_t i = 0; i < ua.size(); ++i) {
        for (size_t j = 0; j < ub.size(); ++j) {
          if (run.test(ua[i], ha[i], ub[j], hb[j])) break;
          policy->onTurn(false);
        }
        policy->onTurn(true);
        run.invalidate();
      }
      break;
  }
  policy->finish(L);
  return {1};
}

qxbind::Pushed ColMgr::collision_scp(lua_State* L, qxbind::ObjectRef pipe, int32_t pa, int32_t pb, int32_t c,
                                     float time) {
  ProfScope prof("collision");
  if (!livePipe(pipe.handle)) luaL_error(L, "collision_scp: argument 2 is not a live ColPipe");
  Units units = unitsOf(pipe.handle, true);
  std::unique_ptr<col::IFColP> policy = col::makePolicy(L, col::QueryKind::scp, 0, pa, pb, c);
  PairRunner run(*this, L, *policy, time);
  const size_t n = units.size();
  Hots hot(n);
  ProfScope pass("_col");
  bool stop = false;
  for (size_t i = 0; i + 1 < n && !stop; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      j += run.missRun(hot[i], &hot[j], n - j);
      if (j == n) break;
      if (run.quickMiss(hot[i], hot[j])) {
        policy->onTurn(false);
        continue;
      }
      if (run.test(units[i], hot[i], units[j], hot[j])) {
        stop = true;
        break;
      }
      policy->onTurn(false);
    }
    policy->onTurn(true);
    run.invalidate();
  }
  policy->finish(L);
  return {1};
}

qxbind::Pushed ColMgr::collision_pair(lua_State* L, qxbind::ObjectRef a, qxbind::ObjectRef b, int32_t pa,
                                      int32_t pb, int32_t c, float time) {
  ProfScope prof("collision");
  if (!livePipe(a.handle)) luaL_error(L, "collision_pair: argument 2 is not a live ColPipe");
  if (!livePipe(b.handle)) luaL_error(L, "collision_pair: argument 3 is not a live ColPipe");
  Units ua = unitsOf(a.handle, true), ub = unitsOf(b.handle, true);
  std::unique_ptr<col::IFColP> policy = col::makePolicy(L, col::QueryKind::pair, 4, pa, pb, c);
  PairRunner run(*this, L, *policy, time);
  const size_t n = std::min(ua.size(), ub.size());
  Hots ha(n), hb(n);
  ProfScope pass("_col");
  for (size_t i = 0; i < n; ++i) {
    if (run.test(ua[i], ha[i], ub[i], hb[i])) break;
    policy->onTurn(false);
    policy->onTurn(true);
    run.invalidate();
  }
  policy->finish(L);
  return {1};
}

void ColPipe::add(qxbind::ObjectRef unit) {
  UnitHandle h = UnitHandle::fromValue(unit.handle);
  if (!h.value) throw std::invalid_argument("add: not a live TopCUC");
  units.push_back(std::move(h));
}

bool ColPipe::has(qxbind::ObjectRef unit) const {
  return unit.handle && std::any_of(units.begin(), units.end(), [&](const UnitHandle& h) { return h.value == unit.handle; });
}

void ColPipe::remove(qxbind::ObjectRef unit) {
  auto it = std::find_if(units.begin(), units.end(), [&](const UnitHandle& h) { return h.value == unit.handle; });
  if (unit.handle && it != units.end()) units.erase(it);
}

qxbind::ObjectRef ColPipe::get(int32_t index) const {
  if (index < 0 || index >= size()) return {};
  return {units[static_cast<size_t>(index)].value};
}

std::tuple<ColPipeMgr::PipeHandle, bool> ColPipeMgr::scriptCreate(bool flag) {
  Result r = create(flag ? 1 : 0);
  return {std::move(r.handle), r.created};
}
