#include "app/main/script_setup.h"

#include "render/camera_bind/camera_bind.h"
#include "render/effect_bind/effect_bind.h"
#include "render/material_bind/material_bind.h"
#include "render/texture/texture_mgr.h"
#include "render/texture_bind/texture_bind.h"
#include "runtime/core/synclo.h"
#include "scene/anim/animator_bind.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_mgr.h"
#include "script/qx/qx_globals.h"

void installScriptStateSetup() { ScriptMgr::setStateSetup(registerQXGlobals); }

void bindEngineClasses(const ScriptHdl& state) {
  qxbind::BindOrder order;
  order.provide(gobjBinding());
  order.provide(effectBinding());
  order.provide(materialBinding());
  order.provide(cameraBinding());
  order.provide(textureBinding());
  order.provide(animatorBinding());
  order.run(state);
}

void deliverFrameMessages() {
  if (GobjMgr* messages = GobjMgr::instance()) messages->deliverMsgs(0);
}

// A texture user still inside the manager finishes before the managers go.
void waitForTextureUsers() {
  if (TextureMgr* textures = TextureMgr::instance()) kesto::SyncloGuard wait(textures->managerLock());
}
