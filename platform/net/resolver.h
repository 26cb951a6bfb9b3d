// Name lookups for the socket workers through c-ares, so that a lookup is bounded by the
// caller's time limit and ends at once on its abort event. Names come from /etc/hosts,
// then from the DNS servers of /etc/resolv.conf (nsswitch.conf and its modules are not
// consulted), or from the one server QX_DNS_SERVER ("host:port") names.
#pragma once
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/socket.h"

namespace qxnet {

// Initialises the resolver library, once per process (the socket managers call it before
// their workers start; the first lookup would otherwise); later calls give the first
// call's result. False, with the reason, when lookups cannot
// work (every lookup then fails with Failure::resolve).
bool initResolver(std::string& why);
// What the first initResolver left out and someone should log: a QX_DNS_SERVER that is
// no server list (lookups then go to the system's servers). Given once, then empty.
std::string takeResolverNotice();

struct SockAddr {
  sockaddr_storage addr{};
  socklen_t len = 0;
};

// The addresses of host for port, in the order to try them; an IPv6 literal may keep its
// brackets. False with why set: resolve (no such name or no answer), timeout (timeoutMs
// passed) or aborted.
bool resolveHost(const std::string& host, uint16_t port, const AbortEvent& abort, int timeoutMs,
                 std::vector<SockAddr>& out, NetError& why);

}  // namespace qxnet
