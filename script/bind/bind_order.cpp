#include "script/bind/bind_order.h"

#include <cstring>
#include <string>

#include "script/bind/bind_class.h"
#include "script/lua/script_report.h"

namespace qxbind {

namespace {

using K = BindKind;

// The managers' classes are named as scripts know them ("sound", "input"); their
// resource classes too ("SSPtr", although the sound manager reports "SPPtr").
const std::array<BindStep, BindOrder::kStepCount> kSteps = {{
    {1, K::object, "GUIConsole", nullptr, {}},
    {2, K::object, "HUDMeter", nullptr, {}},
    {3, K::object, "TwiAPI", nullptr, u"TwiAPI"},
    {4, K::manager, "sound", "SSPtr", {}},
    {5, K::object, "Qeldrin", nullptr, u"L_Qeldrin"},
    {6, K::manager, "MtlMgr", "MtlData", {}},
    {7, K::manager, "input", "RIData", {}},
    {8, K::manager, "ColMgr", "TopCUC", {}},
    {9, K::manager, "GobjMgr", "Gobj", {}},
    {10, K::manager, "ColPipeMgr", "ColPipe", {}},
    {11, K::manager, "CamMgr", "CamData", {}},
    {12, K::manager, "EffectMgr", "FxData", {}},
    {13, K::manager, "TextureMgr", "TexData", {}},
    {14, K::object, "HUDUnit_rect", nullptr, {}},
    {15, K::object, "RectInfo", nullptr, {}},
    {16, K::object, "HUDText", nullptr, {}},
    {17, K::object, "Animator", nullptr, {}},
    {18, K::object, "HUDBG", nullptr, {}},
    {19, K::object, "HUDUnit_wire", nullptr, {}},
    {20, K::object, "MLDialog", nullptr, {}},
    {21, K::derived, "HUDText3D", "HUDText", {}},
    {22, K::object, "HUDRay", nullptr, {}},
    {23, K::object, "BillboardY", nullptr, {}},
    {24, K::pointer, "SockMgr", nullptr, {}},
    {25, K::pointer, "SSockMgr", nullptr, {}},
    {26, K::derived, "Billboard", "BillboardBase", {}},
    {27, K::object, "HUDMatPlane", nullptr, {}},
    {28, K::object, "PolyLineS", nullptr, {}},
    {29, K::object, "PolyLineTR", nullptr, {}},
    {30, K::derived, "HUDTextBB", "HUDText", {}},
    {31, K::object, "PlantSphere", nullptr, {}},
    {32, K::object, "HUDUnit_meter", nullptr, {}},
}};

bool sameName(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}

}  // namespace

const BindStep& BindOrder::step(int number) { return kSteps.at(static_cast<size_t>(number - 1)); }

const BindStep* BindOrder::stepOf(std::string_view className) {
  for (const BindStep& s : kSteps) {
    if (className == s.className) return &s;
    if (s.kind == K::manager && s.secondName && className == s.secondName) return &s;
  }
  return nullptr;
}

bool BindOrder::provide(const ClassBinding& binding) {
  if (!binding.first.name) return false;
  const BindStep* s = stepOf(binding.first.name);
  if (!s || !sameName(s->className, binding.first.name) || s->kind != binding.kind) return false;
  const bool needsSecond = s->kind == K::manager || s->kind == K::derived;
  if (needsSecond && !sameName(s->secondName, binding.second.name)) return false;
  bindings_[static_cast<size_t>(s->number - 1)] = binding;
  return true;
}

bool BindOrder::isProvided(int number) const {
  return number >= 1 && number <= kStepCount && bindings_[static_cast<size_t>(number - 1)].has_value();
}

int BindOrder::run(const ScriptHdl& state) const {
  int bound = 0;
  for (const BindStep& s : kSteps) {
    const auto& b = bindings_[static_cast<size_t>(s.number - 1)];
    if (!b) continue;
    if (bindClass(state, *b, s.scriptBase)) {
      ++bound;
    } else {
      scriptDebugLog("bind step " + std::to_string(s.number) + " (" + s.className + ") did not complete");
    }
  }
  return bound;
}

}  // namespace qxbind
