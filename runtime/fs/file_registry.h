// The mounted file sources: read sources and write targets, each asked in mount order.
// This is the file side of the engine's registry, which holds one of these.
#pragma once
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/core/synclo.h"
#include "runtime/fs/files.h"

namespace qx {

class FileRegistry {
 public:
  FileRegistry() = default;
  ~FileRegistry() { teardown(); }
  FileRegistry(const FileRegistry&) = delete;
  FileRegistry& operator=(const FileRegistry&) = delete;

  // Mounts "$..." as the in-memory tree, an existing folder (or the empty path) as a
  // folder, else an existing file as a pack. False when nothing takes the path. A pack
  // part that exists but cannot be opened raises PackOpenError.
  bool mountRead(std::u16string_view path);
  // The in-memory tree or a folder; packs are never written.
  bool mountWrite(std::u16string_view path);
  // Appends an already made source.
  void mountRead(std::unique_ptr<IFiles> source);
  void mountWrite(std::unique_ptr<IFiles> target);

  // The first read source whose size of the name is not negative, else null.
  IFiles* findFile(std::u16string_view name);
  // The first write target whose create of the name succeeds, else null.
  IFiles* createFile(std::u16string_view name, bool overwrite);
  // The first non-empty result of the read sources in mount order, handed over whole;
  // {null, 0, owned} when none has the file.
  FileData readFile(std::u16string_view name, uint32_t flag = 0);

  size_t readSourceCount();
  size_t writeTargetCount();
  IFiles* readSource(size_t i);
  IFiles* writeTarget(size_t i);

  // Destroys every source and target, in mount order. Run by the destructor.
  void teardown();
  kesto::Synclo& lock() { return lock_; }

 private:
  kesto::Synclo lock_;
  std::vector<std::unique_ptr<IFiles>> readSources_;
  std::vector<std::unique_ptr<IFiles>> writeTargets_;
};

}  // namespace qx
