#include "hud/text/count_chara.h"

#include "hud/text/markup.h"
#include "platform/core/utf.h"
#include "script/lua/lua_api.h"

void qxCountChara(QXView& v, uint32_t) {
  lua_State* L = v.state();
  size_t n = 0;
  const char* s = lua_isstring(L, 1) ? lua_tolstring(L, 1, &n) : "";
  const std::u16string wide = qcore::utf8ToUtf16(std::string_view(s, n));
  U32String out;
  lua_pushinteger(L, markupToUtf32(wide.c_str(), out).first);
  qxResult(v);
}

void addTextQXFunctions() {
  addQXGlobalFunction("CountChara", qxCountChara,
                      {"string text", "integer", "The characters the text shows, its markup left out."});
}
