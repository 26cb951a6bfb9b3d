#include "runtime/res/res_base.h"

#include <atomic>
#include <string>

#include "runtime/res/res_registry.h"

namespace kesto {

namespace {

std::atomic<StrongPushFn> gStrongPush{nullptr};
std::atomic<WeakPushFn> gWeakPush{nullptr};
std::atomic<int32_t> gNoNameCounter{0};

}  // namespace

void setHandlePushers(StrongPushFn strong, WeakPushFn weak) {
  gStrongPush.store(strong, std::memory_order_release);
  gWeakPush.store(weak, std::memory_order_release);
}

bool ResBasePtr::pushByName(lua_State*, const std::u16string&) { return false; }

bool ResBasePtr::pushStrong(lua_State* L, uint32_t handle, uint32_t word) {
  StrongPushFn fn = gStrongPush.load(std::memory_order_acquire);
  return fn ? fn(L, handle, word) : false;
}

bool ResBasePtr::pushWeak(lua_State* L, uint32_t handle) {
  WeakPushFn fn = gWeakPush.load(std::memory_order_acquire);
  return fn ? fn(L, handle) : false;
}

void ResBasePtr::update(float) {}

int32_t ResBasePtr::extensionIndex(const std::u16string&) const { return -1; }

bool ResBasePtr::normalizeName(std::u16string& name) const {
  foldAsciiCase(name);
  for (char16_t& c : name) {
    if (c == u'/') c = u'\\';
  }
  return true;
}

void ResBasePtr::registerSelf() { id_ = ResRegistry::instance().addManager(this); }

void ResBasePtr::deregisterSelf() {
  ResRegistry::instance().removeManager(this);
  id_ = kNoManagerId;
}

void foldAsciiCase(std::u16string& name) {
  for (char16_t& c : name) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  }
}

std::u16string nextGeneratedName() {
  int32_t n = gNoNameCounter.fetch_add(1, std::memory_order_relaxed);
  std::string digits = std::to_string(n);
  std::u16string name = u"@no_name_";
  for (char c : digits) name.push_back(static_cast<char16_t>(c));
  return name;
}

}  // namespace kesto
