// One queued draw request, copied by value into a draw list. Fifteen 32-bit words:
// buffers are named by their device ids, so the record and its state key are the same
// on 32- and 64-bit builds.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "runtime/core/handle.h"

// The buffers an entry draws from: an index buffer and up to four vertex streams. A
// batched entry (geometry through the primitive batcher) has 0xFFFFFFFF in the first two
// words, its flag byte in the third and its stream count in the fourth.
struct DrawKey {
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  uint32_t indexBuffer = 0;
  uint32_t streams[4] = {};

  // The batched form: kind is the batched stream count, flag the translucency flag.
  static void init(DrawKey& key, uint32_t kind, uint8_t flag) {
    key.indexBuffer = kNone;
    key.streams[0] = kNone;
    key.streams[1] = flag;
    key.streams[2] = kind;
    key.streams[3] = 0;
  }
  // The own-buffer form: the index buffer id, then up to four vertex-buffer ids; kNone
  // follows the last one when fewer than four are given.
  static void setStreams(DrawKey& key, uint32_t indexBuffer, std::initializer_list<uint32_t> buffers) {
    key.indexBuffer = indexBuffer;
    uint32_t i = 0;
    for (uint32_t b : buffers) {
      if (i == 4) break;
      key.streams[i++] = b;
    }
    if (i < 4) key.streams[i++] = kNone;
    for (; i < 4; ++i) key.streams[i] = 0;
  }
  bool isBatched() const { return streams[0] == kNone; }
};

struct DrawEntry {
  uint32_t primType = 4;            // 4 for widgets, text and billboards; 2 for meters
  uint32_t transparency = 0;        // 0 opaque, other values blended
  kesto::HdlBase textures[4];       // slot 0 the entry's texture; null for none
  DrawKey key;
  float distance = 0.0f;            // a larger distance lies behind
  kesto::HdlBase item;              // the owner's memory item
  uint32_t passWord = 0;            // handed back to the owner's callbacks
  uint32_t stateKey = 0;            // CRC-32 of the first 44 bytes, set when drawn
};
static_assert(sizeof(DrawEntry) == 60, "a draw entry is fifteen words");

// CRC-32 of the entry's first eleven words: entries with equal keys share one material.
uint32_t drawEntryStateKey(const DrawEntry& e);
