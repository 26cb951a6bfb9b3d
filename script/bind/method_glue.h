// One static lua_CFunction per bound method or field, generated from the member it
// binds. Arguments are read (glue_types.h) before the object is locked; the object is
// locked only for the member call itself, and results are pushed after it is unlocked
// (a raw method, returning Pushed, pushes its own results while locked).
//
// A bound function may be a member of the class (const or not) or a free function whose
// first parameter is the class by reference: R f(Widget&, int).
#pragma once
#include <exception>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "script/bind/glue_types.h"
#include "script/bind/script_error.h"
#include "script/bind/object_kinds.h"
#include "script/bind/self_object.h"

namespace qxbind {

template <class F>
struct FnTraits;

template <class R, class C, class... A>
struct FnTraitsBase {
  using Class = C;
  using Ret = R;
  using Args = std::tuple<std::decay_t<A>...>;
};

template <class R, class C, class... A>
struct FnTraits<R (C::*)(A...)> : FnTraitsBase<R, C, A...> {
  template <auto Fn, class... V>
  static decltype(auto) invoke(C* self, V&&... v) {
    return (self->*Fn)(std::forward<V>(v)...);
  }
};
template <class R, class C, class... A>
struct FnTraits<R (C::*)(A...) const> : FnTraitsBase<R, C, A...> {
  template <auto Fn, class... V>
  static decltype(auto) invoke(C* self, V&&... v) {
    return (self->*Fn)(std::forward<V>(v)...);
  }
};
template <class R, class C, class... A>
struct FnTraits<R (C::*)(A...) noexcept> : FnTraits<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct FnTraits<R (C::*)(A...) const noexcept> : FnTraits<R (C::*)(A...) const> {};
template <class R, class C, class... A>
struct FnTraits<R (*)(C&, A...)> : FnTraitsBase<R, C, A...> {
  template <auto Fn, class... V>
  static decltype(auto) invoke(C* self, V&&... v) {
    return Fn(*self, std::forward<V>(v)...);
  }
};
template <class R, class C, class... A>
struct FnTraits<R (*)(C&, A...) noexcept> : FnTraits<R (*)(C&, A...)> {};

template <class T>
T readOneArg(lua_State* L, int& next) {
  const int at = next;
  next += ArgReader<T>::kSlots;
  return ArgReader<T>::read(L, at);
}

// Arguments from index 2 on, read left to right.
template <class Tuple>
struct ArgsReader;
template <class... A>
struct ArgsReader<std::tuple<A...>> {
  static std::tuple<A...> read([[maybe_unused]] lua_State* L) {
    [[maybe_unused]] int next = 2;
    return std::tuple<A...>{readOneArg<A>(L, next)...};
  }
};

// The name a glue was stored under (its last upvalue), for error messages.
inline const char* glueName(lua_State* L, int upvalue) {
  const char* s = lua_tostring(L, lua_upvalueindex(upvalue));
  return s ? s : "method";
}

// Runs the call, converting an escaping C++ exception into a Lua error (Lua's own
// errors are not std::exceptions and pass through).
template <class F>
int guardedCall(lua_State* L, F&& f) {
  std::string error;
  try {
    return f();
  } catch (const std::exception& e) {
    error = e.what();
  }
  qxbind::raiseAtScript(L, "%s", error.c_str());
}

// Calls Fn on self with the arguments and pushes its result; SelfFn gives the locked
// self (and holds the lock) for the length of one call.
template <auto Fn, class Lock>
int callAndPush(lua_State* L, Lock&& lockSelf) {
  using Tr = FnTraits<decltype(Fn)>;
  using C = typename Tr::Class;
  using R = typename Tr::Ret;
  using D = std::decay_t<R>;
  auto args = ArgsReader<typename Tr::Args>::read(L);
  auto run = [&](C* self) -> decltype(auto) {
    return std::apply([&](auto&&... a) -> decltype(auto) { return Tr::template invoke<Fn>(self, std::move(a)...); },
                      std::move(args));
  };
  if constexpr (std::is_void_v<R>) {
    {
      SelfHold hold;
      run(static_cast<C*>(lockSelf(hold)));
    }
    lua_pushvalue(L, 1);
    return 1;
  } else if constexpr (std::is_same_v<D, Pushed>) {
    SelfHold hold;
    return run(static_cast<C*>(lockSelf(hold))).count;
  } else {
    std::optional<D> result;
    {
      SelfHold hold;
      result.emplace(run(static_cast<C*>(lockSelf(hold))));
    }
    return ResultPusher<D>::push(L, *result);
  }
}

// Methods of handle classes (fvt_hdl); upvalue 1: the name.
template <auto Fn, bool Exclusive>
int handleMethodGlue(lua_State* L) {
  using C = typename FnTraits<decltype(Fn)>::Class;
  return guardedCall(L, [L] {
    return callAndPush<Fn>(L, [L](SelfHold& hold) { return hold.lock(L, kindKey<C>(), Exclusive, glueName(L, 1)); });
  });
}

// Methods of pointer classes (fvt_ptr); upvalues: object, kind, name.
template <auto Fn>
int pointerMethodGlue(lua_State* L) {
  using C = typename FnTraits<decltype(Fn)>::Class;
  return guardedCall(L, [L] {
    return callAndPush<Fn>(L, [L](SelfHold&) { return pointerSelf(L, kindKey<C>(), glueName(L, 3)); });
  });
}

// ---- fields ---------------------------------------------------------------------------

enum class FieldKind { value, colour, handle };

template <class M>
struct MemberTraits;
template <class S, class C>
struct MemberTraits<S C::*> {
  using Class = C;
  using Type = S;
};

template <class S, FieldKind K>
struct FieldIO {
  static S read(lua_State* L, int i) {
    if constexpr (K == FieldKind::colour) {
      return static_cast<S>(readQXInt(L, i));
    } else if constexpr (K == FieldKind::handle) {
      return static_cast<S>(readHandle(L, i));
    } else if constexpr (IsHandle<S>::value) {
      uint32_t h = readHandle(L, i);
      if (h && !S::Manager::ofValue(h)) qxbind::raiseAtScript(L, "a handle of another kind");
      return S::fromValue(h);  // null for an object that is gone
    } else if constexpr (std::is_same_v<S, Vec3>) {
      float f[3];
      readVectorField(L, i, 3, f);
      return {f[0], f[1], f[2]};
    } else {
      return ArgReader<S>::read(L, i);
    }
  }
  static void push(lua_State* L, const S& v) {
    if constexpr (K == FieldKind::colour) {
      pushQXInt(L, static_cast<uint32_t>(v));
    } else if constexpr (K == FieldKind::handle) {
      pushObject(L, static_cast<uint32_t>(v));
    } else if constexpr (IsHandle<S>::value) {
      pushObject(L, v.value);
    } else if constexpr (std::is_same_v<S, Vec3>) {
      // A field's vector is a bare userdata of three floats, handed back as it is.
      auto* f = static_cast<float*>(lua_newuserdata(L, 3 * sizeof(float)));
      f[0] = v.x;
      f[1] = v.y;
      f[2] = v.z;
    } else {
      ResultPusher<S>::push(L, v);
    }
  }
};

// Read with one argument (shared lock), written with two (exclusive lock); upvalue 1 for
// handle classes, 3 for pointer classes, is the name.
template <auto Field, FieldKind K, bool Pointer>
int fieldGlue(lua_State* L) {
  using MT = MemberTraits<decltype(Field)>;
  using C = typename MT::Class;
  using S = typename MT::Type;
  return guardedCall(L, [L]() -> int {
    const bool write = lua_gettop(L) >= 2;
    auto lockSelf = [L](SelfHold& hold, bool exclusive) -> C* {
      if constexpr (Pointer) {
        (void)hold;
        (void)exclusive;
        return static_cast<C*>(pointerSelf(L, kindKey<C>(), glueName(L, 3)));
      } else {
        return static_cast<C*>(hold.lock(L, kindKey<C>(), exclusive, glueName(L, 1)));
      }
    };
    if (write) {
      S value = FieldIO<S, K>::read(L, 2);
      {
        SelfHold hold;
        using std::swap;
        swap(lockSelf(hold, true)->*Field, value);
      }
      // The old value ends here, unlocked: releasing a counted handle may run a script
      // (a game object's delete_gobj).
      return 0;
    }
    std::optional<S> value;
    {
      SelfHold hold;
      value.emplace(lockSelf(hold, false)->*Field);
    }
    FieldIO<S, K>::push(L, *value);
    return 1;
  });
}

// A field that is an object of another bound class: reading it gives a proxy table whose
// methods and fields work on the sub-object inside its owner. Upvalues: the field name,
// the sub-object's class name.
template <auto Field>
int subObjectGlue(lua_State* L) {
  using C = typename MemberTraits<decltype(Field)>::Class;
  return guardedCall(L, [L]() -> int {
    const char* field = glueName(L, 1);
    if (lua_gettop(L) >= 2) qxbind::raiseAtScript(L, "%s: a sub-object field cannot be assigned", field);
    {
      SelfHold hold;
      hold.lock(L, kindKey<C>(), false, field);  // owner alive and of the right kind
    }
    return pushSubObjectProxy(L, field, lua_tostring(L, lua_upvalueindex(2)));
  });
}

}  // namespace qxbind
