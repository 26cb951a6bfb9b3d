#include "runtime/fs/file_registry.h"

#include "runtime/fs/mem_files.h"
#include "runtime/fs/pack_files.h"
#include "runtime/fs/raw_files.h"

namespace qx {

bool FileRegistry::mountRead(std::u16string_view path) {
  kesto::SyncloGuard guard(lock_);
  std::unique_ptr<IFiles> source = MemFile::create(path);
  if (!source) source = RawFile::create(path);
  if (!source) source = PackFile::create(path);
  if (!source) return false;
  readSources_.push_back(std::move(source));
  return true;
}

bool FileRegistry::mountWrite(std::u16string_view path) {
  kesto::SyncloGuard guard(lock_);
  std::unique_ptr<IFiles> target = MemFile::create(path);
  if (!target) target = RawFile::create(path);
  if (!target) return false;
  writeTargets_.push_back(std::move(target));
  return true;
}

void FileRegistry::mountRead(std::unique_ptr<IFiles> source) {
  if (!source) return;
  kesto::SyncloGuard guard(lock_);
  readSources_.push_back(std::move(source));
}

void FileRegistry::mountWrite(std::unique_ptr<IFiles> target) {
  if (!target) return;
  kesto::SyncloGuard guard(lock_);
  writeTargets_.push_back(std::move(target));
}

IFiles* FileRegistry::findFile(std::u16string_view name) {
  kesto::SyncloGuard guard(lock_);
  for (size_t i = 0, n = readSources_.size(); i < n; ++i)
    if (readSources_[i]->size(name) >= 0) return readSources_[i].get();
  return nullptr;
}

IFiles* FileRegistry::createFile(std::u16string_view name, bool overwrite) {
  kesto::SyncloGuard guard(lock_);
  for (size_t i = 0, n = writeTargets_.size(); i < n; ++i)
    if (writeTargets_[i]->create(name, overwrite)) return writeTargets_[i].get();
  return nullptr;
}

FileData FileRegistry::readFile(std::u16string_view name, uint32_t flag) {
  kesto::SyncloGuard guard(lock_);
  for (size_t i = 0, n = readSources_.size(); i < n; ++i) {
    FileData data = readSources_[i]->readWhole(name, flag);
    if (data.data() != nullptr) return data;
  }
  return {};
}

size_t FileRegistry::readSourceCount() {
  kesto::SyncloGuard guard(lock_);
  return readSources_.size();
}

size_t FileRegistry::writeTargetCount() {
  kesto::SyncloGuard guard(lock_);
  return writeTargets_.size();
}

IFiles* FileRegistry::readSource(size_t i) {
  kesto::SyncloGuard guard(lock_);
  return i < readSources_.size() ? readSources_[i].get() : nullptr;
}

IFiles* FileRegistry::writeTarget(size_t i) {
  kesto::SyncloGuard guard(lock_);
  return i < writeTargets_.size() ? writeTargets_[i].get() : nullptr;
}

void FileRegistry::teardown() {
  kesto::SyncloGuard guard(lock_);
  // Sources end in mount order.
  for (auto& s : readSources_) s.reset();
  for (auto& t : writeTargets_) t.reset();
  readSources_.clear();
  writeTargets_.clear();
}

}  // namespace qx
