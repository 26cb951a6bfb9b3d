#include "hud/panel/panel_bind.h"

#include "hud/panel/gui_console.h"
#include "hud/panel/hud_panels.h"
#include "hud/panel/hud_units.h"
#include "script/bind/object_kinds.h"

using namespace hudpanel;

namespace {

const qxbind::ClassNotes kRectNotes = {
    "A rectangle on the HUD: plain, textured or showing a sprite animation (docs/data-files.md). Its place, size, "
    "colour and texture are its field `rect`; it is 0 by 0 pixels, so invisible, until `set_size`.",
    {
        {"rect", "", nullptr, "Its place, size, depth, alpha, colour and texture."},
        {"setUV", "left, top, right, bottom", nullptr,
         "The part of `rect.hTex` shown, 0..1 across and down; it stops showing the animation."},
        {"init_animator", "name, eventId", nullptr,
         "Shows the sprite animation of that .spr file (read once and shared); eventId comes with its messages. "
         "Empties the queue and forgets the callback; an unknown file is logged and nothing plays."},
        {"add", "slot, loops", nullptr,
         "Queues the animation's slot of that name to play loops + 1 times (below 0: endlessly); a slot queued "
         "first shows its first frame at once. An unknown name is ignored."},
        {"start", "", nullptr, "Plays the queue (nothing when it is empty)."},
        {"stop", "", nullptr, "Pauses on the current frame."},
        {"clear", "", nullptr, "Stops and empties the queue."},
        {"update", "dt", nullptr,
         "Advances the animation by dt seconds in whole ticks of 1/60 s; call it on every update step. It calls "
         "the callback's recvmsg at once: \"ANIM_TAG\" (eventId, tag) on entering a tagged frame, \"ANIM_END\" "
         "(eventId) when the queue has run out, which stops it on the last frame."},
        {"is_active", "", nullptr, "Whether it plays."},
        {"get_size", "", nullptr, "Width and height in pixels of the animation's root rectangle at the current frame."},
        {"set_callback", "gobj", nullptr,
         "The game object told of \"ANIM_TAG\" and \"ANIM_END\" (set it after `init_animator`)."},
        {"set_flip", "horizontal, vertical", nullptr, "Mirrors the animation's frames."},
        {"set_size", "width, height", nullptr, "The drawn size in pixels (`rect.width`, `rect.height`)."},
        {"set_scale", "sx, sy", nullptr, "Stored only: the drawn size stays `rect.width` by `rect.height`."},
        {"set_depth", "depth", nullptr, "`rect.depth`."},
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

const qxbind::ClassNotes kWireNotes = {
    "A one-pixel bevelled frame on the HUD; its place, size and colour are its field `rect` (0 by 0 until set).",
    {
        {"rect", "", nullptr, "Its place, size, depth, alpha and colour."},
        {"set_type", "type", nullptr,
         "0 (the default) flat in a light shade of `rect.color`, 1 raised, 2 sunken; other values keep the colours."},
    }};

void registerWire(qxbind::ClassTable& t) {
  t.notes(kWireNotes);
  t.subObject<&HUDUnitWire::rect>("rect", "RectInfo").method<&HUDUnitWire::set_type>("set_type");
}

const qxbind::ClassNotes kMeterUnitNotes = {
    "A scale of tick lines on the HUD.",
    {
        {"setPos", "x, y", nullptr, "Its top-left in window pixels."},
        {"setRange", "range", nullptr, "Its length in pixels (100 at first)."},
        {"setHeight", "height", nullptr, "Its height in pixels (0 at first: nothing shows)."},
        {"setDivision", "major, minor", nullptr,
         "Long ticks split the range into major parts, short ticks each part into minor (2, 2 at first; at least "
         "1)."},
        {"setType", "type", nullptr,
         "Where short ticks stand: 0 (the default) the middle half, 1 the top half, 2 the bottom half; others "
         "are refused (logged)."},
        {"setDepth", "depth", nullptr, "The draw distance."},
        {"setColor", "rgb, alpha", nullptr, "The colour, 0..1 each (white at first)."},
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
    "A panel: a rectangle (`rect`), a frame (`wire`) and a text (`text`) placed, coloured and faded together. It "
    "draws nothing until `set_visible`. Unless its text is in rect mode 2, every draw fits the panel to its text "
    "(4 pixels wider, 2 higher), whatever `set_size` said.",
    {
        {"set_visible", "bits", nullptr, "Which parts draw: 1 the rectangle, 2 the frame, 4 the text (0 at first)."},
        {"get_visible", ""},
        {"set_pos", "x, y", nullptr, "The top-left in window pixels."},
        {"set_size", "width, height", nullptr,
         "The size in pixels; it holds only in rect mode 2 (`set_rectmode(2)`), where the text gets width - 4 by "
         "height - 2."},
        {"set_depth", "depth", nullptr, "The draw distance of the panel's parts."},
        {"set_alpha", "alpha", nullptr, "The rectangle's and the text's alpha (0..1); the frame keeps its own."},
        {"set_color", "rgb", nullptr,
         "The rectangle's colour, 0..1 each (`QXL.vec3(r, g, b)`), opaque. Until it is set the rectangle is "
         "transparent."},
        {"get_color", "", nullptr, "The rectangle's colour, 0..1 each."},
        {"get_pos", "", nullptr, "The top-left (as the last draw fitted it)."},
        {"get_size", "", nullptr, "The size (as the last draw fitted it)."},
        {"set_text", "text, append", nullptr,
         "Replaces (append false) or extends the text; markup is read, and it draws with the text's flags (1)."},
        {"get_text", "", nullptr, "The text, markup controls left out and line feeds as CR LF."},
        {"set_rectmode", "mode", nullptr, "The text's rect mode (`HUDText:setRectMode`)."},
        {"set_textflag", "flags", nullptr, "The text's alignment (`HUDText:setPlaceFlag`)."},
        {"get_fontsize", "", nullptr, "The text's average character width and line height in pixels."},
        {"get_textsize", "", nullptr, "The text's width and height in pixels."},
        {"rect", "", nullptr, "The rectangle part (its own `rect` holds the texture: `panel.rect.rect.hTex`)."},
        {"wire", "", nullptr, "The frame part."},
        {"text", "", nullptr, "The text part (IPAGothic, 12 pixels high)."},
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

const qxbind::ClassNotes kMeterNotes = {
    "A horizontal bar gauge with a border on the HUD: 128 by 16 pixels at (0, 0), value 50 of 0..100 at first.",
    {
        {"set_value", "value"},
        {"set_range", "minimum, maximum"},
        {"set_pos", "x, y", nullptr, "Its top-left in window pixels."},
        {"set_size", "width, height", nullptr, "In pixels."},
        {"set_colormt", "r, g, b", nullptr, "The bar's colour, 0..255 each (85, 255, 85 at first)."},
        {"set_colorbdr", "r, g, b", nullptr, "The border's colour, 0..255 each (white at first)."},
        {"copy_from", "other", nullptr, "Takes every setting of the other meter; anything else is ignored."},
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
    "A console of text lines in the window's top-left corner.",
    {
        {"send", "text", nullptr,
         "Adds the text as lines (split at line feeds, each cut to 255 characters), also to the file of "
         "`set_fileout` and, with `set_externalcs`, to standard output."},
        {"cls", "", nullptr, "Empties the console."},
        {"set_row", "kept, shown, width", nullptr,
         "Lines kept (1..4096), lines shown (0..4096) and the width in pixels (20, 10, 320 at first); empties the "
         "console."},
        {"set_fontsize", "size", nullptr, "The line height in pixels (8 at first)."},
        {"set_alpha", "alpha", nullptr, "The black background's alpha (0 at first: only the text shows)."},
        {"set_fileout", "path", nullptr,
         "Also writes each line sent from now on to the file at that path on disk (a relative one starts at the "
         "current directory), emptying it first; \"\" stops that."},
        {"set_externalcs", "on", nullptr,
         "true: also writes each line sent to standard output; true again, or false, stops that."},
        {"set_notify", "gobj", nullptr, "Stored; the console sends no messages."},
        {"set_id", "id", nullptr, "Stored; nothing reads it."},
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
