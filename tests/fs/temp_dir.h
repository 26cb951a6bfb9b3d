// A fresh temporary folder per test, removed with everything in it afterwards.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fstest {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/qx_fs_test_XXXXXX";
    const char* made = ::mkdtemp(pattern);
    path_ = made ? made : "";
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::u16string wide() const { return std::u16string(path_.begin(), path_.end()); }
  std::string at(const std::string& rel) const { return path_ + "/" + rel; }

  // Writes a file (making its folders) and gives its host path.
  std::string write(const std::string& rel, const std::string& content) const {
    return write(rel, std::vector<uint8_t>(content.begin(), content.end()));
  }
  std::string write(const std::string& rel, const std::vector<uint8_t>& content) const {
    const std::string p = at(rel);
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return p;
  }
  std::vector<uint8_t> read(const std::string& rel) const {
    std::ifstream f(at(rel), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  bool exists(const std::string& rel) const { return std::filesystem::exists(at(rel)); }

 private:
  std::string path_;
};

// An ASCII text as UTF-16.
inline std::u16string w(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace fstest
