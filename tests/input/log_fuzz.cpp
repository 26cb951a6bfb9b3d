// libFuzzer target: any bytes replay as an input log without faults, and every query
// stays within the keymap that was read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/input/log_ctrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qxin::IFLogCtrl log(std::make_unique<std::istringstream>(std::string(reinterpret_cast<const char*>(data), size)),
                      nullptr);
  log.readFrames();
  for (int update = 0; update < 512 && !(log.exhausted() && log.queued() == 0); ++update) {
    log.update();
    const int32_t n = static_cast<int32_t>(log.names().size());
    for (int32_t ch = -1; ch <= n; ++ch) {
      const int32_t level = log.level(ch);
      if (level < 0 || level > 100 || ((ch < 0 || ch >= n) && level != 0)) std::abort();
      if ((log.pressed(ch) || log.held(ch) || log.released(ch)) && (ch < 0 || ch >= n)) std::abort();
    }
    if (update == 100) log.setActive(false);
    if (update == 101) log.setActive(true);
  }
  return 0;
}
