// The result of reading a whole file: the bytes, their count and whether this record frees
// them. Move-only, so a block is freed exactly once.
#pragma once
#include <cstdint>
#include <memory>

class FileData {
 public:
  // Nothing read: {null, 0, owned}.
  FileData() = default;
  // Takes a block allocated with new[]; freed when owned.
  FileData(uint8_t* data, uint32_t size, bool owned) : data_(data), size_(size), owned_(owned) {}
  // Borrows bytes that keepAlive holds (the in-memory tree's file contents).
  FileData(const uint8_t* data, uint32_t size, std::shared_ptr<const void> keepAlive)
      : data_(const_cast<uint8_t*>(data)), size_(size), owned_(false), keepAlive_(std::move(keepAlive)) {}
  FileData(FileData&& other) noexcept { *this = std::move(other); }
  FileData& operator=(FileData&& other) noexcept;
  FileData(const FileData&) = delete;
  FileData& operator=(const FileData&) = delete;
  ~FileData() { free(); }

  const uint8_t* data() const { return data_; }
  const char* chars() const { return reinterpret_cast<const char*>(data_); }
  uint32_t size() const { return size_; }
  bool owned() const { return owned_; }
  bool empty() const { return data_ == nullptr; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  void free();

  uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  bool owned_ = true;
  std::shared_ptr<const void> keepAlive_;
};
