// QX.DialogRes (path): the dialog templates of a resource-script file as a table keyed
// by dialog name, and a JSON value that follows them as a second result. No result when
// the file cannot be read.
#pragma once
#include "hud/dialog/dialog_template.h"
#include "script/qx/qx_globals.h"

void qxDialogRes(QXView& v, uint32_t reserved);
// Pushes the table of dialogs.
void pushDialogTemplates(lua_State* L, const DialogTemplateFile& file);

// Adds QX.DialogRes and QX.GetFontInfo for every state set up from now on and builds
// the template grammars.
void addDialogQXFunctions();
