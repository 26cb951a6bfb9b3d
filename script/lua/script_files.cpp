#include "script/lua/script_files.h"

#include "runtime/fs/files.h"

FileData scriptReadFile(const std::u16string& name, uint32_t flag) {
  qx::IFiles* source = ResRegistry::instance().findFile(name);
  if (!source) return FileData();
  return source->readWhole(name, flag);
}

AttachedFileSources::AttachedFileSources(qx::FileRegistry& files) : files_(files) {
  ResRegistry::instance().attachFileSources(this);
}

AttachedFileSources::~AttachedFileSources() {
  if (ResRegistry::instance().fileSources() == this) ResRegistry::instance().attachFileSources(nullptr);
}
