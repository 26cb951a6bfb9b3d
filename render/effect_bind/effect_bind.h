// The script classes "EffectMgr" (create, called on the class) and "FxData" (set_tech,
// pass). Step 12 of the bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding effectBinding();
