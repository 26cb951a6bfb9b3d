#include "render/material/mtl_data.h"

#include <charconv>
#include <vector>

#include "platform/core/utf.h"
#include "render/json/json_doc.h"
#include "render/material/mtl_mgr.h"

namespace {

// What a scalar JSON value becomes.
enum class Kind { none, string, integer, real, vec3, vec4, material };

struct Scalar {
  Kind kind = Kind::none;
  std::string text;
  int32_t i = 0;
  float f[4] = {};
};

// Numbers separated by spaces or commas: the count, or -1 when any piece is no number.
int numberList(const std::string& s, float* out, int max) {
  int n = 0;
  size_t at = 0;
  while (at < s.size()) {
    while (at < s.size() && (s[at] == ' ' || s[at] == ',' || s[at] == '\t')) ++at;
    if (at == s.size()) break;
    size_t end = at;
    while (end < s.size() && s[end] != ' ' && s[end] != ',' && s[end] != '\t') ++end;
    float v = 0;
    auto [p, ec] = std::from_chars(s.data() + at, s.data() + end, v);
    if (ec != std::errc() || p != s.data() + end || n == max) return -1;
    out[n++] = v;
    at = end;
  }
  return n;
}

Scalar classify(const Json::Value& v) {
  Scalar s;
  if (v.isBool()) {
    s.kind = Kind::integer;
    s.i = v.asBool() ? 1 : 0;
  } else if ((v.type() == Json::intValue || v.type() == Json::uintValue) && v.isInt()) {
    s.kind = Kind::integer;
    s.i = v.asInt();
  } else if (v.isNumeric()) {
    s.kind = Kind::real;
    s.f[0] = static_cast<float>(v.asDouble());
  } else if (v.isString()) {
    s.text = v.asString();
    if (!s.text.empty() && s.text[0] == '@') {
      s.kind = Kind::material;
      s.text.erase(0, 1);
    } else {
      const int n = numberList(s.text, s.f, 4);
      s.kind = n == 3 ? Kind::vec3 : n == 4 ? Kind::vec4 : Kind::string;
    }
  }
  return s;
}

MtlHandle acquireMaterial(const std::string& name) {
  MtlMgr* mgr = MtlMgr::instance();
  return mgr ? mgr->acquire(qcore::utf8ToUtf16(name)) : MtlHandle();
}

// Adds the scalar to a pick list of type T.
template <class T>
void addTo(MtlData& m, const std::string& name, MtlRandPick<T>*& list, T value) {
  if (!list) {
    auto owned = std::make_unique<MtlRandPick<T>>();
    list = owned.get();
    m.table<T>()[name] = std::move(owned);
  }
  list->add(std::move(value));
}

}  // namespace

bool MtlData::loadFromText(std::string_view text, std::string* why) {
  if (!qxjson::parseDocument(text, document_, why)) return false;
  loaded_ = true;
  if (!document_.isObject()) return true;
  const Json::Value& doc = document_;
  for (const std::string& name : doc.getMemberNames()) {
    const Json::Value& v = doc[name];
    if (!name.empty() && name[0] == '@') {
      if (!v.isObject()) continue;
      for (const std::string& alias : v.getMemberNames()) {
        const Json::Value& target = v[alias];
        if (target.isString()) references_[alias] = acquireMaterial(target.asString());
      }
    } else if (v.isNull() || v.isArray()) {
      buildList(name, v);
    } else if (v.isObject()) {
      buildRange(name, v);
    } else {
      buildMember(name, v);
    }
  }
  return true;
}

void MtlData::buildMember(const std::string& name, const Json::Value& v) {
  Scalar s = classify(v);
  switch (s.kind) {
    case Kind::integer:
      table<int32_t>()[name] = std::make_unique<MtlImm<int32_t>>(s.i);
      break;
    case Kind::real:
      table<float>()[name] = std::make_unique<MtlImm<float>>(s.f[0]);
      break;
    case Kind::vec3:
      table<Vec3>()[name] = std::make_unique<MtlImm<Vec3>>(Vec3(s.f[0], s.f[1], s.f[2]));
      break;
    case Kind::vec4:
      table<Vec4>()[name] = std::make_unique<MtlImm<Vec4>>(Vec4(s.f[0], s.f[1], s.f[2], s.f[3]));
      break;
    case Kind::string:
      table<std::string>()[name] = std::make_unique<MtlImm<std::string>>(s.text);
      break;
    case Kind::material:
      table<MtlHandle>()[name] = std::make_unique<MtlImm<MtlHandle>>(acquireMaterial(s.text));
      break;
    case Kind::none:
      break;
  }
}

// The first usable element decides the list's type; elements of other types are left out.
void MtlData::buildList(const std::string& name, const Json::Value& array) {
  if (!array.isArray()) return;
  Kind listKind = Kind::none;
  MtlRandPick<int32_t>* ints = nullptr;
  MtlRandPick<float>* floats = nullptr;
  MtlRandPick<Vec3>* vec3s = nullptr;
  MtlRandPick<Vec4>* vec4s = nullptr;
  MtlRandPick<std::string>* strings = nullptr;
  MtlRandPick<MtlHandle>* materials = nullptr;
  for (const Json::Value& e : array) {
    Scalar s = classify(e);
    if (s.kind == Kind::none) continue;
    if (listKind == Kind::none) listKind = s.kind;
    if (s.kind != listKind) continue;
    switch (s.kind) {
      case Kind::integer:
        addTo(*this, name, ints, s.i);
        break;
      case Kind::real:
        addTo(*this, name, floats, s.f[0]);
        break;
      case Kind::vec3:
        addTo(*this, name, vec3s, Vec3(s.f[0], s.f[1], s.f[2]));
        break;
      case Kind::vec4:
        addTo(*this, name, vec4s, Vec4(s.f[0], s.f[1], s.f[2], s.f[3]));
        break;
      case Kind::string:
        addTo(*this, name, strings, std::move(s.text));
        break;
      case Kind::material:
        addTo(*this, name, materials, acquireMaterial(s.text));
        break;
      case Kind::none:
        break;
    }
  }
}

void MtlData::buildRange(const std::string& name, const Json::Value& object) {
  if (object.isMember("imin") && object.isMember("imax")) {
    table<int32_t>()[name] = std::make_unique<MtlRandRange<int32_t>>(qxjson::intOf(object["imin"], 0),
                                                                      qxjson::intOf(object["imax"], 0));
  } else if (object.isMember("fmin") && object.isMember("fmax")) {
    auto real = [](const Json::Value& v) { return v.isNumeric() ? static_cast<float>(v.asDouble()) : 0.0f; };
    table<float>()[name] = std::make_unique<MtlRandRange<float>>(real(object["fmin"]), real(object["fmax"]));
  }
}
