#include "script/lua/lstk_ref.h"

#include <atomic>

#include "script/lua/script_mgr.h"
#include "script/lua/stack_readers.h"
#include "script/lua/table_access.h"

int64_t nextPinSlot() {
  static std::atomic<int64_t> counter{0};
  return counter.fetch_add(2, std::memory_order_relaxed);
}

void pushAnchorTable(lua_State* L) {
  lua_pushstring(L, "QX_LStk");
  lua_rawget(L, LUA_GLOBALSINDEX);
  if (lua_istable(L, -1)) return;
  lua_pop(L, 1);
  lua_createtable(L, 0, 0);
  lua_pushstring(L, "QX_LStk");
  lua_pushvalue(L, -2);
  lua_rawset(L, LUA_GLOBALSINDEX);
}

namespace {

// Pushes anchor[slot] (the anchor is not left on the stack).
void pushPinned(lua_State* L, int64_t slot) {
  pushAnchorTable(L);
  lua_pushinteger(L, static_cast<lua_Integer>(slot));
  lua_rawget(L, -2);
  lua_remove(L, -2);
}

// Pushes the designated value: the pinned value, or its field under key.
void pushDesignated(lua_State* L, int64_t slot, const LuaVar& key) {
  pushPinned(L, slot);
  if (!key.isSet()) return;
  if (key.push(L) != 1) lua_pushnil(L);
  indexTopSafe(L);
  lua_remove(L, -2);
}

void clearSlots(lua_State* L, int64_t slot) {
  pushAnchorTable(L);
  for (int64_t s = slot; s <= slot + 1; ++s) {
    lua_pushinteger(L, static_cast<lua_Integer>(s));
    lua_pushnil(L);
    lua_rawset(L, -3);
  }
  lua_pop(L, 1);
}

// Stores the value at index under a fresh slot of the anchor and gives the slot.
int64_t pinValueAt(lua_State* L, int index) {
  index = absIndex(L, index);
  int64_t slot = nextPinSlot();
  pushAnchorTable(L);
  lua_pushinteger(L, static_cast<lua_Integer>(slot));
  lua_pushvalue(L, index);
  lua_rawset(L, -3);
  lua_pop(L, 1);
  return slot;
}

// Pins a new empty table and gives its slot.
int64_t pinNewTable(lua_State* L) {
  lua_createtable(L, 0, 0);
  int64_t slot = pinValueAt(L, -1);
  lua_pop(L, 1);
  return slot;
}

int pushKeepTopAt(lua_State* L, int64_t slot, const LuaVar& key) {
  int top = lua_gettop(L);
  pushAnchorTable(L);
  lua_pushinteger(L, static_cast<lua_Integer>(slot));
  lua_rawget(L, -2);
  if (key.isSet()) {
    lua_pushvalue(L, -1);
    if (key.push(L) != 1) lua_pushnil(L);
    indexTopSafe(L);
    lua_remove(L, -2);
  }
  return top;
}

int designatedType(lua_State* L, int64_t slot, const LuaVar& key) {
  pushDesignated(L, slot, key);
  int t = lua_type(L, -1);
  lua_pop(L, 1);
  return t;
}

// A reference with a key designates a field: assigning to it stores the source's
// designated value into that field instead of pinning anew.
void storeIntoField(lua_State* L, int64_t slot, const LuaVar& key, int64_t sourceSlot, const LuaVar& sourceKey) {
  pushPinned(L, slot);
  if (key.push(L) != 1) lua_pushnil(L);
  pushDesignated(L, sourceSlot, sourceKey);
  storeTopSafe(L);
  lua_pop(L, 1);
}

}  // namespace

// ---- LStkRef ----------------------------------------------------------------------

LStkRef::LStkRef(const LStkRef& other) { assign(other); }

LStkRef::~LStkRef() { release(); }

void LStkRef::init() {
  LVPolicyHdl empty;
  policy_.swap(empty);
  slot_ = -1;
  type_ = -1;
  key_.clear();
}

void LStkRef::newTable(const LVPolicyHdl& policy) {
  LVPolicyHdl p(policy);
  release();
  policy_.swap(p);
  LVLockGuard<LVPolicyHdl> lock(policy_);
  if (!lock.state()) return;
  slot_ = pinNewTable(lock.state());
  type_ = LUA_TTABLE;
}

bool LStkRef::pin(const LVPolicyHdl& policy, int popCount, int index, const LuaVar* key) {
  LVPolicyHdl p(policy);  // copied first: policy or key may be this reference's own
  LuaVar k;
  if (key) k.assign(*key);
  release();
  policy_.swap(p);
  key_.swap(k);
  LVLockGuard<LVPolicyHdl> lock(policy_);
  lua_State* L = lock.state();
  if (!L) return false;
  type_ = key_.isSet() ? -1 : lua_type(L, index);
  slot_ = pinValueAt(L, index);
  lua_pop(L, popCount);
  return true;
}

