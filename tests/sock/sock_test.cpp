#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/http/header_chk.h"
#include "net/http/term_chk.h"
#include "net/sock/sth_mgr.h"
#include "platform/net/resolver.h"
#include "platform/net_peer/loop_peer.h"
#include "script/lua/script_report.h"

namespace {

using namespace std::chrono_literals;

// What one job's notify object saw; shared with the test, which waits for the end.
struct Seen {
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::string> replies;
  std::vector<qxnet::Failure> failures;
  std::vector<bool> afterReply;
  std::string failedBytes;
  bool ended = false;

  bool waitEnd(std::chrono::milliseconds limit = 10s) {
    std::unique_lock<std::mutex> l(m);
    return cv.wait_for(l, limit, [&] { return ended; });
  }
  size_t count() {
    std::lock_guard<std::mutex> l(m);
    return replies.size();
  }
  // The failures the job was told of (none, or exactly one).
  std::vector<qxnet::Failure> told() {
    std::lock_guard<std::mutex> l(m);
    return failures;
  }
};

using F = qxnet::Failure;
const std::vector<F> kNone;

class Recorder : public ISockNotify {
 public:
  explicit Recorder(std::shared_ptr<Seen> seen) : seen_(std::move(seen)) {}
  ~Recorder() override {
    std::lock_guard<std::mutex> l(seen_->m);
    seen_->ended = true;
    seen_->cv.notify_all();
  }
  Readiness ready() override { return Readiness::ready; }
  bool deliver(uint32_t, const void*, const void*, const char* data, uint32_t length) override {
    std::lock_guard<std::mutex> l(seen_->m);
    seen_->replies.emplace_back(data ? data : "", length);
    seen_->cv.notify_all();
    return false;
  }
  void failed(uint32_t, const void*, const SockFailure& why) override {
    std::lock_guard<std::mutex> l(seen_->m);
    seen_->failures.push_back(why.kind);
    seen_->afterReply.push_back(why.afterReply);
    if (why.data) seen_->failedBytes.assign(why.data, why.length);
  }

 private:
  std::shared_ptr<Seen> seen_;
};

struct Job {
  uint32_t id;
  std::shared_ptr<Seen> seen;
};

Job send(SThMgr& mgr, const std::string& host, uint16_t port, bool stream = false, std::string request = {}) {
  auto seen = std::make_shared<Seen>();
  if (request.empty()) request = "GET /x HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
  std::unique_ptr<IHeaderCheck> framer;
  if (stream) {
    framer = HTTPHeaderChk::makeStream();
  } else {
    framer = std::make_unique<HTTPTermChk>(false);
  }
  uint32_t id = mgr.enqueue(host, port, std::move(request), std::move(framer), std::make_unique<Recorder>(seen),
                            nullptr, stream);
  return {id, seen};
}

std::string reply(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// Answers every request with one reply, in pieces of at most `piece` bytes.
qxnet::LoopPeer::Handler answer(std::string text, size_t piece = 1 << 20) {
  return [text, piece](qxnet::LoopConn& c) {
    if (c.readRequest().empty()) return;
    for (size_t at = 0; at < text.size(); at += piece) {
      if (!c.write(text.data() + at, std::min(piece, text.size() - at))) return;
    }
  };
}

// Reads the request, then neither answers nor closes.
void silent(qxnet::LoopConn& c) {
  c.readRequest();
  c.holdOpen();
}

// Polls until done() holds or the limit passes; gives done().
template <class F>
bool waitFor(F done, std::chrono::milliseconds limit = 5s) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  return done();
}

// A port on 127.0.0.1 where nothing listens.
uint16_t closedPort() {
  qxnet::LoopPeer gone([](qxnet::LoopConn&) {});
  return gone.port();
}

// Neither reads nor answers until the peer stops: a large request stalls.
void deaf(qxnet::LoopConn& c) {
  while (!c.stopping()) std::this_thread::sleep_for(5ms);
}

class SockTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/qx_sock_XXXXXX";
    dir_ = mkdtemp(tmpl);
    std::string cmd = "sh '" QX_SOURCE_DIR "/tests/net/make_test_ca.sh' '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    setenv("SSL_CERT_FILE", (dir_ + "/ca.pem").c_str(), 1);
    startDnsStub();
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
  // Names resolve through a stub DNS server (tests/net/dns_stub.py), never the machine's.
  // The resolver reads QX_DNS_SERVER once per process, so the stub lives as long.
  static void startDnsStub() {
    static struct Stub {
      pid_t pid = 0;
      ~Stub() {
        if (pid > 0) {
          kill(pid, SIGTERM);
          waitpid(pid, nullptr, 0);
        }
      }
    } stub;
    if (stub.pid > 0) return;
    char tmpl[] = "/tmp/qx_dns_XXXXXX";
    const std::string ready = std::string(mkdtemp(tmpl)) + "/dns.port";
    const std::string script = QX_SOURCE_DIR "/tests/net/dns_stub.py";
    const char* argv[] = {"python3", script.c_str(), "--ready", ready.c_str(), "--lifetime", "900", nullptr};
    ASSERT_EQ(posix_spawnp(&stub.pid, "python3", nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
    std::string port;
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(ready); }, 20s));
    std::ifstream(ready) >> port;
    std::filesystem::remove_all(std::filesystem::path(ready).parent_path());
    setenv("QX_DNS_SERVER", ("127.0.0.1:" + port).c_str(), 1);
  }
  static std::string file(const char* name) { return dir_ + "/" + name; }

  static inline std::string dir_;
};

