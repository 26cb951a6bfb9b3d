#include "hud/panel/panel_bind.h"

#include "hud/panel/gui_console.h"
#include "hud/panel/hud_panels.h"
#include "hud/panel/hud_units.h"
#include "script/bind/object_kinds.h"

using namespace hudpanel;

namespace {

const qxbind::ClassNotes kRectNotes = {
    "A textured rectangle on the HUD, with a sprite animator.",
    {
        {"rect", "", nullptr, "Its position, size, depth and texture."},
        {"setUV", "left, top, right, bottom", nullptr, "The part of the texture shown, in texture coordinates."},
        {"init_animator", "name, eventId", nullptr,
         "Takes the sprite animation of that name; eventId is sent to the callback."},
        {"add", "slot, loops", nullptr, "Queues an animation slot to play loops times."},
        {"start", ""},
        {"stop", ""},
        {"clear", "", nullptr, "Empties the animation queue."},
        {"update", "dt", nullptr, "Advances the animation by dt seconds."},
        {"set_callback", "gobj", nullptr, "The game object told of animation events."},
        {"set_flip", "horizontal, vertical"},
        {"set_size", "width, height"},
        {"set_scale", "sx, sy"},
        {"set_depth", "depth"},
    }};

void registerRect(qxbind::ClassTable& t) {
  t.notes(kRectNotes);
  t.subObject<&HUDUnitRect::rect>("rect", "RectInfo")
      .method<&HUDUnitRect::setUV>("setUV")
      .method<&HUDUnitRect::init_animator>("init_animator")
      .method<&HUDUnitRect::add>("add")
      .method<&HUDUnitRect::start>("start")
      .method<&HUDUnitRect::stop>("stop")
      .method<&HUDUnitRect::clear>("clear")
      .method<&HUDUnitRect::update>("update")
      .method<&HUDUnitRect::is_active>("is_active")
      .method<&HUDUnitRect::get_size>("get_size")
      .method<&HUDUnitRect::set_callback>("set_callback")
      .method<&HUDUnitRect::set_flip>("set_flip")
      .method<&HUDUnitRect::set_size>("set_size")
      .method<&HUDUnitRect::set_scale>("set_scale")
      .method<&HUDUnitRect::set_depth>("set_depth");
}

const qxbind::ClassNotes kWireNotes = {"A rectangle outline on the HUD.",
                                       {
                                           {"rect", "", nullptr, "Its position, size, depth and texture."},
                                           {"set_type", "type", nullptr, "The outline's style."},
                                       }};

void registerWire(qxbind::ClassTable& t) {
  t.notes(kWireNotes);
  t.subObject<&HUDUnitWire::rect>("rect", "RectInfo").method<&HUDUnitWire::set_type>("set_type");
}

const qxbind::ClassNotes kMeterUnitNotes = {
    "A scale with major and minor ticks on the HUD.",
    {
        {"setPos", "x, y"},
        {"setRange", "range"},
        {"setHeight", "height"},
        {"setDivision", "major, minor", nullptr, "Ticks per range: major and minor."},
        {"setType", "type"},
        {"setDepth", "depth"},
        {"setColor", "rgb, alpha"},
    }};

void registerMeterUnit(qxbind::ClassTable& t) {
  t.notes(kMeterUnitNotes);
  t.method<&HUDUnitMeter::setPos>("setPos")
      .method<&HUDUnitMeter::setRange>("setRange")
      .method<&HUDUnitMeter::setHeight>("setHeight")
      .method<&HUDUnitMeter::setDivision>("setDivision")
      .method<&HUDUnitMeter::setType>("setType")
      .method<&HUDUnitMeter::setDepth>("setDepth")
      .method<&HUDUnitMeter::setColor>("setColor");
}

const qxbind::ClassNotes kBGNotes = {
    "A HUD panel: a rectangle, its outline and a text, shown together.",
    {
        {"set_visible", "bits", nullptr, "Which parts show: bit 0 the rectangle, bit 1 the outline, bit 2 the text."},
        {"get_visible", ""},
        {"set_pos", "x, y"},
        {"set_size", "width, height"},
        {"set_depth", "depth"},
        {"set_alpha", "alpha"},
        {"set_color", "rgb"},
        {"get_color", ""},
        {"get_pos", ""},
        {"get_size", ""},
        {"set_text", "text, append"},
        {"get_text", ""},
        {"set_rectmode", "mode", nullptr, "How the text is placed in the rectangle."},
        {"set_textflag", "flags"},
        {"get_fontsize", ""},
        {"get_textsize", "", nullptr, "The size the text takes."},
        {"rect", "", nullptr, "The panel's rectangle."},
        {"wire", "", nullptr, "The panel's outline."},
        {"text", "", nullptr, "The panel's text."},
    }};

void registerBG(qxbind::ClassTable& t) {
  t.notes(kBGNotes);
  t.method<&HUDBG::set_visible>("set_visible")
      .method<&HUDBG::get_visible>("get_visible")
      .method<&HUDBG::set_pos>("set_pos")
      .method<&HUDBG::set_size>("set_size")
      .method<&HUDBG::set_depth>("set_depth")
      .method<&HUDBG::set_alpha>("set_alpha")
      .method<&HUDBG::set_color>("set_color")
      .method<&HUDBG::get_color>("get_color")
      .method<&HUDBG::get_pos>("get_pos")
      .method<&HUDBG::get_size>("get_size")
      .method<&HUDBG::set_text>("set_text")
      .method<&HUDBG::get_text>("get_text")
      .method<&HUDBG::set_rectmode>("set_rectmode")
      .method<&HUDBG::set_textflag>("set_textflag")
      .method<&HUDBG::get_fontsize>("get_fontsize")
      .method<&HUDBG::get_textsize>("get_textsize")
      .subObject<&HUDBG::rect>("rect", "HUDUnit_rect")
      .subObject<&HUDBG::wire>("wire", "HUDUnit_wire")
      .subObject<&HUDBG::text>("text", "HUDText");
  // The records of the rect and wire parts: "panel.rect.rect", "panel.wire.rect".
  if (t.desc()) {
    qxbind::KindPath rectPath;
    rectPath.steps[0] = [](void* p) -> void* { return &static_cast<HUDBG*>(p)->rect; };
    rectPath.steps[1] = [](void* p) -> void* { return &static_cast<HUDUnitRect*>(p)->rect; };
    rectPath.count = 2;
    qxbind::addItemKind(t.desc(), qxbind::kindKey<RectInfo>(), "rect.rect", rectPath);
    qxbind::KindPath wirePath;
    wirePath.steps[0] = [](void* p) -> void* { return &static_cast<HUDBG*>(p)->wire; };
    wirePath.steps[1] = [](void* p) -> void* { return &static_cast<HUDUnitWire*>(p)->rect; };
    wirePath.count = 2;
    qxbind::addItemKind(t.desc(), qxbind::kindKey<RectInfo>(), "wire.rect", wirePath);
  }
}

const qxbind::ClassNotes kMeterNotes = {"A bar meter on the HUD.",
                                        {
                                            {"set_value", "value"},
                                            {"set_range", "minimum, maximum"},
                                            {"set_pos", "x, y"},
                                            {"set_size", "width, height"},
                                            {"set_colormt", "r, g, b", nullptr, "The colour of the bar."},
                                            {"set_colorbdr", "r, g, b", nullptr, "The colour of the border."},
                                            {"copy_from", "other", nullptr, "Takes the other meter's settings."},
                                        }};

void registerMeter(qxbind::ClassTable& t) {
  t.notes(kMeterNotes);
  t.method<&HUDMeter::set_value>("set_value")
      .method<&HUDMeter::set_range>("set_range")
      .method<&HUDMeter::set_pos>("set_pos")
      .method<&HUDMeter::set_size>("set_size")
      .method<&HUDMeter::set_colormt>("set_colormt")
      .method<&HUDMeter::set_colorbdr>("set_colorbdr")
      .method<&HUDMeter::copy_from>("copy_from");
}

const qxbind::ClassNotes kConsoleNotes = {
    "A scrolling text console on the HUD.",
    {
        {"send", "text", nullptr, "Adds a line."},
        {"cls", "", nullptr, "Clears the console."},
        {"set_row", "kept, shown, width", nullptr, "Lines kept, lines shown and the width of a line."},
        {"set_fontsize", "size"},
        {"set_alpha", "alpha"},
        {"set_fileout", "path", nullptr, "Also writes every line to the file."},
        {"set_externalcs", "on"},
        {"set_notify", "gobj", nullptr, "The game object told of console events."},
        {"set_id", "id"},
    }};

void registerConsole(qxbind::ClassTable& t) {
  t.notes(kConsoleNotes);
  t.method<&GUIConsole::send>("send")
      .method<&GUIConsole::cls>("cls")
      .method<&GUIConsole::set_row>("set_row")
      .method<&GUIConsole::set_fontsize>("set_fontsize")
      .method<&GUIConsole::set_alpha>("set_alpha")
      .method<&GUIConsole::set_fileout>("set_fileout")
      .method<&GUIConsole::set_externalcs>("set_externalcs")
      .method<&GUIConsole::set_notify>("set_notify")
      .method<&GUIConsole::set_id>("set_id");
}

template <class T>
LuaClassDesc describe(const char* name) {
  LuaClassDesc d = LuaClassDesc::forType<T>(name);
  d.collect = &T::collectCallback;
  d.draw = &T::drawCallback;
  if constexpr (requires { &T::materialCallback; }) d.material = &T::materialCallback;
  return d;
}

// The rectangle's descriptor also answers hook4 with its bounds: (left, top, right,
// bottom) as four floats into the argument.
LuaClassDesc describeRect(const char* name) {
  LuaClassDesc d = describe<HUDUnitRect>(name);
  d.hook4 = [](void* obj, void* out) {
    if (obj && out) static_cast<const HUDUnitRect*>(obj)->bounds(static_cast<float*>(out));
  };
  return d;
}

}  // namespace

