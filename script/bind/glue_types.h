// How bound methods and fields exchange values with Lua. A method's C++ signature picks
// the reader of each argument and the pusher of its result:
//
//   argument type          reads (argument 2 on; past the top: 0, false, "")
//   float, double          number
//   int32_t, uint32_t      integer: a number truncated toward zero, or a QXInteger
//   bool                   boolean (nil and false are false)
//   const char*, std::string(_view), std::u16string   string (UTF-8; wide converted)
//   Vec3, Vec4, Quat       vector: a table t[1..n] (QXL.vec3 ...) or a userdata of n floats
//   QXInt                  identifier / QXInteger: number, hexadecimal string or QXInteger
//   ObjectRef              handle object: strong or weak handle userdata, or a table's "udata"
//   LuaVar                 any value (tables without "dim" are pinned)
//   StackArg               the raw stack slot (tables, lists, anything the method reads itself)
//   lua_State*             the state itself; reads no argument
//
//   result type            pushes
//   void                   self (argument 1 again), so calls chain
//   bool, integers, float, double, strings        the value
//   Vec3, Vec4, Quat       a vector made by QXL.vec3.new / QXL.vec4.new
//   QXInt                  a QXInteger
//   ObjectRef, kesto::Handle<M, D>   the object as its manager pushes it (strong)
//   LuaVar                 the value
//   Pushed                 nothing more: the method pushed that many results itself
//   std::tuple<...>        several results in order
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "runtime/core/handle.h"
#include "runtime/math/quat.h"
#include "runtime/math/vec.h"
#include "script/lua/lua_api.h"
#include "script/lua/lua_var.h"

