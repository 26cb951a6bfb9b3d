// The script classes of game objects: "GobjMgr" (newGobj, called on the class) and
// "Gobj" (the fields _pos, _dir, upriority and _upd_level of each object). Step 9 of the
// bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding gobjBinding();
