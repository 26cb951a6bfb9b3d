#include "platform/net/resolver.h"

#include <ares.h>
#include <netinet/in.h>
#include <poll.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace qxnet {

namespace {

struct ResolverSetup {
  bool ok = false;
  std::string why;
  std::string server;  // "host:port" of QX_DNS_SERVER, empty for resolv.conf's servers
  std::mutex noticeLock;
  std::string notice;  // a QX_DNS_SERVER that was left out, until someone takes it
};

ResolverSetup& setup() {
  static ResolverSetup s;
  return s;
}

int64_t nowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct Lookup {
  bool done = false;
  int status = ARES_ENOTFOUND;
  ares_addrinfo* result = nullptr;
};

void onResult(void* arg, int status, int, ares_addrinfo* result) {
  auto* l = static_cast<Lookup*>(arg);
  l->done = true;
  l->status = status;
  l->result = result;
}

// One channel per lookup: destroying it is what abandons a lookup at once.
class Channel {
 public:
  explicit Channel(std::string& why) {
    ares_options opts{};
    char lookups[] = "fb";  // the hosts file, then DNS
    opts.lookups = lookups;
    int rc = ares_init_options(&channel_, &opts, ARES_OPT_LOOKUPS);
    if (rc != ARES_SUCCESS) {
      channel_ = nullptr;
      why = std::string("resolver: ") + ares_strerror(rc);
      return;
    }
    const std::string& server = setup().server;
    if (!server.empty() && (rc = ares_set_servers_ports_csv(channel_, server.c_str())) != ARES_SUCCESS) {
      why = "QX_DNS_SERVER \"" + server + "\": " + ares_strerror(rc);
      ares_destroy(channel_);
      channel_ = nullptr;
    }
  }
  ~Channel() {
    if (channel_) ares_destroy(channel_);
  }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;
  ares_channel get() const { return channel_; }

 private:
  ares_channel channel_ = nullptr;
};

// Runs the channel until the lookup is done, the deadline passes or the abort is set.
Failure drive(ares_channel ch, const Lookup& l, const AbortEvent& abort, int64_t end) {
  while (!l.done) {
    ares_socket_t socks[ARES_GETSOCK_MAXNUM];
    const int bits = ares_getsock(ch, socks, ARES_GETSOCK_MAXNUM);
    pollfd p[ARES_GETSOCK_MAXNUM + 1];
    p[0] = {abort.fd(), POLLIN, 0};
    nfds_t n = 1;
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
      short events = 0;
      if (ARES_GETSOCK_READABLE(bits, i)) events |= POLLIN;
      if (ARES_GETSOCK_WRITABLE(bits, i)) events |= POLLOUT;
      if (events) p[n++] = {socks[i], events, 0};
    }
    const int64_t left = end - nowMs();
    if (left <= 0) return Failure::timeout;
    timeval most{static_cast<time_t>(left / 1000), static_cast<suseconds_t>((left % 1000) * 1000)};
    timeval tv{};
    ares_timeout(ch, &most, &tv);
    const int64_t waitMs = static_cast<int64_t>(tv.tv_sec) * 1000 + (tv.tv_usec + 999) / 1000;
    const int r = ::poll(p, n, static_cast<int>(waitMs));
    if (r < 0 && errno != EINTR) return Failure::resolve;
    if (p[0].revents & POLLIN) return Failure::aborted;
    for (nfds_t i = 1; i < n && r > 0; ++i) {
      if (!p[i].revents) continue;
      const bool in = p[i].revents & (POLLIN | POLLERR | POLLHUP);
      const bool out = p[i].revents & (POLLOUT | POLLERR | POLLHUP);
      ares_process_fd(ch, in ? p[i].fd : ARES_SOCKET_BAD, out ? p[i].fd : ARES_SOCKET_BAD);
    }
    ares_process_fd(ch, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // the resolver's own timeouts and retries
  }
  return Failure::none;
}

}  // namespace

bool initResolver(std::string& why) {
  static std::once_flag once;
  std::call_once(once, [] {
    ResolverSetup& s = setup();
    const int rc = ares_library_init(ARES_LIB_INIT_ALL);
    if (rc != ARES_SUCCESS) {
      s.why = std::string("resolver library: ") + ares_strerror(rc);
      return;
    }
    if (const char* server = std::getenv("QX_DNS_SERVER"); server && *server) {
      // Checked once here: a value c-ares cannot read would fail every lookup.
      ares_channel probe = nullptr;
      ares_options opts{};
      int bad = ares_init_options(&probe, &opts, 0);
      if (bad == ARES_SUCCESS) {
        bad = ares_set_servers_ports_csv(probe, server);
        ares_destroy(probe);
      }
      if (bad == ARES_SUCCESS) {
        s.server = server;
      } else {
        s.notice = std::string("QX_DNS_SERVER \"") + server + "\" is no server list (" + ares_strerror(bad) +
                   "): names resolve through the system's servers";
      }
    }
    s.ok = true;
  });
  why = setup().why;
  return setup().ok;
}

std::string takeResolverNotice() {
  ResolverSetup& s = setup();
  std::lock_guard<std::mutex> g(s.noticeLock);
  return std::exchange(s.notice, std::string());
}

bool resolveHost(const std::string& host, uint16_t port, const AbortEvent& abort, int timeoutMs,
                 std::vector<SockAddr>& out, NetError& why) {
  out.clear();
  const std::string name = bareHost(host);
  if (std::string failed; !initResolver(failed)) {
    why.set(Failure::resolve, "cannot resolve \"" + host + "\": " + failed);
    return false;
  }
  if (name.empty()) {
    why.set(Failure::resolve, "cannot resolve an empty host name");
    return false;
  }
  const int64_t end = nowMs() + (timeoutMs > 0 ? timeoutMs : 0);
  Lookup lookup;  // outlives the channel, whose end may still report to it
  std::string setupWhy;
  Channel channel(setupWhy);
  if (!channel.get()) {
    why.set(Failure::resolve, setupWhy);
    return false;
  }
  ares_addrinfo_hints hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = ARES_AI_NUMERICSERV;
  const std::string service = std::to_string(port);
  ares_getaddrinfo(channel.get(), name.c_str(), service.c_str(), &hints, &onResult, &lookup);
  const Failure ended = drive(channel.get(), lookup, abort, end);
  if (ended != Failure::none) {
    why.set(ended, ended == Failure::aborted ? "aborted while resolving \"" + host + "\""
                   : ended == Failure::timeout ? "resolving \"" + host + "\" timed out"
                                               : "resolving \"" + host + "\": waiting failed");
    return false;  // the channel's end abandons the lookup
  }
  if (lookup.status == ARES_SUCCESS && lookup.result) {
    for (ares_addrinfo_node* a = lookup.result->nodes; a; a = a->ai_next) {
      if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
      SockAddr s;
      std::memcpy(&s.addr, a->ai_addr, a->ai_addrlen);
      s.len = a->ai_addrlen;
      out.push_back(s);
    }
  }
  const int status = lookup.status;
  if (lookup.result) ares_freeaddrinfo(lookup.result);
  if (out.empty()) {
    why.set(Failure::resolve, "cannot resolve \"" + host + "\": " +
                                  (status == ARES_SUCCESS ? "no address" : ares_strerror(status)));
    return false;
  }
  return true;
}

}  // namespace qxnet
