// 32-bit handles that name engine objects living in resource managers.
//
//   bits 0-11   slot index in the owning manager's table (0..4095)
//   bits 12-17  manager id (63: no manager)
//   bits 18-31  generation of the slot (never 0 for a live object)
#pragma once
#include <cstdint>

namespace kesto {

constexpr uint32_t kHandleIndexMask = 0xFFFu;
constexpr uint32_t kHandleMgrShift = 12;
constexpr uint32_t kHandleMgrMask = 0x3F000u;
constexpr uint32_t kHandleGenShift = 18;
constexpr uint32_t kHandleGenMax = 0x3FFFu;
constexpr uint32_t kNoManagerId = 63;
constexpr uint32_t kMaxSlots = 4096;

// Puts the manager id into bits 12-17 of word without touching its other bits.
constexpr uint32_t withManagerId(uint32_t word, uint32_t mgrId) {
  return (word & ~kHandleMgrMask) | ((mgrId << kHandleMgrShift) & kHandleMgrMask);
}

constexpr uint32_t formHandle(uint32_t index, uint32_t mgrId, uint32_t generation) {
  return (index & kHandleIndexMask) | ((mgrId << kHandleMgrShift) & kHandleMgrMask) |
         ((generation & kHandleGenMax) << kHandleGenShift);
}

// The next generation after gen: 1..0x3FFF, never 0.
constexpr uint32_t nextGeneration(uint32_t gen) { return gen >= kHandleGenMax ? 1 : gen + 1; }

class ResBasePtr;
// The registry's manager of that id (null when none) and the reference count of a
// handle's object (0 when it is not live); provided by the resource-manager library.
ResBasePtr* managerById(uint32_t id);
uint32_t handleRefCount(uint32_t value);

// The bare handle value and its accessors; holds no reference.
struct HdlBase {
  uint32_t value = 0;

  constexpr HdlBase() = default;
  constexpr explicit HdlBase(uint32_t v) : value(v) {}

  constexpr uint32_t index() const { return value & kHandleIndexMask; }
  constexpr uint32_t mgrId() const { return (value & kHandleMgrMask) >> kHandleMgrShift; }
  constexpr uint32_t magic() const { return value >> kHandleGenShift; }
  constexpr uint32_t generation() const { return magic(); }
  constexpr bool isNull() const { return value == 0; }
  constexpr bool isValid() const { return value != 0; }
  constexpr bool operator==(const HdlBase& o) const { return value == o.value; }
  ResBasePtr* manager() const { return managerById(mgrId()); }
  uint32_t refCount() const { return handleRefCount(value); }
};

// A counted handle bound to its manager type. Mgr provides the static
// addRefValue(uint32_t) and releaseValue(uint32_t), which reach the manager that made
// the value and do nothing for a stale or foreign value; fromValue also needs
// addRefIfLive(uint32_t, bool wait).
template <class Mgr, class Data>
class Handle : public HdlBase {
 public:
  using Manager = Mgr;
  using DataType = Data;

  constexpr Handle() = default;
  // Adopts a value and adds a reference of its own.
  explicit Handle(uint32_t v) : HdlBase(v) {
    if (value) Mgr::addRefValue(value);
  }
  Handle(const Handle& o) : HdlBase(o.value) {
    if (value) Mgr::addRefValue(value);
  }
  Handle(Handle&& o) noexcept : HdlBase(o.value) { o.value = 0; }
  ~Handle() { reset(); }

  // A counted handle of a raw value when it names a live object of this manager type,
  // else null. With wait false, a manager lock held elsewhere also gives null.
  static Handle fromValue(uint32_t v, bool wait = true) {
    Handle h;
    if (v && Mgr::addRefIfLive(v, wait)) h.value = v;
    return h;
  }

  // The new reference is added before the old one is released, so assigning a handle
  // the value it already holds never frees the object.
  Handle& operator=(const Handle& o) {
    assign(o.value);
    return *this;
  }
  Handle& operator=(Handle&& o) noexcept {
    if (this != &o) {
      uint32_t old = value;
      value = o.value;
      o.value = 0;
      if (old) Mgr::releaseValue(old);
    }
    return *this;
  }
  void assign(uint32_t v) {
    if (v) Mgr::addRefValue(v);
    uint32_t old = value;
    value = v;
    if (old) Mgr::releaseValue(old);
  }
  // Takes over a reference the caller already holds (no reference is added).
  void adopt(uint32_t v) {
    uint32_t old = value;
    value = v;
    if (old) Mgr::releaseValue(old);
  }
  // Gives the reference up to the caller, leaving this handle null.
  uint32_t detach() {
    uint32_t v = value;
    value = 0;
    return v;
  }
  void reset() {
    if (value) {
      uint32_t old = value;
      value = 0;
      Mgr::releaseValue(old);
    }
  }
  bool operator==(const Handle& o) const { return value == o.value; }
};

}  // namespace kesto
