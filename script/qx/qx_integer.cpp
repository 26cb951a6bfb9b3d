#include "script/qx/qx_integer.h"

#include <cmath>

#include "script/lua/stack_readers.h"
#include "script/qx/qx_integer_ops.h"

namespace {

void* asPointer(uint32_t v) { return reinterpret_cast<void*>(static_cast<uintptr_t>(v)); }

double signedOf(uint32_t v) { return static_cast<double>(qxint::asSigned(v)); }

// ---- methods of "QXInteger" ----------------------------------------------------------

int qiNew(lua_State* L) { return setQXIntMeta(L, getQXIntAt(L, 1)); }
int qiAnd(lua_State* L) { return setQXIntMeta(L, qxIntOf(L, 1) & getQXIntAt(L, 2)); }
int qiOr(lua_State* L) { return setQXIntMeta(L, qxIntOf(L, 1) | getQXIntAt(L, 2)); }
int qiXor(lua_State* L) { return setQXIntMeta(L, qxIntOf(L, 1) ^ getQXIntAt(L, 2)); }
int qiNot(lua_State* L) { return setQXIntMeta(L, ~qxIntOf(L, 1)); }
int qiCheck(lua_State* L) {
  lua_pushboolean(L, (qxIntOf(L, 1) & getQXIntAt(L, 2)) != 0);
  return 1;
}
int qiClear(lua_State* L) { return setQXIntMeta(L, qxIntOf(L, 1) & ~getQXIntAt(L, 2)); }
int qiNum(lua_State* L) {
  lua_pushinteger(L, qxint::asSigned(qxIntOf(L, 1)));
  return 1;
}
int qiTopbit(lua_State* L) { return setQXIntMeta(L, qxint::topbit(qxIntOf(L, 1))); }
int qiTopindex(lua_State* L) {
  lua_pushinteger(L, qxint::topindex(qxIntOf(L, 1)));
  return 1;
}
int qiLowbit(lua_State* L) { return setQXIntMeta(L, qxint::lowbit(qxIntOf(L, 1))); }
int qiLowindex(lua_State* L) {
  lua_pushinteger(L, qxint::lowindex(qxIntOf(L, 1)));
  return 1;
}
// QXInteger(v): the class table comes first.
int qiCall(lua_State* L) {
  lua_remove(L, 1);
  return qiNew(L);
}

// ---- operators of "QXINT" ------------------------------------------------------------
// A Lua number on the left gives a Lua number; otherwise the result is a QXInteger and
// the right operand may be a QXInteger or a number truncated toward zero.

template <uint32_t (*IntOp)(uint32_t, uint32_t), double (*NumOp)(double, double)>
int binaryOp(lua_State* L) {
  if (lua_type(L, 1) == LUA_TNUMBER) {
    lua_pushnumber(L, NumOp(lua_tonumber(L, 1), signedOf(getQXIntAt(L, 2))));
    return 1;
  }
  return setQXIntMeta(L, IntOp(getQXIntAt(L, 1), getQXIntAt(L, 2)));
}

double numAdd(double a, double b) { return a + b; }
double numSub(double a, double b) { return a - b; }
double numMul(double a, double b) { return a * b; }
double numDiv(double a, double b) { return a / b; }
double numMod(double a, double b) { return std::fmod(a, b); }
double numPow(double a, double b) { return std::pow(a, b); }

uint32_t intAdd(uint32_t a, uint32_t b) { return qxint::add(a, b); }
uint32_t intSub(uint32_t a, uint32_t b) { return qxint::sub(a, b); }
uint32_t intMul(uint32_t a, uint32_t b) { return qxint::mul(a, b); }
uint32_t intDiv(uint32_t a, uint32_t b) { return qxint::div(a, b); }
uint32_t intMod(uint32_t a, uint32_t b) { return qxint::mod(a, b); }
uint32_t intPow(uint32_t a, uint32_t b) { return qxint::pow(a, b); }

int opUnm(lua_State* L) { return setQXIntMeta(L, qxint::neg(getQXIntAt(L, 1))); }
int opEq(lua_State* L) {
  lua_pushboolean(L, lua_touserdata(L, 1) == lua_touserdata(L, 2));
  return 1;
}
int opLt(lua_State* L) {
  lua_pushboolean(L, qxint::lt(getQXIntAt(L, 1), getQXIntAt(L, 2)));
  return 1;
}
int opLe(lua_State* L) {
  lua_pushboolean(L, qxint::le(getQXIntAt(L, 1), getQXIntAt(L, 2)));
  return 1;
}

void setFn(lua_State* L, const char* name, lua_CFunction fn) {
  lua_pushcfunction(L, fn);
  lua_setfield(L, -2, name);
}

}  // namespace

uint32_t qxIntOf(lua_State* L, int index) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(lua_touserdata(L, index)));
}

int setQXIntMeta(lua_State* L, uint32_t v) {
  lua_pushlightuserdata(L, asPointer(v));
  lua_getglobal(L, "QXINT");
  // A script may have replaced the global; only a table can be a metatable.
  if (lua_istable(L, -1)) {
    lua_setmetatable(L, -2);
  } else {
    lua_pop(L, 1);
  }
  return 1;
}

void registerQXInteger(lua_State* L) {
  lua_newtable(L);
  setFn(L, "new", qiNew);
  setFn(L, "iand", qiAnd);
  setFn(L, "ior", qiOr);
  setFn(L, "ixor", qiXor);
  setFn(L, "inot", qiNot);
  setFn(L, "check", qiCheck);
  setFn(L, "clear", qiClear);
  setFn(L, "num", qiNum);
  setFn(L, "topbit", qiTopbit);
  setFn(L, "topindex", qiTopindex);
  setFn(L, "lowbit", qiLowbit);
  setFn(L, "lowindex", qiLowindex);
  lua_newtable(L);
  setFn(L, "__call", qiCall);
  lua_setmetatable(L, -2);
  lua_setglobal(L, "QXInteger");

  lua_newtable(L);
  lua_getglobal(L, "QXInteger");
  lua_setfield(L, -2, "__index");
  setFn(L, "__add", binaryOp<intAdd, numAdd>);
  setFn(L, "__sub", binaryOp<intSub, numSub>);
  setFn(L, "__mul", binaryOp<intMul, numMul>);
  setFn(L, "__div", binaryOp<intDiv, numDiv>);
  setFn(L, "__mod", binaryOp<intMod, numMod>);
  setFn(L, "__pow", binaryOp<intPow, numPow>);
  setFn(L, "__unm", opUnm);
  setFn(L, "__eq", opEq);
  setFn(L, "__lt", opLt);
  setFn(L, "__le", opLe);
  lua_setglobal(L, "QXINT");
  // Light userdata share one metatable: set it now, so values pushed before the first
  // QXInteger (ids, "QXLS") already behave as QXIntegers.
  setQXIntMeta(L, 0);
  lua_pop(L, 1);
}
