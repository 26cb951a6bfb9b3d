#include "render/state/param_table.h"

#include "render/effect/fx_data.h"
#include "render/state/vertex_formats.h"
#include "runtime/json/float_list.h"
#include "runtime/res/hdl_lock.h"

namespace {

// The numbers a vector value gives the parameter (setVector fills that many); 0 for
// parameters a vector does not set.
int componentsOf(qxfx::ParamType type) {
  switch (type) {
    case qxfx::ParamType::Float:
    case qxfx::ParamType::Int:
      return 1;
    case qxfx::ParamType::Vec2:
      return 2;
    case qxfx::ParamType::Vec3:
      return 3;
    case qxfx::ParamType::Vec4:
      return 4;
    default:
      return 0;
  }
}

ParamBinding makeBinding(const qxfx::IEffect& effect, const std::string& name, std::string_view value, bool keep,
                         const std::function<uint32_t(std::string_view)>& loadTexture,
                         std::vector<ShortDefault>& shortDefaults) {
  ParamBinding b;
  b.keep = keep;
  const size_t colon = value.find(':');
  const std::string_view semantic = value.substr(0, colon);
  const std::string_view rest = colon == std::string_view::npos ? std::string_view() : value.substr(colon + 1);
  b.param = effect.getParameterBySemantic(semantic);
  qxfx::ParamInfo info;
  const bool known = b.param && effect.getParameterInfo(b.param, info);
  if (known && info.type == qxfx::ParamType::Texture) {
    b.defaultValue.kind = ParamValue::kTexture;
    if (colon != std::string_view::npos && loadTexture) b.defaultValue.texture.adopt(loadTexture(rest));
    return b;
  }
  float v[4] = {};
  if (colon == std::string_view::npos) {
    b.defaultValue = ParamValue::ofVector(v, 4);
    return b;
  }
  int given = 0;
  parseFloatList(v, std::string(rest).c_str(), 4, atofC, &given);
  b.defaultValue = ParamValue::ofVector(v, 4);
  const int wanted = known ? componentsOf(info.type) : 0;
  if (given < wanted) shortDefaults.push_back(ShortDefault{name, info.name, given, wanted});
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
      const std::string name(rest);
      out.technique[name] = makeBinding(effect, name, a.value, prefix == "EXT_", loadTexture, out.shortDefaults);
    }
  }
  out.passes.resize(info.passes);
  for (uint32_t p = 0; p < info.passes; ++p) {
    const qxfx::FxHandle pass = effect.getPass(technique, p);
    qxfx::PassInfo pi;
    if (!pass || !effect.getPassInfo(pass, pi)) continue;
    for (uint32_t i = 0; i < pi.annotations; ++i) {
      qxfx::Annotation a;
      if (effect.getAnnotation(pass, i, a))
        out.passes[p][a.name] = makeBinding(effect, a.name, a.value, false, loadTexture, out.shortDefaults);
    }
  }
  return out;
}

bool ParamTable::set(std::string_view name, const ParamValue& value) {
  auto it = slots_.find(name);
  if (it == slots_.end()) it = slots_.emplace(std::string(name), Slot()).first;
  Slot& s = it->second;
  if (s.hasPending) {
    s.pending = value;
    return true;
  }
  if (s.hasGiven && s.given == value) return false;
  s.pending = value;
  s.hasPending = true;
  ++pendingCount_;
  return true;
}

namespace {

// Whether a pass other than p binds the name: its value must wait for that pass.
bool otherPassBinds(const TechniqueBindings& bindings, std::string_view name, int32_t p) {
  for (size_t i = 0; i < bindings.passes.size(); ++i) {
    if (int32_t(i) != p && bindings.passes[i].count(name)) return true;
  }
  return false;
}

}  // namespace

bool ParamTable::apply(FxData& fx, const TechniqueBindings& bindings, int32_t pass) {
  if (pendingCount_ == 0) return false;
  qxfx::IEffect* effect = fx.effect();
  const BindingMap* passMap =
      pass >= 0 && size_t(pass) < bindings.passes.size() ? &bindings.passes[size_t(pass)] : nullptr;
  bool sent = false;
  size_t waiting = 0;
  for (auto& [name, s] : slots_) {
    if (!s.hasPending) continue;
    // A value replaced while pending by what the effect already holds is not sent again.
    if (s.hasGiven && s.given == s.pending) {
      s.hasPending = false;
      continue;
    }
    qxfx::FxHandle param = 0;
    const auto t = bindings.technique.find(name);
    const auto p = passMap ? passMap->find(name) : BindingMap::const_iterator();
    if (t != bindings.technique.end()) {
      param = t->second.param;
    } else if (passMap && p != passMap->end()) {
      param = p->second.param;
    } else if (otherPassBinds(bindings, name, pass)) {
      ++waiting;  // stays pending, not taken for sent
      continue;
    } else if (effect) {
      if (!s.semanticLooked) {
        s.semantic = effect->getParameterBySemantic(name);
        s.semanticLooked = true;
      }
      param = s.semantic;
    }
    s.hasPending = false;
    s.given = s.pending;
    s.hasGiven = true;
    if (!param || !effect) continue;
    const ParamValue& value = s.given;
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
  pendingCount_ = waiting;
  return sent;
}

void ParamTable::resend() {
  for (auto& [name, s] : slots_) {
    if (s.hasGiven && !s.hasPending) {  // a pending value is kept
      s.pending = s.given;
      s.hasPending = true;
      ++pendingCount_;
    }
    s.hasGiven = false;
  }
}

const ParamValue* ParamTable::find(std::string_view name) const {
  auto it = slots_.find(name);
  if (it == slots_.end()) return nullptr;
  if (it->second.hasPending) return &it->second.pending;
  return it->second.hasGiven ? &it->second.given : nullptr;
}

void ParamTable::clear() {
  slots_.clear();
  pendingCount_ = 0;
}

void setDefaults(ParamTable& table, const BindingMap& bindings, bool onlyObject) {
  for (const auto& [name, b] : bindings) {
    if (!onlyObject || !b.keep) table.set(name, b.defaultValue);
  }
}