TEST_F(SockTest, CancelRemovesQueuedJobsAndAbortsTheRunningOne) {
  SockMgr plain;
  qxnet::LoopPeer hold(&silent);
  qxnet::LoopPeer fine(answer(reply("ok")));
  Job running = send(plain, "127.0.0.1", hold.port());
  Job queued = send(plain, "127.0.0.1", fine.port());
  EXPECT_TRUE(waitFor([&] { return plain.getThreadStatus().at(0) == "recving"; }));
  EXPECT_FALSE(plain.isCompleted(running.id));
  EXPECT_FALSE(plain.isCompleted(queued.id));
  EXPECT_EQ(plain.cancel(queued.id + 1), 2);
  EXPECT_EQ(plain.cancel(queued.id), 0);
  EXPECT_TRUE(queued.seen->waitEnd(1s));  // removed, not run
  EXPECT_EQ(plain.cancel(queued.id), 1);
  EXPECT_EQ(plain.cancel(running.id), 0);
  ASSERT_TRUE(running.seen->waitEnd(2s));
  EXPECT_EQ(running.seen->count(), 0u);
  // A cancelled job is told nothing, queued or running.
  EXPECT_EQ(running.seen->told(), kNone);
  EXPECT_EQ(queued.seen->told(), kNone);
  EXPECT_TRUE(plain.isCompleted(running.id));
  EXPECT_EQ(fine.accepted(), 0);
  // The abort stayed with its job: the next one runs to its reply.
  Job next = send(plain, "127.0.0.1", fine.port());
  ASSERT_TRUE(next.seen->waitEnd());
  EXPECT_EQ(next.seen->count(), 1u);
  EXPECT_EQ(next.seen->told(), kNone);
  // Nothing queued: an id not given yet is as unknown as a finished one.
  EXPECT_TRUE(waitFor([&] { return plain.isCompleted(next.id); }));
  EXPECT_EQ(plain.cancel(next.id + 1), 1);
  EXPECT_EQ(plain.cancel(next.id), 1);
}

TEST_F(SockTest, LargeReplyInTinyWritesIsDeliveredOnceAndWhole) {
  std::string body;
  for (int i = 0; body.size() < 300 * 1024; ++i) body += std::to_string(i) + ",";
  const std::string text = reply(body);
  for (size_t piece : {size_t{7}, size_t{4093}}) {
    SockMgr plain;
    qxnet::LoopPeer peer(answer(text, piece));
    Job j = send(plain, "localhost", peer.port());
    ASSERT_TRUE(j.seen->waitEnd(20s)) << piece;
    ASSERT_EQ(j.seen->count(), 1u) << piece;
    EXPECT_TRUE(j.seen->replies[0] == text) << piece;
  }
}

