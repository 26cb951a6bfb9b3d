// Manager ids are never handed out twice in a process: the catalogue case must run first
// and the case that uses up every id last.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/res/catalogue.h"
#include "runtime/res/res_registry.h"
#include "runtime/res/stand_in_mgr.h"
#include "tests/res/res_test_types.h"

namespace {

using kesto::ManagerCatalogue;
using kesto::ManagerKind;

std::vector<std::string> gEnded;
int gCamUpdates = 0;

struct CamData {
  float fov = 1.0f;
};
class CamMgr : public kesto::ResourceMgrNoName<CamMgr, CamData> {
 public:
  ~CamMgr() override { gEnded.push_back("CamMgr"); }
  const char* dataTypeName() const override { return "CamData"; }
  void update(float) override { ++gCamUpdates; }
};

class TexMgr : public kesto::ResourceMgr<TexMgr, restest::Counted, kesto::MultiP, 1> {
 public:
  TexMgr() { addExtension(u"png"); }
  ~TexMgr() override { gEnded.push_back("TexMgr"); }
  const char* dataTypeName() const override { return "TexData"; }
};

TEST(ManagerCatalogue, BuildsInOrderWithStandIns) {
  ResRegistry& reg = ResRegistry::instance();
  ASSERT_EQ(reg.managerCount(), 0u) << "the catalogue must be the first to register";
  ManagerCatalogue cat;
  cat.provide(ManagerKind::camera, [] { return std::make_unique<CamMgr>(); });
  cat.provide(ManagerKind::texture, [] { return std::make_unique<TexMgr>(); });
  cat.provide(ManagerKind::sound, [] { return std::unique_ptr<kesto::ResBasePtr>(); });
  ASSERT_TRUE(cat.constructAll());

  for (uint32_t i = 0; i < ManagerCatalogue::kCount; ++i) {
    auto kind = static_cast<ManagerKind>(i);
    kesto::ResBasePtr* m = cat.manager(kind);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->id(), i);
    EXPECT_EQ(reg.managerById(i), m);
    const bool provided = kind == ManagerKind::camera || kind == ManagerKind::texture;
    EXPECT_EQ(cat.isStandIn(kind), !provided) << i;
  }
  EXPECT_EQ(CamMgr::instance(), cat.manager(ManagerKind::camera));

  EXPECT_EQ(reg.findManagerForFile(u"ui\\hud.png"), cat.manager(ManagerKind::texture));
  EXPECT_EQ(reg.findManagerForFile(u"walk.spr"), cat.manager(ManagerKind::animation));
  EXPECT_EQ(reg.findManagerForFile(u"a.fx"), nullptr);  // effects never claim files
  std::u16string capitals = u"Walk.SPR";
  EXPECT_EQ(reg.findManagerForFile(capitals), nullptr);
  ASSERT_TRUE(cat.manager(ManagerKind::animation)->normalizeName(capitals));
  EXPECT_EQ(reg.findManagerForFile(capitals), cat.manager(ManagerKind::animation));

  // Objects of a provided manager carry its catalogue id.
  auto cam = CamMgr::instance()->create().handle;
  EXPECT_EQ(cam.mgrId(), 8u);
  reg.updateAll(1.0f / 60);
  EXPECT_EQ(gCamUpdates, 1);
  cam.reset();

  // A second build keeps what exists and reports it.
  EXPECT_FALSE(cat.constructAll());

  cat.destroyAll();
  EXPECT_EQ(gEnded, (std::vector<std::string>{"CamMgr", "TexMgr"}));
  for (uint32_t i = 0; i < ManagerCatalogue::kCount; ++i) EXPECT_EQ(reg.managerById(i), nullptr);
  EXPECT_EQ(CamMgr::instance(), nullptr);
}

TEST(ManagerCatalogue, ManagerWithoutAnIdMakesNothing) {
  ResRegistry& reg = ResRegistry::instance();
  std::vector<std::unique_ptr<kesto::StandInMgr>> fillers;
  while (reg.managerCount() < ResRegistry::kMaxManagers)
    fillers.push_back(std::make_unique<kesto::StandInMgr>("filler", "Filler"));
  restest::CountedMgr late;
  EXPECT_EQ(late.id(), kesto::kNoManagerId);
  EXPECT_EQ(reg.managerById(kesto::kNoManagerId), nullptr);
  auto r = late.create();
  EXPECT_FALSE(r.created);
  EXPECT_TRUE(r.handle.isNull());
  // A catalogue built now cannot give its managers their ids.
  ManagerCatalogue cat;
  EXPECT_FALSE(cat.constructAll());
}

}  // namespace
