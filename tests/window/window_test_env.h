// Shared set-up of the window tests: never a real screen, boxes on stderr.
#pragma once
#include <cstdlib>

namespace qxtest {

inline void useHeadlessVideo() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("QX_MSGBOX", "stderr", 1);
}

}  // namespace qxtest
