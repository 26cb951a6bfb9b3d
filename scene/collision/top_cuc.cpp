#include "scene/collision/top_cuc.h"

#include "runtime/res/hdl_lock.h"
#include "scene/collision/col_mgr.h"
#include "scene/collision/col_shapes.h"
#include "script/lua/script_report.h"
#include "script/lua/table_access.h"
#include "script/treesync/tree_sync.h"

namespace {

using treesync::PackedTree;

std::atomic<uint32_t> gUnitChanges{0};

void buildWork(lua_State* L, int root, int meta, void* arg) {
  auto* tree = static_cast<PackedTree*>(arg);
  treesync::luaBuildTree(L, root, meta, *tree, col::syncHooks(tree->layout().is3D()));
}

void mapWork(lua_State* L, int root, int /*meta*/, void* arg) {
  auto* tree = static_cast<PackedTree*>(arg);
  treesync::luaMapTree(L, root, *tree, col::syncHooks(tree->layout().is3D()));
}

struct RefreshArgs {
  PackedTree* tree;
  uint32_t flags;
};

void refreshWork(lua_State* L, int root, int meta, void* arg) {
  auto* a = static_cast<RefreshArgs*>(arg);
  const treesync::SyncHooks& hooks = col::syncHooks(a->tree->layout().is3D());
  if (a->flags & 2) treesync::luaSyncChildLists(L, root, meta, *a->tree, hooks, (a->flags & 1) == 0);
  if (a->flags & 1) treesync::luaSyncChgList(L, root, *a->tree, hooks, (a->flags & 2) == 0);
}

}  // namespace

void pushNodeMeta(lua_State* L) {
  lua_getfield(L, LUA_GLOBALSINDEX, "COL");
  for (const char* key : {"CUC", "meta"}) {
    if (!lua_istable(L, -1)) break;
    lua_pushstring(L, key);
    indexTopSafe(L);
    lua_remove(L, -2);
  }
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    lua_pushnil(L);
  }
}

uint32_t unitChangeCount() { return gUnitChanges.load(std::memory_order_relaxed); }

void TopCUC::setTree(std::shared_ptr<treesync::PackedTree> t) {
  gUnitChanges.fetch_add(1, std::memory_order_relaxed);
  tree = std::move(t);
  rootShape = nullptr;
  if (tree && tree->layout().levels() > 0) {
    const treesync::PackedLayout& lay = tree->layout();
    rootShape = lay.group(tree->root(), 0, lay.testCopy(), 0);
  }
}

// Runs the table's chg_all, when it has one, so that the next change pass maps every node.
static void callChgAll(lua_State* L, int root, const char* who) {
  lua_getfield(L, root, "chg_all");
  if (!lua_isfunction(L, -1)) {
    lua_pop(L, 1);
    return;
  }
  lua_pushvalue(L, root);
  if (lua_pcall(L, 1, 0, 0) != 0) {
    const char* err = lua_tostring(L, -1);
    scriptDebugLog(std::string(who) + ": chg_all failed: " + (err ? err : "(error object)"));
    lua_pop(L, 1);
  }
}

void TopCUC::set_source(lua_State* L, qxbind::StackArg table) {
  const int root = table.index;
  if (!lua_istable(L, root)) luaL_error(L, "set_source: the source must be a table");
  pushNodeMeta(L);
  const int meta = lua_gettop(L);
  auto built = std::make_shared<PackedTree>(treesync::PackedLayout(code, (flags & 1) ? 2 : 1), ColMgr::pool());
  std::string error;
  if (!treesync::runProtected(L, root, meta, &buildWork, built.get(), error)) {
    built.reset();
    luaL_error(L, "set_source: %s", error.c_str());
  }
  setTree(std::move(built));
  stamp = 0;
  sourced = 1;
  if (lua_istable(L, meta)) {
    lua_pushvalue(L, meta);
    lua_setmetatable(L, root);
  }
  lua_pop(L, 1);
  stale = false;
  if (!keepsSource()) return;
  xmoveValueToThread(source, L, root);
  callChgAll(L, root, "set_source");
}

