// Face matching through fontconfig, with the program's own aliases loaded on first use.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/utf.h"
#include "platform/font/font_internal.h"

namespace qxfont {

namespace {

// The fontconfig rules that put each table face's stand-in before it.
std::string aliasConfig() {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n";
  for (const FaceAlias& a : faceAliases()) {
    xml += "  <alias binding=\"same\"><family>" + qcore::utf16ToUtf8(a.windowsFace) + "</family><prefer><family>" +
           qcore::utf16ToUtf8(a.installedFace) + "</family></prefer></alias>\n";
  }
  return xml + "</fontconfig>\n";
}

std::mutex& fcLock() {
  static std::mutex m;
  return m;
}

FcConfig* config() {
  static FcConfig* cfg = [] {
    FcConfig* c = FcInitLoadConfigAndFonts();
    const std::string aliases = aliasConfig();
    if (c) FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(aliases.c_str()), FcTrue);
    return c;
  }();
  return cfg;
}

struct Found {
  std::string path;
  int index = 0;
  std::u16string family;
  int weight = FW_NORMAL;
  bool italic = false;
};

// Family names compare as fontconfig compares them: blanks and case do not count.
bool sameFamily(const FcChar8* a, const std::string& b) {
  auto squeeze = [](std::string s) {
    std::erase(s, ' ');
    return s;
  };
  const std::string x = squeeze(reinterpret_cast<const char*>(a)), y = squeeze(b);
  return FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(x.c_str()), reinterpret_cast<const FcChar8*>(y.c_str())) == 0;
}

std::u16string familyOf(FcPattern* p) {
  FcChar8* fam = nullptr;
  if (FcPatternGetString(p, FC_FAMILY, 0, &fam) != FcResultMatch || !fam) return {};
  return qcore::utf8ToUtf16(reinterpret_cast<const char*>(fam));
}

bool hasFamily(FcPattern* font, const std::vector<std::string>& allowed) {
  FcChar8* fam = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
    for (const std::string& a : allowed)
      if (sameFamily(fam, a)) return true;
  }
  return false;
}

// The best installed outline face for a request. With exact set, only the face itself or
// a family that an alias puts before it will do (fontconfig's generic fallbacks come
// after the requested name).
std::optional<Found> findFace(std::u16string_view face, int32_t weight, bool italic, bool exact) {
  std::lock_guard<std::mutex> g(fcLock());
  FcConfig* cfg = config();
  if (!cfg) return std::nullopt;
  const std::string name = qcore::utf16ToUtf8(face);
  FcPattern* pat = FcPatternCreate();
  if (!name.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddBool(pat, FC_OUTLINE, FcTrue);
  FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? std::min(weight, 1000) : FW_NORMAL));
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(cfg, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);

  std::vector<std::string> allowed;
  if (exact && !name.empty()) {
    FcChar8* fam = nullptr;
    for (int i = 0; FcPatternGetString(pat, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
      allowed.emplace_back(reinterpret_cast<const char*>(fam));
      if (sameFamily(fam, name)) break;
    }
  }

  std::optional<Found> out;
  FcResult res = FcResultNoMatch;
  FcFontSet* set = FcFontSort(cfg, pat, FcFalse, nullptr, &res);
  for (int i = 0; set && i < set->nfont && !out; ++i) {
    FcPattern* font = set->fonts[i];
    FcBool outline = FcFalse;
    FcChar8* file = nullptr;
    if (FcPatternGetBool(font, FC_OUTLINE, 0, &outline) != FcResultMatch || !outline) continue;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) continue;
    if (!allowed.empty() && !hasFamily(font, allowed)) continue;
    Found f;
    f.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(font, FC_INDEX, 0, &f.index);
    f.family = familyOf(font);
    int w = 0, slant = 0;
    if (FcPatternGetInteger(font, FC_WEIGHT, 0, &w) == FcResultMatch) f.weight = FcWeightToOpenType(w);
    if (FcPatternGetInteger(font, FC_SLANT, 0, &slant) == FcResultMatch) f.italic = slant != FC_SLANT_ROMAN;
    out = f;
  }
  if (set) FcFontSetDestroy(set);
  FcPatternDestroy(pat);
  return out;
}

}  // namespace

std::span<const FaceAlias> faceAliases() {
  // Scripts name the faces of the system they were written on; the IPA faces (Debian's
  // fonts-ipafont-gothic and fonts-ipafont-mincho) have the same proportional and
  // fixed-pitch pairs. Meiryo is a proportional gothic.
  static constexpr FaceAlias kTable[] = {
      {u"ＭＳ ゴシック", u"IPAGothic"},   {u"MS Gothic", u"IPAGothic"},
      {u"ＭＳ Ｐゴシック", u"IPAPGothic"}, {u"MS PGothic", u"IPAPGothic"},
      {u"ＭＳ 明朝", u"IPAMincho"},       {u"MS Mincho", u"IPAMincho"},
      {u"ＭＳ Ｐ明朝", u"IPAPMincho"},     {u"MS PMincho", u"IPAPMincho"},
      {u"メイリオ", u"IPAPGothic"},       {u"Meiryo", u"IPAPGothic"},
  };
  return kTable;
}

FontRef createFont(const LogFont& request, std::string* error) {
  const std::u16string_view face =
      std::u16string_view(request.lfFaceName).substr(0, LF_FACESIZE - 1);
  std::optional<Found> f = findFace(face, request.lfWeight, request.lfItalic != 0, false);
  if (!f) {
    if (error) *error = "no outline font is installed";
    return nullptr;
  }
  return realise(f->path, f->index, request, f->family, error);
}

std::optional<LogFont> enumOutlineFace(std::u16string_view face) {
  std::optional<Found> f = findFace(face.substr(0, LF_FACESIZE - 1), FW_NORMAL, false, true);
  if (!f) return std::nullopt;
  LogFont lf;
  lf.lfHeight = 16;
  lf.lfWeight = f->weight;
  lf.lfItalic = f->italic ? 1 : 0;
  lf.lfOutPrecision = 3;
  lf.lfClipPrecision = 2;
  lf.lfQuality = 1;
  lf.lfFaceName = f->family.substr(0, LF_FACESIZE - 1);
  return lf;
}

}  // namespace qxfont
