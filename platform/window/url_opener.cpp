#include "platform/window/url_opener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>

#include "platform/window/message_box.h"

extern char** environ;

namespace qxplat {

const char* const kBrowserFailedText = "何らかのエラーでブラウザを開けなかった";

namespace {

std::mutex gOpenerMutex;
std::string gOpener = "xdg-open";

bool spawnAndWait(const std::string& url, const std::string& program) {
  // argv holds the URL as one entry: no shell ever sees it, so quotes, `;`, `$()` and
  // spaces in it are just characters of the address.
  std::string prog = program, arg = url;
  char* argv[] = {prog.data(), arg.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool openUrl(const std::string& url, const std::string& program) {
  if (spawnAndWait(url, program)) return true;
  showMessageBox(kBrowserFailedText, "", kMbIconWarning);
  return false;
}

std::string urlOpener() {
  std::lock_guard<std::mutex> lock(gOpenerMutex);
  return gOpener;
}

void setUrlOpener(std::string program) {
  std::lock_guard<std::mutex> lock(gOpenerMutex);
  gOpener = std::move(program);
}

}  // namespace qxplat
