#include "render/camera_bind/camera_bind.h"

#include "render/camera/cam_mgr.h"

namespace {

const qxbind::ClassNotes kCamMgrNotes = {"The camera manager: makes cameras.",
                                         {
                                             {"create", "pos, aimPoint, zNear, zFar", nullptr,
                                              "A camera at pos looking at aimPoint, with the near and far clip "
                                              "distances (field of view pi/2, aspect 1.4)."},
                                         }};

void registerCamMgr(qxbind::ClassTable& t) {
  t.notes(kCamMgrNotes);
  t.method<&CamMgr::createCamera>("create");
}

const qxbind::ClassNotes kCamDataNotes = {
    "A camera: where the scene is seen from.",
    {
        {"set_pos", "pos"},
        {"set_aim", "aimPoint"},
        {"set_up", "up"},
        {"set_roll", "radians", nullptr, "Turns the upright orientation about the view direction."},
        {"set_aspect", "aspect", nullptr, "Width over height of the view (1.4 at first)."},
        {"set_fov", "radians", nullptr, "The vertical field of view (pi/2 at first)."},
        {"move_fwd3d", "distance"},
        {"move_side3d", "distance"},
        {"set_zplane", "zNear, zFar"},
        {"get_rotation", ""},
        {"set_rotation", "rotation"},
        {"get_pos", ""},
        {"get_dir", ""},
        {"get_up", ""},
        {"get_right", ""},
        {"vp2wp", "x, y, z", nullptr, "The world point of a view point (x, y in -1..1, z the depth 0..1)."},
    }};

void registerCamData(qxbind::ClassTable& t) {
  t.notes(kCamDataNotes);
  t.method<&CamData::set_pos>("set_pos")
      .method<&CamData::set_aim>("set_aim")
      .method<&CamData::set_up>("set_up")
      .method<&CamData::set_roll>("set_roll")
      .method<&CamData::set_aspect>("set_aspect")
      .method<&CamData::set_fov>("set_fov")
      .method<&CamData::move_fwd3d>("move_fwd3d")
      .method<&CamData::move_side3d>("move_side3d")
      .method<&CamData::set_zplane>("set_zplane")
      .method<&CamData::get_rotation>("get_rotation")
      .method<&CamData::set_rotation>("set_rotation")
      .method<&CamData::get_pos>("get_pos")
      .method<&CamData::get_dir>("get_dir")
      .method<&CamData::get_up>("get_up")
      .method<&CamData::get_right>("get_right")
      .method<&CamData::vp2wp>("vp2wp");
}

}  // namespace

qxbind::ClassBinding cameraBinding() {
  return qxbind::managerBinding<CamMgr>("CamMgr", &registerCamMgr, "CamData", &registerCamData);
}
