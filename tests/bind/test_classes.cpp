#include "tests/bind/test_classes.h"

#include "runtime/res/hdl_lock.h"

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

}  // namespace bindtest
