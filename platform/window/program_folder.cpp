#include "platform/window/program_folder.h"

#include <unistd.h>

namespace qxplat {

std::string programFolder() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return {};
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      break;
    }
    path.resize(path.size() * 2);  // possibly truncated: try again with more room
  }
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace qxplat
