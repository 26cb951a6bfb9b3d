// Face matching through fontconfig, with the program's own aliases loaded on first use.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/core/utf.h"
#include "platform/font/font_internal.h"

namespace qxfont {

namespace {

// Scripts name the Japanese system face of the platform they were written on; IPA Gothic
// stands in for it.
constexpr char kAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>ＭＳ ゴシック</family>
    <prefer><family>IPAGothic</family></prefer>
  </alias>
  <alias binding="same">
    <family>MS Gothic</family>
    <prefer><family>IPAGothic</family></prefer>
  </alias>
</fontconfig>
)";

std::mutex& fcLock() {
  static std::mutex m;
  return m;
}

FcConfig* config() {
  static FcConfig* cfg = [] {
    FcConfig* c = FcInitLoadConfigAndFonts();
    if (c) FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(kAliases), FcTrue);
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
