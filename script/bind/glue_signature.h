// What a bound method or field looks like to a script, read off the same C++ signature
// its glue is generated from: the kind of each argument in order and of each result.
// The script API reference is written from these, so it cannot drift from the glue.
//
// A kind is null where the signature cannot name it (a raw stack slot, a script value,
// the state itself, results a method pushes itself): such methods declare their kinds
// beside their registration (see class_notes.h).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "script/bind/method_glue.h"

namespace qxbind {

struct KindDesc {
  const char* kind = nullptr;       // "number", "integer", ...; null: not known from the type
  const void* objectKey = nullptr;  // a handle result or field: the C++ type behind it
};

struct EntryDesc {
  enum class Result { self, values, declared };
  std::string name;
  bool field = false;
  bool writable = false;
  bool takesState = false;     // the method reads the Lua state itself
  std::vector<KindDesc> args;  // a field: its one kind
  Result result = Result::self;
  std::vector<KindDesc> results;
};

template <class T, class = void>
struct KindOf {
  static KindDesc get() { return {}; }
};
template <class T>
struct KindOf<T, std::enable_if_t<std::is_floating_point_v<T>>> {
  static KindDesc get() { return {"number"}; }
};
template <class T>
struct KindOf<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> {
  static KindDesc get() { return {"integer"}; }
};
template <>
struct KindOf<bool> {
  static KindDesc get() { return {"boolean"}; }
};
template <>
struct KindOf<const char*> {
  static KindDesc get() { return {"string"}; }
};
template <>
struct KindOf<std::string> : KindOf<const char*> {};
template <>
struct KindOf<std::string_view> : KindOf<const char*> {};
template <>
struct KindOf<std::u16string> : KindOf<const char*> {};
template <>
struct KindOf<Vec3> {
  static KindDesc get() { return {"vec3"}; }
};
template <>
struct KindOf<Vec4> {
  static KindDesc get() { return {"vec4"}; }
};
template <>
struct KindOf<Quat> {
  static KindDesc get() { return {"quat"}; }
};
template <>
struct KindOf<QXInt> {
  static KindDesc get() { return {"QXInteger"}; }
};
template <>
struct KindOf<ObjectRef> {
  static KindDesc get() { return {"object"}; }
};
template <class T>
struct KindOf<T, std::enable_if_t<IsHandle<T>::value>> {
  static KindDesc get() { return {"object", kindKey<typename T::DataType>()}; }
};

template <class... A>
void argKinds(std::vector<KindDesc>& out, bool& takesState, std::tuple<A...>*) {
  [[maybe_unused]] auto one = [&](auto* tag) {
    using T = std::remove_pointer_t<decltype(tag)>;
    if constexpr (std::is_same_v<T, lua_State*>) {
      takesState = true;  // reads no argument slot
    } else {
      out.push_back(KindOf<T>::get());
    }
  };
  (one(static_cast<A*>(nullptr)), ...);
}

template <class R>
void resultKinds(EntryDesc& e) {
  if constexpr (std::is_void_v<R>) {
    e.result = EntryDesc::Result::self;
  } else if constexpr (std::is_same_v<R, Pushed> || std::is_same_v<R, LuaVar>) {
    e.result = EntryDesc::Result::declared;
  } else if constexpr (IsTuple<R>::value) {
    e.result = EntryDesc::Result::values;
    [&]<class... X>(std::tuple<X...>*) {
      (e.results.push_back(KindOf<std::decay_t<X>>::get()), ...);
    }(static_cast<R*>(nullptr));
  } else {
    e.result = EntryDesc::Result::values;
    e.results.push_back(KindOf<R>::get());
  }
}

template <auto Fn>
EntryDesc describeMethod(const char* name) {
  using Tr = FnTraits<decltype(Fn)>;
  EntryDesc e;
  e.name = name;
  argKinds(e.args, e.takesState, static_cast<typename Tr::Args*>(nullptr));
  resultKinds<std::decay_t<typename Tr::Ret>>(e);
  return e;
}

template <class S, FieldKind K>
EntryDesc describeField(const char* name) {
  EntryDesc e;
  e.name = name;
  e.field = true;
  e.writable = true;
  e.result = EntryDesc::Result::values;
  if constexpr (K == FieldKind::colour) {
    e.args.push_back({"colour"});
  } else if constexpr (K == FieldKind::handle) {
    e.args.push_back({"object"});
  } else {
    e.args.push_back(KindOf<S>::get());
  }
  return e;
}

// A sub-object field: read only, an object of the bound class className.
EntryDesc describeSubObject(const char* name, const char* className);

}  // namespace qxbind
