// The script classes "CamMgr" (create, called on the class) and "CamData" (setters,
// getters, moves and vp2wp). Step 11 of the bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding cameraBinding();
