#include "script/lua/lua_var_json.h"

#include <limits>
#include <string>

#include "platform/core/numconv.h"
#include "runtime/json/json_escape.h"
#include "runtime/json/json_value.h"
#include "script/lua/lua_var.h"

namespace luavar_json {

JSONValue* takeOver(JSONValue& json) {
  auto* owned = new JSONValue;
  owned->swap(json);
  return owned;
}

JSONValue* copyOf(const JSONValue& json) { return new JSONValue(json); }

void destroy(JSONValue* json) { delete json; }

}  // namespace luavar_json

namespace {

// A string scalar's decoded text; plain bytes (the common case) are pushed without a copy.
void pushScalarText(lua_State* L, const JSONScalar& scalar) {
  if (scalar.isString()) {
    if (std::string_view raw = scalar.raw(); jsonRawIsPlain(raw)) {
      lua_pushlstring(L, raw.data(), raw.size());
      return;
    }
  }
  std::string text = scalar.toUtf8();
  lua_pushlstring(L, text.data(), text.size());
}

}  // namespace

int jsonScalarToLua(lua_State* L, const JSONScalar& scalar) {
  switch (scalar.kind()) {
    case JSONKind::Real:
      lua_pushnumber(L, scalar.asReal());
      return 1;
    case JSONKind::Integer: {
      int64_t v = scalar.asInt64();
      if (v >= 0 && v <= 0xFFFFFF) {
        lua_pushinteger(L, static_cast<lua_Integer>(v));
      } else {
        std::string text = qcore::formatI64(v);
        lua_pushlstring(L, text.data(), text.size());
      }
      return 1;
    }
    case JSONKind::String:
      pushScalarText(L, scalar);
      return 1;
    case JSONKind::Boolean:
      lua_pushboolean(L, scalar.asBool());
      return 1;
    case JSONKind::Null:
      lua_pushnil(L);
      return 1;
    default:
      return 0;
  }
}

namespace {

int pushNode(lua_State* L, const JSONValue& node, int depth) {
  if (!lua_checkstack(L, 4)) return 0;
  if (!node.isContainer()) {
    if (jsonScalarToLua(L, node.scalar()) == 1) return 1;
    lua_pushnil(L);
    return 1;
  }
  if (depth >= kLuaPushMaxDepth) {
    lua_pushnil(L);
    return 1;
  }
  bool isArray = node.isArray();
  lua_createtable(L, isArray ? static_cast<int>(node.size()) : 0, isArray ? 0 : static_cast<int>(node.size()));
  lua_Integer index = 0;
  for (const JSONValue& child : node.children()) {
    if (isArray) {
      lua_pushinteger(L, ++index);
    } else {
      pushScalarText(L, child.key());
    }
    if (pushNode(L, child, depth + 1) != 1) {
      lua_pop(L, 1);
      continue;
    }
    lua_rawset(L, -3);
  }
  return 1;
}

}  // namespace

int pushJsonNode(lua_State* L, const JSONValue& node) { return pushNode(L, node, 0); }

int pushJsonMember(lua_State* L, const JSONValue& node) {
  if (!lua_checkstack(L, 2)) return 0;
  std::string key = node.keyUtf8();
  lua_pushlstring(L, key.data(), key.size());
  if (pushNode(L, node, 0) != 1) {
    lua_pop(L, 1);
    return 0;
  }
  return 2;
}

// ---- JSON to LuaVar ----------------------------------------------------------------

namespace {

void convert(const JSONValue& node, LuaVar& out, int depth) {
  switch (node.tag()) {
    case JSONType::Real: {
      out.setNumber(node.asReal());
      break;
    }
    case JSONType::Integer: {
      int64_t v = node.asInt64();
      // An integer beyond 32 bits (a status id) keeps every digit as text.
      if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
        out.setInt(static_cast<int32_t>(v));
      } else {
        out = LuaVar(qcore::formatI64(v));
      }
      break;
    }
    case JSONType::String:
      out = LuaVar(node.asUtf8());
      break;
    case JSONType::Boolean:
      out.setBool(node.asBool());
      break;
    case JSONType::Object:
    case JSONType::Array: {
      if (depth >= kLuaPushMaxDepth) {
        out.clear();
        break;
      }
      out.setNewTable();
      LuaVarTable& t = *out.table();
      int32_t index = 0;
      for (const JSONValue& child : node.children()) {
        LuaVar key;
        if (node.isArray()) {
          key.setInt(++index);
        } else {
          key = LuaVar(child.keyUtf8());
        }
        LuaVar& slot = t[key];
        convert(child, slot, depth + 1);
      }
      break;
    }
    default:
      out.clear();
      break;
  }
}

}  // namespace

void LuaVar::fromJSONTree(const JSONValue& json) {
  LuaVar result;
  convert(json, result, 0);
  takeFrom(result);
}
