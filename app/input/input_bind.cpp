#include "app/input/input_bind.h"

#include "app/input/res_input.h"

namespace {

// A controller-less RIData (never filled) reads as idle.
void active(RIData& d, bool on) {
  if (d.ctrl) d.ctrl->setActive(on);
}
int32_t getValue(RIData& d, int32_t ch) { return d.ctrl ? d.ctrl->level(ch) : 0; }
int32_t getType(RIData& d) { return d.ctrl ? d.ctrl->kind() : -1; }
int32_t getAxis(RIData& d, int32_t ch) { return d.ctrl ? d.ctrl->axis(ch) : 0; }
bool pressed(RIData& d, int32_t ch) { return d.ctrl && d.ctrl->pressed(ch); }
bool pressing(RIData& d, int32_t ch) { return d.ctrl && d.ctrl->held(ch); }
bool clicked(RIData& d, int32_t ch) { return d.ctrl && d.ctrl->released(ch); }
bool repeated(RIData& d, int32_t ch) { return d.ctrl && d.ctrl->repeat(ch); }
void scan(RIData& d) {
  if (d.ctrl) d.ctrl->update();
}
void setRepeat(RIData& d, int32_t delay, int32_t interval) {
  if (d.ctrl) d.ctrl->setRepeat(delay, interval);
}

const qxbind::ClassNotes kInputNotes = {
    "The input manager: devices, named bindings of device channels, the typed-key buffer, mouse trackers and "
    "input logs. Levels run 0..100 (down at 50 or more); the name queries count update steps.",
    {
        {"create", "guid, background", nullptr,
         "A reader of the device whose `guid` an `enum` entry gave (the 16-byte string itself); background true for "
         "a keyboard or joypad that also reads while the window is in the background (keyboards on X11, not on "
         "Wayland: README). nil when no such device can be read."},
        {"enum", "kind", "table",
         "The attached devices of \"keyboard\", \"mouse\" or \"gamepad\" (any other kind: an empty table), "
         "an array of {guid = 16-byte string, instanceN = name, productN = product name}."},
        {"repeated", "name", nullptr,
         "Whether the name repeats on this update step (as `pressed` until `rbind` sets a delay); false for a name "
         "never registered."},
        {"pressed", "name", nullptr, "Whether the name went down on this update step."},
        {"pressing", "name", nullptr, "Whether the name is held (down on this or an earlier step)."},
        {"clicked", "name", nullptr, "Whether the name went up on this update step."},
        {"entry_upd", "reader", nullptr,
         "Reads the device (or plays the log) on every update step from now on; a reader not entered keeps its "
         "last levels."},
        {"remove_upd", "reader", nullptr, "Stops that, and unbinds the reader's first channel from each name."},
        {"register", "name", nullptr, "A name that `bind` can give channels to (nothing when it exists)."},
        {"bind", "name, reader, channel", nullptr,
         "The registered name also follows that channel of the reader (at most 3 per name; more are ignored). "
         "Keyboard channels are scan codes (0x39 space, 0x1C return, 0xC8 up, 0xCB left, 0xCD right, 0xD0 down, "
         "0x01 escape); mouse channels 0..5 are the axes (x-, x+, y-, y+, wheel-, wheel+) and 6..13 the buttons; "
         "joypad channels 0..7 the axes and 8..23 the buttons."},
        {"rbind", "name, delay, interval", nullptr,
         "When `repeated` holds: on the step a name has been down for c steps (the step it went down counts 1) "
         "when c - delay - 1 is a positive multiple of interval + 1; delay -1 (the default): only on the step it "
         "went down."},
        {"clear", "name", nullptr, "Forgets the name and its channels."},
        {"start_log", "file", nullptr,
         "Records every change of the names' levels to the file (a path on disk; a relative one starts at the "
         "current directory), in the input log format of docs/data-files.md."},
        {"stop_log", "", nullptr, "Ends the recording."},
        {"log_load", "file", nullptr,
         "A reader that plays the input log at that path on disk back: its channel i drives the log's i-th name. "
         "Enter it with `entry_upd`. nil when there is no such file."},
        {"get_cspos", "", nullptr,
         "The mouse pointer in window pixels, clamped to 0..the window's width and height. On X11 it follows the "
         "pointer however it moved (a device, or a move another program injected), and outside the window gives the "
         "nearest point of its edge; elsewhere it stays at the last position inside the window."},
        {"keybuff", "on", nullptr,
         "Switches the typed-key buffer on or off (it reads the keyboard given to `settrace(0, ...)`) and empties "
         "it; gives the previous setting."},
        {"settrace", "kind, reader", nullptr,
         "The keyboard (kind 0) that feeds the typed-key buffer, or the mouse (kind 1) that feeds the trackers."},
        {"getkeybuff", "", nullptr,
         "The text typed since the last call, up to the first stop or special key, and what ended it: 0 the buffer "
         "ran out, n the n-th stop of `setkeystop`, 0x80..0x87 up, down, left, right, page up, page down, home, end, "
         "0x88 return, 0x89 backspace, 0x8A delete, 0x8B escape."},
        {"setkeystop", "spec", nullptr,
         "The keys that end a `getkeybuff` read: each byte is a key, \"_\", \"@\" and \"|\" add control, "
         "shift and alt to the next, \"%LEFT\", \"%RIGHT\", \"%UP\", \"%DOWN\", \"%PAGEUP\", \"%PAGEDOWN\" "
         "name editing keys."},
        {"getkeybddelay", "", nullptr,
         "The X server's keyboard auto-repeat delay in ms, divided by 16 (rounded down; about update steps); 31 "
         "(500 ms) without X11."},
        {"getkeybdspeed", "", nullptr,
         "The X server's keyboard auto-repeat interval in ms, divided by 16 (rounded down); 2 (34 ms) without X11."},
        {"getcaretblink", "", nullptr,
         "Always 33 (530 ms divided by 16): desktops keep the caret blink in settings the program does not read."},
        {"reg_mpos", "", nullptr, "A new mouse tracker (fed by the mouse of `settrace(1, ...)`); gives its index."},
        {"get_mposaxis", "index", nullptr, "The tracker's movement in x, y and wheel since the last call."},
        {"get_mposbtn", "index, button", nullptr,
         "Whether button 0..7 is down, and how often it went down since the last call."},
        {"rem_mpos", "index", nullptr, "Drops the tracker."},
        {"reset", "name", nullptr, "A held name reads as released (`clicked`) on this step."},
    }};

void registerInput(qxbind::ClassTable& t) {
  t.notes(kInputNotes);
  t.method<&ResInput::createDevice>("create")
      .method<&ResInput::enumDevices>("enum")
      .method<&ResInput::repeated>("repeated")
      .method<&ResInput::pressed>("pressed")
      .method<&ResInput::pressing>("pressing")
      .method<&ResInput::clicked>("clicked")
      .method<&ResInput::entry_upd>("entry_upd")
      .method<&ResInput::remove_upd>("remove_upd")
      .method<&ResInput::registerName>("register")
      .method<&ResInput::bind>("bind")
      .method<&ResInput::rbind>("rbind")
      .method<&ResInput::clearName>("clear")
      .method<&ResInput::start_log>("start_log")
      .method<&ResInput::stop_log>("stop_log")
      .method<&ResInput::log_load>("log_load")
      .method<&ResInput::get_cspos>("get_cspos")
      .method<&ResInput::keybuff>("keybuff")
      .method<&ResInput::settrace>("settrace")
      .method<&ResInput::getkeybuff>("getkeybuff")
      .method<&ResInput::setkeystop>("setkeystop")
      .method<&ResInput::getkeybddelay>("getkeybddelay")
      .method<&ResInput::getkeybdspeed>("getkeybdspeed")
      .method<&ResInput::getcaretblink>("getcaretblink")
      .method<&ResInput::reg_mpos>("reg_mpos")
      .method<&ResInput::get_mposaxis>("get_mposaxis")
      .method<&ResInput::get_mposbtn>("get_mposbtn")
      .method<&ResInput::rem_mpos>("rem_mpos")
      .method<&ResInput::reset>("reset");
}

const qxbind::ClassNotes kRIDataNotes = {
    "A device reader: one keyboard, mouse, joypad or input log, read by channel (see `input:bind` for the channel "
    "numbers). It reads its device on the update steps after `input:entry_upd`, or when `scan` is called.",
    {
        {"active", "on", nullptr, "Takes (true) or lets go of (false) the device."},
        {"get_value", "channel", nullptr, "The channel's level: 0..100, down at 50 or more."},
        {"get_type", "", nullptr, "0 keyboard, 1 mouse, 2 joypad, 3 input log; -1 for none."},
        {"get_axis", "channel", nullptr,
         "For an axis pair starting at channel (0, 2, ...): the level of channel + 1 minus that of channel."},
        {"pressed", "channel", nullptr, "Whether the channel went down on the last read."},
        {"pressing", "channel", nullptr, "Whether the channel is down."},
        {"clicked", "channel", nullptr, "Whether the channel went up on the last read."},
        {"repeated", "channel", nullptr, "Whether the channel repeats on the last read (see `set_repeat`)."},
        {"scan", "", nullptr, "Reads the device now."},
        {"set_repeat", "delay, interval", nullptr,
         "When `repeated` holds, counted in reads as `input:rbind` counts steps; delay -1 (the default): only on "
         "the read it went down."},
    }};

void registerRIData(qxbind::ClassTable& t) {
  t.notes(kRIDataNotes);
  t.method<&active>("active")
      .method<&getValue, false>("get_value")
      .method<&getType, false>("get_type")
      .method<&getAxis, false>("get_axis")
      .method<&pressed, false>("pressed")
      .method<&pressing, false>("pressing")
      .method<&clicked, false>("clicked")
      .method<&repeated, false>("repeated")
      .method<&scan>("scan")
      .method<&setRepeat>("set_repeat");
}

}  // namespace

qxbind::ClassBinding inputBinding() {
  return qxbind::managerBinding<ResInput>("input", &registerInput, "RIData", &registerRIData);
}
