// How the script bridge reads its chunks: through the read sources attached to the
// registry, the first source that holds the name winning.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/fs/file_data.h"
#include "runtime/fs/file_registry.h"
#include "runtime/res/res_registry.h"

// flag is 1 for modules and 0 for "QXMain.lua"; the sources pass it through.
FileData scriptReadFile(const std::u16string& name, uint32_t flag);

// Offers a FileRegistry's read sources to the resource registry; attaches itself while it
// lives.
class AttachedFileSources : public ResFileSources {
 public:
  explicit AttachedFileSources(qx::FileRegistry& files);
  ~AttachedFileSources() override;
  AttachedFileSources(const AttachedFileSources&) = delete;
  AttachedFileSources& operator=(const AttachedFileSources&) = delete;
  qx::IFiles* findFile(const std::u16string& name) override { return files_.findFile(name); }
  qx::IFiles* createFile(const std::u16string& name, bool overwrite) override {
    return files_.createFile(name, overwrite);
  }

 private:
  qx::FileRegistry& files_;
};
