// The script classes "HUDText3D" (bind step 21, over "HUDText"), "BillboardY" (23) and
// "Billboard" (26, over the script base "BillboardBase"). Setters hand the object back.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding hudText3DBinding();
qxbind::ClassBinding billboardYBinding();
qxbind::ClassBinding billboardBinding();