bool LStkRef::push(lua_State* target) {
  if (slot_ < 0) return false;
  LVLockGuard<LVPolicyHdl> lock(policy_);
  lua_State* L = lock.state();
  // A value cannot leave its Lua universe.
  if (!L || (target && !sameLuaUniverse(L, target))) return false;
  pushDesignated(L, slot_, key_);
  if (target && target != L) lua_xmove(L, target, 1);
  return true;
}

int LStkRef::pushKeepTop(lua_State* L) const { return pushKeepTopAt(L, slot_, key_); }

int LStkRef::type() {
  if (!key_.isSet()) return type_;
  if (slot_ < 0) return LUA_TNONE;
  LVLockGuard<LVPolicyHdl> lock(policy_);
  return lock.state() ? designatedType(lock.state(), slot_, key_) : LUA_TNONE;
}

void LStkRef::release() {
  if (slot_ >= 0 && (key_.isSet() || type_ != -1) && policy_.isValid()) {
    if (lua_State* L = policy_.lock()) {
      clearSlots(L, slot_);
      policy_.unlock();
    }
  }
  type_ = -1;
  slot_ = -1;
  key_.clear();
  LVPolicyHdl empty;
  policy_.swap(empty);
}

void LStkRef::assign(const LStkRef& source) {
  if (this == &source) return;
  LVPolicyHdl sp(source.policy_);
  lua_State* L = source.slot_ >= 0 && sp.isValid() ? sp.lock() : nullptr;
  if (!L) {
    release();
    slot_ = 0;
    type_ = 0;
    return;
  }
  if (key_.isSet() && slot_ >= 0 && policy_.handle() == source.policy_.handle()) {
    storeIntoField(L, slot_, key_, source.slot_, source.key_);
  } else {
    pushAnchorTable(L);
    lua_pushinteger(L, static_cast<lua_Integer>(source.slot_));
    lua_rawget(L, -2);
    LuaVar key(source.key_);
    release();
    pin(sp, 2, -1, key.isSet() ? &key : nullptr);
  }
  sp.unlock();
}

void LStkRef::takeFrom(LStkRef& source) {
  if (this == &source) return;
  release();
  swap(source);
}

void LStkRef::swap(LStkRef& other) noexcept {
  policy_.swap(other.policy_);
  std::swap(slot_, other.slot_);
  std::swap(type_, other.type_);
  key_.swap(other.key_);
}

void LStkRef::forEachPair(bool (*visitor)(lua_State*, void*), void* arg) {
  if (slot_ < 0) return;
  lua_State* L = policy_.lock();
  if (!L) return;
  int top = lua_gettop(L);
  pushDesignated(L, slot_, key_);
  if (lua_istable(L, -1) && lua_checkstack(L, 4)) {
    lua_pushnil(L);
    while (lua_next(L, -2)) {
      if (visitor(L, arg)) break;
      lua_pop(L, 1);
    }
  }
  lua_settop(L, top);
  policy_.unlock();
}

void LStkRef::readPairs(LuaVarTable& out) {
  out.clear();
  if (slot_ < 0) return;
  lua_State* L = policy_.lock();
  if (!L) return;
  int top = lua_gettop(L);
  pushDesignated(L, slot_, key_);
  if (lua_istable(L, -1)) readTableIntoMap(L, -1, out);
  lua_settop(L, top);
  policy_.unlock();
}

// ---- LStkRefNL ----------------------------------------------------------------------

LStkRefNL::LStkRefNL(const LStkRefNL& other) { assign(other); }

LStkRefNL::~LStkRefNL() { release(); }

void LStkRefNL::init() {
  L_ = nullptr;
  slot_ = -1;
  type_ = -1;
  lender_ = nullptr;
  key_.clear();
}

void LStkRefNL::newTable(lua_State* L) {
  release();
  L_ = L;
  slot_ = pinNewTable(L);
  type_ = LUA_TTABLE;
}

void LStkRefNL::pin(lua_State* L, const LuaVar* key, int popCount) {
  LuaVar k;
  if (key) k.assign(*key);
  release();
  L_ = L;
  key_.swap(k);
  type_ = key_.isSet() ? -1 : lua_type(L, -1);
  slot_ = pinValueAt(L, -1);
  lua_pop(L, popCount);
}

bool LStkRefNL::push() {
  if (!L_ || slot_ < 0) return false;
  pushDesignated(L_, slot_, key_);
  return true;
}

int LStkRefNL::pushKeepTop() const { return L_ ? pushKeepTopAt(L_, slot_, key_) : 0; }

