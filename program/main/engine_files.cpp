#include "program/main/engine_files.h"

#include <exception>
#include <optional>

#include "platform/core/utf.h"
#include "runtime/fs/host_path.h"
#include "runtime/fs/path_stack.h"

namespace {

// The root's path with the name appended; false when it does not fit a path.
bool joinedPath(const PathStack& root, std::u16string_view name, std::u16string& out) {
  try {
    PathStack p = root;
    if (!name.empty()) p.push(name);
    out = p.str();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Whether something (a folder or a file) stands at the path on disk.
bool existsOnDisk(const std::u16string& path) {
  std::optional<std::string> host = qx::toHostPath(path);
  if (host) host = qx::findHostPath(*host);
  return host && (qx::isHostDirectory(*host) || qx::isHostRegularFile(*host));
}

// Mounts root\name; false when something stands there that could not be mounted.
template <class Mount>
bool mountUnder(const PathStack& root, std::u16string_view name, Mount mount, std::u16string* where = nullptr) {
  std::u16string path;
  // An empty root would name the process's current directory, which is no root of ours.
  if (root.empty() || !joinedPath(root, name, path)) return true;
  if (where) *where = path;
  bool mounted = false;
  try {
    mounted = mount(path);
  } catch (const std::exception&) {
    // A pack part that cannot be opened counts as a failed mount.
  }
  return mounted || !existsOnDisk(path);
}

}  // namespace

std::string EngineFiles::mount(const PathStack& resourceBase, const PathStack& programFolder) {
  auto read = [this](const std::u16string& path) { return files_.mountRead(path); };
  auto write = [this](const std::u16string& path) { return files_.mountWrite(path); };
  std::string error;
  files_.mountRead(u"$");
  for (std::u16string_view name : {std::u16string_view(u"resource"), std::u16string_view(u"resource\\script")}) {
    std::u16string path;
    if (!mountUnder(resourceBase, name, read, &path) && error.empty()) {
      const std::optional<std::string> host = qx::toHostPath(path);
      error = "\"" + (host ? *host : qcore::utf16ToUtf8(path)) +
              "\" cannot be mounted: it is neither a folder nor a readable pack";
    }
  }
  files_.mountWrite(u"$");
  mountUnder(programFolder, u"save", write);
  mountUnder(programFolder, u"", write);
  if (!attached_) attached_ = std::make_unique<AttachedFileSources>(files_);
  return error;
}

void EngineFiles::unmount() {
  attached_.reset();
  files_.teardown();
}
