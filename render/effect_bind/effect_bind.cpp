#include "render/effect_bind/effect_bind.h"

#include "render/effect/effect_mgr.h"

namespace {

void registerEffectMgr(qxbind::ClassTable& t) { t.method<&EffectMgr::create>("create"); }

void registerFxData(qxbind::ClassTable& t) { t.method<&FxData::set_tech>("set_tech").method<&FxData::pass>("pass"); }

}  // namespace

qxbind::ClassBinding effectBinding() {
  return qxbind::managerBinding<EffectMgr>("EffectMgr", &registerEffectMgr, "FxData", &registerFxData);
}
