#include "runtime/fs/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "platform/core/utf.h"

namespace qx {

namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string join(const std::string& dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  if (dir.back() == '/') return dir + std::string(name);
  return dir + "/" + std::string(name);
}

std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) out.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// The entry of dir whose name matches ignoring ASCII case; the smallest such name when
// several do, so that the choice does not depend on the directory's order.
std::optional<std::string> matchInDirectory(const std::string& dir, std::string_view name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* e = ::readdir(d)) {
    std::string_view entry(e->d_name);
    if (sameIgnoringAsciiCase(entry, name) && (!best || entry < *best)) best = std::string(entry);
  }
  ::closedir(d);
  return best;
}

// Walks the components of path from its start; stops before the last one when
// stopBeforeLast is set and gives the resolved prefix.
std::optional<std::string> resolve(const std::string& path, bool stopBeforeLast, std::string_view* last) {
  std::string current = (!path.empty() && path[0] == '/') ? "/" : "";
  auto parts = components(path);
  if (stopBeforeLast) {
    if (parts.empty()) return std::nullopt;
    *last = parts.back();
    parts.pop_back();
  }
  for (std::string_view part : parts) {
    std::string candidate = join(current, part);
    if (part == "." || part == ".." || exists(candidate)) {
      current = std::move(candidate);
      continue;
    }
    auto match = matchInDirectory(current, part);
    if (!match) return std::nullopt;
    current = join(current, *match);
  }
  return current;
}

}  // namespace

std::optional<std::string> toHostPath(std::u16string_view enginePath) {
  if (enginePath.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  std::string out = qcore::utf16ToUtf8(enginePath);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::optional<std::string> findHostPath(const std::string& hostPath) {
  if (hostPath.empty()) return std::nullopt;
  if (exists(hostPath)) return hostPath;
  auto found = resolve(hostPath, false, nullptr);
  if (found && exists(*found)) return found;
  return std::nullopt;
}

std::optional<std::string> hostPathForWrite(const std::string& hostPath) {
  if (hostPath.empty() || hostPath.back() == '/') return std::nullopt;
  if (exists(hostPath)) return hostPath;
  std::string_view last;
  auto dir = resolve(hostPath, true, &last);
  if (!dir || last.empty() || last == "." || last == "..") return std::nullopt;
  if (!dir->empty() && !isHostDirectory(*dir)) return std::nullopt;
  auto match = matchInDirectory(*dir, last);
  return join(*dir, match ? std::string_view(*match) : last);
}

bool isHostDirectory(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isHostRegularFile(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace qx
