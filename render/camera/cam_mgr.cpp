#include "render/camera/cam_mgr.h"

#include "runtime/res/hdl_lock.h"

CamMgr::CamHandle CamMgr::createCamera(Vec3 position, Vec3 aimPoint, float zNear, float zFar) {
  CamHandle h = create().handle;
  kesto::HdlLock<CamHandle> lock(h);
  if (!lock) return {};
  lock->set_pos(position);
  lock->set_aim(aimPoint);
  lock->set_zplane(zNear, zFar);
  return h;
}