namespace qxbind {

struct QXInt {
  uint32_t value = 0;
};
struct ObjectRef {
  uint32_t handle = 0;
};
struct StackArg {
  lua_State* L = nullptr;
  int index = 0;
  bool isNone() const { return lua_type(L, index) == LUA_TNONE; }
};
struct Pushed {
  int count = 0;
};

// Non-template helpers behind the readers and pushers.
bool readBool(lua_State* L, int index);
int32_t readInteger(lua_State* L, int index);
uint32_t readQXInt(lua_State* L, int index);
uint32_t readHandle(lua_State* L, int index);
// n floats of a vector argument: a table's t[1..n] or the first n floats of a full
// userdata of at least 4n bytes; anything else raises a Lua error naming what.
void readVector(lua_State* L, int index, int n, float* out, const char* what);
// A vector written to a field: only a userdata of at least n floats or a vector table
// (one with a numeric "dim" of at least n); anything else raises a Lua error.
void readVectorField(lua_State* L, int index, int n, float* out);
void pushVectorResult(lua_State* L, const char* className, const float* values, int n);
void pushObject(lua_State* L, uint32_t handle);
void pushQXInt(lua_State* L, uint32_t value);
void pushU16String(lua_State* L, const std::u16string& text);
std::u16string readU16String(lua_State* L, int index);
// Pushes the proxy of a sub-object field of the object in argument 1: a table holding
// the owner's strong handle ("udata") and the field's name ("_sub"), with the metatable
// "mt" of the sub-object's class. Gives 1.
int pushSubObjectProxy(lua_State* L, const char* field, const char* className);

template <class T>
struct IsHandle : std::false_type {};
template <class M, class D>
struct IsHandle<kesto::Handle<M, D>> : std::true_type {};

template <class T>
struct IsTuple : std::false_type {};
template <class... A>
struct IsTuple<std::tuple<A...>> : std::true_type {};

// ---- arguments ------------------------------------------------------------------------

template <class T>
struct ArgReader;

template <>
struct ArgReader<lua_State*> {
  static constexpr int kSlots = 0;
  static lua_State* read(lua_State* L, int) { return L; }
};
template <>
struct ArgReader<float> {
  static constexpr int kSlots = 1;
  static float read(lua_State* L, int i) { return static_cast<float>(lua_tonumber(L, i)); }
};
template <>
struct ArgReader<double> {
  static constexpr int kSlots = 1;
  static double read(lua_State* L, int i) { return static_cast<double>(lua_tonumber(L, i)); }
};
template <>
struct ArgReader<int32_t> {
  static constexpr int kSlots = 1;
  static int32_t read(lua_State* L, int i) { return readInteger(L, i); }
};
template <>
struct ArgReader<uint32_t> {
  static constexpr int kSlots = 1;
  static uint32_t read(lua_State* L, int i) { return static_cast<uint32_t>(readInteger(L, i)); }
};
template <>
struct ArgReader<bool> {
  static constexpr int kSlots = 1;
  static bool read(lua_State* L, int i) { return readBool(L, i); }
};
template <>
struct ArgReader<const char*> {
  static constexpr int kSlots = 1;
  static const char* read(lua_State* L, int i) {
    const char* s = lua_isstring(L, i) ? lua_tostring(L, i) : nullptr;
    return s ? s : "";
  }
};
template <>
struct ArgReader<std::string> {
  static constexpr int kSlots = 1;
  static std::string read(lua_State* L, int i) {
    size_t n = 0;
    const char* s = lua_isstring(L, i) ? lua_tolstring(L, i, &n) : nullptr;
    return s ? std::string(s, n) : std::string();
  }
};
// Valid while the call lasts (the string stays on the stack).
template <>
struct ArgReader<std::string_view> {
  static constexpr int kSlots = 1;
  static std::string_view read(lua_State* L, int i) {
    size_t n = 0;
    const char* s = lua_isstring(L, i) ? lua_tolstring(L, i, &n) : nullptr;
    return s ? std::string_view(s, n) : std::string_view();
  }
};
template <>
struct ArgReader<std::u16string> {
  static constexpr int kSlots = 1;
  static std::u16string read(lua_State* L, int i) { return readU16String(L, i); }
};
template <>
struct ArgReader<Vec3> {
  static constexpr int kSlots = 1;
  static Vec3 read(lua_State* L, int i) {
    float f[3];
    readVector(L, i, 3, f, "vec3");
    return {f[0], f[1], f[2]};
  }
};
template <>
struct ArgReader<Vec4> {
  static constexpr int kSlots = 1;
  static Vec4 read(lua_State* L, int i) {
    float f[4];
    readVector(L, i, 4, f, "vec4");
    return {f[0], f[1], f[2], f[3]};
  }
};
template <>
struct ArgReader<Quat> {
  static constexpr int kSlots = 1;
  static Quat read(lua_State* L, int i) {
    float f[4];
    readVector(L, i, 4, f, "quat");
    return {f[0], f[1], f[2], f[3]};
  }
};
template <>
struct ArgReader<QXInt> {
  static constexpr int kSlots = 1;
  static QXInt read(lua_State* L, int i) { return {readQXInt(L, i)}; }
};
template <>
struct ArgReader<ObjectRef> {
  static constexpr int kSlots = 1;
  static ObjectRef read(lua_State* L, int i) { return {readHandle(L, i)}; }
};
template <>
struct ArgReader<StackArg> {
  static constexpr int kSlots = 1;
  static StackArg read(lua_State* L, int i) { return {L, i}; }
};
template <>
struct ArgReader<LuaVar> {
  static constexpr int kSlots = 1;
  static LuaVar read(lua_State* L, int i) {
    LuaVar v;
    if (lua_type(L, i) != LUA_TNONE) LuaVar::fromLua(L, i, v);
    return v;
  }
};

// ---- results --------------------------------------------------------------------------

template <class R, class = void>
struct ResultPusher;

template <class R>
struct ResultPusher<R, std::enable_if_t<std::is_same_v<R, bool>>> {
  static int push(lua_State* L, bool v) {
    lua_pushboolean(L, v);
    return 1;
  }
};
template <class R>
struct ResultPusher<R, std::enable_if_t<std::is_integral_v<R> && !std::is_same_v<R, bool>>> {
  static int push(lua_State* L, R v) {
    lua_pushnumber(L, static_cast<lua_Number>(v));
    return 1;
  }
};
template <class R>
struct ResultPusher<R, std::enable_if_t<std::is_floating_point_v<R>>> {
  static int push(lua_State* L, R v) {
    lua_pushnumber(L, static_cast<lua_Number>(v));
    return 1;
  }
};
template <>
struct ResultPusher<const char*> {
  static int push(lua_State* L, const char* v) {
    lua_pushstring(L, v ? v : "");
    return 1;
  }
};
template <>
struct ResultPusher<std::string> {
  static int push(lua_State* L, const std::string& v) {
    lua_pushlstring(L, v.data(), v.size());
    return 1;
  }
};
template <>
struct ResultPusher<std::u16string> {
  static int push(lua_State* L, const std::u16string& v) {
    pushU16String(L, v);
    return 1;
  }
};
template <>
struct ResultPusher<Vec3> {
  static int push(lua_State* L, const Vec3& v) {
    const float f[3] = {v.x, v.y, v.z};
    pushVectorResult(L, "vec3", f, 3);
    return 1;
  }
};
template <>
struct ResultPusher<Vec4> {
  static int push(lua_State* L, const Vec4& v) {
    const float f[4] = {v.x, v.y, v.z, v.w};
    pushVectorResult(L, "vec4", f, 4);
    return 1;
  }
};
// A quaternion reaches scripts as the vec4 of its components.
template <>
struct ResultPusher<Quat> {
  static int push(lua_State* L, const Quat& q) { return ResultPusher<Vec4>::push(L, Vec4(q.x, q.y, q.z, q.w)); }
};
template <>
struct ResultPusher<QXInt> {
  static int push(lua_State* L, QXInt v) {
    pushQXInt(L, v.value);
    return 1;
  }
};
template <>
struct ResultPusher<ObjectRef> {
  static int push(lua_State* L, ObjectRef v) {
    pushObject(L, v.handle);
    return 1;
  }
};
template <class R>
struct ResultPusher<R, std::enable_if_t<IsHandle<R>::value>> {
  static int push(lua_State* L, const R& v) {
    pushObject(L, v.value);
    return 1;
  }
};
template <>
struct ResultPusher<LuaVar> {
  static int push(lua_State* L, const LuaVar& v) {
    const int top = lua_gettop(L);
    v.push(L);
    lua_settop(L, top + 1);
    return 1;
  }
};
template <>
struct ResultPusher<Pushed> {
  static int push(lua_State*, Pushed p) { return p.count; }
};
template <class R>
struct ResultPusher<R, std::enable_if_t<IsTuple<R>::value>> {
  static int push(lua_State* L, const R& t) {
    return std::apply(
        [L](const auto&... v) { return (0 + ... + ResultPusher<std::decay_t<decltype(v)>>::push(L, v)); }, t);
  }
};

}  // namespace qxbind
