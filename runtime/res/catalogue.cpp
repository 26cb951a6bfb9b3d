#include "runtime/res/catalogue.h"

#include <utility>

#include "runtime/res/stand_in_mgr.h"

namespace kesto {

namespace {

// The sound manager reports "SPPtr" for its SSPtr objects; scripts show that name.
const std::array<CatalogueEntry, ManagerCatalogue::kCount> kEntries = {{
    {ManagerKind::sound, "SoundMgr", "SPPtr", {}},
    {ManagerKind::memory, "MemMgr", "MemItem", {}},
    {ManagerKind::material, "MtlMgr", "MtlData", {u"mtl"}},
    {ManagerKind::texture, "TextureMgr", "TexData", {u"dds", u"png", u"tga", u"bmp", u"jpg"}},
    {ManagerKind::input, "ResInput", "RIData", {}},
    {ManagerKind::collision, "ColMgr", "TopCUC", {}},
    {ManagerKind::collisionPipe, "ColPipeMgr", "ColPipe", {}},
    {ManagerKind::gameObject, "GobjMgr", "Gobj", {}},
    {ManagerKind::camera, "CamMgr", "CamData", {}},
    {ManagerKind::effect, "EffectMgr", "FxData", {}},
    {ManagerKind::animation, "AnimMgr", "Animation", {u"spr"}},
    {ManagerKind::script, "ScriptMgr", "LuaWrap", {}},
}};

std::unique_ptr<ResBasePtr> makeStandIn(const CatalogueEntry& e) {
  auto m = std::make_unique<StandInMgr>(e.className, e.dataTypeName);
  for (std::u16string_view ext : e.extensions) {
    if (!ext.empty()) m->addExtension(ext);
  }
  return m;
}

}  // namespace

const CatalogueEntry& ManagerCatalogue::entry(ManagerKind kind) { return kEntries[index(kind)]; }

ManagerCatalogue::~ManagerCatalogue() { destroyAll(); }

void ManagerCatalogue::provide(ManagerKind kind, Factory factory) { factories_[index(kind)] = std::move(factory); }

bool ManagerCatalogue::constructAll() {
  bool idsRight = true;
  for (size_t i = 0; i < kCount; ++i) {
    if (managers_[i]) {
      idsRight = false;
      continue;
    }
    if (factories_[i]) managers_[i] = factories_[i]();
    standIn_[i] = !managers_[i];
    if (standIn_[i]) managers_[i] = makeStandIn(kEntries[i]);
    if (managers_[i]->id() != i) idsRight = false;
  }
  return idsRight;
}

void ManagerCatalogue::destroyAll() {
  for (size_t i = kCount; i-- > 0;) {
    managers_[i].reset();
    standIn_[i] = false;
  }
}

}  // namespace kesto
