#include "scene/sound/wav_cache.h"

#include <map>

#include "runtime/core/synclo.h"
#include "runtime/fs/files.h"
#include "scene/sound/sound_log.h"

namespace {

struct Cache {
  kesto::Synclo lock;
  std::map<std::u16string, WavEntry> entries;
};

Cache& cache() {
  static Cache c;
  return c;
}

}  // namespace

const WavEntry* acquireWav(qx::IFiles* source, const std::u16string& path) {
  Cache& c = cache();
  kesto::SyncloGuard guard(c.lock);
  auto found = c.entries.find(path);
  if (found != c.entries.end()) {
    ++found->second.refs;
    return &found->second;
  }
  if (!source) return nullptr;
  FileData file = source->readWhole(path, 0);
  if (!file) {
    soundLog(path, "cannot be read");
    return nullptr;
  }
  WavEntry entry;
  std::string why;
  if (!readWav(file.data(), file.size(), entry.wav, &why)) {
    soundLog(path, why);
    return nullptr;
  }
  entry.refs = 1;
  entry.path = path;
  return &c.entries.emplace(path, std::move(entry)).first->second;
}

void releaseWav(const WavEntry* entry) {
  if (!entry) return;
  Cache& c = cache();
  kesto::SyncloGuard guard(c.lock);
  auto found = c.entries.find(entry->path);
  if (found == c.entries.end()) return;
  if (--found->second.refs <= 0) c.entries.erase(found);
}

int32_t wavCacheRefs(const std::u16string& path) {
  Cache& c = cache();
  kesto::SyncloGuard guard(c.lock);
  auto found = c.entries.find(path);
  return found == c.entries.end() ? -1 : found->second.refs;
}
