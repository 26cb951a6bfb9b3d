// What the main state gets between its creation and the start of `main`, and the engine
// services the frame loop calls on subsystems that may not be built yet.
#pragma once
#include "script/lua/script_fwd.h"

// Installs the "QX" globals and binds the engine classes in their bind order.
void prepareScriptState(const ScriptHdl& state);

// Delivers every queued game-object message (once per frame, after the update steps).
void deliverFrameMessages();

// Takes and releases the texture manager's lock, so no other thread is still inside it
// when the engine goes down.
void waitForTextureUsers();