TEST_F(SockTest, AReplyCutOffByAResetOrACloseIsNotDelivered) {
  const std::string text = reply(std::string(5000, 'r'));
  SockMgr plain;
  qxnet::LoopPeer resetting([&](qxnet::LoopConn& c) {
    c.readRequest();
    c.write(text.data(), 2000);
    std::this_thread::sleep_for(20ms);
    c.reset();
  });
  qxnet::LoopPeer closing([&](qxnet::LoopConn& c) {
    c.readRequest();
    c.write(text.data(), 2000);
  });
  // Resets once the request's head came (connected for sure), while the rest is on its way.
  qxnet::LoopPeer refusing([&](qxnet::LoopConn& c) {
    c.readRequest();
    c.reset();
  });
  Job a = send(plain, "127.0.0.1", resetting.port());
  Job b = send(plain, "127.0.0.1", closing.port());
  // A request far larger than the socket buffers, to a peer that resets at once: the
  // send fails instead of waiting for room that never comes.
  auto seen = std::make_shared<Seen>();
  plain.enqueue("127.0.0.1", refusing.port(), "GET /x HTTP/1.1\r\n\r\n" + std::string(8 << 20, 'x'),
                std::make_unique<HTTPTermChk>(false),
                std::make_unique<Recorder>(seen));
  for (Seen* s : {a.seen.get(), b.seen.get(), seen.get()}) {
    ASSERT_TRUE(s->waitEnd(3s));
    EXPECT_EQ(s->count(), 0u);
  }
  // ... but each is told why, once.
  EXPECT_EQ(a.seen->told(), std::vector<F>{F::closed});
  EXPECT_EQ(b.seen->told(), std::vector<F>{F::closed});
  EXPECT_EQ(seen->told(), std::vector<F>{F::sendFailed});
}

TEST_F(SockTest, TlsDeliversOnlyFromAVerifiedPeerOfTheRightName) {
  SSockMgr tls;
  qxnet::LoopPeer good(answer(reply("secure")), file("server.pem"), file("server.key"));
  qxnet::LoopPeer self(answer(reply("forged")), file("self.pem"), file("self.key"));
  Job ok = send(tls, "localhost", good.port());
  Job selfSigned = send(tls, "localhost", self.port());
  Job wrongName = send(tls, "127.0.0.1", good.port());  // the certificate names localhost only
  Job unresolved = send(tls, "no-such-host.invalid", good.port());
  for (Job* j : {&ok, &selfSigned, &wrongName, &unresolved}) ASSERT_TRUE(j->seen->waitEnd());
  ASSERT_EQ(ok.seen->count(), 1u);
  EXPECT_EQ(ok.seen->replies[0], reply("secure"));
  EXPECT_EQ(ok.seen->told(), kNone);
  EXPECT_EQ(selfSigned.seen->count(), 0u);
  EXPECT_EQ(wrongName.seen->count(), 0u);
  EXPECT_EQ(unresolved.seen->count(), 0u);
  EXPECT_EQ(selfSigned.seen->told(), std::vector<F>{F::untrusted});
  EXPECT_EQ(wrongName.seen->told(), std::vector<F>{F::nameMismatch});
  EXPECT_EQ(unresolved.seen->told(), std::vector<F>{F::resolve});
  EXPECT_EQ(self.accepted(), 1);
}