qxbind::Pushed TopCUC::get_source(lua_State* L) {
  if (!keepsSource() || !source.isPinned() || !source.push(L)) lua_newtable(L);
  return {1};
}

bool TopCUC::rebuild(lua_State* L, int root, int meta, bool passes, std::string& error) {
  auto built = std::make_shared<PackedTree>(treesync::PackedLayout(code, (flags & 1) ? 2 : 1), ColMgr::pool());
  if (!treesync::runProtected(L, root, meta, &buildWork, built.get(), error)) return false;
  if (passes) {
    callChgAll(L, root, "refresh");
    RefreshArgs args{built.get(), flags};
    if (!treesync::runProtected(L, root, meta, &refreshWork, &args, error)) return false;
  } else if (!treesync::runProtected(L, root, meta, &mapWork, built.get(), error)) {
    // Without the lists the tree still goes through its transforms: tests read that copy.
    return false;
  }
  setTree(std::move(built));
  return true;
}

bool TopCUC::refreshAt(lua_State* L, float time, std::string& error) {
  if (!needsRefresh(time)) return true;
  gUnitChanges.fetch_add(1, std::memory_order_relaxed);
  if (time > stamp) stamp = time;
  if (!keepsSource() || !source.isPinned()) return true;
  const int top = lua_gettop(L);
  if (!lua_checkstack(L, 4) || !source.push(L) || !lua_istable(L, -1)) {
    lua_settop(L, top);
    return true;
  }
  pushNodeMeta(L);
  bool ok;
  if (stale || !tree) {
    ok = rebuild(L, top + 1, top + 2, true, error);
  } else {
    // A walk holding the tree keeps reading it; the refresh then goes to a copy.
    std::shared_ptr<PackedTree> copy;
    if (tree.use_count() > 1) copy = tree->clone();
    RefreshArgs args{copy ? copy.get() : tree.get(), flags};
    ok = treesync::runProtected(L, top + 1, top + 2, &refreshWork, &args, error);
    if (ok && copy) setTree(std::move(copy));
  }
  if (!ok) {
    // The failed walk may have changed both trees half way: hold what the script's tree
    // now makes (nothing when it makes none) until a refresh gets through.
    stale = true;
    std::string ignored;
    if (!rebuild(L, top + 1, top + 2, false, ignored)) setTree(nullptr);
  } else {
    stale = false;
  }
  lua_settop(L, top);
  return ok;
}

void TopCUC::refresh(lua_State* L, float time) {
  std::string error;
  if (!refreshAt(L, time, error)) luaL_error(L, "refresh: %s", error.c_str());
}

qxbind::Pushed TopCUC::getcif(lua_State* L, qxbind::StackArg path) {
  const treesync::PackedTree* t = tree.get();
  if (!t || t->layout().levels() == 0 || !lua_istable(L, path.index)) {
    lua_pushnil(L);
    return {1};
  }
  const treesync::PackedLayout& lay = t->layout();
  const uint8_t* block = t->root();
  int lvl = 0;
  for (; lay.hasChildren(lvl); ++lvl) {
    lua_rawgeti(L, path.index, lvl + 1);
    const bool number = lua_isnumber(L, -1) != 0;
    const lua_Number k = lua_tonumber(L, -1);
    lua_pop(L, 1);
    const treesync::ChildList c = treesync::readChildren(lay, block, lvl);
    if (!number || !(k >= 0 && k < c.count)) {
      lua_pushnil(L);
      return {1};
    }
    block = c.blocks + static_cast<size_t>(k) * lay.blockSize(lvl + 1);
  }
  const treesync::LevelFormat& lf = lay.level(lvl);
  if (lf.groups == 0) {
    lua_pushnil(L);
    return {1};
  }
  col::pushShapeObject(L, lf.lastKind(), lay.is3D(), lay.group(block, lvl, lay.testCopy(), lf.groups - 1));
  return {1};
}

uint32_t unitOwner(uint32_t unit) {
  kesto::HdlLock<ColMgr::HandleType> lock(unit, kesto::HdlLock<ColMgr::HandleType>::kShared);
  return lock ? lock->owner.value : 0;
}
