#include <gtest/gtest.h>

#include "scene/sound/sound_mgr.h"
#include "tests/bind/bind_test_support.h"

// The binding tests' managers, with the sound manager in its place (id 0).
namespace {
const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& m) {
  m.provide(kesto::ManagerKind::sound, [] { return std::make_unique<SoundMgr>(); });
}));
}
