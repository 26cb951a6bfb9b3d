#include "render/state/param_table.h"

#include <charconv>

#include "render/effect/fx_data.h"
#include "render/state/vertex_formats.h"
#include "runtime/res/hdl_lock.h"

namespace {

ParamBinding makeBinding(const qxfx::IEffect& effect, std::string_view value, bool keep,
                         const std::function<uint32_t(std::string_view)>& loadTexture) {
  ParamBinding b;
  b.keep = keep;
  const size_t colon = value.find(':');
  const std::string_view semantic = value.substr(0, colon);
  const std::string_view rest = colon == std::string_view::npos ? std::string_view() : value.substr(colon + 1);
  b.param = effect.getParameterBySemantic(semantic);
  qxfx::ParamInfo info;
  if (b.param && effect.getParameterInfo(b.param, info) && info.type == qxfx::ParamType::Texture) {
    b.defaultValue.kind = ParamValue::kTexture;
    if (colon != std::string_view::npos && loadTexture) b.defaultValue.texture.adopt(loadTexture(rest));
    return b;
  }
  float v[4] = {};
  int n = 0;
  const char* p = rest.data();
  const char* end = rest.data() + rest.size();
  while (n < 4 && p < end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p == end) break;
    const auto r = std::from_chars(p, end, v[n]);
    if (r.ec != std::errc()) break;
    ++n;
    p = r.ptr;
  }
  b.defaultValue = ParamValue::ofVector(v, 4);
  return b;
}

}  // namespace

TechniqueBindings buildTechniqueBindings(const qxfx::IEffect& effect, qxfx::FxHandle technique,
                                         const std::function<uint32_t(std::string_view)>& loadTexture) {
  TechniqueBindings out;
  qxfx::TechniqueInfo info;
  if (!technique || !effect.getTechniqueInfo(technique, info)) return out;
  for (uint32_t i = 0; i < info.annotations; ++i) {
    qxfx::Annotation a;
    if (!effect.getAnnotation(technique, i, a) || a.name.size() < 4) continue;
    const std::string_view prefix = std::string_view(a.name).substr(0, 4);
    const std::string_view rest = std::string_view(a.name).substr(4);
    if (prefix == "SYS_") {
      if (rest == "VType") out.vertexFormat = vertexFormatIndex(a.value);
    } else if (prefix == "OBJ_" || prefix == "EXT_") {
      out.technique[std::string(rest)] = makeBinding(effect, a.value, prefix == "EXT_", loadTexture);
    }
  }
  out.passes.resize(info.passes);
  for (uint32_t p = 0; p < info.passes; ++p) {
    const qxfx::FxHandle pass = effect.getPass(technique, p);
    qxfx::PassInfo pi;
    if (!pass || !effect.getPassInfo(pass, pi)) continue;
    for (uint32_t i = 0; i < pi.annotations; ++i) {
      qxfx::Annotation a;
      if (effect.getAnnotation(pass, i, a)) out.passes[p][a.name] = makeBinding(effect, a.value, false, loadTexture);
    }
  }
  return out;
}

bool ParamTable::set(std::string_view name, const ParamValue& value) {
  auto p = pending_.find(name);
  if (p != pending_.end()) {
    p->second = value;
    return true;
  }
  auto g = given_.find(name);
  if (g != given_.end() && g->second == value) return false;
  pending_.emplace(std::string(name), value);
  return true;
}

bool ParamTable::apply(FxData& fx, const TechniqueBindings& bindings, int32_t pass) {
  if (pending_.empty()) return false;
  qxfx::IEffect* effect = fx.effect();
  bool sent = false;
  for (auto& [name, value] : pending_) {
    auto g = given_.find(name);
    if (g == given_.end()) {
      given_.emplace(name, value);
    } else if (g->second == value) {
      continue;  // replaced while pending by what the effect already holds
    } else {
      g->second = value;
    }
    qxfx::FxHandle param = 0;
    if (auto b = bindings.technique.find(name); b != bindings.technique.end()) {
      param = b->second.param;
    } else if (pass >= 0 && size_t(pass) < bindings.passes.size() &&
               bindings.passes[size_t(pass)].count(name)) {
      param = bindings.passes[size_t(pass)].find(name)->second.param;
    } else if (effect) {
      auto s = semantics_.find(name);
      if (s == semantics_.end()) s = semantics_.emplace(name, effect->getParameterBySemantic(name)).first;
      param = s->second;
    }
    if (!param || !effect) continue;
    switch (value.kind) {
      case ParamValue::kTexture: {
        kesto::HdlLock<TextureMgr::TexHandle> tex(value.texture, kesto::HdlLock<TextureMgr::TexHandle>::kShared);
        fx.setTexture(param, tex ? tex->texture() : nullptr);
        break;
      }
      case ParamValue::kVector:
        fx.setVector(param, value.f);
        break;
      case ParamValue::kMatrix44:
        fx.setMatrix(param, value.f);
        break;
      case ParamValue::kMatrix43:
        fx.setMatrix43(param, value.f);
        break;
      default:
        continue;
    }
    sent = true;
  }
  pending_.clear();
  return sent;
}

void ParamTable::resend() {
  for (auto& [name, value] : given_) pending_.emplace(name, value);  // a pending value is kept
  given_.clear();
}

const ParamValue* ParamTable::find(std::string_view name) const {
  if (auto p = pending_.find(name); p != pending_.end()) return &p->second;
  if (auto g = given_.find(name); g != given_.end()) return &g->second;
  return nullptr;
}

void ParamTable::clear() {
  given_.clear();
  pending_.clear();
  semantics_.clear();
}

void setDefaults(ParamTable& table, const BindingMap& bindings, bool onlyObject) {
  for (const auto& [name, b] : bindings) {
    if (!onlyObject || !b.keep) table.set(name, b.defaultValue);
  }
}
