// The script class "MLDialog" (a memory item): init, close and msgbox.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding mlDialogBinding();
