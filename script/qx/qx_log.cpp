#include "script/qx/qx_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "platform/core/numconv.h"
#include "platform/thread/thread.h"
#include "platform/window/x_errors.h"
#include "runtime/fs/host_path.h"
#include "runtime/fs/path_stack.h"

namespace {

struct LogFile {
  std::mutex mutex;
  std::ofstream out;
  std::string path;
  bool tried = false;  // an open was attempted since the last close
};

LogFile& logFile() {
  static LogFile* f = new LogFile();  // lines written late in exit still find it
  return *f;
}

std::optional<std::string> logHostPath() {
  // Without a program folder there is no place for the log (it never goes to the
  // process's current directory).
  if (programPath().empty()) return std::nullopt;
  try {
    PathStack p = programPath();
    p.push(u"log.txt");
    std::optional<std::string> host = qx::toHostPath(p.str());
    if (!host) return std::nullopt;
    return qx::hostPathForWrite(*host);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The descriptor a process that loses its display, or whose X request is refused, writes
// its last line through: it may not take the log's lock or allocate then.
void setLastLineLog(int fd) {
  const int previous = qxplat::setXErrorLog(fd);
  if (previous >= 0) ::close(previous);
}

void closeLocked(LogFile& f) {
  setLastLineLog(-1);
  f.out.close();
  f.out.clear();
  f.path.clear();
}

bool openLocked(LogFile& f) {
  closeLocked(f);
  f.tried = true;
  std::optional<std::string> path = logHostPath();
  if (!path) return false;
  f.out.open(*path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!f.out) return false;
  f.path = *path;
  setLastLineLog(::open(path->c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  return true;
}

}  // namespace

bool openQXLog() {
  LogFile& f = logFile();
  std::lock_guard<std::mutex> g(f.mutex);
  return openLocked(f);
}

void closeQXLog() {
  LogFile& f = logFile();
  std::lock_guard<std::mutex> g(f.mutex);
  closeLocked(f);
  f.tried = false;
}

void writeQXLog(std::string_view message) {
  LogFile& f = logFile();
  std::lock_guard<std::mutex> g(f.mutex);
  if (!f.tried) openLocked(f);
  if (!f.out.is_open()) return;
  std::string line = "[" + qcore::formatU64(qxplat::monotonicMs()) + "]: ";
  line.append(message);
  line.push_back('\n');
  f.out.write(line.data(), static_cast<std::streamsize>(line.size()));
  f.out.flush();
}

std::string qxLogPath() {
  LogFile& f = logFile();
  std::lock_guard<std::mutex> g(f.mutex);
  return f.path;
}