int LStkRefNL::type() {
  if (!key_.isSet()) return type_;
  if (!L_ || slot_ < 0) return LUA_TNONE;
  return designatedType(L_, slot_, key_);
}

void LStkRefNL::assign(const LStkRefNL& source) {
  if (this == &source) return;
  lua_State* L = source.L_;
  if (!L || source.slot_ < 0) {
    release();
    slot_ = 0;
    type_ = 0;
    return;
  }
  if (key_.isSet() && L_ == L && slot_ >= 0) {
    storeIntoField(L, slot_, key_, source.slot_, source.key_);
    return;
  }
  LuaVar key(source.key_);
  pushPinned(L, source.slot_);
  release();
  pin(L, key.isSet() ? &key : nullptr, 1);
}

void LStkRefNL::release() {
  if (lender_) {
    lender_->policy_.unlock();
    lender_ = nullptr;
  } else if (L_ && slot_ >= 0 && (key_.isSet() || type_ != -1)) {
    clearSlots(L_, slot_);
  }
  L_ = nullptr;
  slot_ = -1;
  type_ = -1;
  key_.clear();
}

bool LStkRefNL::borrow(LStkRef& lender) {
  release();
  if (lender.slot_ < 0) return false;
  lua_State* L = lender.policy_.lock();
  if (!L) return false;
  L_ = L;
  slot_ = lender.slot_;
  type_ = lender.type_;
  key_.assign(lender.key_);
  lender_ = &lender;
  return true;
}

void LStkRefNL::setMetatable(LStkRefNL& value, LStkRefNL& meta) {
  if (!value.L_ || meta.L_ != value.L_) return;
  lua_State* L = value.L_;
  value.push();
  meta.push();
  bool metaOk = lua_istable(L, -1) || lua_isnil(L, -1);
  bool valueOk = lua_istable(L, -2) || lua_type(L, -2) == LUA_TUSERDATA;
  if (metaOk && valueOk) {
    lua_setmetatable(L, -2);
  } else {
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

size_t LStkRefNL::len() {
  int t = type();
  if (t != LUA_TSTRING && t != LUA_TTABLE && t != LUA_TUSERDATA) return 0;
  push();
  size_t n = lua_objlen(L_, -1);
  lua_pop(L_, 1);
  return n;
}

// ---- moving values and table operations ------------------------------------------------

bool xmoveValueToThread(LStkRef& ref, lua_State* source, int index) {
  index = absIndex(source, index);
  uint32_t target = ref.getState();
  if (!target) {
    if (ScriptMgr* m = ScriptMgr::instance()) target = m->lookupThreadEntry();
  }
  LVPolicyHdl p(target);
  LVLockGuard<LVPolicyHdl> lock(p);
  lua_State* L = lock.state();
  if (!L || !sameLuaUniverse(source, L)) return false;
  lua_pushvalue(source, index);
  if (source != L) lua_xmove(source, L, 1);
  ref.release();
  ref.pin(p, 1, -1);
  return true;
}

void xmoveValueToRefNL(LStkRefNL& ref, lua_State* source) {
  lua_State* target = ref.state() ? ref.state() : source;
  if (!sameLuaUniverse(source, target)) return;
  lua_pushvalue(source, -1);
  if (source != target) lua_xmove(source, target, 1);
  ref.pin(target, nullptr, 1);
}

void setFieldFromBelow(lua_State* L, int64_t n) {
  lua_pushinteger(L, static_cast<lua_Integer>(n));
  lua_pushvalue(L, -3);
  lua_settable(L, -3);
}

void getFieldByVar(lua_State* L, const LuaVar& key, int index) {
  index = absIndex(L, index);
  if (key.push(L) != 1) lua_pushnil(L);
  lua_gettable(L, index);
}

void clearIntKey(lua_State* L, int64_t n) {
  lua_pushinteger(L, static_cast<lua_Integer>(n));
  lua_pushnil(L);
  lua_settable(L, -3);
}

void setFieldToRef(lua_State* L, const LuaVar& key, LStkRef& ref, int index) {
  index = absIndex(L, index);
  if (key.push(L) != 1) return;
  if (!ref.push(L)) lua_pushnil(L);
  lua_settable(L, index);
}

void setFieldToRefNL(lua_State* L, const LuaVar& key, LStkRefNL& ref, int index) {
  index = absIndex(L, index);
  if (key.push(L) != 1) return;
  lua_State* from = ref.state();
  if (!from || !sameLuaUniverse(from, L) || !ref.push()) {
    lua_pushnil(L);
  } else if (from != L) {
    lua_xmove(from, L, 1);
  }
  lua_settable(L, index);
}
