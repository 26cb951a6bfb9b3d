// What a main state gets around its creation, and the per-frame and shutdown services the
// main thread asks of subsystems that may not be built yet.
#pragma once
#include "script/lua/script_fwd.h"

// Has every new main state get the "QX" globals before its "QXMain.lua" runs.
void installScriptStateSetup();

namespace qxbind {
class BindOrder;
}

// Fills in the bind order's step of every built subsystem.
void provideEngineBindings(qxbind::BindOrder& order);

// Binds the engine classes into the state in their bind order (a step whose subsystem is
// not built is skipped).
void bindEngineClasses(const ScriptHdl& state);

// Delivers every queued game-object message (once per frame, after the update steps).
void deliverFrameMessages();

// Takes and releases the texture manager's lock, so no other thread is still inside it
// when the engine goes down.
void waitForTextureUsers();
