#include "render/effect_bind/effect_bind.h"

#include "render/effect/effect_mgr.h"

namespace {

const qxbind::ClassNotes kEffectMgrNotes = {
    "The effect manager: loads effect files (docs/effect-format.md).",
    {
        {"create", "file", nullptr,
         "The effect of that file, read once and then shared by name (\"effect/hud.fx\" is the shipped HUD effect); "
         "nil when the file is missing, does not compile, or no window exists yet (the reason is logged). Hand it to "
         "`Qeldrin:setShader`."},
    }};

void registerEffectMgr(qxbind::ClassTable& t) {
  t.notes(kEffectMgrNotes);
  t.method<&EffectMgr::create>("create");
}

const qxbind::ClassNotes kFxDataNotes = {
    "An effect: techniques of passes that draw with shaders.",
    {
        {"set_tech", "name", nullptr,
         "Makes the technique the effect's current one and gives its pass count; 0 when it has none of that name. "
         "`Qeldrin:set_tech` is what draws use."},
        {"pass", "index", nullptr, "Begins pass index (from 0) of the current technique on the device."},
    }};

void registerFxData(qxbind::ClassTable& t) {
  t.notes(kFxDataNotes);
  t.method<&FxData::set_tech>("set_tech").method<&FxData::pass>("pass");
}

}  // namespace

qxbind::ClassBinding effectBinding() {
  return qxbind::managerBinding<EffectMgr>("EffectMgr", &registerEffectMgr, "FxData", &registerFxData);
}
