// Names shared by the script-state headers.
#pragma once
#include <cstdint>

#include "runtime/core/handle.h"

class ScriptMgr;
class LVPolicyHdl;
class LVPolicyPtr;
template <class Policy>
class LuaWrap;

// The handle of a script state record in ScriptMgr.
using ScriptHdl = kesto::Handle<ScriptMgr, LuaWrap<LVPolicyHdl>>;
