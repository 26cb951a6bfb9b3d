// The file roots the engine mounts at start-up. Read sources, asked in this order: the
// in-memory tree "$", <resource base>\resource, <resource base>\resource\script. Write
// targets: "$", <program folder>\save, the program folder itself. While mounted, the
// registry's named lookups (scripts, "require", resources) go through them.
#pragma once
#include <memory>
#include <string>

#include "runtime/fs/file_registry.h"
#include "script/lua/script_files.h"

class PathStack;

class EngineFiles {
 public:
  EngineFiles() = default;
  ~EngineFiles() { unmount(); }
  EngineFiles(const EngineFiles&) = delete;
  EngineFiles& operator=(const EngineFiles&) = delete;

  // A root that does not exist or whose path does not fit is left out; the file it would
  // have held then fails where it is opened. "resource" and "resource\script" may each be
  // a folder, a single file or a pack. Gives why a read root that exists could not be
  // mounted (a damaged pack, say), empty when all went well.
  std::string mount(const PathStack& resourceBase, const PathStack& programFolder);
  // Detaches from the registry and ends every source.
  void unmount();

  qx::FileRegistry& registry() { return files_; }

 private:
  qx::FileRegistry files_;
  std::unique_ptr<AttachedFileSources> attached_;
};
