#include "app/qeldrin/qeldrin_bind.h"

#include "app/qeldrin/qeldrin.h"

namespace {

// Methods that hand the object back for chaining.
void setTech(Qeldrin& q, std::string_view name) { q.set_tech(name); }

const qxbind::ClassNotes kQeldrinNotes = {
    "The renderer: opens the window, clears and presents frames, and draws the objects scripts queue by tag.",
    {
        {"init", "width, height, title, flag", nullptr, "Opens the window with that client size and title."},
        {"clearCurrentBuffer", "colour, z, stencil"},
        {"clearColorBuffer", "colour"},
        {"clearZBuffer", "z"},
        {"beginDraw", "", nullptr, "Starts a frame; draws are queued until endDraw."},
        {"endDraw", "", nullptr, "Draws what was queued and presents the frame."},
        {"setShader", "effect", nullptr, "The effect whose techniques later draws use."},
        {"set_param", "table params", "nothing",
         "Sets the current effect's parameters from name = number or vector pairs."},
        {"upd_U", "table objects", "table", "The objects of the list still alive plus those lost since the last call."},
        {"cam_pos", "", nullptr, "The eye position of the current camera view."},
        {"cam_axis", "axis", "vec3 or nil", "Axis 0, 1 or 2 of the current camera view; nil for another number."},
        {"clear_losthandle", "memoryItems"},
        {"has_window", ""},
        {"_setIMENotify", "gobj", nullptr, "The game object told of text input (IME) events."},
        {"_resetIMENotify", ""},
        {"isIMEActive", ""},
        {"cancelIMECP", "", nullptr, "Drops the text being composed."},
        {"getWnd", "", nullptr, "The window's id."},
        {"draw_single", "object, tag", nullptr, "Queues one object under the draw tag."},
        {"draw_multi", "table objects, tag", nullptr, "Queues every object of the list under the draw tag."},
        {"draw_drawer", "table objects, tag", nullptr, "Lets each object of the list queue its own draws."},
        {"set_tech", "name", nullptr, "Selects the current effect's technique; false when it has none of that name."},
        {"set_dsort", "name, table keys", nullptr, "Sets the sort chain of a draw list from numbers and booleans."},
        {"flush_drawAll", "flag"},
        {"flush_draw", "name", nullptr, "Draws the named list now."},
        {"setTargetTex", "index, texture", nullptr,
         "Renders into the texture as target index; gives the one it replaced."},
        {"getTargetTex", "index"},
        {"getCamera", ""},
        {"setCamera", "camera"},
        {"sp2wp", "x, y, depth", nullptr, "The world point under a screen point at that depth."},
        {"getRay", "x, y", nullptr, "The world ray (origin, direction) under a screen point."},
        {"sp2vp", "x, y", nullptr, "A screen point in view coordinates (-1..1)."},
        {"upd_time", "", nullptr, "Seconds the last update took."},
        {"draw_time", "", nullptr, "Seconds the last draw took."},
        {"count_fps", "", nullptr, "Frames in the last second."},
    }};

void registerQeldrin(qxbind::ClassTable& t) {
  t.notes(kQeldrinNotes);
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
