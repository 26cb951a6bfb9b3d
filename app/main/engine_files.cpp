#include "app/main/engine_files.h"

#include <exception>

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

template <class Mount>
void mountUnder(const PathStack& root, std::u16string_view name, Mount mount) {
  std::u16string path;
  // An empty root would name the process's current directory, which is no root of ours.
  if (root.empty() || !joinedPath(root, name, path)) return;
  try {
    mount(path);
  } catch (const std::exception&) {
    // A pack part that cannot be opened counts as a failed mount.
  }
}

}  // namespace

void EngineFiles::mount(const PathStack& resourceBase, const PathStack& programFolder) {
  auto read = [this](const std::u16string& path) { files_.mountRead(path); };
  auto write = [this](const std::u16string& path) { files_.mountWrite(path); };
  files_.mountRead(u"$");
  mountUnder(resourceBase, u"resource", read);
  mountUnder(resourceBase, u"resource\\script", read);
  files_.mountWrite(u"$");
  mountUnder(programFolder, u"save", write);
  mountUnder(programFolder, u"", write);
  if (!attached_) attached_ = std::make_unique<AttachedFileSources>(files_);
}

void EngineFiles::unmount() {
  attached_.reset();
  files_.teardown();
}
