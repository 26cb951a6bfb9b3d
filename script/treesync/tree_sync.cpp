#include "script/treesync/tree_sync.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/math/geometry.h"
#include "runtime/math/xform.h"
#include "runtime/math/xform_stack.h"
#include "script/lua/script_report.h"

namespace treesync {

namespace {

template <class T>
T loadAt(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
void storeAt(uint8_t* p, const T& v) {
  std::memcpy(p, &v, sizeof v);
}

// n numbers t[1..n] of the field name of the table at index, or def when the field is
// not a table.
void readVectorField(lua_State* L, int index, const char* name, int n, float* out, float def) {
  lua_getfield(L, index, name);
  const bool table = lua_istable(L, -1);
  for (int i = 0; i < n; ++i) {
    out[i] = def;
    if (!table) continue;
    lua_rawgeti(L, -1, i + 1);
    if (lua_isnumber(L, -1)) out[i] = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

class Walker {
 public:
  Walker(lua_State* L, PackedTree& tree, const SyncHooks& hooks, int meta)
      : L_(L), tree_(tree), lay_(tree.layout()), hooks_(hooks), meta_(meta) {}

  void build(int node, int parent, int lvl, uint8_t* block);
  bool changes(int node, int lvl, uint8_t* block, bool callFlag);
  bool lists(int node, int lvl, uint8_t* block, bool callFlag);
  void mapAll(int node, int lvl, uint8_t* block);

 private:
  size_t step(int lvl) const { return lay_.blockSize(lvl); }
  void requireTable(int index) {
    if (!lua_istable(L_, index)) luaL_error(L_, "collision tree: a node is not a table");
  }
  void readShapes(int node, uint8_t* block, int lvl);
  void spreadCopies(uint8_t* block, int lvl);
  void updateBound(uint8_t* block, int lvl, int copy, bool force);
  bool pushTransform(int node);
  void popTransform();
  void mapGroups(uint8_t* block, int lvl, int count);
  void mapGroup(uint32_t kind, const uint8_t* src, uint8_t* dst, uint32_t size);
  void callMethod(int node, const char* method, const char* arg);
  // Removes the listed children (1-based, valid and unique) and grows or shrinks the
  // child array to keep `extra` more blocks at its end.
  ChildList resize(uint8_t* block, int lvl, const std::vector<int>& removed, int extra);

  lua_State* L_;
  PackedTree& tree_;
  const PackedLayout& lay_;
  const SyncHooks& hooks_;
  int meta_;
  XformStack2D stack2_;
  XformStack3D stack3_;
  std::vector<const uint8_t*> kids_;
};

void Walker::readShapes(int node, uint8_t* block, int lvl) {
  const LevelFormat& lf = lay_.level(lvl);
  for (int g = 0; g < lf.groups; ++g) {
    if (hooks_.read) hooks_.read(L_, node, lf.kinds[g], lay_.is3D(), lay_.group(block, lvl, 0, g));
  }
}

void Walker::spreadCopies(uint8_t* block, int lvl) {
  const uint32_t size = lay_.level(lvl).entrySize;
  for (int c = 1; c < lay_.copies(); ++c) std::memcpy(block + c * size, block, size);
}

void Walker::updateBound(uint8_t* block, int lvl, int copy, bool force) {
  const LevelFormat& lf = lay_.level(lvl);
  if (lf.groups == 0 || !hooks_.build) return;
  const uint32_t boundKind = lf.lastKind();
  const uint32_t childKind = lay_.level(lvl + 1).kinds[0];
  const ChildList c = readChildren(lay_, block, lvl);
  // One list for the whole walk: a bound per node with children must not cost an allocation each.
  std::vector<const uint8_t*>& kids = kids_;
  kids.resize(static_cast<size_t>(std::max(c.count, 0)));
  for (size_t i = 0; i < kids.size(); ++i) kids[i] = lay_.group(c.blocks + i * step(lvl + 1), lvl + 1, lay_.testCopy(), 0);
  uint8_t* bound = lay_.group(block, lvl, copy, lf.groups - 1);
  // Without a check for the cell (3D spheres have none) a bound is rebuilt whenever its
  // children change; otherwise moved children would leave it behind.
  if (!force) {
    BoundFn check = hooks_.check ? hooks_.check(boundKind, childKind) : nullptr;
    if (check && !check(bound, kids.data(), kids.size())) return;
  }
  if (BoundFn fn = hooks_.build(boundKind, childKind)) fn(bound, kids.data(), kids.size());
}

void Walker::build(int node, int parent, int lvl, uint8_t* block) {
  luaL_checkstack(L_, 8, "collision tree");
  requireTable(node);
  if (parent) {
    lua_pushvalue(L_, parent);
  } else {
    lua_pushnil(L_);
  }
  lua_setfield(L_, node, "_parent");
  const LevelFormat& lf = lay_.level(lvl);
  for (int g = 0; g < lf.groups; ++g) {
    uint8_t* p = lay_.group(block, lvl, 0, g);
    if (lay_.is3D() && lf.kinds[g] == 1) storeAt(p, Sphere{0, 0, 0, -1});
    if (!lay_.is3D() && lf.kinds[g] == 3) storeAt(p, Circle{0, 0, -1});
  }
  if (!lay_.hasChildren(lvl)) {
    readShapes(node, block, lvl);
    spreadCopies(block, lvl);
    return;
  }
  if (!lua_istable(L_, meta_)) luaL_error(L_, "collision tree: COL.CUC.meta is missing");
  lua_pushvalue(L_, meta_);
  lua_setmetatable(L_, node);
  const int n = static_cast<int>(lua_objlen(L_, node));
  ChildList c{n, tree_.allocBlocks(lvl + 1, static_cast<size_t>(n))};
  writeChildren(lay_, block, lvl, c);
  for (int i = 0; i < n; ++i) {
    lua_rawgeti(L_, node, i + 1);
    build(lua_gettop(L_), node, lvl + 1, c.blocks + i * step(lvl + 1));
    lua_pop(L_, 1);
  }
  updateBound(block, lvl, 0, true);
  spreadCopies(block, lvl);
}

bool Walker::pushTransform(int node) {
  lua_getfield(L_, node, "_tf");
  const int tf = lua_gettop(L_);
  const bool table = lua_istable(L_, tf);
  if (table) {
    if (lay_.is3D()) {
      float rot[4], scale[3], pos[3];
      readVectorField(L_, tf, "rot", 4, rot, 0);  // (0, 0, 0, 0) turns nothing, like (0, 0, 0, 1)
      readVectorField(L_, tf, "scale", 3, scale, 1);
      readVectorField(L_, tf, "pos", 3, pos, 0);
      Xform3D x;
      x.set({scale[0], scale[1], scale[2]}, {pos[0], pos[1], pos[2]}, {rot[0], rot[1], rot[2], rot[3]});
      stack3_.push(x.matrix());
    } else {
      float scale[2], pos[2];
      readVectorField(L_, tf, "scale", 2, scale, 1);
      lua_getfield(L_, tf, "rot");
      const float rot = static_cast<float>(lua_tonumber(L_, -1));
      lua_pop(L_, 1);
      readVectorField(L_, tf, "pos", 2, pos, 0);
      Xform2D x;
      x.set({scale[0], scale[1]}, {pos[0], pos[1]}, rot);
      stack2_.push(x.matrix());
    }
  }
  lua_pop(L_, 1);
  return table;
}

void Walker::popTransform() {
  if (lay_.is3D()) {
    stack3_.pop();
  } else {
    stack2_.pop();
  }
}

void Walker::mapGroup(uint32_t kind, const uint8_t* src, uint8_t* dst, uint32_t size) {
  if (lay_.is3D()) {
    if (stack3_.empty()) {
      std::memcpy(dst, src, size);
      return;
    }
    const Mat43& m = stack3_.top();
    switch (kind) {
      case 1:
        storeAt(dst, transformSphere(m, loadAt<Sphere>(src)));
        return;
      case 2:
        storeAt(dst, transformSegment3D(m, loadAt<Segment3>(src)));
        return;
      case 3:
      case 4: {  // capsule and cylinder: the axis moves, the radius stays
        Capsule c = loadAt<Capsule>(src);
        const Segment3 axis = transformSegment3D(m, {c.p0, c.p1});
        c.p0 = axis.p0;
        c.p1 = axis.p1;
        storeAt(dst, c);
        return;
      }
      case 5: {
        TriangleNode t = loadAt<TriangleNode>(src);
        transformTriangle(m, t, t);
        nodeTriangleNormal(t);
        storeAt(dst, t);
        return;
      }
      default:
        std::memcpy(dst, src, size);
        return;
    }
  }
  if (stack2_.empty()) {
    std::memcpy(dst, src, size);
    return;
  }
  const Mat23& m = stack2_.top();
  switch (kind) {
    case 1:  // a turned or mirrored box is tested by its bounds
      storeAt(dst, mapRectBounds(m, loadAt<Rect2>(src)));
      return;
    case 2: {  // segment: both points
      const Segment2 s = loadAt<Segment2>(src);
      const Vec2 a = m.map({s.x0, s.y0}), b = m.map({s.x1, s.y1});
      storeAt(dst, Segment2{a.x, a.y, b.x, b.y});
      return;
    }
    case 3: {  // circle: the centre moves, the radius stays
      Circle c = loadAt<Circle>(src);
      const Vec2 p = m.map({c.cx, c.cy});
      c.cx = p.x;
      c.cy = p.y;
      storeAt(dst, c);
      return;
    }
    case 4:
      storeAt(dst, m.map(loadAt<Vec2>(src)));
      return;
    default:
      std::memcpy(dst, src, size);
      return;
  }
}

void Walker::mapGroups(uint8_t* block, int lvl, int count) {
  if (lay_.copies() < 2) return;
  const LevelFormat& lf = lay_.level(lvl);
  for (int g = count - 1; g >= 0; --g) {
    mapGroup(lf.kinds[g], lay_.group(block, lvl, 0, g), lay_.group(block, lvl, 1, g),
             groupSize(lf.kinds[g], lay_.is3D()));
  }
}

void Walker::callMethod(int node, const char* method, const char* arg) {
  lua_getfield(L_, node, method);
  if (!lua_isfunction(L_, -1)) {
    lua_pop(L_, 1);
    return;
  }
  lua_pushvalue(L_, node);
  if (arg) lua_pushstring(L_, arg);
  if (lua_pcall(L_, arg ? 2 : 1, 0, 0) != 0) {
    const char* err = lua_tostring(L_, -1);
    scriptDebugLog(std::string("collision tree: ") + method + " failed: " + (err ? err : "(error object)"));
    lua_pop(L_, 1);
  }
}

bool Walker::changes(int node, int lvl, uint8_t* block, bool callFlag) {
  luaL_checkstack(L_, 8, "collision tree");
  requireTable(node);
  const bool leaf = !lay_.hasChildren(lvl);
  const int groups = lay_.level(lvl).groups;
  // An inner node's last group is its bounding shape, rebuilt from the children.
  mapGroups(block, lvl, leaf ? groups : groups - 1);
  if (leaf) return true;
  lua_getfield(L_, node, "_chglist");
  const bool listed = lua_istable(L_, -1);
  lua_pop(L_, 1);
  if (!listed) return false;
  const bool pushed = pushTransform(node);
  if (callFlag) callMethod(node, "cnv_tbl", "_chglist");
  lua_getfield(L_, node, "_chglist");
  const int list = lua_gettop(L_);
  bool updated = false;
  if (lua_istable(L_, list)) {
    const ChildList c = readChildren(lay_, block, lvl);
    std::vector<char> seen(static_cast<size_t>(std::max(c.count, 0)));
    const int n = static_cast<int>(lua_objlen(L_, list));
    for (int i = 1; i <= n; ++i) {
      lua_rawgeti(L_, list, i);
      const lua_Number k = lua_tonumber(L_, -1);
      lua_pop(L_, 1);
      if (!(k >= 1 && k <= c.count) || k != static_cast<lua_Number>(static_cast<int>(k))) continue;
      const int idx = static_cast<int>(k) - 1;
      if (seen[idx]) continue;
      seen[idx] = 1;
      lua_rawgeti(L_, node, idx + 1);
      if (changes(lua_gettop(L_), lvl + 1, c.blocks + idx * step(lvl + 1), callFlag)) updated = true;
      lua_pop(L_, 1);
    }
  }
  lua_pop(L_, 1);
  if (updated) updateBound(block, lvl, lay_.testCopy(), false);
  lua_pushnil(L_);
  lua_setfield(L_, node, "_chglist");
  if (pushed) popTransform();
  return updated;
}

void Walker::mapAll(int node, int lvl, uint8_t* block) {
  luaL_checkstack(L_, 8, "collision tree");
  requireTable(node);
  const bool leaf = !lay_.hasChildren(lvl);
  const int groups = lay_.level(lvl).groups;
  mapGroups(block, lvl, leaf ? groups : groups - 1);
  if (leaf) return;
  const bool pushed = pushTransform(node);
  const ChildList c = readChildren(lay_, block, lvl);
  for (int i = 0; i < c.count; ++i) {
    lua_rawgeti(L_, node, i + 1);
    mapAll(lua_gettop(L_), lvl + 1, c.blocks + i * step(lvl + 1));
    lua_pop(L_, 1);
  }
  updateBound(block, lvl, lay_.testCopy(), true);
  if (pushed) popTransform();
}

ChildList Walker::resize(uint8_t* block, int lvl, const std::vector<int>& removed, int extra) {
  ChildList c = readChildren(lay_, block, lvl);
  const size_t sz = step(lvl + 1);
  const int n = c.count;
  const int kept = n - static_cast<int>(removed.size());
  std::vector<char> gone(static_cast<size_t>(n));
  for (int k : removed) {
    gone[k - 1] = 1;
    tree_.freeBelow(c.blocks + (k - 1) * sz, lvl + 1);
  }
  // Holes below the new end take the surviving tail blocks, the last one first.
  int filler = n;
  for (int hole = 1; hole <= kept; ++hole) {
    if (!gone[hole - 1]) continue;
    while (gone[filler - 1]) --filler;
    std::memcpy(c.blocks + (hole - 1) * sz, c.blocks + (filler - 1) * sz, sz);
    gone[filler - 1] = 1;
    --filler;
  }
  const int total = kept + extra;
  if (total != n) {
    uint8_t* blocks = tree_.allocBlocks(lvl + 1, static_cast<size_t>(total));
    if (kept > 0) std::memcpy(blocks, c.blocks, static_cast<size_t>(kept) * sz);
    tree_.freeBlocks(c.blocks, lvl + 1, static_cast<size_t>(n));
    c = {total, blocks};
    writeChildren(lay_, block, lvl, c);
  }
  return c;
}

bool Walker::lists(int node, int lvl, uint8_t* block, bool callFlag) {
  luaL_checkstack(L_, 8, "collision tree");
  requireTable(node);
  if (!lay_.hasChildren(lvl)) {
    readShapes(node, block, lvl);
    return true;
  }
  const int n = readChildren(lay_, block, lvl).count;
  std::vector<int> removed;
  int listed = 0;
  lua_getfield(L_, node, "_remlist");
  const bool remTable = lua_istable(L_, -1);
  lua_pop(L_, 1);
  if (remTable) {
    callMethod(node, "cnv_tbl", "_remlist");
    lua_getfield(L_, node, "_remlist");
    if (lua_istable(L_, -1)) {
      std::vector<char> seen(static_cast<size_t>(n));
      const int r = static_cast<int>(lua_objlen(L_, -1));
      listed = r;
      for (int i = 1; i <= r; ++i) {
        lua_rawgeti(L_, -1, i);
        const lua_Number k = lua_tonumber(L_, -1);
        lua_pop(L_, 1);
        if (!(k >= 1 && k <= n) || k != static_cast<lua_Number>(static_cast<int>(k))) continue;
        if (seen[static_cast<int>(k) - 1]) continue;
        seen[static_cast<int>(k) - 1] = 1;
        removed.push_back(static_cast<int>(k));
      }
    }
    lua_pop(L_, 1);
  }
  lua_getfield(L_, node, "_addlist");
  const int add = lua_gettop(L_);
  const int a = lua_istable(L_, add) ? static_cast<int>(lua_objlen(L_, add)) : 0;
  ChildList c = removed.empty() && a == 0 ? readChildren(lay_, block, lvl) : resize(block, lvl, removed, a);
  // Also when no index named a child: the script clears the list, so a stale index cannot
  // take a child added later.
  if (listed > 0) callMethod(node, "do_remchild", nullptr);
  const int kept = c.count - a;
  for (int i = 0; i < a; ++i) {
    lua_rawgeti(L_, add, i + 1);
    build(lua_gettop(L_), node, lvl + 1, c.blocks + (kept + i) * step(lvl + 1));
    lua_pop(L_, 1);
  }
  lua_pop(L_, 1);
  if (a > 0) callMethod(node, "do_addchild", nullptr);
  lua_getfield(L_, node, "_chglist");
  const bool chgTable = lua_istable(L_, -1);
  lua_pop(L_, 1);
  // Converted here as well: a change pass run without callFlag reads the list as it stands.
  if (chgTable) callMethod(node, "cnv_tbl", "_chglist");
  if (callFlag) {
    lua_pushnil(L_);
    lua_setfield(L_, node, "_chglist");
  }
  bool any = false;
  for (int i = 0; i < c.count; ++i) {
    lua_rawgeti(L_, node, i + 1);
    if (lists(lua_gettop(L_), lvl + 1, c.blocks + i * step(lvl + 1), callFlag)) any = true;
    lua_pop(L_, 1);
  }
  const bool reshaped = !removed.empty() || a > 0;
  if (reshaped || any) updateBound(block, lvl, lay_.testCopy(), reshaped);
  return reshaped || any;
}

struct ProtectedCall {
  ProtectedWork work;
  void* arg;
};

int protectedTrampoline(lua_State* L) {
  auto* call = static_cast<ProtectedCall*>(lua_touserdata(L, 1));
  call->work(L, 2, 3, call->arg);
  return 0;
}

}  // namespace

void luaBuildTree(lua_State* L, int root, int meta, PackedTree& tree, const SyncHooks& hooks) {
  if (tree.layout().levels() == 0) return;
  Walker(L, tree, hooks, meta).build(root, 0, 0, tree.root());
}

bool luaSyncChgList(lua_State* L, int root, PackedTree& tree, const SyncHooks& hooks, bool callFlag) {
  if (tree.layout().levels() == 0) return false;
  return Walker(L, tree, hooks, 0).changes(root, 0, tree.root(), callFlag);
}

void luaMapTree(lua_State* L, int root, PackedTree& tree, const SyncHooks& hooks) {
  if (tree.layout().levels() == 0 || tree.layout().copies() < 2) return;
  Walker(L, tree, hooks, 0).mapAll(root, 0, tree.root());
}

bool luaSyncChildLists(lua_State* L, int root, int meta, PackedTree& tree, const SyncHooks& hooks, bool callFlag) {
  if (tree.layout().levels() == 0) return false;
  return Walker(L, tree, hooks, meta).lists(root, 0, tree.root(), callFlag);
}

bool runProtected(lua_State* L, int root, int meta, ProtectedWork work, void* arg, std::string& error) {
  ProtectedCall call{work, arg};
  lua_pushcfunction(L, protectedTrampoline);
  lua_pushlightuserdata(L, &call);
  lua_pushvalue(L, root);
  lua_pushvalue(L, meta);
  if (lua_pcall(L, 3, 0, 0) == 0) return true;
  const char* err = lua_tostring(L, -1);
  error = err ? err : "collision tree: the walk failed";
  lua_pop(L, 1);
  return false;
}

}  // namespace treesync