qxbind::ClassBinding hudUnitRectBinding() {
  return qxbind::objectBinding(qxbind::objectClass<HUDUnitRect>("HUDUnit_rect", &registerRect, &describeRect));
}
qxbind::ClassBinding hudUnitWireBinding() {
  return qxbind::objectBinding(qxbind::objectClass<HUDUnitWire>("HUDUnit_wire", &registerWire, &describe<HUDUnitWire>));
}
qxbind::ClassBinding hudUnitMeterBinding() {
  return qxbind::objectBinding(
      qxbind::objectClass<HUDUnitMeter>("HUDUnit_meter", &registerMeterUnit, &describe<HUDUnitMeter>));
}
qxbind::ClassBinding hudBGBinding() {
  return qxbind::objectBinding(qxbind::objectClass<HUDBG>("HUDBG", &registerBG, &describe<HUDBG>));
}
qxbind::ClassBinding hudMeterBinding() {
  return qxbind::objectBinding(qxbind::objectClass<HUDMeter>("HUDMeter", &registerMeter, &describe<HUDMeter>));
}
qxbind::ClassBinding guiConsoleBinding() {
  return qxbind::objectBinding(qxbind::objectClass<GUIConsole>("GUIConsole", &registerConsole, &describe<GUIConsole>));
}
