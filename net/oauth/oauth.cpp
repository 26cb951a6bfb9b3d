#include "net/oauth/oauth.h"

#include <algorithm>
#include <ctime>
#include <stdexcept>

#include "net/http/http_body.h"
#include "platform/core/checksum.h"
#include "platform/core/numconv.h"
#include "platform/core/url.h"

namespace {

using qcore::urlEncode;

int64_t wallSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

// The pairs of a query ("a=1&b=2"), decoded.
void queryPairs(std::string_view query, HeaderPairs& out) {
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view item = query.substr(0, amp);
    if (!item.empty()) {
      size_t eq = item.find('=');
      out.emplace_back(qcore::urlDecode(item.substr(0, eq), true),
                       eq == std::string_view::npos ? std::string() : qcore::urlDecode(item.substr(eq + 1), true));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
}

}  // namespace

std::string oauthNonce() {
  unsigned char bytes[16];
  if (!secureRandom(bytes, sizeof bytes)) throw std::runtime_error("no random bytes for an OAuth nonce");
  static const char* hex = "0123456789abcdef";
  std::string s;
  for (unsigned char b : bytes) {
    s += hex[b >> 4];
    s += hex[b & 15];
  }
  return s;
}

std::string OAuth::baseString(const std::string& method, const std::string& url, const HeaderPairs& pairs) {
  HeaderPairs encoded;
  encoded.reserve(pairs.size());
  for (const auto& [name, value] : pairs) encoded.emplace_back(urlEncode(name), urlEncode(value));
  std::sort(encoded.begin(), encoded.end());
  std::string params;
  for (const auto& [name, value] : encoded) {
    if (!params.empty()) params += '&';
    params += name;
    params += '=';
    params += value;
  }
  return urlEncode(method) + "&" + urlEncode(url) + "&" + urlEncode(params);
}

std::string OAuth::signingKey(const std::string& consumerSecret, const std::string& tokenSecret) {
  return urlEncode(consumerSecret) + "&" + urlEncode(tokenSecret);
}

void OAuth::sign(HTTPRequest& request, const HTTPBody* body) {
  HTTPOAuthH* auth = dynamic_cast<HTTPOAuthH*>(request.findAuthorization());
  if (!auth) auth = static_cast<HTTPOAuthH*>(request.setHeader("Authorization", std::make_unique<HTTPOAuthH>()));
  auth->clear();

  HeaderPairs oauth = {
      {"oauth_consumer_key", consumerKey_},
      {"oauth_nonce", nonce_ ? nonce_() : oauthNonce()},
      {"oauth_signature_method", "HMAC-SHA1"},
      {"oauth_timestamp", qcore::formatI64(clock_ ? clock_() : wallSeconds())},
      {"oauth_version", "1.0"},
  };
  if (!callback_.empty()) {
    oauth.emplace_back("oauth_callback", callback_);
    callback_.clear();
  }
  if (!token_.empty()) oauth.emplace_back("oauth_token", token_);
  if (!verifier_.empty()) {
    oauth.emplace_back("oauth_verifier", verifier_);
    verifier_.clear();
  }

  HeaderPairs all = oauth;
  if (body) body->listPairs(all);
  std::string url = request.url(true);
  if (size_t q = url.find('?'); q != std::string::npos) {
    queryPairs(std::string_view(url).substr(q + 1), all);
    url.resize(q);
  }
  const std::string base = baseString(request.method(), url, all);
  const std::string key = signingKey(consumerSecret_, tokenSecret_);
  uint8_t digest[20];
  HMAC_SHA1(digest, key.data(), key.size(), base.data(), base.size());
  char b64[40];
  size_t n = base64(b64, sizeof b64, digest, sizeof digest);
  oauth.emplace_back("oauth_signature", std::string(b64, n));

  for (const auto& [name, value] : oauth) auth->setAttribute(name, urlEncode(value));
}
