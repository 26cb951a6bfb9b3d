#include "app/main/engine_singletons.h"

#include <memory>

#include "net/sock/sock_managers.h"
#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/catalogue.h"
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

bool initEngineSingletons(uint32_t uiThreadId) {
  setUIThreadId(uiThreadId);
  if (!gDeviceMgr) gDeviceMgr = std::make_unique<DeviceMgr>();
  if (gManagers) return false;
  gManagers = std::make_unique<kesto::ManagerCatalogue>();
  using kesto::ManagerKind;
  gManagers->provide(ManagerKind::memory, make<MemMgrMulti>());
  gManagers->provide(ManagerKind::gameObject, make<GobjMgr>());
  gManagers->provide(ManagerKind::effect, make<EffectMgr>());
  gManagers->provide(ManagerKind::script, make<ScriptMgr>());
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
