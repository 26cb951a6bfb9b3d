// The script classes of the 3D HUD primitives: "HUDRay" (bind step 22), "HUDMatPlane"
// (27), "PolyLineS" (28), "PolyLineTR" (29) and "PlantSphere" (31). Each setter hands the
// object back; the draw callbacks queue one entry and draw it.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding hudRayBinding();
qxbind::ClassBinding hudMatPlaneBinding();
qxbind::ClassBinding polyLineSBinding();
qxbind::ClassBinding polyLineTRBinding();
qxbind::ClassBinding plantSphereBinding();
