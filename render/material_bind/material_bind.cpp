#include "render/material_bind/material_bind.h"

#include "render/material/mtl_mgr.h"

namespace {
void registerNothing(qxbind::ClassTable&) {}
}  // namespace

qxbind::ClassBinding materialBinding() {
  return qxbind::managerBinding<MtlMgr>("MtlMgr", &registerNothing, "MtlData", &registerNothing);
}