// Every way a job can end without its reply, each told once with its reason; short time
// limits stand in for the real ones.
TEST_F(SockTest, EveryEndWithoutAReplyIsToldOnceWithItsReason) {
  const SThTimeouts limits{400, 300, 300};
  SockMgr plain(limits);
  SSockMgr tls(limits);
  const std::string text = reply(std::string(3000, 'r'));
  qxnet::LoopPeer fine(answer(reply("ok")));
  qxnet::LoopPeer quiet(&silent);
  qxnet::LoopPeer stalled(&deaf);
  qxnet::LoopPeer resetAtOnce([](qxnet::LoopConn& c) {
    c.readRequest();  // the request's head: the connection is up for sure
    c.reset();
  });
  qxnet::LoopPeer cutOff([&](qxnet::LoopConn& c) {
    c.readRequest();
    c.write(text.data(), 100);
  });
  qxnet::LoopPeer garbage(answer("HTTP/1.1 200 OK\r\nContent-Length: 5\rX"));
  qxnet::LoopPeer other(answer(reply("x")), file("other.pem"), file("other.key"));
  const uint16_t nobody = closedPort();
  const std::string big = "GET /x HTTP/1.1\r\n\r\n" + std::string(8 << 20, 'x');
  const struct {
    const char* what;
    SThMgr* mgr;
    std::string host;
    uint16_t port;
    std::string request;  // empty: a small GET
    F expected;
  } cases[] = {
      {"reply", &plain, "ok.qx.test", fine.port(), "", F::none},
      {"unknown name", &plain, "nowhere.qx.test", fine.port(), "", F::resolve},
      {"lookup beyond the connect limit", &plain, "late.qx.test", fine.port(), "", F::timeout},
      {"nothing listens", &plain, "127.0.0.1", nobody, "", F::refused},
      // TCP to the broadcast address: the kernel refuses the connect at once, nothing is sent.
      {"an address TCP cannot reach", &plain, "255.255.255.255", fine.port(), "", F::connectFailed},
      {"a peer that never answers", &plain, "127.0.0.1", quiet.port(), "", F::timeout},
      {"a send that stalls", &plain, "127.0.0.1", stalled.port(), big, F::timeout},
      {"a send to a peer that reset", &plain, "127.0.0.1", resetAtOnce.port(), big, F::sendFailed},
      {"closed mid-reply", &plain, "127.0.0.1", cutOff.port(), "", F::closed},
      {"no reply in the bytes", &plain, "127.0.0.1", garbage.port(), "", F::malformed},
      {"a certificate for another name", &tls, "localhost", other.port(), "", F::nameMismatch},
      {"a literal in brackets resolves without them", &plain, "[127.0.0.1]", fine.port(), "", F::none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Job j = send(*c.mgr, c.host, c.port, false, c.request);
    ASSERT_TRUE(j.seen->waitEnd(5s));
    EXPECT_EQ(j.seen->count(), c.expected == F::none ? 1u : 0u);
    EXPECT_EQ(j.seen->told(), c.expected == F::none ? kNone : std::vector<F>{c.expected});
    if (c.expected == F::malformed) {
      EXPECT_EQ(j.seen->failedBytes.substr(0, 17), "HTTP/1.1 200 OK\r\n");  // what was framed
    }
  }
}

TEST_F(SockTest, EachFailureHasItsShortReason) {
  const std::pair<F, const char*> texts[] = {
      {F::resolve, "cannot resolve host"},
      {F::refused, "connection refused"},
      {F::connectFailed, "connection failed"},
      {F::untrusted, "certificate not trusted"},
      {F::nameMismatch, "certificate name mismatch"},
      {F::tlsFailed, "TLS handshake failed"},
      {F::timeout, "timed out"},
      {F::closed, "connection closed before the reply ended"},
      {F::sendFailed, "send failed"},
      {F::malformed, "malformed reply"},
  };
  for (const auto& [kind, text] : texts) {
    ASSERT_NE(qxnet::failureText(kind), nullptr);
    EXPECT_STREQ(qxnet::failureText(kind), text);
  }
}

// Lookups through the stub DNS server: found, not found, beyond the time limit, aborted;
// IPv6 literals lose their brackets.
TEST_F(SockTest, ALookupEndsWithItsAddressesOrWhyNot) {
  const struct {
    std::string host;
    int limitMs;
    bool abort;
    F expected;
    const char* detail;  // a part of the log text
    std::string address;
  } cases[] = {
      {"ok.qx.test", 2000, false, F::none, "", "127.0.0.1"},
      {"[::1]", 2000, false, F::none, "", "::1"},
      {"nowhere.qx.test", 2000, false, F::resolve, "cannot resolve \"nowhere.qx.test\"", ""},
      {"", 2000, false, F::resolve, "empty host name", ""},
      {"late.qx.test", 200, false, F::timeout, "resolving \"late.qx.test\" timed out", ""},
      {"late.qx.test", 2000, true, F::aborted, "aborted while resolving", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    qxnet::AbortEvent abort;
    if (c.abort) abort.set();
    std::vector<qxnet::SockAddr> out;
    qxnet::NetError why;
    EXPECT_EQ(qxnet::resolveHost(c.host, 8080, abort, c.limitMs, out, why), c.expected == F::none);
    EXPECT_EQ(why.kind, c.expected);
    EXPECT_NE(why.detail.find(c.detail), std::string::npos) << why.detail;
    if (c.expected != F::none) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    ASSERT_FALSE(out.empty());
    char text[64] = {};
    const auto* a = reinterpret_cast<const sockaddr*>(&out[0].addr);
    const void* raw = a->sa_family == AF_INET6 ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr)
                                               : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(a)->sin_addr);
    inet_ntop(a->sa_family, raw, text, sizeof text);
    EXPECT_EQ(text, c.address);
    EXPECT_EQ(ntohs(reinterpret_cast<const sockaddr_in*>(a)->sin_port), 8080);
  }
}

