// The script classes "input" (the input manager, methods on the class) and "RIData"
// (its controllers). Step 7 of the bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding inputBinding();
