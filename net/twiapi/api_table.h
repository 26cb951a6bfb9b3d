// The service's hosts and its named requests.
//
// Each host's "host[:port]" can be replaced from the environment (tests point the
// client at a loopback service): QX_HOST_REST, QX_HOST_SEARCH, QX_HOST_STREAM and
// QX_HOST_USTREAM. The table is read once, at the first use.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct APIHost {
  std::string name;
  uint16_t port = 0;      // 0: the scheme's default
  uint8_t keepAlive = 0;  // a streaming host: replies are kept-open streams
  uint8_t tls = 0;
};

struct APIEndpoint {
  enum Kind : uint32_t { kOrdinary = 0, kHandshake = 1 };
  enum HostIndex : uint32_t { kRest = 0, kSearch = 1, kStream = 2, kUserStream = 3 };
  uint32_t kind;
  uint32_t host;
  const char* path;  // without the leading "/"
  const char* name;
  const char* method;
  uint32_t sign;  // 1: carries an OAuth Authorization header

  const APIHost& apiHost() const;
};

// The four hosts in table order: REST (also the OAuth handshake), search, streaming,
// user stream.
const APIHost& apiHost(uint32_t index);
// The row of that request name (byte for byte), else the fallback row "invalid".
const APIEndpoint& findEndpoint(std::string_view name);
// The rows the sign-in steps use directly.
const APIEndpoint& requestTokenEndpoint();
const APIEndpoint& accessTokenEndpoint();

// "host" or "host:port" into its parts; false when the port is not 1..65535.
bool splitHostPort(std::string_view text, std::string& host, uint16_t& port);
