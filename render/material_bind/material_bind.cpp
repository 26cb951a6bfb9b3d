#include "render/material_bind/material_bind.h"

#include "render/material/mtl_mgr.h"

namespace {

const qxbind::ClassNotes kMtlMgrNotes = {"The material manager: reads .mtl files (docs/data-files.md).", {}};

const qxbind::ClassNotes kMtlDataNotes = {
    "A material: the named values of a .mtl file. A script can make and hold one; no script call reads its "
    "values.",
    {}};

void registerMtlMgr(qxbind::ClassTable& t) { t.notes(kMtlMgrNotes); }
void registerMtlData(qxbind::ClassTable& t) { t.notes(kMtlDataNotes); }

}  // namespace

qxbind::ClassBinding materialBinding() {
  return qxbind::managerBinding<MtlMgr>("MtlMgr", &registerMtlMgr, "MtlData", &registerMtlData);
}
