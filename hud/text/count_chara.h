// QX.CountChara (text): the number of visible characters of a markup text.
#pragma once
#include "script/qx/qx_globals.h"

void qxCountChara(QXView& v, uint32_t reserved);
// Adds the text functions to the "QX" table of every state set up from now on.
void addTextQXFunctions();
