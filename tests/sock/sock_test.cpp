#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/http/term_chk.h"
#include "net/sock/sth_mgr.h"
#include "platform/net_peer/loop_peer.h"

namespace {

using namespace std::chrono_literals;

// What one job's notify object saw; shared with the test, which waits for the end.
struct Seen {
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::string> replies;
  bool ended = false;

  bool waitEnd(std::chrono::milliseconds limit = 10s) {
    std::unique_lock<std::mutex> l(m);
    return cv.wait_for(l, limit, [&] { return ended; });
  }
  size_t count() {
    std::lock_guard<std::mutex> l(m);
    return replies.size();
  }
};

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

 private:
  std::shared_ptr<Seen> seen_;
};

struct Job {
  uint32_t id;
  std::shared_ptr<Seen> seen;
};

Job send(SThMgr& mgr, const std::string& host, uint16_t port, bool stream = false) {
  auto seen = std::make_shared<Seen>();
  uint32_t id = mgr.enqueue(host, port, "GET /x HTTP/1.1\r\nHost: " + host + "\r\n\r\n",
                            std::make_unique<HTTPTermChk>(false), std::make_unique<Recorder>(seen), nullptr, stream);
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

class SockTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/qx_sock_XXXXXX";
    dir_ = mkdtemp(tmpl);
    std::string cmd = "sh '" QX_SOURCE_DIR "/tests/net/make_test_ca.sh' '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    setenv("SSL_CERT_FILE", (dir_ + "/ca.pem").c_str(), 1);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
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
  EXPECT_TRUE(plain.isCompleted(running.id));
  EXPECT_EQ(fine.accepted(), 0);
  // The abort stayed with its job: the next one runs to its reply.
  Job next = send(plain, "127.0.0.1", fine.port());
  ASSERT_TRUE(next.seen->waitEnd());
  EXPECT_EQ(next.seen->count(), 1u);
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
  qxnet::LoopPeer refusing([&](qxnet::LoopConn& c) { c.reset(); });
  Job a = send(plain, "127.0.0.1", resetting.port());
  Job b = send(plain, "127.0.0.1", closing.port());
  // A request far larger than the socket buffers, to a peer that resets at once: the
  // send fails instead of waiting for room that never comes.
  auto seen = std::make_shared<Seen>();
  plain.enqueue("127.0.0.1", refusing.port(), std::string(8 << 20, 'x'), std::make_unique<HTTPTermChk>(false),
                std::make_unique<Recorder>(seen));
  for (Seen* s : {a.seen.get(), b.seen.get(), seen.get()}) {
    ASSERT_TRUE(s->waitEnd(3s));
    EXPECT_EQ(s->count(), 0u);
  }
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
  EXPECT_EQ(selfSigned.seen->count(), 0u);
  EXPECT_EQ(wrongName.seen->count(), 0u);
  EXPECT_EQ(unresolved.seen->count(), 0u);
  EXPECT_EQ(self.accepted(), 1);
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
