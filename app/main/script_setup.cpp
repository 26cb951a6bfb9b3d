#include "app/main/script_setup.h"

#include "net/twiapi/twiapi_bind.h"
#include "render/effect_bind/effect_bind.h"
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
  order.provide(twiAPIBinding());
  order.run(state);
}

void deliverFrameMessages() {
  if (GobjMgr* messages = GobjMgr::instance()) messages->deliverMsgs(0);
}

// The texture manager is a stand-in without a lock of its own until its subsystem lands.
void waitForTextureUsers() {}
