#include "net/download/download.h"

#include <utility>

#include "net/http/http_body.h"
#include "net/http/http_request.h"
#include "net/http/http_response.h"
#include "net/http/json_body.h"
#include "net/http/term_chk.h"
#include "net/sock/sth_mgr.h"
#include "platform/core/url.h"
#include "platform/core/utf.h"
#include "runtime/fs/bitstream.h"
#include "runtime/fs/files.h"
#include "runtime/res/res_registry.h"
#include "script/bind/glue_types.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_mgr.h"
#include "script/lua/script_report.h"

namespace {

std::u16string partName(const std::u16string& path) { return path + u".part"; }

// The write target that takes the name (creating or emptying it).
qx::IFiles* targetFor(const std::u16string& name) { return ResRegistry::instance().createFile(name, true); }

bool writeBody(qx::IFiles& target, const std::u16string& name, const RAWBody& body) {
  std::unique_ptr<qx::obitstream> out = target.openWrite(name, true);
  if (!out) return false;
  const size_t n = body.writeBytes(*out);
  return n == body.size() && out->flush() && !out->failed();
}

// Only a body that no form, JSON or text kind would take is written. It is decided from
// the headers, so no tree is built for a reply that would be thrown away.
bool takenAsRaw(std::string_view type) {
  return !type.empty() && !URLBody().accepts(type) && !JSONBody().accepts(type) && !TEXTBody().accepts(type);
}

void discardPart(const std::u16string& path) {
  if (qx::IFiles* target = targetFor(partName(path))) target->remove(partName(path));
}

}  // namespace

bool saveDownload(const std::u16string& path, bool overwrite, const char* data, uint32_t length) {
  HTTPResponse response;
  RAWBody raw;
  const RAWBody* body = nullptr;
  if (data && response.parseHead(std::string_view(data, length)) && response.isOK() &&
      takenAsRaw(response.contentType()) && raw.parse(response.bodyBytes().data(), response.bodyBytes().size())) {
    body = &raw;
  }
  if (!overwrite) {
    // The file was created when the download was queued; it stays as created otherwise.
    qx::IFiles* target = body ? targetFor(path) : nullptr;
    return target && writeBody(*target, path, *body);
  }
  const std::u16string part = partName(path);
  qx::IFiles* target = body ? targetFor(part) : nullptr;
  if (!target || !writeBody(*target, part, *body)) {
    discardPart(path);
    return false;
  }
  if (target->rename(part, path)) return true;
  // A source that cannot rename (the in-memory tree) takes the body directly.
  const bool ok = writeBody(*target, path, *body);
  target->remove(part);
  return ok;
}

ISSaveFile::~ISSaveFile() {
  if (!delivered_ && overwrite_) discardPart(path_);
}

void ISSaveFile::failed(uint32_t, const void*, const SockFailure&) {
  // Without overwrite the file did not exist before this download created it.
  if (overwrite_ || delivered_) return;
  if (qx::IFiles* target = targetFor(path_)) target->remove(path_);
}

bool ISSaveFile::deliver(uint32_t, const void*, const void*, const char* data, uint32_t length) {
  delivered_ = true;
  written_ = saveDownload(path_, overwrite_, data, length);
  return true;
}

ISLua::~ISLua() {
  // The job ended without a reply (no connection, cancelled, shut down); the sink goes
  // first, so the callback finds its part file removed.
  sink_.reset();
  if (!told_) tell(false);
}

bool ISLua::deliver(uint32_t id, const void* user, const void* info, const char* data, uint32_t length) {
  const bool done = sink_->deliver(id, user, info, data, length);
  if (!told_) tell(sink_->written());
  return done;
}

void ISLua::tell(bool ok) {
  told_ = true;
  GobjMgr* gobjs = GobjMgr::instance();
  if (!gobjs || !function_) return;
  gobjs->postTask([function = std::move(function_), id = jobId_, ok, path = path_] {
    runDownloadCallback(*function, id->load(), ok, path);
  });
}

