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
    "The input manager: devices, named key bindings, the keyboard buffer and input logs.",
    {
        {"create", "guid, background", nullptr, "A device reader for a device id from enum."},
        {"enum", "kind", "table",
         "The devices of a kind (\"keyboard\", \"mouse\", \"gamepad\"): {id, instance, product} each."},
        {"repeated", "name"},
        {"pressed", "name"},
        {"pressing", "name"},
        {"clicked", "name", nullptr, "Released this frame."},
        {"entry_upd", "reader", nullptr, "Reads the device every frame."},
        {"remove_upd", "reader"},
        {"register", "name", nullptr, "A new name that bindings may give channels to."},
        {"bind", "name, reader, channel", nullptr, "The name also follows the reader's channel."},
        {"rbind", "name, delay, interval", nullptr, "The key repeat of the name."},
        {"clear", "name", nullptr, "Drops the name's bindings."},
        {"start_log", "file", nullptr, "Records the input to a log file."},
        {"stop_log", ""},
        {"log_load", "file", nullptr, "A reader that plays a recorded log back."},
        {"get_cspos", "", nullptr, "The mouse cursor's position."},
        {"keybuff", "on", nullptr, "Collects typed text; gives the old setting."},
        {"settrace", "kind, reader"},
        {"getkeybuff", "", nullptr, "The text typed since the last call, and the last key."},
        {"setkeystop", "spec"},
        {"getkeybddelay", ""},
        {"getkeybdspeed", ""},
        {"getcaretblink", ""},
        {"reg_mpos", "", nullptr, "Starts tracking mouse moves; gives the tracker's index."},
        {"get_mposaxis", "index", nullptr, "The tracked movement since the last call."},
        {"get_mposbtn", "index, button", nullptr, "Whether the button went down since the last call, and how often."},
        {"rem_mpos", "index"},
        {"reset", "name"},
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
    "A device reader: one keyboard, mouse, joypad or input log, read by channel.",
    {
        {"active", "on"},
        {"get_value", "channel"},
        {"get_type", "", nullptr, "0 keyboard, 1 mouse, 2 joypad, 3 log; -1 for none."},
        {"get_axis", "channel"},
        {"pressed", "channel"},
        {"pressing", "channel"},
        {"clicked", "channel", nullptr, "Released this frame."},
        {"repeated", "channel"},
        {"scan", "", nullptr, "Reads the device now."},
        {"set_repeat", "delay, interval"},
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
