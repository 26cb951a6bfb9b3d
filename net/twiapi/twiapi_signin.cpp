#include <string>
#include <thread>

#include "net/twiapi/token_file.h"
#include "net/twiapi/twiapi.h"
#include "platform/core/numconv.h"
#include "platform/core/url.h"
#include "platform/core/utf.h"
#include "platform/window/ui_thread.h"
#include "platform/window/url_opener.h"
#include "script/lua/script_report.h"

namespace {

// The longest authorize URL the browser request takes.
constexpr size_t kMaxAuthorizeURL = 457;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string trimmed(std::string text) {
  size_t end = text.size();
  while (end > 0 && isSpace(text[end - 1])) --end;
  size_t start = 0;
  while (start < end && isSpace(text[start])) ++start;
  return text.substr(start, end - start);
}

}  // namespace

qxbind::QXInt TwiAPI::getReqToken() {
  const APIEndpoint& row = requestTokenEndpoint();
  prepare(row);
  // A held access token must not sign the request for a new one.
  oauth_.setToken(std::string(), std::string());
  oauth_.setCallback("oob");
  std::string text;
  request_.serialize(&oauth_, text, nullptr);
  return {sendJob(std::move(text), row)};
}

qxbind::QXInt TwiAPI::inputVeliID(std::string pin) {
  const APIEndpoint& row = accessTokenEndpoint();
  prepare(row);
  oauth_.setVerifier(trimmed(std::move(pin)));
  std::string text;
  request_.serialize(&oauth_, text, nullptr);
  oauth_.setVerifier(std::string());  // used by that request only, even when it had none
  return {sendJob(std::move(text), row)};
}

std::string TwiAPI::authorizeURL() const {
  const APIHost& host = apiHost(APIEndpoint::kRest);
  std::string url = "https://" + host.name;
  if (host.port) url += ":" + qcore::formatI64(host.port);
  url += "/oauth/authorize/?oauth_token=" + qcore::urlEncode(oauth_.token());
  return url.size() <= kMaxAuthorizeURL ? url : std::string();
}

void TwiAPI::openAuthURI() {
  std::string url = authorizeURL();
  if (url.empty()) {
    scriptDebugLog("openAuthURI: the authorize URL is too long for the browser");
    return;
  }
  if (qxplat::uiOpenUrl(url)) return;
  // No UI thread serves requests (a headless run): open it here, still without waiting.
  std::thread([url, program = qxplat::urlOpener()] { qxplat::openUrl(url, program); }).detach();
}

bool TwiAPI::loadTokenFile(const std::u16string& name, uint8_t key, void (OAuth::*setter)(std::string, std::string)) {
  const std::string path = tokenFilePath(name);
  std::string bytes, why = "no path for \"" + qcore::utf16ToUtf8(name) + "\" in the program's folder";
  if (path.empty() || !readTokenFile(path, bytes, why)) {
    scriptDebugLog("token file: " + why + "; nothing loaded");
    return false;
  }
  std::string first, second;
  if (!decodeTokenFile(bytes, key, first, second)) {
    scriptDebugLog("token file " + path + " does not hold two words; nothing loaded");
    return false;
  }
  (oauth_.*setter)(std::move(first), std::move(second));
  return true;
}

bool TwiAPI::loadAcToken(std::u16string name) { return loadTokenFile(name, kAccessTokenKey, &OAuth::setToken); }

bool TwiAPI::loadCSKey(std::u16string name) { return loadTokenFile(name, kConsumerKeyKey, &OAuth::setConsumer); }

void TwiAPI::saveAcToken(std::u16string name) {
  const std::string path = tokenFilePath(name);
  std::string why = "no path for \"" + qcore::utf16ToUtf8(name) + "\" in the program's folder";
  if (path.empty() ||
      !writeTokenFile(path, encodeTokenFile(oauth_.token(), oauth_.tokenSecret(), kAccessTokenKey), why)) {
    scriptDebugLog("saveAcToken: " + why);
  }
}
