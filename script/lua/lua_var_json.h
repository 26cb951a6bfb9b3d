// JSON and script values: JSON trees as LuaVar trees and as Lua values.
#pragma once
#include "script/lua/lua_api.h"

class JSONValue;
class JSONScalar;

namespace luavar_json {
JSONValue* takeOver(JSONValue& json);  // a new node holding json's content; json left fresh
JSONValue* copyOf(const JSONValue& json);
void destroy(JSONValue* json);
}  // namespace luavar_json

// Pushes one scalar: a real as a number, an integer from 0 to 0xFFFFFF as a number and
// any other integer as its decimal text, a string as its decoded UTF-8, booleans, null as
// nil. A punctuation token pushes nothing. Gives the count pushed.
int jsonScalarToLua(lua_State* L, const JSONScalar& scalar);
// Pushes a node: objects as tables keyed by member name, arrays as tables indexed from 1,
// scalars as values. Nesting beyond the push depth limit becomes nil. Gives the count
// pushed (1), 0 when the stack cannot grow.
int pushJsonNode(lua_State* L, const JSONValue& node);
// Pushes the node's member name and then the node (2), or 0 on failure.
int pushJsonMember(lua_State* L, const JSONValue& node);

// Deepest nesting that a push of a value tree writes; deeper tables become nil.
constexpr int kLuaPushMaxDepth = 512;
