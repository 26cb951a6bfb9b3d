// qxlua with the collision managers and the game-object manager provided and their
// bind-order steps run, as the program binds them.
#include <memory>

#include "scene/collision/col_bind.h"
#include "scene/collision/col_mgr.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
#include "script/gobj/gobj_mgr.h"
#include "tools/qxlua/extension.h"

namespace {

void provideManagers(kesto::ManagerCatalogue& managers) {
  managers.provide(kesto::ManagerKind::collision, [] { return std::make_unique<ColMgr>(); });
  managers.provide(kesto::ManagerKind::collisionPipe, [] { return std::make_unique<ColPipeMgr>(); });
  managers.provide(kesto::ManagerKind::gameObject, [] { return std::make_unique<GobjMgr>(); });
}

void setUpState(const ScriptHdl& state) {
  qxbind::BindOrder order;
  order.provide(colBinding());
  order.provide(gobjBinding());
  order.provide(colPipeBinding());
  order.run(state);
}

QxluaExtension extension{&provideManagers, &setUpState};

}  // namespace
