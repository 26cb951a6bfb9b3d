#include "net/twiapi/api_table.h"

#include <array>
#include <cstdlib>
#include <optional>

#include "platform/core/numconv.h"
#include "script/lua/script_report.h"

namespace {

struct HostDefault {
  const char* name;
  const char* env;
  uint8_t keepAlive;
  uint8_t tls;
};

// The REST host carries the sign-in handshake, whose replies hold the token secrets:
// it travels over TLS like the streams.
constexpr HostDefault kHostDefaults[4] = {
    {"api.twitter.com", "QX_HOST_REST", 0, 1},
    {"search.twitter.com", "QX_HOST_SEARCH", 0, 0},
    {"stream.twitter.com", "QX_HOST_STREAM", 1, 1},
    {"userstream.twitter.com", "QX_HOST_USTREAM", 1, 1},
};

const std::array<APIHost, 4>& hosts() {
  static const std::array<APIHost, 4> table = [] {
    std::array<APIHost, 4> t;
    for (size_t i = 0; i < t.size(); ++i) {
      const HostDefault& d = kHostDefaults[i];
      t[i].name = d.name;
      t[i].keepAlive = d.keepAlive;
      t[i].tls = d.tls;
      if (const char* over = std::getenv(d.env); over && *over) {
        if (!splitHostPort(over, t[i].name, t[i].port)) {
          scriptDebugLog(std::string(d.env) + ": not a host[:port]: " + over);
          t[i].name = d.name;
          t[i].port = 0;
        }
      }
    }
    return t;
  }();
  return table;
}

using E = APIEndpoint;

constexpr APIEndpoint kEndpoints[] = {
    {E::kHandshake, E::kRest, "oauth/request_token", "sys_request", "GET", 1},
    {E::kHandshake, E::kRest, "oauth/access_token", "sys_access", "GET", 1},
    {E::kOrdinary, E::kRest, "1/statuses/home_timeline.json", "rest_home_tl", "GET", 1},
    {E::kOrdinary, E::kRest, "1/statuses/mentions.json", "rest_mentions", "GET", 1},
    {E::kOrdinary, E::kRest, "1/statuses/public_timeline.json", "rest_public_tl", "GET", 0},
    {E::kOrdinary, E::kRest, "1/statuses/update.json", "rest_update", "POST", 1},
    {E::kOrdinary, E::kRest, "1/users/lookup.json", "rest_user_lookup", "GET", 0},
    {E::kOrdinary, E::kSearch, "search.json", "rest_search", "GET", 0},
    {E::kOrdinary, E::kStream, "1/statuses/filter.json", "stream_filter", "GET", 1},
    {E::kOrdinary, E::kStream, "1/statuses/sample.json", "stream_sample", "GET", 1},
    {E::kOrdinary, E::kUserStream, "2/user.json", "ustream_user", "GET", 1},
};
constexpr APIEndpoint kFallback = {E::kOrdinary, E::kRest, "invalid", "invalid", "invalid", 0};

}  // namespace

bool splitHostPort(std::string_view text, std::string& host, uint16_t& port) {
  size_t colon = text.rfind(':');
  port = 0;
  if (colon == std::string_view::npos) {
    host = std::string(text);
    return !host.empty();
  }
  std::optional<int64_t> p = qcore::parseI64(text.substr(colon + 1));
  if (!p || *p < 1 || *p > 65535 || colon == 0) return false;
  host = std::string(text.substr(0, colon));
  port = static_cast<uint16_t>(*p);
  return true;
}

const APIHost& apiHost(uint32_t index) { return hosts().at(index); }
const APIHost& APIEndpoint::apiHost() const { return ::apiHost(host); }

const APIEndpoint& findEndpoint(std::string_view name) {
  for (const APIEndpoint& e : kEndpoints) {
    if (name == e.name) return e;
  }
  return kFallback;
}

const APIEndpoint& requestTokenEndpoint() { return kEndpoints[0]; }
const APIEndpoint& accessTokenEndpoint() { return kEndpoints[1]; }
