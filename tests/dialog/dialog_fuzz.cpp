// Dialog template files come from the scripts' folders as they are: read any bytes and
// push the result as QX.DialogRes does.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hud/dialog/dialog_res.h"
#include "hud/dialog/dialog_template.h"
#include "script/lua/lua_api.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static lua_State* L = luaL_newstate();
  const DialogTemplateFile file = readDialogTemplates(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const DialogTemplate& d : file.dialogs) {
    if (d.name.empty()) __builtin_trap();
    for (const DialogControl& c : d.controls) {
      if (c.type.empty()) __builtin_trap();
    }
  }
  lua_settop(L, 0);
  pushDialogTemplates(L, file);
  lua_settop(L, 0);
  return 0;
}
