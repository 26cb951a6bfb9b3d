#include "runtime/fs/raw_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <new>
#include <stdexcept>

#include "runtime/fs/host_path.h"
#include "runtime/fs/path_stack.h"

namespace qx {

namespace {

bool isAbsoluteName(std::u16string_view name) { return !name.empty() && name[0] == u'/'; }

// Reads up to n bytes, retrying short reads; gives the count read.
size_t readFully(int fd, uint8_t* dst, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::read(fd, dst + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t writeFully(int fd, const uint8_t* src, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t put = ::write(fd, src + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  return done;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<RawFile> RawFile::create(std::u16string_view path) {
  std::u16string root(path);
  if (!root.empty()) {
    auto host = toHostPath(root);
    if (!host) return nullptr;
    auto found = findHostPath(*host);
    if (!found || !isHostDirectory(*found)) return nullptr;
    if (root.size() > 1 && (root.back() == u'\\' || root.back() == u'/')) root.pop_back();
  }
  return std::make_unique<RawFile>(std::move(root));
}

RawFile::RawFile(std::u16string root) : root_(std::move(root)) {}

void RawFile::checkRoot(std::u16string_view name) const {
  if (root_.empty() || isAbsoluteName(name)) return;
  auto host = toHostPath(root_);
  auto found = host ? findHostPath(*host) : std::nullopt;
  if (!found || !isHostDirectory(*found)) throw std::runtime_error("内部ルートパスが不正");
}

std::optional<std::string> RawFile::joined(std::u16string_view name) const {
  if (name.empty()) return std::nullopt;
  try {
    PathStack path;
    if (isAbsoluteName(name) || root_.empty()) {
      path.set(name);
    } else {
      path.set(root_);
      path.push(name);
    }
    return toHostPath(path.str());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> RawFile::locate(std::u16string_view name) const {
  auto host = joined(name);
  if (!host) return std::nullopt;
  auto found = findHostPath(*host);
  if (!found || !isHostRegularFile(*found)) return std::nullopt;
  return found;
}

std::optional<std::string> RawFile::writePath(std::u16string_view name) const {
  auto host = joined(name);
  if (!host) return std::nullopt;
  return hostPathForWrite(*host);
}

int32_t RawFile::size(std::u16string_view name) {
  checkRoot(name);
  auto path = locate(name);
  if (!path) return -1;
  Fd fd(::open(path->c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  if (st.st_size > INT32_MAX) return -1;
  return static_cast<int32_t>(st.st_size);
}

std::unique_ptr<ibitstream> RawFile::openRead(std::u16string_view name) {
  if (size(name) < 0) return nullptr;
  auto path = locate(name);
  if (!path) return nullptr;
  auto file = std::make_unique<BufFile>();
  if (!file->open(*path)) return nullptr;
  return std::make_unique<ibitstream>(std::move(file));
}

FileData RawFile::readWhole(std::u16string_view name, uint32_t /*flag*/) {
  auto path = locate(name);
  if (!path) return {};
  Fd fd(::open(path->c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  if (st.st_size > INT32_MAX) return {};
  const size_t n = static_cast<size_t>(st.st_size);
  // Two zero bytes follow the data so that text can be used as a narrow or wide C string.
  uint8_t* block = new (std::nothrow) uint8_t[n + 2];
  if (block == nullptr) return {};
  const size_t got = readFully(fd.get(), block, n);
  block[got] = 0;
  block[got + 1] = 0;
  return FileData(block, static_cast<uint32_t>(got), true);
}

std::unique_ptr<obitstream> RawFile::openWrite(std::u16string_view name, bool overwrite) {
  auto path = writePath(name);
  if (!path) return nullptr;
  auto file = std::make_unique<BufFileO>();
  if (!file->open(*path, overwrite)) return nullptr;
  return std::make_unique<obitstream>(std::move(file));
}

int32_t RawFile::writeWhole(std::u16string_view name, bool overwrite, const void* data, uint32_t count) {
  if (count > INT32_MAX || (data == nullptr && count > 0)) return -1;
  auto path = writePath(name);
  if (!path) return -1;
  Fd fd(openHostFileForWrite(*path, overwrite));
  if (fd.get() < 0) return -1;
  return static_cast<int32_t>(writeFully(fd.get(), static_cast<const uint8_t*>(data), count));
}

bool RawFile::create(std::u16string_view name, bool overwrite) {
  auto path = writePath(name);
  if (!path) return false;
  Fd fd(openHostFileForWrite(*path, overwrite));
  return fd.get() >= 0;
}

}  // namespace qx