// A stream ends cleanly with its last chunk (one final delivery without data); any other
// end is told, after the header block was delivered.
TEST_F(SockTest, AStreamEndsWithItsLastChunkOrIsToldWhyItEnded) {
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string message = "{\"id\":1}\r\n";
  char size[16];
  std::snprintf(size, sizeof size, "%zx\r\n", message.size());
  const std::string chunk = size + message + "\r\n";
  const struct {
    const char* what;
    std::string tail;
    bool reset;
    size_t deliveries;  // the header block, the message, and the final one for a clean end
    F expected;
  } cases[] = {
      {"last chunk", chunk + "0\r\n\r\n", false, 3, F::none},
      {"closed mid-message", chunk + size + "{\"id\"", false, 2, F::closed},
      {"reset", chunk, true, 2, F::closed},
      {"malformed chunk", chunk + "zz\r\n", false, 2, F::malformed},
  };
  SSockMgr tls(SThTimeouts{2000, 2000, 2000});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    qxnet::LoopPeer peer(
        [&](qxnet::LoopConn& conn) {
          conn.readRequest();
          conn.write(head + c.tail);
          std::this_thread::sleep_for(50ms);
          if (c.reset) conn.reset();
        },
        file("server.pem"), file("server.key"));
    Job j = send(tls, "localhost", peer.port(), true);
    ASSERT_TRUE(j.seen->waitEnd(5s));
    ASSERT_EQ(j.seen->count(), c.deliveries);
    EXPECT_EQ(j.seen->replies[1], message);
    if (c.expected == F::none) {
      EXPECT_EQ(j.seen->replies[2], "");
    }
    EXPECT_EQ(j.seen->told(), c.expected == F::none ? kNone : std::vector<F>{c.expected});
    if (c.expected != F::none) {
      EXPECT_TRUE(j.seen->afterReply.at(0));
    }
  }
}

// A lookup that waits on a slow DNS server holds neither the queue nor shutdown.
TEST_F(SockTest, ALookupEndsAtOnceOnCancelAndOnShutdown) {
  qxnet::LoopPeer fine(answer(reply("ok")));
  {
    SockMgr plain;
    Job slow = send(plain, "late.qx.test", fine.port());
    Job behind = send(plain, "127.0.0.1", fine.port());
    ASSERT_TRUE(waitFor([&] { return plain.getThreadStatus().at(0) == "sending"; }));
    std::this_thread::sleep_for(100ms);  // well inside the lookup
    const auto cancelled = std::chrono::steady_clock::now();
    EXPECT_EQ(plain.cancel(slow.id), 0);
    ASSERT_TRUE(behind.seen->waitEnd(2s));
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 100ms);
    EXPECT_EQ(behind.seen->count(), 1u);
    EXPECT_TRUE(slow.seen->waitEnd(1s));
    EXPECT_EQ(slow.seen->told(), kNone);
  }
  auto plain = std::make_unique<SockMgr>();
  Job slow = send(*plain, "late.qx.test", fine.port());
  ASSERT_TRUE(waitFor([&] { return plain->getThreadStatus().at(0) == "sending"; }));
  std::this_thread::sleep_for(100ms);
  const auto start = std::chrono::steady_clock::now();
  plain.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_TRUE(slow.seen->waitEnd(0ms));
  EXPECT_EQ(slow.seen->told(), kNone);
}

TEST_F(SockTest, ARequestCompletesWhileAStreamIsOpen) {
  SSockMgr tls;
  qxnet::LoopPeer streamPeer(&silent, file("server.pem"), file("server.key"));
  qxnet::LoopPeer restPeer(answer(reply("rest")), file("server.pem"), file("server.key"));
  Job stream = send(tls, "localhost", streamPeer.port(), true);
  Job rest = send(tls, "localhost", restPeer.port());
  ASSERT_TRUE(rest.seen->waitEnd());
  EXPECT_EQ(rest.seen->count(), 1u);
  EXPECT_FALSE(tls.isCompleted(stream.id));
  EXPECT_EQ(tls.nThread(), 2);
  EXPECT_EQ(tls.cancel(stream.id), 0);
  ASSERT_TRUE(stream.seen->waitEnd(2s));
  EXPECT_TRUE(waitFor([&] { return tls.nThread() == 1; }));  // the stream's worker ended with it
}

