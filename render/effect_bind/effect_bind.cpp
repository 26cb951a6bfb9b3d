#include "render/effect_bind/effect_bind.h"

#include "render/effect/effect_mgr.h"

namespace {

const qxbind::ClassNotes kEffectMgrNotes = {"The effect manager: loads effect files.",
                                            {
                                                {"create", "file"},
                                            }};

void registerEffectMgr(qxbind::ClassTable& t) {
  t.notes(kEffectMgrNotes);
  t.method<&EffectMgr::create>("create");
}

const qxbind::ClassNotes kFxDataNotes = {
    "An effect: techniques of passes that draw with shaders.",
    {
        {"set_tech", "name", nullptr, "Selects the technique; gives its pass count."},
        {"pass", "index", nullptr, "Begins the pass."},
    }};

void registerFxData(qxbind::ClassTable& t) {
  t.notes(kFxDataNotes);
  t.method<&FxData::set_tech>("set_tech").method<&FxData::pass>("pass");
}

}  // namespace

qxbind::ClassBinding effectBinding() {
  return qxbind::managerBinding<EffectMgr>("EffectMgr", &registerEffectMgr, "FxData", &registerFxData);
}
