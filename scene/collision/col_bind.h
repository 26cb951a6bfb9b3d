// The collision classes for the bind order: "ColMgr" with its units "TopCUC", and
// "ColPipeMgr" with its pipes "ColPipe".
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding colBinding();
qxbind::ClassBinding colPipeBinding();
