#include "hud/dialog/font_info.h"

#include <cstdio>
#include <optional>

#include "hud/text/font_context.h"
#include "platform/core/utf.h"
#include "platform/font/font.h"
#include "script/lua/lua_api.h"

namespace {

constexpr char16_t kMeasured[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int32_t kMeasuredCount = 62;
static_assert(sizeof kMeasured / sizeof kMeasured[0] - 1 == kMeasuredCount);

constexpr uint8_t kOutTtOnlyPrecis = 7;
constexpr uint8_t kProofQuality = 2;

void setInteger(lua_State* L, const char* key, int32_t value) {
  lua_pushinteger(L, value);
  lua_setfield(L, -2, key);
}

}  // namespace

void qxGetFontInfo(QXView& v, uint32_t) {
  lua_State* L = v.state();
  qxfont::LogFont request;
  // Windows' font creation takes the height first.
  request.lfWidth = static_cast<int32_t>(lua_tointeger(L, 1));
  request.lfHeight = static_cast<int32_t>(lua_tointeger(L, 2));
  request.lfWeight = static_cast<int32_t>(lua_tointeger(L, 3));
  request.lfOutPrecision = kOutTtOnlyPrecis;
  request.lfQuality = kProofQuality;
  size_t n = 0;
  const char* face = lua_type(L, 4) == LUA_TSTRING ? lua_tolstring(L, 4, &n) : "";
  request.lfFaceName = qcore::utf8ToUtf16(std::string_view(face, n));
  // The face text is drawn with: HUDText:initFont takes the installed face the name
  // matches, and the default font when none does (fontconfig's nearest face would do
  // for neither).
  std::string error;
  qxfont::FontRef font;
  if (std::optional<qxfont::LogFont> installed = qxfont::enumOutlineFace(request.lfFaceName)) {
    request.lfFaceName = installed->lfFaceName;
    font = qxfont::createFont(request, &error);
  } else {
    font = hudtext::sharedFonts().defaultFont;
    error = "no default font";
  }
  if (!font) {
    std::fprintf(stderr, "QX.GetFontInfo: no font for \"%s\": %s\n", face, error.c_str());
    return;
  }
  qxfont::TextMetric metrics;
  std::u16string name;
  qxfont::Extent extent;
  {
    hudtext::SharedFonts& shared = hudtext::sharedFonts();
    kesto::SyncloGuard hold(shared.lock);
    qxfont::FontRef previous = shared.dc.select(font);
    const qxfont::FontRef& chosen = shared.dc.font();
    metrics = chosen->textMetrics();
    name = chosen->faceName();
    extent = chosen->textExtent(kMeasured);
    shared.dc.select(previous);
  }
  lua_createtable(L, 0, 5);
  setInteger(L, "aveWidth", extent.cx / kMeasuredCount);
  setInteger(L, "maxWidth", metrics.tmMaxCharWidth);
  setInteger(L, "height", metrics.tmHeight);
  setInteger(L, "weight", metrics.tmWeight);
  const std::string utf8 = qcore::utf16ToUtf8(name);
  lua_pushlstring(L, utf8.data(), utf8.size());
  lua_setfield(L, -2, "name");
  qxResult(v);
}
