#include "runtime/fs/raw_files.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <new>
#include <system_error>

#include "runtime/fs/fresh_name.h"
#include "runtime/fs/host_path.h"
#include "runtime/fs/path_stack.h"

namespace qx {

namespace {

bool isAbsoluteName(std::u16string_view name) { return !name.empty() && name[0] == u'/'; }

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

std::unique_ptr<BufFile> RawFile::openExisting(std::u16string_view name) const {
  auto path = locate(name);
  if (!path) return nullptr;
  auto file = std::make_unique<BufFile>();
  // Sizes are reported as signed 32-bit values.
  if (!file->open(*path) || file->size() > INT32_MAX) return nullptr;
  return file;
}

// A root folder that has vanished since the mount holds no files: the lookups that run
// through every source (and the scripts behind them) see a missing file, not an exception.
int32_t RawFile::size(std::u16string_view name) {
  auto file = openExisting(name);
  return file ? static_cast<int32_t>(file->size()) : -1;
}

std::unique_ptr<ibitstream> RawFile::openRead(std::u16string_view name) {
  auto file = openExisting(name);
  if (!file) return nullptr;
  return std::make_unique<ibitstream>(std::move(file));
}

FileData RawFile::readWhole(std::u16string_view name, uint32_t /*flag*/) {
  auto file = openExisting(name);
  if (!file) return {};
  const auto n = static_cast<size_t>(file->size());
  // Two zero bytes follow the data so that text can be used as a narrow or wide C string.
  uint8_t* block = new (std::nothrow) uint8_t[n + 2];
  if (block == nullptr) return {};
  const size_t got = file->read(block, n);
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
  BufFileO file;
  if (!path || !file.open(*path, overwrite)) return -1;
  return static_cast<int32_t>(file.write(data, count));
}

bool RawFile::create(std::u16string_view name, bool overwrite) {
  auto path = writePath(name);
  BufFileO file;
  return path && file.open(*path, overwrite);
}

bool RawFile::rename(std::u16string_view from, std::u16string_view to) {
  auto source = locate(from);
  auto target = writePath(to);
  return source && target && std::rename(source->c_str(), target->c_str()) == 0;
}

// unlink alone: opening first could block on a FIFO or empty what a link points to, and a
// folder is never taken away.
bool RawFile::remove(std::u16string_view name) {
  auto path = writePath(name);
  return path && ::unlink(path->c_str()) == 0;
}

std::optional<FreshFile> RawFile::createFresh(std::u16string_view name, std::u16string_view suffix) {
  FreshFile made;
  // A name taken (by chance, or by someone who guessed it) is tried again under another.
  for (int tries = 0; tries < 100; ++tries) {
    made.name = freshName(name, suffix);
    auto path = writePath(made.name);
    if (!path) {
      made.error = "no such folder, or not a valid name";
      break;
    }
    auto file = std::make_unique<BufFileO>();
    if (file->open(*path, false)) {
      made.out = std::make_unique<obitstream>(std::move(file));
      made.error.clear();
      return made;
    }
    const int error = errno;
    made.error = std::error_code(error, std::generic_category()).message();
    if (error != EEXIST) break;
  }
  made.name.clear();
  return made;
}

}  // namespace qx
