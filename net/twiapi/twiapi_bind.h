// The script class "TwiAPI" (a memory item; its definition requires the script module
// "TwiAPI" first), step 3 of the bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding twiAPIBinding();
