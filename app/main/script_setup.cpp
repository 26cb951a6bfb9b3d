#include "app/main/script_setup.h"

void prepareScriptState(const ScriptHdl&) {}

void deliverFrameMessages() {}

// The texture manager is a stand-in without a lock of its own until its subsystem lands.
void waitForTextureUsers() {}
