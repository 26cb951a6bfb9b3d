#include "net/download/download.h"

#include <cstdio>
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
#include "runtime/fs/fresh_name.h"
#include "runtime/res/res_registry.h"
#include "script/bind/glue_types.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_mgr.h"
#include "script/lua/script_report.h"

namespace {

constexpr std::u16string_view kFreshSuffix = u".part";

std::string quoted(const std::u16string& path) { return "\"" + qcore::utf16ToUtf8(path) + "\""; }

// Empty when the body is in out, else why not; path names the file it is meant for.
std::string writeBody(std::unique_ptr<qx::obitstream> out, const std::u16string& path, const RAWBody& body) {
  if (!out) return "cannot open " + quoted(path) + " for writing";
  const size_t n = body.writeBytes(*out);
  if (n == body.size() && out->flush() && !out->failed()) return {};
  return "writing " + quoted(path) + " failed after " + std::to_string(n) + " of " + std::to_string(body.size()) +
         " bytes";
}

// The body replaces the file only once it is whole, so a write that fails part way (a full
// disk, a size limit) leaves the file as it was: the old one, or the empty one made when
// the download was queued.
std::string replaceWithBody(qx::IFiles& target, const std::u16string& path, const RAWBody& body) {
  std::optional<qx::FreshFile> fresh = target.createFresh(path, kFreshSuffix);
  if (!fresh) return writeBody(target.openWrite(path, true), path, body);
  if (!fresh->out) return "cannot make a file beside " + quoted(path) + ": " + fresh->error;
  std::string failed = writeBody(std::move(fresh->out), path, body);
  if (failed.empty() && !target.rename(fresh->name, path)) {
    failed = "cannot replace " + quoted(path) + " with the new file";
  }
  if (!failed.empty()) target.remove(fresh->name);
  return failed;
}

// Only a body that no form, JSON or text kind would take is written. It is decided from
// the headers, so no tree is built for a reply that would be thrown away.
bool takenAsRaw(std::string_view type) {
  return !type.empty() && !URLBody().accepts(type) && !JSONBody().accepts(type) && !TEXTBody().accepts(type);
}

// Why the framed bytes hold no file to write; empty when body now holds one.
std::string fileIn(const char* data, uint32_t length, HTTPResponse& response, RAWBody& body) {
  if (!data || !response.parseHead(std::string_view(data, length))) return "the reply is not HTTP";
  if (!response.isOK()) return "the reply is " + std::to_string(response.status()) + " " + response.reason();
  if (response.bodyBytes().empty()) return "the reply has no body";
  const std::string_view type = response.contentType();
  if (!takenAsRaw(type)) return "the reply is \"" + std::string(type) + "\", not a file";
  if (!body.parse(response.bodyBytes().data(), response.bodyBytes().size())) return "the reply has no body";
  return {};
}

}  // namespace

qx::IFiles* downloadTarget(const std::u16string& path, bool overwrite) {
  if (path.empty()) return nullptr;
  if (!overwrite) return ResRegistry::instance().createFile(path, false);
  // Made where nothing stands, so it cannot block or reach through a link.
  const std::u16string probe = qx::freshName(path, kFreshSuffix);
  qx::IFiles* target = ResRegistry::instance().createFile(probe, false);
  if (target) target->remove(probe);
  return target;
}

bool saveDownload(qx::IFiles& target, const std::u16string& path, const char* data, uint32_t length,
                  std::string* why) {
  HTTPResponse response;
  RAWBody raw;
  std::string failed = fileIn(data, length, response, raw);
  if (failed.empty()) failed = replaceWithBody(target, path, raw);
  if (failed.empty()) return true;
  if (why) *why = failed;
  return false;
}

ISSaveFile::~ISSaveFile() {
  if (!delivered_ && !told_) notWritten(0, "cancelled, or the program ended first");
}

void ISSaveFile::notWritten(uint32_t id, const std::string& why) {
  char job[16] = "";
  if (id) std::snprintf(job, sizeof job, " (job %08x)", id);
  scriptDebugLog("getFile \"" + qcore::utf16ToUtf8(path_) + "\"" + job + ": not written: " + why);
}

void ISSaveFile::failed(uint32_t id, const void*, const SockFailure& why) {
  told_ = true;
  notWritten(id, qxnet::failureText(why.kind));
  // Without overwrite the file did not exist before this download created it.
  if (!overwrite_ && !delivered_) target_.remove(path_);
}

bool ISSaveFile::deliver(uint32_t id, const void*, const void*, const char* data, uint32_t length) {
  delivered_ = true;
  std::string why;
  written_ = saveDownload(target_, path_, data, length, &why);
  if (!written_) notWritten(id, why);
  return true;
}

ISLua::~ISLua() {
  // The job has ended (its manager no longer lists it, so isCompleted is true when the
  // function runs). The sink goes first, so its log line comes before the callback's.
  const bool ok = sink_->written();
  sink_.reset();
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
// target the write target that took the file).
std::string refusal(const std::u16string& path, const std::string& url, bool overwrite, qcore::UrlParts& parts,
                    qx::IFiles*& target) {
  if (url.size() > kMaxDownloadURL || !qcore::parseUrl(url, parts)) {
    return "not a URL to download (an http or https URL of at most 255 bytes without controls)";
  }
  if (!(target = downloadTarget(path, overwrite))) {
    return "no write target can create " + quoted(path) +
           (overwrite ? " (overwrite true)" : " (overwrite false: it must not exist yet)");
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
  qx::IFiles* target = nullptr;
  if (const std::string why = refusal(path, url, overwrite, parts, target); !why.empty()) {
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
  auto sink = std::make_unique<ISSaveFile>(*target, path, overwrite);
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
