#include "runtime/fs/pack_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/core/utf.h"
#include "runtime/fs/host_path.h"
#include "runtime/fs/pack_files.h"
#include "runtime/fs/path_stack.h"

namespace qx {

namespace fs = std::filesystem;

namespace {

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

std::string reason(int err) { return std::strerror(err); }

// Opened rather than looked at, so that a file the packer may not read is refused as surely
// as an empty or oversized one, before any part is written.
bool checkPackableFile(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  struct stat st;
  const bool known = fd >= 0 && fstat(fd, &st) == 0;
  const int err = errno;
  if (fd >= 0) ::close(fd);
  if (!known) return fail(error, "cannot read " + path + ": " + reason(err));
  if (st.st_size == 0) return fail(error, emptyPackFileError(path));
  if (st.st_size > static_cast<off_t>(kPackMaxEntryBytes))
    return fail(error, "too large for a pack entry: " + path + " (" + std::to_string(st.st_size) + " bytes, at most " +
                           std::to_string(kPackMaxEntryBytes) + ")");
  return true;
}

bool utf16Name(const std::string& utf8, std::u16string& out, std::string* error) {
  out = qcore::utf8ToUtf16(utf8);
  if (qcore::utf16ToUtf8(out) == utf8) return true;
  if (error) *error = "file name is not UTF-8: " + utf8;
  return false;
}

// Host paths of the files listed so far, by the key the reader's index folds them to.
using FoldedKeys = std::map<std::u16string, std::string>;

bool addFolder(const fs::path& dir, const std::u16string& prefix, PackWriteDir& node, FoldedKeys& keys,
               std::string* error) {
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
  if (ec) {
    if (error) *error = "cannot list " + dir.string() + ": " + ec.message();
    return false;
  }
  // Sorted, so that the same folder always gives the same part.
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path().filename() < b.path().filename(); });
  for (const fs::directory_entry& e : entries) {
    std::u16string name;
    if (!utf16Name(e.path().filename().string(), name, error)) return false;
    const bool isLink = e.is_symlink(ec);
    const std::u16string key = prefix.empty() ? name : prefix + u'\\' + name;
    if (e.is_directory(ec) && !isLink) {
      if (!addFolder(e.path(), key, node.dir(name), keys, error)) return false;
    } else if (e.is_regular_file(ec)) {
      // The index ignores letter case: of two such files a reader would see only one.
      const auto [it, added] = keys.emplace(packKey(key), e.path().string());
      if (!added) {
        if (error) *error = "names differ only in letter case: " + it->second + " and " + e.path().string();
        return false;
      }
      // Refused before any part is written, so that a build or append changes nothing.
      if (!checkPackableFile(e.path().string(), error)) return false;
      PackWriteFile& f = node.file(name);
      f.deleted = false;
      f.data.clear();
      f.hostPath = e.path().string();
    }
  }
  return true;
}

}  // namespace

bool addFolderToPack(const std::string& hostDir, PackWriteDir& root, std::string* error) {
  if (!isHostDirectory(hostDir)) {
    if (error) *error = "not a folder: " + hostDir;
    return false;
  }
  FoldedKeys keys;
  return addFolder(fs::path(hostDir), u"", root, keys, error);
}

bool addDeletionToPack(PackWriteDir& root, std::u16string_view key, std::string* error) {
  PackWriteDir* dir = &root;
  size_t start = 0;
  for (;;) {
    size_t end = key.find_first_of(u"\\/", start);
    const bool last = end == std::u16string_view::npos;
    if (last) end = key.size();
    const std::u16string part(key.substr(start, end - start));
    if (part.empty() || part.size() > kPackNameUnits) {
      if (error) *error = "not a usable key: " + qcore::utf16ToUtf8(key);
      return false;
    }
    if (last) {
      PackWriteFile& f = dir->file(part);
      f.deleted = true;
      f.hostPath.clear();
      f.data.clear();
      return true;
    }
    dir = &dir->dir(part);
    start = end + 1;
  }
}

namespace {

// O_EXCL with O_NOFOLLOW: whatever already has the name (a link, a FIFO, a leftover) is
// neither written through nor opened.
bool writeTempPart(const std::string& temp, const PackWriteDir& root, std::string* error) {
  auto sink = std::make_unique<BufFileO>();
  BufFileO& file = *sink;
  if (!file.open(temp, false)) {
    const int err = errno;
    if (err == EEXIST)
      return fail(error, temp + " already exists (left by a killed run?) and was not touched: remove it and run again");
    return fail(error, "cannot create " + temp + ": " + reason(err));
  }
  obitstream out(std::move(sink));
  const auto writeFailed = [&](int why) { return fail(error, "cannot write " + temp + ": " + reason(why)); };
  bool ok = writePackDirectory(out, root, error);
  if (!ok && out.failed()) writeFailed(file.lastError());
  // Durable before it is renamed over a part, so a crash cannot leave an empty part.
  if (ok && !file.commit()) ok = writeFailed(errno);
  out.close();
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

bool writePackPartFiles(const std::vector<PackPartToWrite>& parts, std::string* error) {
  std::vector<std::string> temps;
  const auto removeTemps = [&temps](size_t from) {
    for (size_t i = from; i < temps.size(); ++i) ::unlink(temps[i].c_str());
  };
  for (const PackPartToWrite& part : parts) {
    const std::string temp = part.hostPath + ".partial";
    if (!writeTempPart(temp, *part.root, error)) {
      removeTemps(0);
      return false;
    }
    temps.push_back(temp);
  }
  std::string replaced;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (std::rename(temps[i].c_str(), parts[i].hostPath.c_str()) != 0) {
      const int err = errno;
      removeTemps(i);
      std::string message = "cannot rename " + temps[i] + " to " + parts[i].hostPath + ": " + reason(err);
      if (!replaced.empty()) message += "; parts already replaced: " + replaced;
      return fail(error, message);
    }
    replaced += (replaced.empty() ? "" : ", ") + parts[i].hostPath;
  }
  return true;
}

std::string packPartHostPath(const std::string& packHostPath, int n) {
  try {
    PathStack path(qcore::utf8ToUtf16(packHostPath));
    for (int i = 0; i < n; ++i)
      if (path.nextNumberedExtension() < 0) return {};
    return toHostPath(path.str()).value_or(std::string());
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace qx
