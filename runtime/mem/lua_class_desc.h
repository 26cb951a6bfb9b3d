// LuaClassDesc: how the memory managers build, destroy, draw, update and collide an
// object of a script-created class. Every callback receives the object's storage first;
// the meaning of the other arguments belongs to the subsystem that calls the callback
// (drawing, collision), so they are passed untyped here.
//
// A class fills a descriptor from the defaults and registers it once under its script
// name; creating an object by that name (QX.createAux) builds it in a fresh memory item:
//
//   LuaClassDesc d = LuaClassDesc::forType<HUDMeter>("HUDMeter");
//   d.draw = &HUDMeter::drawCallback;
//   registerClassDesc(d);
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

// A pair of counted handles of any managers (the collision pipes an object takes part
// in): building or copying one adds a reference to each non-null handle, ending one
// releases the second, then the first.
class HandlePair {
 public:
  HandlePair() = default;
  HandlePair(uint32_t first, uint32_t second);
  HandlePair(const HandlePair& other) : HandlePair(other.first_, other.second_) {}
  HandlePair& operator=(const HandlePair& other);
  ~HandlePair() { reset(); }

  uint32_t first() const { return first_; }
  uint32_t second() const { return second_; }
  void reset();

 private:
  uint32_t first_ = 0;
  uint32_t second_ = 0;
};

struct LuaClassDesc {
  using Fn0 = void (*)(void* obj);
  using Fn1 = void (*)(void* obj, void* a);
  using Fn2 = void (*)(void* obj, void* a, void* b);
  using Fn3 = void (*)(void* obj, void* a, void* b, void* c);
  using HandleFn = void (*)(void* obj, uint32_t* outHandle, void* a, void* b);
  using PairFn = HandlePair* (*)(void* obj, HandlePair* out, void* a);
  using NotifyFn = bool (*)(void* obj, void* a, void* b);

  static constexpr size_t kNameSize = 64;

  Fn0 construct = nullptr;  // builds the object in place (storage may be null)
  Fn0 destroy = nullptr;    // ends it in place; the storage is freed afterwards
  Fn2 draw;                 // (effect, pass value)
  Fn2 material;             // (effect, pass value)
  Fn3 collect;              // (draw list, pass-through value, pass word record)
  Fn1 hook1, hook2, hook3, hook4;
  Fn3 drawDrawer;
  Fn3 update;
  Fn2 hook5, hook6;
  HandleFn getHandle;  // default writes the null handle
  PairFn getHandlePair;  // default writes a pair of null handles and returns it
  Fn2 colStep1, colStep2, colStep3, colStep4, colStep5, colStep6;
  NotifyFn colNotify;  // default false
  uint32_t size = 0;   // bytes of the object
  char name[kNameSize] = {};

  // Every callback at its default, construct and destroy unset, the empty name.
  LuaClassDesc();

  // Defaults plus the given pair; the name is cut to 63 bytes.
  static LuaClassDesc make(std::string_view name, uint32_t size, Fn0 construct, Fn0 destroy);

  // Defaults plus T's default constructor and destructor run in place.
  template <class T>
  static LuaClassDesc forType(std::string_view name) {
    static_assert(alignof(T) <= 16, "memory items are aligned to 16 bytes");
    return make(name, static_cast<uint32_t>(sizeof(T)), &constructInPlace<T>, &destroyInPlace<T>);
  }

  template <class T>
  static void constructInPlace(void* obj) {
    if (obj) ::new (obj) T();
  }
  template <class T>
  static void destroyInPlace(void* obj) {
    if (obj) static_cast<T*>(obj)->~T();
  }
};

// The pass word record that collect callbacks receive: the part index of each nesting
// level sits in the byte at bit position shift, and a child is handed shift + 8.
struct PassWord {
  uint32_t word = 0;
  uint32_t shift = 0;
};

// The process-wide table of class descriptors, shared by every memory manager (the one
// of the process and each thread's own), so an object of any class can be made by either
// and its descriptor outlives every item that points at it.
//
// Registers a copy of desc under desc.name; a name already present keeps its first
// descriptor. Gives the kept descriptor, or null when the name is empty.
const LuaClassDesc* registerClassDesc(const LuaClassDesc& desc);
// The descriptor registered under exactly that name (case-sensitive), or null.
const LuaClassDesc* findClassDesc(std::string_view name);
