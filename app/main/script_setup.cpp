#include "app/main/script_setup.h"

#include "app/input/input_bind.h"
#include "render/effect_bind/effect_bind.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_mgr.h"
#include "script/qx/qx_globals.h"

void installScriptStateSetup() { ScriptMgr::setStateSetup(registerQXGlobals); }

// One line per built subsystem; a step nobody provides is skipped.
void provideEngineBindings(qxbind::BindOrder& order) {
  order.provide(inputBinding());
  order.provide(gobjBinding());
  order.provide(effectBinding());
}

void bindEngineClasses(const ScriptHdl& state) {
  qxbind::BindOrder order;
  provideEngineBindings(order);
  order.run(state);
}

void deliverFrameMessages() {
  if (GobjMgr* messages = GobjMgr::instance()) messages->deliverMsgs(0);
}

// The texture manager is a stand-in without a lock of its own until its subsystem lands.
void waitForTextureUsers() {}
