// The script classes "HUDUnit_rect", "HUDUnit_wire", "HUDUnit_meter", "HUDBG", "HUDMeter"
// and "GUIConsole".
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding hudUnitRectBinding();
qxbind::ClassBinding hudUnitWireBinding();
qxbind::ClassBinding hudUnitMeterBinding();
qxbind::ClassBinding hudBGBinding();
qxbind::ClassBinding hudMeterBinding();
qxbind::ClassBinding guiConsoleBinding();
