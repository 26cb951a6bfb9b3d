#include "app/qeldrin/qeldrin_bind.h"

#include "app/qeldrin/qeldrin.h"

namespace {

// Methods that hand the object back for chaining.
void setTech(Qeldrin& q, std::string_view name) { q.set_tech(name); }

void registerQeldrin(qxbind::ClassTable& t) {
  t.method<&Qeldrin::init>("init")
      .method<&Qeldrin::clearCurrentBuffer>("clearCurrentBuffer")
      .method<&Qeldrin::clearColorBuffer>("clearColorBuffer")
      .method<&Qeldrin::clearZBuffer>("clearZBuffer")
      .method<&Qeldrin::beginDraw>("beginDraw")
      .method<&Qeldrin::endDraw>("endDraw")
      .method<&Qeldrin::setShader>("setShader")
      .method<&Qeldrin::set_param>("set_param")
      .method<&Qeldrin::upd_U>("upd_U")
      .field<&Qeldrin::upd_time>("upd_time")
      .field<&Qeldrin::draw_time>("draw_time")
      .field<&Qeldrin::count_fps>("count_fps")
      .field<&Qeldrin::diff_time>("diff_time")
      .field<&Qeldrin::accum_time>("accum_time")
      .field<&Qeldrin::accum_frame>("accum_frame")
      .method<&Qeldrin::cam_pos>("cam_pos")
      .method<&Qeldrin::cam_axis>("cam_axis")
      .method<&Qeldrin::clear_losthandle>("clear_losthandle")
      .method<&Qeldrin::has_window>("has_window")
      .method<&Qeldrin::setIMENotify>("_setIMENotify")
      .method<&Qeldrin::resetIMENotify>("_resetIMENotify")
      .method<&Qeldrin::isIMEActive>("isIMEActive")
      .method<&Qeldrin::cancelIMECP>("cancelIMECP")
      .method<&Qeldrin::getWnd>("getWnd")
      .method<&Qeldrin::draw_single>("draw_single")
      .method<&Qeldrin::draw_multi>("draw_multi")
      .method<&Qeldrin::draw_drawer>("draw_drawer")
      .method<&setTech>("set_tech")
      .method<&Qeldrin::set_dsort>("set_dsort")
      .method<&Qeldrin::flush_drawAll>("flush_drawAll")
      .method<&Qeldrin::flush_draw>("flush_draw")
      .method<&Qeldrin::setTargetTex>("setTargetTex")
      .method<&Qeldrin::getTargetTex>("getTargetTex")
      .method<&Qeldrin::getCamera>("getCamera")
      .method<&Qeldrin::setCamera>("setCamera")
      .method<&Qeldrin::sp2wp>("sp2wp")
      .method<&Qeldrin::getRay>("getRay")
      .method<&Qeldrin::sp2vp>("sp2vp");
}

}  // namespace

qxbind::ClassBinding qeldrinBinding() {
  return qxbind::objectBinding(qxbind::objectClass<Qeldrin>("Qeldrin", &registerQeldrin));
}
