#include "tests/bind/test_classes.h"

#include <string>
#include <thread>
#include <vector>

#include "runtime/res/hdl_lock.h"
#include "script/lua/stack_readers.h"

namespace bindtest {

ThingMgr::HandleType ThingMgr::make(int32_t value) {
  HandleType h = create().handle;
  kesto::HdlLock<HandleType> lock(h);
  if (lock) lock->value = value;
  return h;
}

Service& service() {
  static Service s;
  return s;
}

namespace {

void registerPanel(qxbind::ClassTable& t) {
  t.method<&Panel::grow>("grow").method<&Panel::area>("area").field<&Panel::width>("width").field<&Panel::height>(
      "height");
}

void registerWidget(qxbind::ClassTable& t) {
  t.method<&Widget::setAlpha>("setAlpha")
      .method<&Widget::getAlpha, false>("getAlpha")
      .method<&Widget::setLabel>("setLabel")
      .method<&Widget::getLabel>("getLabel")
      .method<&Widget::add>("add")
      .method<&Widget::mask>("mask")
      .method<&Widget::both>("both")
      .method<&Widget::scaled>("scaled")
      .method<&Widget::pair>("pair")
      .method<&Widget::move>("move")
      .method<&Widget::echo>("echo")
      .method<&Widget::pushTwo>("pushTwo")
      .method<&Widget::fail>("fail")
      .method<&Widget::pass>("pass")
      .method<&Widget::length>("length")
      .method<&Widget::wideEcho>("wideEcho")
      .method<&Widget::survives>("survives")
      .field<&Widget::alpha>("alpha")
      .field<&Widget::count>("count")
      .field<&Widget::flag>("flag")
      .field<&Widget::pos>("pos")
      .colour<&Widget::color>("color")
      .subObject<&Widget::rect>("rect", "Panel");
}

void setFancyAlpha(FancyWidget& w, float a) { w.setAlpha(a); }

void registerFancy(qxbind::ClassTable& t) {
  t.method<&setFancyAlpha>("setAlpha").method<&FancyWidget::extra>("extra").field<&FancyWidget::extras>("extras");
}

void registerThingMgr(qxbind::ClassTable& t) { t.method<&ThingMgr::make>("make").method<&ThingMgr::liveCount>("live"); }

void registerThing(qxbind::ClassTable& t) {
  t.method<&Thing::twice>("twice")
      .field<&Thing::value>("value")
      .handleField<&Thing::friendHandle>("friend")
      .field<&Thing::keeper>("keeper");
}

void registerService(qxbind::ClassTable& t) { t.method<&Service::ping>("ping").field<&Service::calls>("calls"); }

}  // namespace

qxbind::ClassBinding widgetBinding() {
  return qxbind::objectBinding(qxbind::objectClass<Widget>("Widget", &registerWidget));
}

qxbind::ClassBinding panelBinding() { return qxbind::objectBinding(qxbind::objectClass<Panel>("Panel", &registerPanel)); }

qxbind::ClassBinding fancyBinding() {
  return qxbind::derivedBinding<FancyWidget, Widget>(qxbind::objectClass<FancyWidget>("FancyWidget", &registerFancy),
                                                     qxbind::objectClass<Widget>("Widget", &registerWidget));
}

qxbind::ClassBinding thingBinding() {
  return qxbind::managerBinding<ThingMgr>("ThingMgr", &registerThingMgr, "Thing", &registerThing);
}

qxbind::ClassBinding serviceBinding() {
  return qxbind::pointerBinding(qxbind::pointerClass<Service>("Service", &registerService, &service()));
}

namespace {

bool isVectorTable(lua_State* L, int index) {
  lua_getfield(L, index, "dim");
  bool vec = lua_isnumber(L, -1) != 0;
  lua_pop(L, 1);
  return vec;
}

void toValue(lua_State* L, int index, LuaVar& out, int depth) {
  index = absIndex(L, index);
  if (!lua_istable(L, index) || isVectorTable(L, index) || depth > 8) {
    LuaVar::fromLua(L, index, out);
    return;
  }
  out.resetToTable();
  lua_pushnil(L);
  while (lua_next(L, index)) {
    LuaVar key, value;
    LuaVar::fromLua(L, -2, key);
    toValue(L, -1, value, depth + 1);
    out.table()->insertTaking(std::move(key), std::move(value));
    lua_pop(L, 1);
  }
}

std::vector<LuaVar> messageValues(lua_State* L, int first) {
  std::vector<LuaVar> values;
  for (int i = first; i <= lua_gettop(L) && values.size() < 3; ++i) {
    values.emplace_back();
    toValue(L, i, values.back(), 0);
  }
  return values;
}

}  // namespace

int postMsgHere(lua_State* L) {
  std::vector<LuaVar> v = messageValues(L, 3);
  GobjMgr::instance()->postMsg(getHandleAt(L, 1), luaL_checkstring(L, 2), v.data(), static_cast<uint32_t>(v.size()));
  return 0;
}

int postMsgFromThread(lua_State* L) {
  std::vector<LuaVar> v = messageValues(L, 3);
  const uint32_t target = getHandleAt(L, 1);
  const std::string name = luaL_checkstring(L, 2);
  std::thread worker([&] {
    GobjMgr* m = GobjMgr::instance();
    switch (v.size()) {
      case 0:
        m->postMsg0(target, name.c_str());
        break;
      case 1:
        m->postMsg1(target, name.c_str(), std::move(v[0]));
        break;
      case 2:
        m->postMsg2(target, name.c_str(), std::move(v[0]), std::move(v[1]));
        break;
      default:
        m->postMsg3(target, name.c_str(), std::move(v[0]), std::move(v[1]), std::move(v[2]));
        break;
    }
  });
  worker.join();
  return 0;
}

}  // namespace bindtest
