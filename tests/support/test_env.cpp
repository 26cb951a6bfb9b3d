// Sets the environment a test executable declares (qx_gtest ENV) before any test runs, so
// the executable behaves the same under ctest and when started by hand.
#include <cstdlib>
#include <string>

#ifndef QX_TEST_ENV
#define QX_TEST_ENV ""
#endif

namespace {
struct TestEnv {
  TestEnv() {
    std::string all = QX_TEST_ENV;
    size_t start = 0;
    while (start < all.size()) {
      size_t end = all.find('|', start);
      if (end == std::string::npos) end = all.size();
      std::string item = all.substr(start, end - start);
      size_t eq = item.find('=');
      if (eq != std::string::npos) setenv(item.substr(0, eq).c_str(), item.substr(eq + 1).c_str(), 1);
      start = end + 1;
    }
  }
} testEnv;
}  // namespace
