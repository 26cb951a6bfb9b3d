// The script classes "RectInfo", "HUDText" and "HUDTextBB".
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding rectInfoBinding();
qxbind::ClassBinding hudTextBinding();
qxbind::ClassBinding hudTextBBBinding();
