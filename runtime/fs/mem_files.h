// The in-memory tree: one program-wide tree of folders and files whose names begin with
// "$" (case-folded to lower case). Every in-memory source shares it. Readers hold a
// reference to the bytes they were given, and a writer copies bytes that a reader still
// holds, so a read never sees a write that started after it.
#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/fs/files.h"

namespace qx {

using MemBytes = std::vector<uint8_t>;

struct MemNode {
  std::u16string name;
  std::shared_ptr<MemBytes> bytes;                                      // files only
  std::unique_ptr<std::map<std::u16string, std::unique_ptr<MemNode>>> children;  // folders only
  bool isFile() const { return children == nullptr; }
};

class MemFile final : public IFiles {
 public:
  // The in-memory factory: a source when the text begins with '$', else null.
  static std::unique_ptr<MemFile> create(std::u16string_view path);

  std::unique_ptr<ibitstream> openRead(std::u16string_view name) override;
  // The bytes are borrowed (owned false) and stay valid while the result lives.
  FileData readWhole(std::u16string_view name, uint32_t flag) override;
  int32_t size(std::u16string_view name) override;
  std::unique_ptr<obitstream> openWrite(std::u16string_view name, bool overwrite) override;
  int32_t writeWhole(std::u16string_view name, bool overwrite, const void* data, uint32_t count) override;
  // True when overwrite is set, else true exactly when nothing has the name; makes nothing.
  bool create(std::u16string_view name, bool overwrite) override;
};

// Writes an in-memory file node; the write stream's sink for "$" names.
class BufMemFileO final : public OBuffer {
 public:
  BufMemFileO() = default;
  ~BufMemFileO() override { close(); }
  BufMemFileO(const BufMemFileO&) = delete;
  BufMemFileO& operator=(const BufMemFileO&) = delete;

  bool attach(MemNode* node);
  void close() override;
  bool isOpen() const override { return node_ != nullptr; }
  size_t write(const void* src, size_t n) override;
  // Grows the file with zero bytes when the position lies beyond its end.
  int64_t seek(int64_t pos) override;
  int64_t seekRelative(int64_t distance) override { return seek(position_ + distance); }
  // Kept, never read.
  void setFileTime(FileTime first, FileTime second, FileTime third) override;

 private:
  MemNode* node_ = nullptr;
  int64_t position_ = -1;
  FileTime times_[3];
};

}  // namespace qx
