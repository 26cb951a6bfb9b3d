#include "runtime/fs/buffers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qx {

bool BufFile::open(const std::string& osPath) {
  close();
  int fd = ::open(osPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (!attach(fd, 0, true)) {
    ::close(fd);
    return false;
  }
  return true;
}

bool BufFile::attach(int fd, int64_t offset, bool owned, std::shared_ptr<const void> keepAlive) {
  close();
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  fd_ = fd;
  owned_ = owned;
  keepAlive_ = std::move(keepAlive);
  fileSize_ = st.st_size;
  offset_ = std::clamp<int64_t>(offset, 0, fileSize_);
  pos_ = offset_;
  return true;
}

void BufFile::close() {
  if (fd_ >= 0 && owned_) ::close(fd_);
  fd_ = -1;
  owned_ = false;
  keepAlive_.reset();
  fileSize_ = 0;
  offset_ = 0;
  pos_ = 0;
}

size_t BufFile::read(void* dst, size_t n) {
  if (fd_ < 0) return 0;
  size_t done = 0;
  while (done < n && pos_ < fileSize_) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(n - done, fileSize_ - pos_));
    ssize_t got = ::pread(fd_, static_cast<uint8_t*>(dst) + done, want, pos_);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
    pos_ += got;
  }
  return done;
}

int64_t BufFile::seek(int64_t pos) {
  pos_ = offset_ + std::max<int64_t>(pos, 0);
  return pos_ - offset_;
}

void BufFileCopy::set(const uint8_t* data, size_t size, bool owned) {
  close();
  data_ = data;
  size_ = static_cast<int64_t>(size);
  pos_ = 0;
  owned_ = owned;
}

void BufFileCopy::close() {
  if (owned_) delete[] data_;
  data_ = nullptr;
  size_ = 0;
  pos_ = 0;
  owned_ = false;
  keepAlive_.reset();
}

size_t BufFileCopy::read(void* dst, size_t n) {
  if (data_ == nullptr || pos_ >= size_) return 0;
  const size_t m = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), size_ - pos_));
  std::memcpy(dst, data_ + pos_, m);
  pos_ += static_cast<int64_t>(m);
  return m;
}

size_t BufVectorO::write(const void* src, size_t n) {
  const auto* p = static_cast<const uint8_t*>(src);
  out_.insert(out_.end(), p, p + n);
  return n;
}

int64_t BufFileCopy::seek(int64_t pos) {
  pos_ = std::max<int64_t>(pos, 0);
  return pos_;
}

bool BufFileO::open(const std::string& osPath, bool overwrite) {
  close();
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL | O_NOFOLLOW);
  int fd;
  do {
    fd = ::open(osPath.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void BufFileO::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool BufFileO::commit() {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  const bool synced = ::fsync(fd_) == 0;
  const int syncError = errno;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced) errno = syncError;
  return synced && closed;
}

size_t BufFileO::write(const void* src, size_t n) {
  if (fd_ < 0) return 0;
  size_t done = 0;
  while (done < n) {
    ssize_t put = ::write(fd_, static_cast<const uint8_t*>(src) + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      lastError_ = put < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(put);
  }
  return done;
}

int64_t BufFileO::seek(int64_t pos) {
  if (fd_ < 0) return -1;
  return ::lseek(fd_, std::max<int64_t>(pos, 0), SEEK_SET);
}

int64_t BufFileO::seekRelative(int64_t distance) {
  if (fd_ < 0) return -1;
  return ::lseek(fd_, distance, SEEK_CUR);
}

namespace {
// Ticks of 100 ns between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ull;

timespec toTimespec(FileTime t) {
  timespec ts{};
  if (!t) {
    ts.tv_nsec = UTIME_OMIT;
  } else if (*t <= kUnixEpochTicks) {
    ts.tv_sec = 0;
  } else {
    const uint64_t ticks = *t - kUnixEpochTicks;
    ts.tv_sec = static_cast<time_t>(ticks / 10000000u);
    ts.tv_nsec = static_cast<long>((ticks % 10000000u) * 100u);
  }
  return ts;
}
}  // namespace

void BufFileO::setFileTime(FileTime first, FileTime /*second*/, FileTime third) {
  if (fd_ < 0) return;
  const timespec times[2] = {toTimespec(first), toTimespec(third)};
  ::futimens(fd_, times);
}

}  // namespace qx
