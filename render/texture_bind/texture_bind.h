// The script classes "TextureMgr" (load, create_blank, saveAsFile, called on the class)
// and "TexData" (fields width and height; sprite-description queries). Step 13 of the
// bind order.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding textureBinding();
