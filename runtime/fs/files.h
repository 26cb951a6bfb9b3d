// A file source: a folder, the in-memory tree or a pack file, mounted by the registry for
// reading or writing. Failures come back as values (null, -1, 0, false, empty FileData).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/fs/bitstream.h"
#include "runtime/fs/file_data.h"

namespace qx {

// A file made under a fresh name: its stream, or null and why it could not be made.
struct FreshFile {
  std::unique_ptr<obitstream> out;
  std::u16string name;  // for rename and remove through the same source
  std::string error;
};

class IFiles {
 public:
  virtual ~IFiles() = default;
  virtual std::unique_ptr<ibitstream> openRead(std::u16string_view name) = 0;
  // flag is passed through from the registry; no source reads it.
  virtual FileData readWhole(std::u16string_view name, uint32_t flag) = 0;
  // The file's size in bytes, or -1 when it is not there.
  virtual int32_t size(std::u16string_view name) = 0;
  virtual std::unique_ptr<obitstream> openWrite(std::u16string_view name, bool overwrite) = 0;
  // The bytes written, or the source's failure value (-1 for folders and packs, 0 for the
  // in-memory tree).
  virtual int32_t writeWhole(std::u16string_view name, bool overwrite, const void* data, uint32_t count) = 0;
  virtual bool create(std::u16string_view name, bool overwrite) = 0;
  // Moves a file over another name (replacing it), and deletes one without opening it (a
  // link goes, not what it points to); false where the source cannot (every source but
  // folders).
  virtual bool rename(std::u16string_view, std::u16string_view) { return false; }
  virtual bool remove(std::u16string_view) { return false; }
  // A new file beside name, "<name>.XXXXXX<suffix>" with X fresh, made only where nothing
  // stands (never through a link or into a FIFO) and opened for writing. Nothing where the
  // source keeps no such files (every source but folders): write name itself then.
  virtual std::optional<FreshFile> createFresh(std::u16string_view, std::u16string_view) { return std::nullopt; }
};

}  // namespace qx
