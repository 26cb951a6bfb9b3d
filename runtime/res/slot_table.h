// A manager's slots: pages that double in size and never move, so a data pointer stays
// put for its object's life, and an intrusive last-in first-out free list, so taking
// and giving back slots allocates nothing once the pages exist.
#pragma once
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "runtime/core/handle.h"

namespace kesto {

// Slots are locked per lane (shared readers of several threads, one exclusive owner).
struct MultiP {};
// Slots of a manager used by one thread: a lock never refuses, it only counts users.
struct SingleP {};

enum class SlotState : uint8_t { free = 0, live = 1, dying = 2 };

template <class Data>
struct ResSlot {
  uint32_t refs = 0;
  uint32_t owner = 0;    // lane holding the exclusive lock, 0 when none
  uint32_t depth = 0;    // recursion of the exclusive lock
  uint32_t nextFree = 0;
  uint64_t readers = 0;  // one 8-bit shared-lock count per lane
  uint16_t generation = 0;
  SlotState state = SlotState::free;
  alignas(Data) unsigned char storage[sizeof(Data)];

  Data* data() { return std::launder(reinterpret_cast<Data*>(storage)); }
};

template <class Data>
class HdlSlotTable {
 public:
  using Slot = ResSlot<Data>;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  static constexpr uint32_t kMaxPages = 12;  // 2 + 2 + 4 + ... + 2048 = 4096 slots

  HdlSlotTable() { addPage(); }
  HdlSlotTable(const HdlSlotTable&) = delete;
  HdlSlotTable& operator=(const HdlSlotTable&) = delete;

  // Page 0 holds indices 0-1, page p >= 1 holds 2^p .. 2^(p+1)-1.
  static uint32_t pageOf(uint32_t index) { return std::bit_width(index | 1u) - 1; }
  static uint32_t slotInPage(uint32_t index) {
    uint32_t p = pageOf(index);
    return index & (((1u << p) - 1) | 1u);
  }

  // Hands out a slot with a default-built Data and a new generation; kNone when all
  // 4096 slots are in use.
  uint32_t take() {
    uint32_t index;
    bool fromFreeList = freeHead_ != kNone;
    if (fromFreeList) {
      index = freeHead_;
      freeHead_ = at(index).nextFree;
    } else {
      if (highWater_ == capacity_) {
        if (pageCount_ == kMaxPages) return kNone;
        addPage();
      }
      index = highWater_++;
    }
    Slot& s = at(index);
    try {
      ::new (static_cast<void*>(s.storage)) Data();
    } catch (...) {
      s.nextFree = freeHead_;
      freeHead_ = index;
      throw;
    }
    s.refs = 0;
    s.owner = 0;
    s.depth = 0;
    s.readers = 0;
    s.generation = static_cast<uint16_t>(nextGeneration(s.generation));
    s.state = SlotState::live;
    ++used_;
    return index;
  }

  // Puts a slot whose Data is already destroyed back on the free list.
  void giveBack(uint32_t index) {
    Slot& s = at(index);
    s.state = SlotState::free;
    s.nextFree = freeHead_;
    freeHead_ = index;
    --used_;
  }

  Slot& at(uint32_t index) { return pages_[pageOf(index)][slotInPage(index)]; }
  uint32_t& pageLocks(uint32_t index) { return pageLocks_[pageOf(index)]; }

  uint32_t used() const { return used_; }
  uint32_t capacity() const { return capacity_; }
  uint32_t highWater() const { return highWater_; }
  uint32_t pageCount() const { return pageCount_; }

 private:
  void addPage() {
    // Page 0 has 2 slots; each later page as many as all before it.
    uint32_t n = pageCount_ == 0 ? 2 : capacity_;
    pages_[pageCount_] = std::make_unique<Slot[]>(n);
    pageLocks_[pageCount_] = 0;
    ++pageCount_;
    capacity_ += n;
  }

  std::unique_ptr<Slot[]> pages_[kMaxPages];
  uint32_t pageLocks_[kMaxPages] = {};
  uint32_t pageCount_ = 0;
  uint32_t used_ = 0;
  uint32_t capacity_ = 0;
  uint32_t highWater_ = 0;
  uint32_t freeHead_ = kNone;
};

}  // namespace kesto
