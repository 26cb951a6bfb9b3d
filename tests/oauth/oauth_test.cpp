#include "net/oauth/oauth.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/http/http_body.h"

namespace {

int64_t fixedTime() { return 1318622958; }
std::string fixedNonce() { return "kYjzVBB8Y0ZFabxSWbWovY3uYSQ2pTgmZeNu2VS4cg"; }

// The example of the service's own documentation: every input fixed, one known signature.
TEST(OAuthTest, KnownSignature) {
  OAuth oauth;
  oauth.setSources(&fixedTime, &fixedNonce);
  oauth.setConsumer("xvz1evFS4wEEPTGEFPHBog", "kAcSOqF21Fu85e7zjz7ZN2U4ZRhfV3WpwPAoE3Z7kBw");
  oauth.setToken("370773112-GmHxMAgYyLbNEtIKZeRNFsMKPR9EyMZeS9weJAEb", "LswwdoUaIvS8ltyTt5jkRh4J50vUPVVHtR2YPi5kE");
  HTTPRequest r;
  r.setMethod("POST");
  r.setScheme("https");
  r.setHost("api.twitter.com");
  r.setPath("1/statuses/update.json");
  URLBody body;
  body.set("status", "Hello Ladies + Gentlemen, a signed OAuth request!");
  body.set("include_entities", "true");
  std::string text;
  r.serialize(&oauth, text, &body);
  EXPECT_NE(text.find("\r\nAuthorization: OAuth oauth_consumer_key=\"xvz1evFS4wEEPTGEFPHBog\","
                      "oauth_nonce=\"kYjzVBB8Y0ZFabxSWbWovY3uYSQ2pTgmZeNu2VS4cg\","
                      "oauth_signature=\"tnnArxj06cWHq44gCs1OSKk%2FjLY%3D\",oauth_signature_method=\"HMAC-SHA1\","
                      "oauth_timestamp=\"1318622958\",oauth_token=\"370773112-GmHxMAgYyLbNEtIKZeRNFsMKPR9EyMZeS9weJAEb\","
                      "oauth_version=\"1.0\"\r\n"),
            std::string::npos)
      << text;
  // Nonces differ within one second.
  oauth.setSources(&fixedTime, nullptr);
  std::string a, b;
  r.serialize(&oauth, a, nullptr);
  r.serialize(&oauth, b, nullptr);
  auto nonce = [](const std::string& t) {
    size_t at = t.find("oauth_nonce=\"") + 13;
    return t.substr(at, t.find('"', at) - at);
  };
  EXPECT_EQ(nonce(a).size(), 32u);
  EXPECT_NE(nonce(a), nonce(b));
  EXPECT_EQ(OAuth::signingKey("a&b", "c d"), "a%26b&c%20d");
}

struct Case {
  std::string text, scheme, consumerSecret, tokenSecret;
};

// Each request's signature checked by oauthlib: one line per case, "ok <params>" or "bad <why>".
std::vector<std::string> checkWithOauthlib(const std::vector<Case>& cases) {
  const auto dir = std::filesystem::temp_directory_path() / ("qx_oauth_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  auto json = [](const std::string& s) {  // bytes as latin-1 \u escapes
    std::string out = "\"";
    for (unsigned char c : s) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    }
    return out + "\"";
  };
  {
    std::ofstream f(dir / "cases.json", std::ios::binary);
    const char* sep = "[";
    for (const Case& c : cases) {
      f << sep << "{\"raw\":" << json(c.text) << ",\"scheme\":" << json(c.scheme)
        << ",\"consumer_secret\":" << json(c.consumerSecret) << ",\"token_secret\":" << json(c.tokenSecret) << "}";
      sep = ",";
    }
    f << "]";
  }
  std::string cmd = std::string("'") + QX_PYTHON + "' '" QX_SOURCE_DIR "/tests/net/oauth_check.py' '" +
                    (dir / "cases.json").string() + "' > '" + (dir / "out.txt").string() + "' 2>&1";
  int rc = std::system(cmd.c_str());
  std::vector<std::string> lines;
  std::ifstream in(dir / "out.txt");
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  std::filesystem::remove_all(dir);
  if (rc != 0) lines.insert(lines.begin(), "python failed");
  return lines;
}

// Requests of every shape the client sends, signed here and verified by oauthlib.
TEST(OAuthTest, OauthlibAcceptsEverySignedShape) {
  struct Shape {
    const char* method;
    const char* scheme;
    int port;
    const char* consumerSecret;
    const char* token;
    const char* tokenSecret;
    const char* verifier;
    std::vector<std::pair<std::string, std::string>> pairs;
  };
  const std::vector<Shape> shapes = {
      {"GET", "https", 0, "cs", "", "", "", {}},
      {"GET", "https", 8443, "c&s=%", "tok", "t+s/", "", {{"q", "a b&c=d"}, {"rpp", "10"}, {"name", "\xe6\x97\xa5"}}},
      {"POST", "http", 8080, "cs", "tok", "ts", "", {{"status", "Hello ~*'()!@ \xe2\x9c\x93"}, {"in_reply", ""}}},
      {"GET", "https", 0, "", "reqtok", "", "12 34\"5", {}},
      {"GET", "https", 0, "cs", "tok", "ts", "", {{"track", "a,b"}, {"track2", "%41"}, {"a", "2"}, {"A", "1"}}},
  };
  std::vector<Case> cases;
  for (const Shape& s : shapes) {
    OAuth oauth;
    oauth.setConsumer("key/1", s.consumerSecret);
    oauth.setToken(s.token, s.tokenSecret);
    oauth.setVerifier(s.verifier);
    oauth.setCallback(s.verifier[0] ? "" : "oob");
    HTTPRequest r;
    r.setMethod(s.method);
    r.setScheme(s.scheme);
    r.setHost("localhost");
    r.setPort(s.port);
    r.setPath("1/statuses/x.json");
    URLBody body;
    for (const auto& [k, v] : s.pairs) body.set(k, v);
    std::string text;
    r.serialize(&oauth, text, &body);
    EXPECT_TRUE(oauth.verifier().empty());  // spent by this signing
    cases.push_back({text, s.scheme, s.consumerSecret, s.tokenSecret});
  }
  auto lines = checkWithOauthlib(cases);
  ASSERT_EQ(lines.size(), shapes.size()) << (lines.empty() ? "" : lines[0]);
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i].rfind("ok ", 0), 0u) << i << ": " << lines[i] << "\n" << cases[i].text;
  }
  // oauth_token only with a token, oauth_verifier only with a PIN, the callback once; each
  // value decoded back.
  EXPECT_EQ(lines[0].find("oauth_token"), std::string::npos);
  EXPECT_NE(lines[0].find("\"oauth_callback\": \"oob\""), std::string::npos);
  EXPECT_NE(lines[1].find("\"oauth_token\": \"tok\""), std::string::npos);
  EXPECT_NE(lines[3].find("\"oauth_verifier\": \"12 34\\\"5\""), std::string::npos);
  EXPECT_EQ(lines[3].find("oauth_callback"), std::string::npos);
  EXPECT_EQ(lines[4].find("oauth_verifier"), std::string::npos);
  // A wrong secret is refused, so the check above is not vacuous.
  cases[1].tokenSecret = "other";
  EXPECT_EQ(checkWithOauthlib({cases[1]}).at(0).rfind("bad ", 0), 0u);
}

}  // namespace