// Writes to a TLS peer that has gone fail with the system's reason (EPIPE, ECONNRESET),
// which OpenSSL leaves out of its own error queue.
TEST_F(SockTest, ATlsSendToAPeerThatWentAwayGivesTheSystemError) {
  qxnet::LoopPeer gone([](qxnet::LoopConn& c) { c.reset(); }, file("server.pem"), file("server.key"));
  SThP_SSL tls;
  std::string why;
  ASSERT_TRUE(tls.init(why)) << why;
  qxnet::AbortEvent abort;
  qxnet::NetError err;
  ASSERT_TRUE(tls.connect("localhost", gone.port(), abort, 5000, err)) << err.detail;
  const std::string chunk(1 << 16, 'x');
  long r = 1;
  for (int i = 0; i < 2000 && (r > 0 || tls.want() != qxnet::Want::nothing); ++i) {
    if (r <= 0) qxnet::waitFd(tls.fd(), tls.want() == qxnet::Want::write, abort, 1000);
    r = tls.send(chunk.data(), chunk.size());
  }
  ASSERT_LT(r, 0);
  EXPECT_TRUE(tls.error().find("Connection reset by peer") != std::string::npos ||
              tls.error().find("Broken pipe") != std::string::npos)
      << tls.error();
  tls.term();
}

// The shared TLS context lives while a worker holds it; the first one after the last has
// ended reads the trust store (SSL_CERT_FILE here) again.
TEST_F(SockTest, TheTrustStoreIsReadAgainOnceTheLastTlsWorkerEnded) {
  qxnet::LoopPeer good(answer(reply("secure")), file("server.pem"), file("server.key"));
  for (const std::string store : {"ca.pem", "self.pem", "ca.pem"}) {
    SCOPED_TRACE(store);
    setenv("SSL_CERT_FILE", file(store.c_str()).c_str(), 1);
    SThP_SSL tls;
    std::string why;
    ASSERT_TRUE(tls.init(why)) << why;
    qxnet::AbortEvent abort;
    qxnet::NetError err;
    EXPECT_EQ(tls.connect("localhost", good.port(), abort, 5000, err), store == "ca.pem") << err.detail;
    EXPECT_EQ(err.kind, store == "ca.pem" ? F::none : F::untrusted);
    tls.term();
  }
  setenv("SSL_CERT_FILE", file("ca.pem").c_str(), 1);
}

// At most kMaxStreamWorkers streams run at once; a further one waits for a free worker.
TEST_F(SockTest, StreamsBeyondTheCapWaitForAFreeWorker) {
  constexpr int kMax = SThMgr::kMaxStreamWorkers;
  SockMgr plain;
  qxnet::LoopPeer hold(&silent);
  std::vector<Job> streams;
  for (int i = 0; i < kMax; ++i) streams.push_back(send(plain, "127.0.0.1", hold.port(), true));
  EXPECT_TRUE(waitFor([&] { return hold.accepted() == kMax; }));
  // Queued once the others run: the dispatcher counts the running ones.
  streams.push_back(send(plain, "127.0.0.1", hold.port(), true));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(hold.accepted(), kMax);
  EXPECT_EQ(plain.nThread(), 1 + kMax);
  EXPECT_FALSE(plain.isCompleted(streams.back().id));
  EXPECT_EQ(plain.cancel(streams.front().id), 0);
  EXPECT_TRUE(waitFor([&] { return hold.accepted() == kMax + 1; }));
  EXPECT_EQ(plain.nThread(), 1 + kMax);
}

// A transport that cannot start (as TLS without its context): the reason is logged, since
// its jobs only learn that there is no transport.
class CannotStart : public SThP_RAW {
 public:
  bool init(std::string& why) override {
    why = "no transport here";
    return false;
  }
};

