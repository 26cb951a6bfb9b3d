// OAuth 1.0a credentials of one service client and the signing of its requests
// (HMAC-SHA1, RFC 5849). As the request serialiser's modifier it adds the
// "Authorization" header: every oauth_* parameter and the signature, each value
// percent-encoded.
#pragma once
#include <cstdint>
#include <string>

#include "net/http/http_request.h"

class OAuth : public HTTPHMod {
 public:
  using Clock = int64_t (*)();
  using NonceSource = std::string (*)();

  void setConsumer(std::string key, std::string secret) {
    consumerKey_ = std::move(key);
    consumerSecret_ = std::move(secret);
  }
  void setToken(std::string token, std::string secret) {
    token_ = std::move(token);
    tokenSecret_ = std::move(secret);
  }
  // Used by the next signing only.
  void setVerifier(std::string verifier) { verifier_ = std::move(verifier); }
  // The oauth_callback of the next signing only ("oob" asks for a PIN).
  void setCallback(std::string callback) { callback_ = std::move(callback); }

  const std::string& token() const { return token_; }
  const std::string& tokenSecret() const { return tokenSecret_; }
  const std::string& consumerKey() const { return consumerKey_; }
  const std::string& verifier() const { return verifier_; }

  void apply(HTTPRequest& request, const HTTPBody* body) override { sign(request, body); }
  // Signs the request as it stands (method, URL with scheme, host and port) together
  // with the body's pairs and any query in the path.
  void sign(HTTPRequest& request, const HTTPBody* body);

  // Tests fix the time and the nonce.
  void setSources(Clock clock, NonceSource nonce) {
    clock_ = clock;
    nonce_ = nonce;
  }

  // The signature base string and key of RFC 5849 for these parts (pairs not encoded).
  static std::string baseString(const std::string& method, const std::string& url, const HeaderPairs& pairs);
  static std::string signingKey(const std::string& consumerSecret, const std::string& tokenSecret);

 private:
  std::string token_;
  std::string tokenSecret_;
  std::string consumerKey_;
  std::string consumerSecret_;
  std::string verifier_;
  std::string callback_;
  Clock clock_ = nullptr;
  NonceSource nonce_ = nullptr;
};

// 32 hexadecimal digits from the system's cryptographic random source.
std::string oauthNonce();
