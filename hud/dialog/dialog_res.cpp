#include "hud/dialog/dialog_res.h"

#include <algorithm>

#include "hud/dialog/font_info.h"
#include "platform/core/utf.h"
#include "runtime/core/text_encoding.h"
#include "script/lua/lua_api.h"
#include "script/lua/lua_var_json.h"
#include "script/lua/script_files.h"

namespace {

void setString(lua_State* L, const char* key, const std::string& value) {
  lua_pushlstring(L, value.data(), value.size());
  lua_setfield(L, -2, key);
}

void setInteger(lua_State* L, const char* key, int32_t value) {
  lua_pushinteger(L, value);
  lua_setfield(L, -2, key);
}

void setRect(lua_State* L, const std::array<int32_t, 4>& rect) {
  lua_createtable(L, 4, 0);
  for (int i = 0; i < 4; ++i) {
    lua_pushinteger(L, rect[static_cast<size_t>(i)]);
    lua_rawseti(L, -2, i + 1);
  }
  lua_setfield(L, -2, "rect");
}

void setFlags(lua_State* L, const std::vector<std::string>& flags) {
  lua_createtable(L, static_cast<int>(flags.size()), 0);
  int i = 0;
  for (const std::string& f : flags) {
    lua_pushlstring(L, f.data(), f.size());
    lua_rawseti(L, -2, ++i);
  }
  lua_setfield(L, -2, "flag");
}

void pushControl(lua_State* L, const DialogControl& c) {
  lua_createtable(L, 0, 5);
  setString(L, "type", c.type);
  setString(L, "id", c.id);
  setString(L, "caption", c.caption);
  setRect(L, c.rect);
  setFlags(L, c.flags);
}

void pushDialog(lua_State* L, const DialogTemplate& d) {
  lua_createtable(L, 0, 8);
  setString(L, "name", d.name);
  setString(L, "caption", d.caption);
  setString(L, "font", d.font);
  setInteger(L, "fontW", d.fontW);
  setInteger(L, "fontWeight", d.fontWeight);
  setRect(L, d.rect);
  setFlags(L, d.flags);
  lua_createtable(L, static_cast<int>(d.controls.size()), 0);
  int i = 0;
  for (const DialogControl& c : d.controls) {
    pushControl(L, c);
    lua_rawseti(L, -2, ++i);
  }
  lua_setfield(L, -2, "item");
}

}  // namespace

void pushDialogTemplates(lua_State* L, const DialogTemplateFile& file) {
  lua_createtable(L, 0, static_cast<int>(file.dialogs.size()));
  for (const DialogTemplate& d : file.dialogs) {
    pushDialog(L, d);
    lua_setfield(L, -2, d.name.c_str());
  }
}

void qxDialogRes(QXView& v, uint32_t) {
  lua_State* L = v.state();
  if (lua_type(L, 1) != LUA_TSTRING && lua_type(L, 1) != LUA_TNUMBER) return;
  size_t n = 0;
  const char* path = lua_tolstring(L, 1, &n);
  FileData data = scriptReadFile(qcore::utf8ToUtf16(std::string_view(path, n)), 1);
  if (data.empty()) return;
  const BOMInfo bom = detectBOM(data.data(), data.size());
  const size_t skip = std::min<size_t>(bom.length > 0 ? static_cast<size_t>(bom.length) : 0, data.size());
  const DialogTemplateFile file = readDialogTemplates(std::string_view(data.chars() + skip, data.size() - skip));
  lua_checkstack(L, 8);
  pushDialogTemplates(L, file);
  qxResult(v);
  if (file.trailing) qxResult(v, pushJsonNode(L, *file.trailing));
}

void addDialogQXFunctions() {
  prepareDialogGrammars();
  addQXGlobalFunction("DialogRes", qxDialogRes,
                      {"string file", "table or nothing, table or nothing",
                       "The dialog templates of the file by name, then the JSON data after them if any."});
  addQXGlobalFunction("GetFontInfo", qxGetFontInfo,
                      {"integer width, integer height, integer weight, string face", "table or nothing",
                       "{aveWidth, maxWidth, height, weight, name} of the font text of that face is drawn with "
                       "(as `HUDText:initFont` takes it, with the weight applied): the installed face the name "
                       "matches (Windows names are mapped, README) at that width and height in pixels, or, when it "
                       "matches none, the default font (IPAGothic, 12 pixels high). aveWidth is the width of the 62 "
                       "letters and digits divided by 62."});
}
