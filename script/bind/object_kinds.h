// Which C++ type stands behind a handle, so a bound method never works on an object of
// the wrong kind. Each C++ type has a key (kindKey<T>()). A manager's resources are of
// the kind registered for its id; a memory item is of the kinds registered for its class
// descriptor: its own class, the bases of a derived class and the sub-objects (fields
// that are objects of another bound class), each reached through a short chain of
// pointer steps.
//
// Kinds are registered while classes are bound and never removed.
#pragma once
#include <cstdint>
#include <string_view>

struct LuaClassDesc;

namespace qxbind {

template <class T>
const void* kindKey() {
  static const char key = 0;
  return &key;
}

// One step from an object to the part of it a kind names (a base, a member).
using KindStep = void* (*)(void*);

struct KindPath {
  static constexpr int kMaxSteps = 4;
  KindStep steps[kMaxSteps] = {};
  int count = 0;

  void* apply(void* p) const {
    for (int i = 0; i < count && p; ++i) p = steps[i](p);
    return p;
  }
  // This path followed by other; false when the result would be too long.
  bool append(const KindPath& other);
};

template <class D, class B>
void* upcastStep(void* p) {
  return static_cast<B*>(static_cast<D*>(p));
}

// The resources of manager id are of kind key.
void setResourceKind(uint32_t managerId, const void* key);
const void* resourceKind(uint32_t managerId);

// Objects of class desc are of kind key through path; sub names a sub-object field
// (empty for the object itself or one of its bases). A (desc, key, sub) already
// registered keeps its first path.
void addItemKind(const LuaClassDesc* desc, const void* key, std::string_view sub, const KindPath& path);
// Every kind of base also for derived, each path preceded by step (derived to base).
void inheritItemKinds(const LuaClassDesc* derived, const LuaClassDesc* base, KindStep step);
// The object of kind key inside the item storage of class desc (the sub-object named
// sub when not empty), or null when the class has no such kind.
void* findItemKind(const LuaClassDesc* desc, void* storage, const void* key, std::string_view sub);

}  // namespace qxbind
