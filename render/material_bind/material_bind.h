// The script classes "MtlMgr" and "MtlData": no methods; scripts make materials by file
// name through QX.createRes and hold them as handles. Step 6 of the bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding materialBinding();
