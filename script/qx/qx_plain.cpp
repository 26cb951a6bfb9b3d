// The plain native functions of "QX": JSON files and the calling thread's profiler.
#include <string>

#include "platform/core/utf.h"
#include "runtime/core/profiler.h"
#include "runtime/core/text_encoding.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/json/json_reader.h"
#include "script/lua/lua_var_json.h"
#include "script/lua/script_files.h"
#include "script/qx/qx_functions.h"

namespace qxfn {

int LoadJson(lua_State* L) {
  if (lua_type(L, 1) != LUA_TSTRING) return 0;
  size_t n = 0;
  const char* s = lua_tolstring(L, 1, &n);
  FileData file = scriptReadFile(qcore::utf8ToUtf16(std::string_view(s, n)), 1);
  if (file.empty()) return 0;
  BOMInfo bom = detectBOM(file.data(), file.size());
  if (bom.encoding != TextEncoding::Utf8 && bom.encoding != TextEncoding::None) return 0;
  size_t skip = bom.encoding == TextEncoding::Utf8 ? static_cast<size_t>(bom.length) : 0;
  if (skip > file.size()) skip = file.size();
  JSONValue tree;
  JSONParseResult parsed = jsonParse(file.chars() + skip, file.size() - skip, tree);
  if (!parsed || parsed.values == 0) return 0;
  return pushJsonNode(L, tree);
}

int IsLightData(lua_State* L) {
  lua_pushboolean(L, lua_objlen(L, 1) == 0);
  return 1;
}

int profBegin(lua_State* L) {
  Profiler* p = getThreadProfiler();
  const char* name = lua_tostring(L, 1);
  if (p && name) p->beginSample(name);
  return 0;
}

int profEnd(lua_State* L) {
  Profiler* p = getThreadProfiler();
  const char* name = lua_tostring(L, 1);
  if (p && name) p->endSample(name);
  return 0;
}

int profStr(lua_State* L) {
  const std::string* report = getThreadProfileReport();
  if (report) {
    lua_pushlstring(L, report->data(), report->size());
  } else {
    lua_pushstring(L, "");
  }
  return 1;
}

int profTable(lua_State*) { return 0; }

}  // namespace qxfn
