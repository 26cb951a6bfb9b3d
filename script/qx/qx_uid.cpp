// Unique ids from named pools: QX.GetUID hands out ids counting up from a random first
// id, taking ids given back by QX.RetUID first, oldest first.
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "script/qx/qx_functions.h"
#include "script/qx/qx_integer.h"

namespace {

struct UidPool {
  uint32_t next = 0;
  uint8_t wrapAllowed = 0;
  uint32_t limit = 0;  // the first id; handing it out again would repeat every id
  bool exhausted = false;
  std::deque<uint32_t> returned;
};

struct UidPools {
  std::mutex mutex;
  std::map<std::string, UidPool> byName;
};

UidPools& pools() {
  static UidPools* p = new UidPools();
  return *p;
}

std::string poolName(lua_State* L) {
  size_t n = 0;
  const char* s = lua_isstring(L, 1) ? lua_tolstring(L, 1, &n) : "";
  return std::string(s, n);
}

}  // namespace

namespace qxfn {

void GetUID(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::string name = poolName(L);
  uint32_t id = 0;
  bool ok = true;
  {
    UidPools& p = pools();
    std::lock_guard<std::mutex> g(p.mutex);
    auto it = p.byName.find(name);
    if (it == p.byName.end()) {
      UidPool fresh;
      fresh.next = fresh.limit = static_cast<uint32_t>(std::rand());
      it = p.byName.emplace(name, fresh).first;
    }
    UidPool& pool = it->second;
    if (!pool.returned.empty()) {
      id = pool.returned.front();
      pool.returned.pop_front();
    } else if (pool.exhausted && !pool.wrapAllowed) {
      ok = false;
    } else {
      id = pool.next++;
      if (pool.next == pool.limit) pool.exhausted = true;
    }
  }
  if (!ok) luaL_error(L, "QX.GetUID: every id of the pool \"%s\" is in use", name.c_str());
  setQXIntMeta(L, id);
  qxResult(v);
}

void RetUID(QXView& v, uint32_t) {
  lua_State* L = v.state();
  std::string name = poolName(L);
  uint32_t id = qxIntOf(L, 2);
  UidPools& p = pools();
  std::lock_guard<std::mutex> g(p.mutex);
  auto it = p.byName.find(name);
  // An id for a pool that never gave one out is not taken in.
  if (it != p.byName.end()) it->second.returned.push_back(id);
}

}  // namespace qxfn
