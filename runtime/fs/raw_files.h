// A folder of the host file system as a file source. Names are relative to the root (or
// absolute host paths beginning with '/'); the root is joined to each name, so the
// process's current directory is never touched.
#pragma once
#include <optional>
#include <string>

#include "runtime/fs/files.h"

namespace qx {

class RawFile final : public IFiles {
 public:
  // The folder factory: null when the text is not empty and names no directory. An empty
  // text gives a source whose names resolve against the process's current directory.
  static std::unique_ptr<RawFile> create(std::u16string_view path);

  explicit RawFile(std::u16string root);
  const std::u16string& root() const { return root_; }

  std::unique_ptr<ibitstream> openRead(std::u16string_view name) override;
  FileData readWhole(std::u16string_view name, uint32_t flag) override;
  // -1 when the file is missing, also when the root folder itself has gone.
  int32_t size(std::u16string_view name) override;
  std::unique_ptr<obitstream> openWrite(std::u16string_view name, bool overwrite) override;
  int32_t writeWhole(std::u16string_view name, bool overwrite, const void* data, uint32_t count) override;
  bool create(std::u16string_view name, bool overwrite) override;
  bool rename(std::u16string_view from, std::u16string_view to) override;
  bool remove(std::u16string_view name) override;
  std::optional<FreshFile> createFresh(std::u16string_view name, std::u16string_view suffix) override;

 private:
  // The root and the name joined through a path stack, as a host path; empty when it does
  // not fit or is not a valid path.
  std::optional<std::string> joined(std::u16string_view name) const;
  // The host path of an existing regular file under the name.
  std::optional<std::string> locate(std::u16string_view name) const;
  // That file opened for reading; null when it is missing, unreadable or too large.
  std::unique_ptr<BufFile> openExisting(std::u16string_view name) const;
  std::optional<std::string> writePath(std::u16string_view name) const;

  std::u16string root_;
};

}  // namespace qx
