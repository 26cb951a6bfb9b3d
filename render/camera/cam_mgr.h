// The camera manager: cameras made by scripts (CamMgr.create) and held by handle.
#pragma once
#include "render/camera/cam_data.h"
#include "runtime/res/resource_mgr.h"

class CamMgr : public kesto::ResourceMgrNoName<CamMgr, CamData> {
 public:
  using CamHandle = kesto::Handle<CamMgr, CamData>;

  const char* dataTypeName() const override { return "CamData"; }

  // A new camera with the defaults, then placed, aimed and clipped as given.
  CamHandle createCamera(Vec3 position, Vec3 aimPoint, float zNear, float zFar);
};
