// Engine classes made only for the binding tests, bound the four ways:
//   Widget       object class (a memory item) with methods and fields of every kind and
//                a sub-object field `rect` of class Panel
//   FancyWidget  derived from Widget (hides setAlpha, adds extra)
//   Panel        object class (the sub-object's class)
//   ThingMgr     manager class "ThingMgr" with its resource class "Thing"
//   Service      pointer class over one plain object
#pragma once
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>

#include "runtime/math/quat.h"
#include "runtime/math/vec.h"
#include "runtime/res/resource_mgr.h"
#include "script/bind/class_binding.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lua_var.h"

namespace bindtest {

struct Panel {
  float width = 0;
  float height = 0;
  void grow(float d) {
    width += d;
    height += d;
  }
  float area() const { return width * height; }
};

struct Widget {
  static inline std::atomic<int> alive{0};

  float alpha = 1.0f;
  int32_t count = 0;
  bool flag = false;
  Vec3 pos;
  uint32_t color = 0;
  Panel rect;
  std::string label;

  Widget() { ++alive; }
  virtual ~Widget() { --alive; }

  void setAlpha(float a) { alpha = a; }
  float getAlpha() const { return alpha; }
  void setLabel(const char* s) { label = s; }
  std::string getLabel() const { return label; }
  // Wraps like the engine's 32-bit integers instead of overflowing.
  int32_t add(int32_t a, int32_t b) const { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
  qxbind::QXInt mask(qxbind::QXInt a, qxbind::QXInt b) const { return {a.value & b.value}; }
  bool both(bool a, bool b) const { return a && b; }
  Vec3 scaled(const Vec3& v, float s) const { return v * s; }
  std::tuple<int32_t, std::string> pair() const { return {count, label}; }
  void move(Vec3 p) { pos = p; }
  LuaVar echo(LuaVar v) { return v; }
  qxbind::Pushed pushTwo(lua_State* L) {
    lua_pushnumber(L, alpha);
    lua_pushstring(L, "two");
    return {2};
  }
  void fail() { throw std::runtime_error("widget failed"); }
  qxbind::ObjectRef pass(qxbind::ObjectRef o) const { return o; }
  int32_t length(qxbind::StackArg t) const {
    return lua_istable(t.L, t.index) ? static_cast<int32_t>(lua_objlen(t.L, t.index)) : -1;
  }
  std::u16string wideEcho(std::u16string s) const { return s + u"\u00e9"; }
  // Calls the Lua function fn and reports whether this object lived through it.
  bool survives(lua_State* L, qxbind::StackArg fn) {
    const int before = alive;
    lua_pushvalue(L, fn.index);
    lua_call(L, 0, 0);
    alpha = 0.5f;
    return alive == before;
  }
};

struct FancyWidget : Widget {
  int32_t extras = 0;
  void setAlpha(float a) { alpha = a * 2; }
  int32_t extra() { return ++extras; }
};

struct Thing {
  static inline std::atomic<int> alive{0};
  int32_t value = 0;
  uint32_t friendHandle = 0;
  GobjHdl keeper;  // a counted handle field
  Thing() { ++alive; }
  ~Thing() { --alive; }
  int32_t twice() const { return value * 2; }
};

class ThingMgr : public kesto::ResourceMgrNoName<ThingMgr, Thing> {
 public:
  const char* dataTypeName() const override { return "Thing"; }
  HandleType make(int32_t value);
  int32_t liveCount() { return static_cast<int32_t>(usedCount()); }
};

struct Service {
  int32_t calls = 0;
  int32_t ping(int32_t x) {
    ++calls;
    return x + 1;
  }
};
Service& service();

qxbind::ClassBinding widgetBinding();
qxbind::ClassBinding panelBinding();
qxbind::ClassBinding fancyBinding();  // derived from Widget
qxbind::ClassBinding thingBinding();
qxbind::ClassBinding serviceBinding();

// Lua functions that post game-object messages as engine threads do: (obj, name, up to
// three values). Tables without "dim" become table values, as the network layer builds
// them. postMsgHere posts on the calling thread; postMsgFromThread posts from a new
// thread (through postMsg0 .. postMsg3) and waits for it.
int postMsgHere(lua_State* L);
int postMsgFromThread(lua_State* L);

}  // namespace bindtest
