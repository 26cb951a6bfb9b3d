#include <gtest/gtest.h>

#include "tests/qx/qx_test_support.h"

// gtest_main runs the tests; the environment is registered before it starts.
namespace {
const auto* kEnv = ::testing::AddGlobalTestEnvironment(new qxtest::Environment);
}
