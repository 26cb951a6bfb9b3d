#include "runtime/res/stand_in_mgr.h"

namespace kesto {

namespace {
char kStandInTag = 0;
}

StandInMgr::StandInMgr(const char* className, const char* dataTypeName)
    : ResBasePtr(&kStandInTag), className_(className), dataTypeName_(dataTypeName) {
  registerSelf();
}

StandInMgr::~StandInMgr() { deregisterSelf(); }

}  // namespace kesto
