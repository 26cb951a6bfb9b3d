#include <stdexcept>
#include <string>

#include "net/twiapi/twiapi.h"
#include "runtime/mem/mem_mgr.h"

namespace {

constexpr const char* kNotHttp = "HTTPレスポンス解釈失敗";

// The reason a script reads: an open stream's end says so, a request's failure as it is.
std::string reasonText(const SockFailure& why) {
  if (!why.afterReply) return qxnet::failureText(why.kind);
  const char* what = why.kind == qxnet::Failure::closed ? "connection closed" : qxnet::failureText(why.kind);
  return std::string("stream ended: ") + what;
}

}  // namespace

void TwiAPI::init() {
  if (!MemMgrMulti::ofValue(own_)) {
    throw std::runtime_error(
        "TwiAPI.newS: replies arrive on socket threads, which cannot reach an object of this thread's own; "
        "make it with TwiAPI.new");
  }
}

void TwiAPI::failWith(const APIEndpoint& row, const std::string& reason, Outcome& out) {
  out.name = row.name;
  out.values[0] = LuaVar("failed");
  out.count = 3;
  out.stop = true;
  LuaVar& table = out.values[2];
  table.setNewTable();
  table.field("code").setInt(0);
  table.field("response") = LuaVar(reason);
  table.field("error") = LuaVar(reason);
  table.field("request") = LuaVar("/" + std::string(row.path));
}

void TwiAPI::onFailure(uint32_t id, const APIEndpoint& row, const SockFailure& why, Outcome& out) {
  out.target = notify_;
  out.values[1].setLightUdata(reinterpret_cast<void*>(static_cast<uintptr_t>(id)));
  if (why.kind == qxnet::Failure::malformed && !why.afterReply) {
    // Bytes came, but no reply can be read from them.
    if (why.data) writeHttpLog(why.data, why.length);
    out.name = row.name;
    out.values[0] = LuaVar("failed");
    out.values[2] = LuaVar(kNotHttp);
    out.count = 3;
    out.stop = true;
    return;
  }
  failWith(row, reasonText(why), out);
}
