// A temporary folder as the resource registry's one read source and write target.
#pragma once
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "platform/core/utf.h"
#include "runtime/fs/file_registry.h"
#include "runtime/res/res_registry.h"

namespace textest {

// A DDS file of the given pixel format and size: the header, then payload bytes.
inline std::vector<uint8_t> ddsFile(uint32_t w, uint32_t h, uint32_t pfFlags, uint32_t fourCC, uint32_t bits,
                                    const uint32_t masks[4], size_t payload) {
  std::vector<uint8_t> f(128 + payload, 0x5A);
  std::fill(f.begin(), f.begin() + 128, 0);
  auto put = [&f](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
  };
  const std::pair<size_t, uint32_t> fields[] = {{0, 0x20534444 /* "DDS " */}, {4, 124}, {12, h}, {16, w},
                                                 {76, 32}, {80, pfFlags}, {84, fourCC}, {88, bits}};
  for (auto [at, v] : fields) put(at, v);
  for (int i = 0; i < 4; ++i) put(92 + 4 * i, masks[i]);
  return f;
}

class FolderSources : public ResFileSources {
 public:
  FolderSources() {
    char pattern[] = "/tmp/qxtex-test-XXXXXX";
    dir = mkdtemp(pattern);
    files.mountRead(qcore::utf8ToUtf16(dir.string()));
    files.mountWrite(qcore::utf8ToUtf16(dir.string()));
    ResRegistry::instance().attachFileSources(this);
  }
  ~FolderSources() override {
    ResRegistry::instance().attachFileSources(nullptr);
    files.teardown();
    std::filesystem::remove_all(dir);
  }
  qx::IFiles* findFile(const std::u16string& name) override { return files.findFile(name); }
  qx::IFiles* createFile(const std::u16string& name, bool overwrite) override {
    return files.createFile(name, overwrite);
  }

  void put(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  std::string get(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool has(const std::string& name) const { return std::filesystem::exists(dir / name); }
  // A PNG of one colour (bytes R, G, B, A).
  void putPng(const std::string& name, int w, int h, const uint8_t rgba[4]) const {
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (size_t i = 0; i < px.size(); ++i) px[i] = rgba[i % 4];
    std::string out;
    stbi_write_png_to_func([](void* c, void* d, int n) { static_cast<std::string*>(c)->append(static_cast<char*>(d), n); },
                           &out, w, h, 4, px.data(), w * 4);
    put(name, out);
  }

  std::filesystem::path dir;
  qx::FileRegistry files;
};

}  // namespace textest