TEST_F(SockTest, AWorkerThatCannotStartLogsWhyAndOnlyThen) {
  std::mutex m;
  std::vector<std::string> lines;
  setScriptDebugLogSink([&](std::string_view line) {
    std::lock_guard<std::mutex> l(m);
    lines.emplace_back(line);
  });
  auto logged = [&](const std::string& text) {
    std::lock_guard<std::mutex> l(m);
    return std::count(lines.begin(), lines.end(), text);
  };
  qxnet::LoopPeer peer(answer(reply("ok")));
  {
    SThMgrT<CannotStart> broken;
    EXPECT_TRUE(waitFor([&] { return logged("socket job 00000000: no transport here") == 1; }));
  }
  {
    SockMgr fine;
    Job j = send(fine, "127.0.0.1", peer.port());
    ASSERT_TRUE(j.seen->waitEnd());
    EXPECT_EQ(j.seen->count(), 1u);
  }
  setScriptDebugLogSink(nullptr);
  EXPECT_EQ(logged("socket job 00000000: no transport here"), 1);
  EXPECT_EQ(logged("socket job 00000000: "), 0);  // a worker that started has nothing to say
}

// A transport whose end takes a while: the worker's thread is still in term() after it
// left its loop. Freeing the transport (and its worker) in that window is the fault.
class SlowTerm : public SThP_RAW {
 public:
  static inline std::atomic<int> terming{0};
  static inline std::atomic<bool> freedWhileTerming{false};
  ~SlowTerm() override {
    if (terming > 0) freedWhileTerming = true;
  }
  void term() override {
    ++terming;
    std::this_thread::sleep_for(150ms);
    --terming;
  }
};

TEST_F(SockTest, AnEndedStreamWorkerIsFreedOnlyOnceItsThreadIsDone) {
  SThMgrT<SlowTerm> mgr;
  qxnet::LoopPeer fine(answer(reply("ok")));
  Job stream = send(mgr, "127.0.0.1", closedPort(), true);
  ASSERT_TRUE(stream.seen->waitEnd());
  ASSERT_TRUE(waitFor([] { return SlowTerm::terming > 0; }));
  Job rest = send(mgr, "127.0.0.1", fine.port());  // wakes the dispatcher inside term()
  ASSERT_TRUE(rest.seen->waitEnd());
  EXPECT_EQ(rest.seen->count(), 1u);
  EXPECT_TRUE(waitFor([&] { return mgr.nThread() == 1 && SlowTerm::terming == 0; }));
  EXPECT_FALSE(SlowTerm::freedWhileTerming);
}

// Streams that end at once while requests wait behind them, round after round (run under
// ASan: a worker freed under its thread shows there).
TEST_F(SockTest, StreamsEndingWhileRequestsAreQueuedFreeNothingInUse) {
  SockMgr plain;
  qxnet::LoopPeer streams(answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"));
  qxnet::LoopPeer fine(answer(reply("ok")));
  for (int round = 0; round < 60; ++round) {
    std::vector<Job> jobs;
    for (int i = 0; i < 3; ++i) {
      jobs.push_back(send(plain, "127.0.0.1", streams.port(), true));
      jobs.push_back(send(plain, "127.0.0.1", fine.port()));
    }
    for (Job& j : jobs) ASSERT_TRUE(j.seen->waitEnd());
    for (Job& j : jobs) EXPECT_EQ(j.seen->told(), kNone);
  }
  EXPECT_TRUE(waitFor([&] { return plain.nThread() == 1; }));
}

// A transport whose first send moves nothing and asks to wait until the socket takes more.
class FirstSendWaits : public SThP_RAW {
 public:
  long send(const char* data, size_t n) override {
    if (!stalled_) {
      stalled_ = true;
      waiting_ = true;
      return 0;
    }
    waiting_ = false;
    return SThP_RAW::send(data, n);
  }
  qxnet::Want want() const override { return waiting_ ? qxnet::Want::write : SThP_RAW::want(); }

 private:
  bool stalled_ = false;
  bool waiting_ = false;
};

TEST_F(SockTest, ASendThatMovedNothingIsRetriedWhenTheSocketIsReady) {
  SThMgrT<FirstSendWaits> mgr;
  qxnet::LoopPeer peer(answer(reply("ok")));
  Job j = send(mgr, "localhost", peer.port());
  ASSERT_TRUE(j.seen->waitEnd());
  ASSERT_EQ(j.seen->count(), 1u);
  EXPECT_EQ(j.seen->replies[0], reply("ok"));
}

}  // namespace
