#include "scene/anim/animation.h"

#include <json/json.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/core/utf.h"

namespace {

// jsoncpp throws on a wrongly typed access; every read here checks the type first.

const Json::Value* member(const Json::Value& obj, const char* key) {
  if (!obj.isObject()) return nullptr;
  return obj.find(key, key + std::strlen(key));
}

// Integer conversion of any number (reals truncated, out-of-range values clamped);
// anything else reads 0.
int32_t toInt(const Json::Value& v) {
  if (v.isInt()) return v.asInt();
  if (v.isBool()) return v.asBool() ? 1 : 0;
  if (!v.isNumeric()) return 0;
  const double d = v.asDouble();
  if (std::isnan(d)) return 0;
  if (d >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (d <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(d);
}

int32_t intAt(const Json::Value& array, Json::ArrayIndex i) {
  return array.isArray() && i < array.size() ? toInt(array[i]) : 0;
}

int32_t intMember(const Json::Value& obj, const char* key) {
  const Json::Value* v = member(obj, key);
  return v ? toInt(*v) : 0;
}

// Copies at most 63 bytes, not splitting a UTF-8 sequence.
void copyName(char (&dest)[AnimSlot::kNameSize], const std::string& name) {
  size_t n = name.size();
  if (n >= AnimSlot::kNameSize) {
    n = AnimSlot::kNameSize - 1;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(dest, name.data(), n);
  dest[n] = 0;
}

struct Scale {
  float x = 1, y = 1;
};

AnimRect pixelRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Scale s) {
  return {static_cast<float>(x0) / s.x, static_cast<float>(y0) / s.y, static_cast<float>(x1) / s.x,
          static_cast<float>(y1) / s.y};
}

class SlotBuilder {
 public:
  explicit SlotBuilder(std::vector<std::unique_ptr<AnimProp>>& owned) : owned_(owned) {}

  void build(AnimSlot& slot, const Json::Value& entry, const AnimSlot& parent, const std::string& name) {
    const Json::Value* tex = member(entry, "texture");
    if (tex && tex->isString() && !tex->asString().empty()) {
      slot.texture = loadAnimTexture(qcore::utf8ToUtf16(tex->asString()));
    } else {
      slot.texture = parent.texture;
    }
    copyName(slot.name, name);
    int32_t w = 1, h = 1;
    animTextureScale(slot.texture, w, h);
    const Scale scale{static_cast<float>(w), static_cast<float>(h)};

    slot.rect = readRect(member(entry, "rect"), scale);
    if (!slot.rect) slot.rect = parent.rect;
    slot.hotspot = readHotspot(member(entry, "hotspot"));
    if (!slot.hotspot) slot.hotspot = parent.hotspot;
    slot.delay = readDelay(member(entry, "delay"));
    if (!slot.delay) slot.delay = parent.delay;
    slot.tag = readTag(member(entry, "tag"));
    if (!slot.tag) slot.tag = parent.tag;
  }

  template <class T, class... Args>
  T* make(Args&&... args) {
    auto p = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = p.get();
    owned_.push_back(std::move(p));
    return raw;
  }

 private:
  // Lists that would hold no entry are taken as absent: the slot inherits.
  const IFAnimRect* readRect(const Json::Value* v, Scale s) {
    if (!v) return nullptr;
    if (v->isObject()) {
      const Json::Value* area = member(*v, "rect");
      const Json::Value none;
      const Json::Value& a = area ? *area : none;
      return make<ARectMat>(pixelRect(intAt(a, 0), intAt(a, 1), intAt(a, 2), intAt(a, 3), s),
                            intMember(*v, "nwidth"), intMember(*v, "nheight"), intMember(*v, "frame"));
    }
    if (!v->isArray() || v->size() < 4) return nullptr;
    std::vector<AnimRect> frames;
    frames.reserve(v->size() / 4);
    for (Json::ArrayIndex i = 0; i + 3 < v->size(); i += 4) {
      frames.push_back(pixelRect(intAt(*v, i), intAt(*v, i + 1), intAt(*v, i + 2), intAt(*v, i + 3), s));
    }
    return make<ARectList>(std::move(frames));
  }

  const IFAnimHS* readHotspot(const Json::Value* v) {
    if (!v || !v->isArray()) return nullptr;
    if (v->size() == 2) return make<HSShare>(intAt(*v, 0), intAt(*v, 1));
    if (v->size() < 3) return nullptr;
    std::vector<HSList::Entry> entries;
    entries.reserve(v->size() / 3);
    for (Json::ArrayIndex i = 0; i + 2 < v->size(); i += 3) {
      entries.push_back({intAt(*v, i), intAt(*v, i + 1), intAt(*v, i + 2)});
    }
    return make<HSList>(std::move(entries));
  }

  const IFAnimDelay* readDelay(const Json::Value* v) {
    if (!v) return nullptr;
    if (v->isInt()) return make<ADelayShare>(v->asInt());
    if (!v->isArray() || v->empty()) return nullptr;
    std::vector<int32_t> ticks;
    ticks.reserve(v->size());
    for (Json::ArrayIndex i = 0; i < v->size(); ++i) ticks.push_back(intAt(*v, i));
    return make<ADelayList>(std::move(ticks));
  }

  const IFAnimTag* readTag(const Json::Value* v) {
    if (!v || !v->isArray()) return nullptr;
    std::vector<ATagList::Entry> entries;
    entries.reserve(v->size() / 2);
    for (Json::ArrayIndex i = 0; i + 1 < v->size(); i += 2) {
      const Json::Value& name = (*v)[i + 1];
      entries.push_back({intAt(*v, i), name.isString() ? name.asString() : std::string()});
    }
    return make<ATagList>(std::move(entries));
  }

  std::vector<std::unique_ptr<AnimProp>>& owned_;
};

}  // namespace

bool Animation::build(std::string_view text, std::string* why) {
  if (text.size() > kMaxFileBytes) {
    if (why) *why = "larger than 4 MiB";
    return false;
  }
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  builder["stackLimit"] = kMaxDepth;
  Json::Value doc;
  std::string errors;
  bool parsed;
  try {
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    parsed = reader->parse(text.data(), text.data() + text.size(), &doc, &errors);
  } catch (const std::exception& e) {
    // jsoncpp reports nesting past its limit by throwing.
    errors = e.what();
    parsed = false;
  }
  if (!parsed || !doc.isObject()) {
    if (why) *why = parsed ? "the root is not an object" : errors;
    return false;
  }

  SlotBuilder slots(owned_);
  AnimSlot defaults;
  defaults.rect = slots.make<ARectMat>(AnimRect{}, 1, 1, 1);
  defaults.tag = slots.make<IFAnimTag>();
  defaults.delay = slots.make<ADelayShare>(1);
  defaults.hotspot = slots.make<HSShare>(0, 0);
  slots.build(root_, doc, defaults, std::string());

  const Json::Value* list = member(doc, "slot");
  if (!list || !list->isObject()) return true;
  const std::vector<std::string> names = list->getMemberNames();
  members_.resize(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const Json::Value* entry = list->find(name.data(), name.data() + name.size());
    static const Json::Value kNone;
    slots.build(members_[i], entry ? *entry : kNone, root_, name);
  }
  return true;
}

const AnimSlot* Animation::slotOrNull(int32_t index) const {
  if (index < 0) return &root_;
  return index < slotCount() ? &members_[static_cast<size_t>(index)] : nullptr;
}

int32_t Animation::findSlot(std::string_view name) const {
  if (name.empty()) return -1;
  for (size_t i = 0; i < members_.size(); ++i) {
    if (name == members_[i].name) return static_cast<int32_t>(i);
  }
  return -1;
}
