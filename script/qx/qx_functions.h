// The functions behind the "QX" table, in the order registerQXGlobals registers them.
#pragma once
#include "script/qx/qx_globals.h"

namespace qxfn {

// Registered (dispatched) functions.
void createRes(QXView& v, uint32_t);
void createAux(QXView& v, uint32_t);
void Error(QXView& v, uint32_t);
void RTError(QXView& v, uint32_t);
void Print(QXView& v, uint32_t);
void validHdl(QXView& v, uint32_t);
void getStrong(QXView& v, uint32_t);
void getWeak(QXView& v, uint32_t);
void GetHdlID(QXView& v, uint32_t);
void GetRefCount(QXView& v, uint32_t);
void AttatchTbl(QXView& v, uint32_t);
void GetUID(QXView& v, uint32_t);
void RetUID(QXView& v, uint32_t);
void HdlInfo(QXView& v, uint32_t);
void dump(QXView& v, uint32_t);
void rpt(QXView& v, uint32_t);
void Cmp64Num(QXView& v, uint32_t);
void log(QXView& v, uint32_t);

// Plain native functions.
int LoadJson(lua_State* L);
int IsLightData(lua_State* L);
int profBegin(lua_State* L);
int profEnd(lua_State* L);
int profStr(lua_State* L);
int profTable(lua_State* L);

}  // namespace qxfn
