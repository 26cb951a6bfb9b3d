// The script classes "sound" (load, duplicate, called on the class) and "SSPtr" (the
// instance methods). Step 4 of the bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding soundBinding();
