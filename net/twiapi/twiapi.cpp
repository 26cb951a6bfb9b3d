#include "net/twiapi/twiapi.h"

#include <optional>

#include "net/http/header_chk.h"
#include "net/http/reply_cost.h"
#include "net/http/term_chk.h"
#include "net/sock/sth_mgr.h"
#include "net/twiapi/twiapi_notify.h"
#include "net/values/body_values.h"
#include "platform/core/numconv.h"
#include "runtime/json/json_reader.h"
#include "runtime/json/json_value.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_report.h"

namespace {

constexpr const char* kNotHttp = "HTTPレスポンス解釈失敗";

// A parameter key or value as request text: booleans "true"/"false", numbers as
// integers (fractions dropped), strings as they are, anything else empty.
std::string paramText(lua_State* L, int index) {
  switch (lua_type(L, index)) {
    case LUA_TBOOLEAN:
      return lua_toboolean(L, index) ? "true" : "false";
    case LUA_TNUMBER: {
      lua_Number n = lua_tonumber(L, index);
      if (!(n >= -9.2e18 && n <= 9.2e18)) return "0";  // NaN and huge values have no integer
      return qcore::formatI64(static_cast<int64_t>(n));
    }
    case LUA_TSTRING: {
      size_t len = 0;
      const char* s = lua_tolstring(L, index, &len);
      return std::string(s, len);
    }
    default:
      return std::string();
  }
}

void ensureTable(LuaVar& v) {
  if (!v.isTable()) v.resetToTable();
}

bool isJsonNull(const LuaVar& v) { return v.json() && v.json()->isNull(); }

std::string tooManyValues(size_t values) {
  return "too many values for a script: " + std::to_string(values) + ", at most " +
         std::to_string(replycost::kMaxScriptValues);
}

}  // namespace

TwiAPI::TwiAPI() : own_(MemMgrBase::threadCurrentHandle()) {}

void TwiAPI::prepare(const APIEndpoint& row) {
  const APIHost& host = row.apiHost();
  request_.clear();
  request_.setHost(host.name);
  request_.setPort(host.port);
  request_.setScheme(host.tls ? "https" : "http");
  request_.setMethod(row.method);
  request_.setPath(row.path);
  if (host.keepAlive) request_.selectHeader("Connection").addValue("Keep-Alive");
}

qxbind::QXInt TwiAPI::sendRequest(const char* name, qxbind::StackArg params) {
  const APIEndpoint& row = findEndpoint(name ? name : "");
  URLBody body;
  if (params.L && lua_istable(params.L, params.index)) {
    lua_State* L = params.L;
    const int t = params.index > 0 ? params.index : lua_gettop(L) + params.index + 1;
    lua_pushnil(L);
    while (lua_next(L, t) != 0) {
      body.set(paramText(L, -2), paramText(L, -1));
      lua_pop(L, 1);
    }
  }
  prepare(row);
  std::string text;
  request_.serialize(row.sign ? &oauth_ : nullptr, text, &body);
  return {sendJob(std::move(text), row)};
}

int32_t TwiAPI::cancelRequest(qxbind::QXInt id) {
  SThMgr* mgr = sockManagerOf(id.value);
  return mgr ? mgr->cancel(id.value) : 1;
}

uint32_t TwiAPI::sendJob(std::string text, const APIEndpoint& row) {
  const APIHost& host = row.apiHost();
  SThMgr* mgr = host.tls ? static_cast<SThMgr*>(SSockMgr::instance()) : static_cast<SThMgr*>(SockMgr::instance());
  if (!mgr) {
    scriptDebugLog(std::string("TwiAPI: no socket manager for \"") + row.name + "\"");
    return 0;
  }
  std::unique_ptr<IHeaderCheck> framer;
  if (host.keepAlive) {
    framer = HTTPHeaderChk::makeStream();
  } else {
    framer = std::make_unique<HTTPTermChk>(false);
  }
  const uint16_t port = host.port ? host.port : (host.tls ? SSockMgr::defaultPort() : SockMgr::defaultPort());
  return mgr->enqueue(host.name, port, std::move(text), std::move(framer), std::make_unique<ITAPINotify>(own_), &row,
                      host.keepAlive != 0);
}

