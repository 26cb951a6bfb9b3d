#include "program/main/script_setup.h"

#include "app/dialog/ml_dialog_bind.h"
#include "app/input/input_bind.h"
#include "app/qeldrin/qeldrin_bind.h"
#include "hud/billboard/billboard_bind.h"
#include "hud/dialog/dialog_res.h"
#include "hud/panel/panel_bind.h"
#include "hud/prim3d/prim3d_bind.h"
#include "hud/text/count_chara.h"
#include "hud/widget/widget_bind.h"
#include "net/download/sock_bind.h"
#include "net/twiapi/twiapi_bind.h"
#include "render/camera_bind/camera_bind.h"
#include "render/effect_bind/effect_bind.h"
#include "render/material_bind/material_bind.h"
#include "render/texture/texture_mgr.h"
#include "render/texture_bind/texture_bind.h"
#include "runtime/core/synclo.h"
#include "scene/anim/animator_bind.h"
#include "scene/collision/col_bind.h"
#include "scene/sound_bind/sound_bind.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_mgr.h"
#include "script/qx/qx_globals.h"

void installScriptStateSetup() {
  addDialogQXFunctions();
  addTextQXFunctions();
  ScriptMgr::setStateSetup(registerQXGlobals);
}

// One line per built subsystem; a step nobody provides is skipped.
void provideEngineBindings(qxbind::BindOrder& order) {
  order.provide(inputBinding());
  order.provide(qeldrinBinding());
  order.provide(gobjBinding());
  order.provide(effectBinding());
  order.provide(materialBinding());
  order.provide(cameraBinding());
  order.provide(textureBinding());
  order.provide(rectInfoBinding());
  order.provide(hudTextBinding());
  order.provide(hudTextBBBinding());
  order.provide(soundBinding());
  order.provide(colBinding());
  order.provide(colPipeBinding());
  order.provide(animatorBinding());
  order.provide(twiAPIBinding());
  order.provide(sockMgrBinding());
  order.provide(sSockMgrBinding());
  order.provide(hudRayBinding());
  order.provide(hudMatPlaneBinding());
  order.provide(polyLineSBinding());
  order.provide(polyLineTRBinding());
  order.provide(plantSphereBinding());
  order.provide(mlDialogBinding());
  order.provide(hudUnitRectBinding());
  order.provide(hudUnitWireBinding());
  order.provide(hudUnitMeterBinding());
  order.provide(hudBGBinding());
  order.provide(hudMeterBinding());
  order.provide(guiConsoleBinding());
  order.provide(hudText3DBinding());
  order.provide(billboardYBinding());
  order.provide(billboardBinding());
}

void bindEngineClasses(const ScriptHdl& state) {
  qxbind::BindOrder order;
  provideEngineBindings(order);
  order.run(state);
}

void deliverFrameMessages() {
  if (GobjMgr* messages = GobjMgr::instance()) messages->deliverMsgs(0);
}

// A texture user still inside the manager finishes before the managers go.
void waitForTextureUsers() {
  if (TextureMgr* textures = TextureMgr::instance()) kesto::SyncloGuard wait(textures->managerLock());
}
