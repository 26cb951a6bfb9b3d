// The script class "Qeldrin" (bind step 5, over the script base "L_Qeldrin").
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding qeldrinBinding();
