#include "net/twiapi/token_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include "runtime/fs/host_path.h"
#include "runtime/fs/path_stack.h"

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The next word at or after pos; empty at the end.
std::string_view nextWord(std::string_view text, size_t& pos) {
  while (pos < text.size() && isSpace(text[pos])) ++pos;
  const size_t start = pos;
  while (pos < text.size() && !isSpace(text[pos])) ++pos;
  return text.substr(start, pos - start);
}

std::string errnoText() { return std::strerror(errno); }

}  // namespace

std::string encodeTokenFile(std::string_view first, std::string_view second, uint8_t key) {
  std::string out;
  out.reserve(first.size() + second.size() + 2);
  out.append(first);
  out.append("\r\n");
  out.append(second);
  for (char& c : out) c = static_cast<char>(static_cast<uint8_t>(c) ^ key);
  return out;
}

bool decodeTokenFile(std::string_view bytes, uint8_t key, std::string& first, std::string& second) {
  std::string plain(bytes);
  for (char& c : plain) c = static_cast<char>(static_cast<uint8_t>(c) ^ key);
  size_t pos = 0;
  const std::string_view a = nextWord(plain, pos);
  const std::string_view b = nextWord(plain, pos);
  if (a.empty() || b.empty()) return false;
  first.assign(a);
  second.assign(b);
  return true;
}

std::string tokenFilePath(std::u16string_view name) {
  if (name.empty() || programPath().empty()) return {};
  try {
    PathStack p = programPath();
    p.push(name);
    std::optional<std::string> host = qx::toHostPath(p.str());
    if (host) host = qx::hostPathForWrite(*host);
    return host.value_or(std::string());
  } catch (const std::exception&) {
    return {};
  }
}

bool readTokenFile(const std::string& path, std::string& bytes, std::string& why) {
  // Without O_NONBLOCK a FIFO would hold the open until a writer came, for good.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    why = "cannot open " + path + ": " + errnoText();
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    why = path + " is not a regular file";
    return false;
  }
  bytes.clear();
  char buffer[512];
  ssize_t n = 0;
  // One byte past the cap tells a file that is too large.
  while (bytes.size() <= kTokenFileMax && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<size_t>(n));
  }
  if (n < 0) why = "cannot read " + path + ": " + errnoText();
  ::close(fd);
  if (n >= 0 && bytes.size() > kTokenFileMax) why = path + " holds more than " + std::to_string(kTokenFileMax) + " bytes";
  return n >= 0 && bytes.size() <= kTokenFileMax;
}

bool writeTokenFile(const std::string& path, std::string_view bytes, std::string& why) {
  const std::string temp = path + ".tmp";
  // A leftover (or planted) temporary file is never written through: it goes first, and
  // the new one must be created here, not opened through a link.
  if (::unlink(temp.c_str()) != 0 && errno != ENOENT) {
    why = "cannot remove " + temp + ": " + errnoText();
    return false;
  }
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    why = "cannot create " + temp + ": " + errnoText();
    return false;
  }
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (ok) ok = ::fsync(fd) == 0;
  if (!ok) why = "cannot write " + temp + ": " + errnoText();
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = "cannot write " + temp + ": " + errnoText();
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    why = "cannot replace " + path + ": " + errnoText();
  }
  if (!ok) {
    std::remove(temp.c_str());
    return false;
  }
  // The rename lasts through a crash only once the folder is on disk too.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}
