// Script values of HTTP bodies: what a request's notify object posts to its game object.
#pragma once
#include "net/http/http_body.h"
#include "script/lua/lua_var.h"

// form -> a table of name = value strings; JSON -> the value tree; text -> a table with
// the one field "text"; raw -> a byte buffer. A copy: the body is left as it was.
void toScriptValue(const HTTPBody& body, LuaVar& out);
// The same, taking the body's content over where that saves a copy: the JSON tree and the
// raw buffer are taken (that body is left empty); form and text content is copied.
void takeScriptValue(HTTPBody& body, LuaVar& out);
