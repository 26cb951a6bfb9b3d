// Manager ids, lookup by id and by file extension, and the per-step update.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/res/res_registry.h"
#include "runtime/res/stand_in_mgr.h"
#include "tests/res/res_test_types.h"

namespace {

class Ticking : public kesto::StandInMgr {
 public:
  Ticking(const char* name, std::vector<const char*>* log) : StandInMgr(name, "Tick"), log_(log) {}
  void update(float dt) override {
    EXPECT_FLOAT_EQ(dt, 0.5f);
    log_->push_back(className());
  }

 private:
  std::vector<const char*>* log_;
};

TEST(ResRegistry, IdsFollowRegistrationAndStayStable) {
  ResRegistry& reg = ResRegistry::instance();
  std::vector<const char*> log;
  auto a = std::make_unique<Ticking>("a", &log);
  auto b = std::make_unique<Ticking>("b", &log);
  auto c = std::make_unique<Ticking>("c", &log);
  const uint32_t base = a->id();
  EXPECT_EQ(b->id(), base + 1);
  EXPECT_EQ(c->id(), base + 2);
  EXPECT_EQ(reg.managerById(base + 1), b.get());
  b.reset();
  EXPECT_EQ(reg.managerById(base + 1), nullptr);
  EXPECT_EQ(reg.managerById(base + 2), c.get());
  auto d = std::make_unique<Ticking>("d", &log);
  EXPECT_EQ(d->id(), base + 3);
  EXPECT_EQ(reg.managerById(1000), nullptr);

  reg.updateAll(0.5f);
  EXPECT_EQ(log.size(), 3u);
  EXPECT_STREQ(log.at(0), "a");
  EXPECT_STREQ(log.at(1), "c");
  EXPECT_STREQ(log.at(2), "d");
}

}  // namespace
