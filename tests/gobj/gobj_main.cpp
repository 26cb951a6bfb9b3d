#include <gtest/gtest.h>

#include "tests/bind/bind_test_support.h"

// gtest_main runs the tests; the environment is registered before it starts.
namespace {
const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment);
}
