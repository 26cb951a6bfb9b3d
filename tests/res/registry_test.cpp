// Manager ids stay stable as managers go, and the per-step update skips the gone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/res/res_registry.h"
#include "runtime/res/stand_in_mgr.h"
#include "tests/res/res_test_types.h"

namespace {

class Ticking : public kesto::StandInMgr {
 public:
  Ticking(const char* name, std::vector<std::string>* log) : StandInMgr(name, "Tick"), log_(log) {}
  void update(float dt) override {
    EXPECT_FLOAT_EQ(dt, 0.5f);
    log_->push_back(className());
  }

 private:
  std::vector<std::string>* log_;
};

TEST(ResRegistry, IdsFollowRegistrationAndStayStable) {
  ResRegistry& reg = ResRegistry::instance();
  std::vector<std::string> log;
  auto a = std::make_unique<Ticking>("a", &log);
  auto b = std::make_unique<Ticking>("b", &log);
  auto c = std::make_unique<Ticking>("c", &log);
  const uint32_t base = a->id();
  EXPECT_EQ(b->id(), base + 1);
  EXPECT_EQ(reg.managerById(base + 1), b.get());
  b.reset();
  EXPECT_EQ(reg.managerById(base + 1), nullptr);
  EXPECT_EQ(reg.managerById(base + 2), c.get());
  auto d = std::make_unique<Ticking>("d", &log);
  EXPECT_EQ(d->id(), base + 3);

  reg.updateAll(0.5f);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "d"}));
}

}  // namespace
