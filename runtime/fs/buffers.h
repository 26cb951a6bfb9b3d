// Byte buffers under the bit streams: where the bytes of a stream live (a window of a host
// file, a memory block, a decoded pack entry, an in-memory file).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {

// A file time in 100-nanosecond ticks since 1601-01-01 UTC; absent means "leave as is".
using FileTime = std::optional<uint64_t>;

class IBuffer {
 public:
  virtual ~IBuffer() = default;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual bool eof() const = 0;
  // Copies up to n bytes from the current position; gives the bytes delivered.
  virtual size_t read(void* dst, size_t n) = 0;
  virtual int64_t size() const = 0;
  virtual int64_t seek(int64_t pos) = 0;
  virtual int64_t seekRelative(int64_t distance) = 0;
};

class OBuffer {
 public:
  virtual ~OBuffer() = default;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Gives the bytes written; fewer than n when the host refused the rest.
  virtual size_t write(const void* src, size_t n) = 0;
  virtual int64_t seek(int64_t pos) = 0;
  virtual int64_t seekRelative(int64_t distance) = 0;
  // access, creation, last write.
  virtual void setFileTime(FileTime first, FileTime second, FileTime third) = 0;
};

// A read window on a host file, from an offset to the file's end. Each window keeps its
// own position and reads with pread, so windows that share one descriptor (the entries of
// one pack part) never disturb each other.
class BufFile final : public IBuffer {
 public:
  BufFile() = default;
  ~BufFile() override { close(); }
  BufFile(const BufFile&) = delete;
  BufFile& operator=(const BufFile&) = delete;

  // Opens a host path (UTF-8, '/' separators); the window owns the descriptor.
  bool open(const std::string& osPath);
  // Attaches to a descriptor at an offset; a borrowed descriptor is never closed here, and
  // keepAlive (when given) keeps it open for as long as this window lives.
  bool attach(int fd, int64_t offset, bool owned, std::shared_ptr<const void> keepAlive = {});

  void close() override;
  bool isOpen() const override { return fd_ >= 0; }
  bool eof() const override { return pos_ >= fileSize_; }
  size_t read(void* dst, size_t n) override;
  int64_t size() const override { return fileSize_ - offset_; }
  int64_t seek(int64_t pos) override;
  int64_t seekRelative(int64_t distance) override { return seek(pos_ - offset_ + distance); }

 private:
  int fd_ = -1;
  bool owned_ = false;
  std::shared_ptr<const void> keepAlive_;
  int64_t fileSize_ = 0;
  int64_t offset_ = 0;
  int64_t pos_ = 0;  // absolute file position of the next read
};

// Reads a memory block.
class BufFileCopy final : public IBuffer {
 public:
  BufFileCopy() = default;
  // owned: the block came from new[] and is freed on close.
  BufFileCopy(const uint8_t* data, size_t size, bool owned = false) { set(data, size, owned); }
  // Borrows bytes that keepAlive holds for as long as this buffer lives.
  BufFileCopy(const uint8_t* data, size_t size, std::shared_ptr<const void> keepAlive)
      : data_(data), size_(static_cast<int64_t>(size)), keepAlive_(std::move(keepAlive)) {}
  ~BufFileCopy() override { close(); }
  BufFileCopy(const BufFileCopy&) = delete;
  BufFileCopy& operator=(const BufFileCopy&) = delete;

  void set(const uint8_t* data, size_t size, bool owned = false);
  void close() override;
  bool isOpen() const override { return data_ != nullptr; }
  bool eof() const override { return pos_ >= size_; }
  size_t read(void* dst, size_t n) override;
  int64_t size() const override { return size_; }
  int64_t seek(int64_t pos) override;
  int64_t seekRelative(int64_t distance) override { return seek(pos_ + distance); }

 private:
  const uint8_t* data_ = nullptr;
  int64_t size_ = 0;
  int64_t pos_ = 0;
  bool owned_ = false;
  std::shared_ptr<const void> keepAlive_;
};

// Appends to a byte vector that the caller keeps (encoding into memory).
class BufVectorO final : public OBuffer {
 public:
  explicit BufVectorO(std::vector<uint8_t>& out) : out_(out) {}
  void close() override {}
  bool isOpen() const override { return true; }
  size_t write(const void* src, size_t n) override;
  // Only appending is supported.
  int64_t seek(int64_t) override { return -1; }
  int64_t seekRelative(int64_t) override { return -1; }
  void setFileTime(FileTime, FileTime, FileTime) override {}

 private:
  std::vector<uint8_t>& out_;
};

// Writes a host file.
class BufFileO final : public OBuffer {
 public:
  BufFileO() = default;
  ~BufFileO() override { close(); }
  BufFileO(const BufFileO&) = delete;
  BufFileO& operator=(const BufFileO&) = delete;

  // overwrite: create or truncate; otherwise create only a new file, where nothing stands
  // (errno then says why not).
  bool open(const std::string& osPath, bool overwrite);
  void close() override;
  // Makes what was written durable, then closes: false (errno says why) when either fails.
  bool commit();
  bool isOpen() const override { return fd_ >= 0; }
  size_t write(const void* src, size_t n) override;
  // The errno of the last write that fell short (0: none did).
  int lastError() const { return lastError_; }
  int64_t seek(int64_t pos) override;
  int64_t seekRelative(int64_t distance) override;
  // Linux keeps no creation time: the second time is ignored.
  void setFileTime(FileTime first, FileTime second, FileTime third) override;

 private:
  int fd_ = -1;
  int lastError_ = 0;
};

}  // namespace qx
