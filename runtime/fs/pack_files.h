// Pack files as a read-only file source: numbered parts (base.pak, base.pak1, ...) whose
// directories merge into one index, later parts overriding or deleting earlier keys.
// Entries are decoded on demand, never read whole into memory by the source itself.
#pragma once
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/fs/files.h"
#include "runtime/fs/huffman.h"
#include "runtime/fs/pack_format.h"

namespace qx {

// Raised when a part exists but cannot be opened.
class PackOpenError : public std::bad_exception {
 public:
  const char* what() const noexcept override { return "bad exception"; }
};

// One open entry: decodes the Huffman-coded bytes from a window that starts at the entry's
// L field.
class BufPack final : public IBuffer {
 public:
  // Decoding restarts from the nearest recorded point at or before a seek target.
  static constexpr uint32_t kRestartSpacing = 64 * 1024;

  BufPack() = default;
  ~BufPack() override { close(); }
  BufPack(const BufPack&) = delete;
  BufPack& operator=(const BufPack&) = delete;

  // False for an entry with L or size 0, a truncated header, or a malformed or oversized tree.
  bool open(std::unique_ptr<IBuffer> window);
  void close() override;
  bool isOpen() const override { return in_ != nullptr; }
  bool eof() const override { return pos_ >= size_ || broken_; }
  // Gives fewer bytes than asked when the coded bits end early.
  size_t read(void* dst, size_t n) override;
  int64_t size() const override { return size_; }
  // Clamps to the decoded size; gives the position reached.
  int64_t seek(int64_t pos) override;
  int64_t seekRelative(int64_t distance) override { return seek(static_cast<int64_t>(pos_) + distance); }
  // Whether the coded bits can hold every byte (always for a single-leaf tree).
  bool plausible() const;

 private:
  struct Restart {
    uint32_t outPos;
    unsigned bitOffset;
    int64_t bytePos;
    uint64_t budget;
  };
  void recordRestart();

  std::unique_ptr<ibitstream> in_;
  HuffmanDecoder tree_;
  uint32_t size_ = 0;
  uint32_t pos_ = 0;
  uint64_t budget_ = 0;  // coded bits left in the entry
  bool broken_ = false;  // the coded bits ran out before size bytes
  std::vector<Restart> restarts_;
};

class PackFile final : public IFiles {
 public:
  struct Entry {
    std::u16string key;  // as stored (the index compares keys ignoring ASCII case)
    size_t part;
    uint32_t size;
    uint64_t entryPos;
  };

  // The pack factory: null when the path names no file or a part's directory is malformed;
  // throws PackOpenError when a part exists but cannot be opened.
  static std::unique_ptr<PackFile> create(std::u16string_view path);

  std::unique_ptr<ibitstream> openRead(std::u16string_view name) override;
  // The whole decoded entry in a block of its size (owned); empty for an entry that cannot
  // be opened or whose coded bits end early.
  FileData readWhole(std::u16string_view name, uint32_t flag) override;
  int32_t size(std::u16string_view name) override;
  std::unique_ptr<obitstream> openWrite(std::u16string_view, bool) override { return nullptr; }
  int32_t writeWhole(std::u16string_view, bool, const void*, uint32_t) override { return -1; }
  bool create(std::u16string_view, bool) override { return false; }

  size_t partCount() const { return parts_.size(); }
  const std::u16string& name() const { return name_; }
  // Live entries by folded key, in key order.
  const std::map<std::u16string, Entry>& index() const { return index_; }

 private:
  PackFile() = default;
  const Entry* find(std::u16string_view name) const;
  bool addPart(const PackDirNode& root, size_t part);

  // One descriptor per part, in part order. Streams share it, so a stream that outlives
  // the pack still reads its own part, never whatever file takes the number next.
  std::vector<std::shared_ptr<const int>> parts_;
  std::u16string name_;
  std::map<std::u16string, Entry> index_;
};

// The index key of a name: '/' becomes '\' and ASCII letters lower case.
std::u16string packKey(std::u16string_view name);

}  // namespace qx
