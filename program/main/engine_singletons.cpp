#include "program/main/engine_singletons.h"

#include <memory>

#include "app/input/res_input.h"
#include "net/sock/sock_managers.h"
#include "render/camera/cam_mgr.h"
#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"
#include "render/material/mtl_mgr.h"
#include "render/texture/texture_mgr.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/catalogue.h"
#include "scene/anim/anim_mgr.h"
#include "scene/collision/col_mgr.h"
#include "scene/sound/sound_mgr.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_mgr.h"

namespace {

std::unique_ptr<DeviceMgr> gDeviceMgr;
std::unique_ptr<kesto::ManagerCatalogue> gManagers;

template <class Mgr>
kesto::ManagerCatalogue::Factory make() {
  return [] { return std::make_unique<Mgr>(); };
}

}  // namespace

// One line per built subsystem; a kind left out gets its stand-in.
void provideEngineManagers(kesto::ManagerCatalogue& managers) {
  using kesto::ManagerKind;
  managers.provide(ManagerKind::memory, make<MemMgrMulti>());
  managers.provide(ManagerKind::input, make<ResInput>());
  managers.provide(ManagerKind::gameObject, make<GobjMgr>());
  managers.provide(ManagerKind::effect, make<EffectMgr>());
  managers.provide(ManagerKind::script, make<ScriptMgr>());
  managers.provide(ManagerKind::material, make<MtlMgr>());
  managers.provide(ManagerKind::texture, make<TextureMgr>());
  managers.provide(ManagerKind::camera, make<CamMgr>());
  managers.provide(ManagerKind::sound, make<SoundMgr>());
  managers.provide(ManagerKind::collision, make<ColMgr>());
  managers.provide(ManagerKind::collisionPipe, make<ColPipeMgr>());
  managers.provide(ManagerKind::animation, make<AnimMgr>());
}

bool initEngineSingletons(uint32_t uiThreadId, const std::function<void(kesto::ManagerCatalogue&)>& adjust) {
  setUIThreadId(uiThreadId);
  if (!gDeviceMgr) gDeviceMgr = std::make_unique<DeviceMgr>();
  if (gManagers) return false;
  gManagers = std::make_unique<kesto::ManagerCatalogue>();
  provideEngineManagers(*gManagers);
  if (adjust) adjust(*gManagers);
  if (!gManagers->constructAll()) return false;
  createSockManagers();
  return true;
}

void destroyEngineSingletons() {
  destroySockManagers();
  if (gManagers) {
    gManagers->destroyAll();
    gManagers.reset();
  }
  gDeviceMgr.reset();
  setUIThreadId(0);
}

kesto::ManagerCatalogue* engineManagers() { return gManagers.get(); }
