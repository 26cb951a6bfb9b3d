// Shared set-up of the window tests: never a real screen, boxes on stderr.
#pragma once
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qxtest {

inline void useHeadlessVideo() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("QX_MSGBOX", "stderr", 1);
}

// Unsets the named variables for its lifetime and puts them back afterwards.
struct ClearedEnv {
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  ClearedEnv(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const char* v = std::getenv(name);
      saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
      unsetenv(name);
    }
  }
  ~ClearedEnv() {
    for (const auto& [name, value] : saved) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
};

}  // namespace qxtest