void TwiAPI::onResponse(uint32_t id, const APIEndpoint& row, const void* info, const char* data, uint32_t length,
                        Outcome& out) {
  const APIHost& host = row.apiHost();
  out.target = notify_;
  out.name = row.name;
  out.values[1].setLightUdata(reinterpret_cast<void*>(static_cast<uintptr_t>(id)));

  // A message of an open stream (the header block came before it).
  if (host.keepAlive && info && static_cast<const HTTPHeaderChk::Info*>(info)->messageFlag == 1) {
    if (!data || length == 0) {
      // The last chunk: the stream's clean end, one final delivery without a value.
      out.values[0] = LuaVar("keep-alive");
      out.count = 3;
      return;
    }
    onStreamMessage(row, std::string_view(data, length), out);
    return;
  }

  const std::string_view text = data ? std::string_view(data, length) : std::string_view();
  if (data && response_.parseHead(text)) {
    const size_t values = replycost::scriptValueCount(response_.contentType(), response_.bodyBytes());
    if (values > replycost::kMaxScriptValues) {
      const std::string reason = tooManyValues(values);
      scriptDebugLog(std::string(row.name) + ": reply refused: " + reason);
      failWith(row, reason, out);
      return;
    }
  }
  if (!data || !response_.parse(text)) {
    if (data) writeHttpLog(data, length);
    if (!response_.refusal().empty()) scriptDebugLog(std::string(row.name) + ": reply refused: " + response_.refusal());
    out.values[0] = LuaVar("failed");
    out.values[2] = LuaVar(kNotHttp);
    out.count = 3;
    out.stop = true;
    return;
  }
  HTTPBody* body = response_.body();
  if (!response_.isOK()) {
    LuaVar& table = out.values[2];
    if (body) toScriptValue(*body, table);
    ensureTable(table);
    table.field("code").setInt(response_.status());
    table.field("response") = LuaVar(response_.reason());
    out.values[0] = LuaVar("failed");
    out.count = 3;
    out.stop = true;
    return;
  }
  if (row.kind == APIEndpoint::kHandshake) {
    out.values[0] = LuaVar("succeeded");
    out.count = 2;
    const std::string* token = body ? body->get("oauth_token") : nullptr;
    const std::string* secret = body ? body->get("oauth_token_secret") : nullptr;
    if (token) oauth_.setToken(*token, secret ? *secret : std::string());
    return;
  }
  out.values[0] = LuaVar(host.keepAlive ? "keep-alive" : "succeeded");
  if (body) takeScriptValue(*body, out.values[2]);
  // A stream's nil is its end: a header block whose body is JSON null carries a table.
  if (!out.values[2].isSet() || (host.keepAlive && isJsonNull(out.values[2]))) out.values[2].setNewTable();
  out.count = 3;
  // A stream answered by one complete reply has ended with it.
  out.endsStream = host.keepAlive && !response_.chunked();
}

void TwiAPI::onStreamMessage(const APIEndpoint& row, std::string_view text, Outcome& out) {
  JSONValue message;
  std::string why;
  if (const size_t values = replycost::jsonValueCount(text); values > replycost::kMaxScriptValues) {
    why = tooManyValues(values);
  } else if (replycost::acceptable("application/json", text, &why)) {
    if (JSONParseResult r = jsonParse(text, message); !r) {
      why = std::string("not JSON: ") + r.error + " at byte " + std::to_string(r.errorOffset);
    } else if (message.isNull()) {
      why = "null carries no value";
    }
  }
  if (!why.empty()) {
    // Skipped: a nil here would read as the stream's end.
    scriptDebugLog(std::string(row.name) + ": stream message skipped: " + why);
    writeHttpLog(text.data(), static_cast<uint32_t>(text.size()));
    out.name = nullptr;
    return;
  }
  out.values[0] = LuaVar("keep-alive");
  out.values[2].takeJSON(message);
  out.count = 3;
}
