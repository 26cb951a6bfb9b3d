// QX.GetFontInfo (width, height, weight, face): what the font text of that face would be
// drawn with measures, so scripts can turn dialog units into pixels. A table with
// "aveWidth" (of the 62 letters and digits), "maxWidth", "height", "weight" and "name" (the
// installed face the name matches, or the default font's when it matches none); no result
// when no font can be made.
#pragma once
#include "script/qx/qx_globals.h"

void qxGetFontInfo(QXView& v, uint32_t reserved);