void runDownloadCallback(LStkRef& function, uint32_t id, bool ok, const std::string& path) {
  LVPolicyHdl policy(function.policy());
  lua_State* L = policy.lock();
  if (!L) return;
  const int top = lua_gettop(L);
  ScriptMgr* scripts = ScriptMgr::ofValue(policy.handle());
  const uint32_t previous = scripts ? scripts->exchangeThreadEntry(policy.handle()) : 0;
  // A fresh coroutine: a callback never runs inside one that a script has suspended.
  lua_State* co = lua_newthread(L);
  int status = LUA_ERRRUN;
  std::string error = "the callback is gone";
  if (function.push(co) && lua_isfunction(co, -1)) {
    qxbind::pushQXInt(co, id);
    lua_pushboolean(co, ok ? 1 : 0);
    lua_pushlstring(co, path.data(), path.size());
    status = lua_resume(co, 3);
    if (status != 0 && status != LUA_YIELD) {
      const char* msg = lua_tostring(co, -1);
      error = msg ? msg : "error object is not a string";
      // debug.traceback(co, message) while the failed coroutine keeps its stack.
      lua_getglobal(L, "debug");
      if (lua_istable(L, -1)) {
        lua_getfield(L, -1, "traceback");
        lua_pushvalue(L, top + 1);
        lua_pushlstring(L, error.data(), error.size());
        if (lua_pcall(L, 2, 1, 0) == 0 && lua_isstring(L, -1)) error = lua_tostring(L, -1);
      }
    }
  }
  if (scripts) scripts->exchangeThreadEntry(previous);
  lua_settop(L, top);
  policy.unlock();
  if (status == LUA_YIELD) {
    scriptDebugLog("getFile_ntf: the callback yielded; it is not resumed");
  } else if (status != 0) {
    scriptDebugLog("getFile_ntf callback failed: " + error);
    scriptMessageBox(error, "getFile_ntf");
  }
}

// Why a download cannot be queued; empty when it can (parts then hold the URL's parts and
// the file is created).
std::string refusal(const std::u16string& path, const std::string& url, bool overwrite, qcore::UrlParts& parts) {
  if (url.size() > kMaxDownloadURL || !qcore::parseUrl(url, parts)) {
    return "not a URL to download (an http or https URL of at most 255 bytes without controls)";
  }
  if (path.empty() || !ResRegistry::instance().createFile(overwrite ? partName(path) : path, overwrite)) {
    return "no write target can create \"" + qcore::utf16ToUtf8(path) + "\" (without overwrite it must not exist)";
  }
  return {};
}

uint16_t downloadPort(const qcore::UrlParts& parts, bool tls) {
  if (parts.explicitPort) return static_cast<uint16_t>(parts.port);
  return tls ? SSockMgr::defaultPort() : SockMgr::defaultPort();
}

uint32_t queueDownload(SThMgr& mgr, const std::u16string& path, const std::string& url, bool overwrite,
                       std::shared_ptr<LStkRef> function) {
  qcore::UrlParts parts;
  if (const std::string why = refusal(path, url, overwrite, parts); !why.empty()) {
    scriptDebugLog("getFile: " + why);
    return 0;
  }
  HTTPRequest request;
  request.setMethod("GET");
  request.setScheme(mgr.kind() == SThMgr::kTls ? "https" : "http");
  request.setHost(parts.host);
  const uint16_t port = downloadPort(parts, mgr.kind() == SThMgr::kTls);
  request.setPort(port);
  request.setPath(parts.path);
  request.selectHeader("Accept").addValue("application/octet-stream");
  std::string text;
  request.serialize(nullptr, text, nullptr);
  auto sink = std::make_unique<ISSaveFile>(path, overwrite);
  auto jobId = std::make_shared<std::atomic<uint32_t>>(0);
  std::unique_ptr<ISockNotify> notify;
  if (function) {
    notify = std::make_unique<ISLua>(std::move(sink), std::move(function), qcore::utf16ToUtf8(path), jobId);
  } else {
    notify = std::move(sink);
  }
  const uint32_t id = mgr.enqueue(parts.host, port, std::move(text),
                                  std::make_unique<HTTPTermChk>(false), std::move(notify));
  jobId->store(id);
  return id;
}
