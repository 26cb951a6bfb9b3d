// The script class "Animator": an object class without methods of its own (scripts drive
// an animator through the rectangle widget that owns it). Step 17 of the bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding animatorBinding();
