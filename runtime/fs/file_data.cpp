#include "runtime/fs/file_data.h"

FileData& FileData::operator=(FileData&& other) noexcept {
  if (this != &other) {
    free();
    data_ = other.data_;
    size_ = other.size_;
    owned_ = other.owned_;
    keepAlive_ = std::move(other.keepAlive_);
    other.data_ = nullptr;
    other.size_ = 0;
    other.owned_ = true;
  }
  return *this;
}

void FileData::free() {
  if (owned_) delete[] data_;
  data_ = nullptr;
  size_ = 0;
  owned_ = true;
  keepAlive_.reset();
}
