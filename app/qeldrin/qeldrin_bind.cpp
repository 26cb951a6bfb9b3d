#include "app/qeldrin/qeldrin_bind.h"

#include "app/qeldrin/qeldrin.h"

namespace {

// Methods that hand the object back for chaining.
void setTech(Qeldrin& q, std::string_view name) { q.set_tech(name); }

const qxbind::ClassNotes kQeldrinNotes = {
    "The application object: opens the window and draws. Frame recipe: `beginDraw`, a clear, `set_tech` of a "
    "technique of the `setShader` effect, `draw_single`/`draw_multi` to queue objects into that technique's list, "
    "`flush_drawAll` to draw the lists, `endDraw` to present.",
    {
        {"init", "width, height, title, flag", nullptr,
         "Called by `new`: opens the window with that client size in pixels and the title (the engine appends "
         "\":QX v0.03[date]\"); flag is not read. A second call does nothing. No window is made while another "
         "application object lives (release that one first), and without an OpenGL 3.3 device the window is closed "
         "again: either way `has_window` gives false and log.txt says why."},
        {"clearCurrentBuffer", "colour, z, stencil", nullptr,
         "Draws every queued list, then clears the render target to the ARGB colour, the depth to z (0..1) and the "
         "stencil."},
        {"clearColorBuffer", "colour", nullptr, "Draws every queued list, then clears the render target to the ARGB colour."},
        {"clearZBuffer", "z", nullptr, "Draws every queued list, then clears the depth buffer to z (0..1)."},
        {"beginDraw", "", nullptr, "Starts the frame's drawing."},
        {"endDraw", "", nullptr,
         "Ends the frame and presents it. It does not draw the queued lists: `flush_drawAll` first, or what is "
         "queued is drawn by the next clear or flush."},
        {"setShader", "effect", nullptr,
         "The effect (an `FxData` from `EffectMgr:create`) whose techniques `set_tech` selects; a list keeps the "
         "effect it was selected under."},
        {"set_param", "table params", "nothing",
         "Sets parameters of the current technique's effect: key = number, vector (dim 2..4) or texture. A key is "
         "the name of one of the technique's bindings (an `EXT_name` or `OBJ_name` annotation without its prefix, "
         "or a pass annotation's name), else a parameter semantic in any letter case; a parameter's own name is "
         "never looked at, so a parameter without a semantic cannot be set. `OBJ_` and pass bindings go back to "
         "their defaults before each object or pass: to set a parameter from a script, give it a semantic and "
         "bind it with `EXT_name = \"SEMANTIC\"` (docs/effect-format.md). A semantic that an `EXT_` binding also "
         "binds is overwritten by the binding each draw: set it by the binding's name."},
        {"upd_U", "table objects", "table",
         "Calls each listed object's update hook; no engine class has one, so it gives an empty table."},
        {"cam_pos", "", nullptr, "The eye position of the camera as the last draw bound it ((0, 0, 0) before any)."},
        {"cam_axis", "axis", "vec3 or nil",
         "Axis 0 (right), 1 (up) or 2 (view direction) of that camera; nil for another number."},
        {"clear_losthandle", "memoryItems", nullptr,
         "true: starts a new frame list of the memory manager's objects; false: starts a new list of the game objects "
         "that died."},
        {"has_window", "", nullptr, "Whether the window is open."},
        {"_setIMENotify", "gobj", nullptr,
         "The game object whose recvmsg is told of text composition (IME): \"STARTCOMPOSITION\", \"COMPOSITION\" "
         "and \"ENDCOMPOSITION\"."},
        {"_resetIMENotify", "", nullptr, "No game object is told of text composition."},
        {"isIMEActive", "", nullptr, "Whether a text composition is open."},
        {"cancelIMECP", "", nullptr, "Drops the text being composed."},
        {"getWnd", "", nullptr, "The window's id (0 without a window)."},
        {"draw_single", "object, tag", nullptr,
         "Queues the object's draw entries into the current technique's list (nothing before `set_tech`). The tag "
         "reaches the object: `HUDTextBB` draws its text view into its texture under \"Backbuff\"; other classes "
         "ignore it (use \"\")."},
        {"draw_multi", "table objects, tag", nullptr, "`draw_single` for each object of the array, in order."},
        {"draw_drawer", "table objects, tag", nullptr,
         "Asks each object of the array for objects to queue; no engine class names any, so nothing is queued."},
        {"set_tech", "name", nullptr,
         "Selects the technique of the `setShader` effect whose list later draws queue into. It gives the object "
         "back in every case: an effect without that technique (or no effect) leaves the previous list current and "
         "writes the reason to log.txt."},
        {"set_dsort", "name, table keys", nullptr,
         "Selects the technique as `set_tech` does and gives its list a sort order, key by key: 0, nearFirst, "
         "tolerance (by distance, a HUD part's depth; nearFirst false draws the largest first); 1 (by texture); "
         "2, split (by vertex streams); 3, ascending (by primitive kind); 4 (transparent entries after the others). "
         "A list without one draws in queue order."},
        {"flush_drawAll", "flag", nullptr, "Draws every queued list and empties it; flag is not read."},
        {"flush_draw", "name", nullptr,
         "Draws every queued list, as `flush_drawAll` (the name is not used); nothing when the name is \"\" and no "
         "technique was selected."},
        {"setTargetTex", "index, texture", nullptr,
         "Makes the texture (from `TextureMgr:create_blank`) render target index 0..3 and gives the texture that "
         "was there: nil when the slot was empty, or for an index outside 0..3 or a texture that cannot be drawn "
         "into (then nothing changes). Target 0 is the back buffer at first; give it back to draw to the window."},
        {"getTargetTex", "index", nullptr, "The texture of render target 0..3; nil for an empty slot."},
        {"getCamera", "", nullptr, "The current camera."},
        {"setCamera", "camera", nullptr, "Draws every queued list, then makes the camera current."},
        {"sp2wp", "x, y, depth", nullptr, "The world point under the window pixel (x, y) at depth 0 (near) .. 1 (far)."},
        {"getRay", "x, y", nullptr,
         "The camera's position and the world point under the window pixel (x, y) at depth 1."},
        {"sp2vp", "x, y", nullptr,
         "The window pixel (x, y) in view coordinates: (-1, 1) top left, (1, -1) bottom right."},
        {"upd_time", "", nullptr,
         "A number the script keeps; the engine never writes it (the frame loop hands the last update and draw "
         "times to `main`)."},
        {"draw_time", "", nullptr, "A number the script keeps; the engine never writes it."},
        {"diff_time", "", nullptr, "A number the script keeps; the engine never writes it."},
        {"accum_time", "", nullptr, "A number the script keeps; the engine never writes it."},
        {"count_fps", "", nullptr,
         "An integer the script keeps; the engine never writes it (the frame loop hands the draws of the last second "
         "to `main`)."},
        {"accum_frame", "", nullptr, "An integer the script keeps; the engine never writes it."},
    },
    "Made by `Qeldrin.new(width, height, title, flag)`, which opens the window. (`Qeldrin` is the script class of "
    "L_Qeldrin.lua over the engine class: the object is a table holding the engine object in its field `udata`.)"};

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
