// What a subsystem hands over to have its engine class bound: the class's script name,
// size, registration function and C++ type, in one of four shapes.
//
//   object class   a script-created engine object (a memory item), e.g. HUDText
//   manager        a resource manager (methods on the class table, `pointer` = the
//                  manager) with its resource class (methods on instances), e.g. GobjMgr/Gobj
//   derived        an object class whose methods and fields fall back on its base's
//   pointer class  one engine object that is no manager (the socket managers)
//
//   qxbind::ClassBinding hudText() {
//     return qxbind::objectBinding(qxbind::objectClass<HUDText>("HUDText", registerHUDText));
//   }
//   qxbind::ClassBinding hudText3D() {
//     return qxbind::derivedBinding<HUDText3D, HUDText>(
//         qxbind::objectClass<HUDText3D>("HUDText3D", registerHUDText3D),
//         qxbind::objectClass<HUDText>("HUDText", registerHUDText));
//   }
#pragma once
#include <cstdint>
#include <type_traits>

#include "runtime/mem/lua_class_desc.h"
#include "runtime/res/res_base.h"
#include "script/bind/class_table.h"
#include "script/bind/object_kinds.h"

namespace qxbind {

using RegisterFn = void (*)(ClassTable& table);
using DescribeFn = LuaClassDesc (*)(const char* name);

// The default descriptor of T: T's default constructor and destructor, no callbacks.
template <class T>
LuaClassDesc describeType(const char* name) {
  return LuaClassDesc::forType<T>(name);
}

struct ClassSpec {
  const char* name = nullptr;
  uint32_t size = 0;
  RegisterFn methods = nullptr;
  const void* key = nullptr;  // the C++ type behind the class (kindKey)
  // Memory-item classes: builds the class descriptor.
  DescribeFn describe = nullptr;
  // Pointer classes: the engine object that becomes `pointer` (manager bindings take
  // the manager's singleton when they run).
  void* object = nullptr;
};

template <class T>
ClassSpec objectClass(const char* name, RegisterFn methods, DescribeFn describe = &describeType<T>) {
  ClassSpec s;
  s.name = name;
  s.size = static_cast<uint32_t>(sizeof(T));
  s.methods = methods;
  s.key = kindKey<T>();
  s.describe = describe;
  return s;
}

template <class T>
ClassSpec pointerClass(const char* name, RegisterFn methods, T* object) {
  ClassSpec s;
  s.name = name;
  s.size = static_cast<uint32_t>(sizeof(T));
  s.methods = methods;
  s.key = kindKey<T>();
  s.object = static_cast<void*>(object);
  return s;
}

enum class BindKind { object, manager, derived, pointer };

struct ClassBinding {
  BindKind kind = BindKind::object;
  ClassSpec first;   // the class (the manager class of a manager binding)
  ClassSpec second;  // the resource class of a manager, or the base of a derived class
  KindStep toBase = nullptr;
  // Manager bindings: the manager's singleton, as a manager and as `pointer`.
  kesto::ResBasePtr* (*manager)() = nullptr;
  void* (*managerObject)() = nullptr;
};

inline ClassBinding objectBinding(const ClassSpec& cls) {
  ClassBinding b;
  b.kind = BindKind::object;
  b.first = cls;
  return b;
}

template <class D, class B>
ClassBinding derivedBinding(const ClassSpec& cls, const ClassSpec& base) {
  static_assert(std::is_base_of_v<B, D>, "a derived class binds over one of its C++ bases");
  ClassBinding b;
  b.kind = BindKind::derived;
  b.first = cls;
  b.second = base;
  b.toBase = &upcastStep<D, B>;
  return b;
}

// Mgr's singleton becomes `pointer` of both classes; the resource class's objects are
// Mgr::DataType.
template <class Mgr>
ClassBinding managerBinding(const char* managerName, RegisterFn managerMethods, const char* resourceName,
                            RegisterFn resourceMethods) {
  ClassBinding b;
  b.kind = BindKind::manager;
  b.first.name = managerName;
  b.first.size = static_cast<uint32_t>(sizeof(Mgr));
  b.first.methods = managerMethods;
  b.first.key = kindKey<Mgr>();
  b.second.name = resourceName;
  b.second.size = static_cast<uint32_t>(sizeof(typename Mgr::DataType));
  b.second.methods = resourceMethods;
  b.second.key = kindKey<typename Mgr::DataType>();
  b.manager = [] { return static_cast<kesto::ResBasePtr*>(Mgr::instance()); };
  b.managerObject = [] { return static_cast<void*>(Mgr::instance()); };
  return b;
}

inline ClassBinding pointerBinding(const ClassSpec& cls) {
  ClassBinding b;
  b.kind = BindKind::pointer;
  b.first = cls;
  return b;
}

}  // namespace qxbind
