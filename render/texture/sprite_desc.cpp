#include "render/texture/sprite_desc.h"

#include <json/value.h>

#include "platform/core/utf.h"
#include "render/json/json_doc.h"

namespace qxtex {

namespace {

// Sizes wrap as 32-bit values do instead of overflowing.
int32_t wrap(int64_t v) { return static_cast<int32_t>(v); }
int32_t cell(int32_t size, int32_t count) { return count == 0 ? 0 : wrap(int64_t(size) / count); }

const Json::Value* member(const Json::Value& e, std::string_view key) {
  return e.isObject() ? e.find(key.data(), key.data() + key.size()) : nullptr;
}

}  // namespace

void SpriteDesc::parse(const Json::Value& e, int32_t textureWidth, int32_t textureHeight) {
  const Json::Value* nameValue = member(e, "name");
  if (nameValue && nameValue->isString()) {
    name = qcore::utf8ToUtf16(nameValue->asString());
    if (name.size() > kMaxName) {
      name.resize(kMaxName);
      // A pair cut in half leaves no lone lead unit behind.
      if (name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();
    }
  }
  offsetx = qxjson::intMember(e, "offsetx", 0);
  offsety = qxjson::intMember(e, "offsety", 0);
  width = qxjson::intMember(e, "width", wrap(int64_t(textureWidth) - offsetx));
  height = qxjson::intMember(e, "height", wrap(int64_t(textureHeight) - offsety));
  nwidth = qxjson::intMember(e, "nwidth", 1);
  nheight = qxjson::intMember(e, "nheight", 1);
  cellWidth = cell(width, nwidth);
  cellHeight = cell(height, nheight);
  frame = qxjson::intMember(e, "frame", 1);
  const Json::Value* spots = member(e, "hotspot");
  if (spots && spots->isArray()) {
    const Json::ArrayIndex n = spots->size() / 3;
    hotspots.resize(n);
    for (Json::ArrayIndex k = 0; k < n; ++k) {
      hotspots[k].p3 = qxjson::intOf((*spots)[3 * k], 0);
      hotspots[k].p1 = qxjson::intOf((*spots)[3 * k + 1], 0);
      hotspots[k].p2 = qxjson::intOf((*spots)[3 * k + 2], 0);
    }
  }
}

bool readSpriteDescs(std::string_view text, int32_t textureWidth, int32_t textureHeight,
                     std::vector<SpriteDesc>& out, std::string* why) {
  out.clear();
  Json::Value root;
  if (!qxjson::parseDocument(text, root, why)) return false;
  if (!root.isArray()) return true;
  out.resize(root.size());
  for (Json::ArrayIndex i = 0; i < root.size(); ++i) out[i].parse(root[i], textureWidth, textureHeight);
  return true;
}

std::u16string spriteDescFileName(std::u16string_view textureName, size_t maxLength) {
  const size_t dot = textureName.rfind(u'.');
  std::u16string name(textureName.substr(0, dot));
  name += u".desc";
  if (name.size() > maxLength) return {};
  return name;
}

}  // namespace qxtex
