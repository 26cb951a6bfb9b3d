// The process-wide cache of WAV files played as one-shots: each path (compared exactly,
// letter case included) is read once and its samples shared by every one-shot playing it,
// counted; the last one to go erases the entry. Once filled, an entry's format and data
// never change, so voices play from them without the lock.
#pragma once
#include <cstdint>
#include <string>

#include "scene/sound/wav_reader.h"

namespace qx {
class IFiles;
}

struct WavEntry {
  WavData wav;
  int32_t refs = 0;
  std::u16string path;
};

// The entry of path with one more reference, read from source when no one holds it; null
// (and no entry kept) when the file cannot be read or is no playable WAV; the reason is
// logged.
const WavEntry* acquireWav(qx::IFiles* source, const std::u16string& path);
// Gives back a reference taken by acquireWav.
void releaseWav(const WavEntry* entry);
// The references held on path's entry; -1 when there is none.
int32_t wavCacheRefs(const std::u16string& path);
