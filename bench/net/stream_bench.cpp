// Stream messages (1 KiB statuses) over loopback TLS delivered to a script's recvmsg,
// against the limit: a bare TLS read loop over the same bytes from the same server.
// The server is a C++ thread in this process that writes a prepared stream as fast as
// the socket takes it. Each iteration runs both; the counters give both rates and their
// ratio (goal: at least 50 000 messages a second, and a third of the bare loop's rate).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/support/script_engine.h"
#include "net/sock/sock_managers.h"
#include "net/twiapi/twiapi_bind.h"
#include "platform/net_peer/loop_peer.h"
#include "platform/net/socket.h"
#include "platform/net/tls.h"
#include "platform/thread/thread.h"
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"

namespace {

constexpr int kMessages = 20000;

// The chunked stream: header block, then one 1 KiB status per chunk, then the last chunk.
std::string streamBytes() {
  std::string s = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < kMessages; ++i) {
    std::string line = "{\"id\":" + std::to_string(i) + ",\"user\":{\"screen_name\":\"qx\"},\"text\":\"";
    line += std::string(1024 - line.size() - 4, 'a' + i % 26);
    line += "\"}\r\n";
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", line.size());
    s += size + line + "\r\n";
  }
  return s + "0\r\n\r\n";
}

struct Bench : qxbench::ScriptEngine {
  std::filesystem::path dir;
  std::string stream = streamBytes();
  std::unique_ptr<qxnet::LoopPeer> peer;
  lua_State* L = nullptr;

  Bench() : ScriptEngine("require('QXL') require('QXGobj')\n") {
    char pattern[] = "/tmp/qx-stream-bench-XXXXXX";
    dir = mkdtemp(pattern);
    std::string cmd = "sh '" QX_SOURCE_DIR "/tests/net/make_test_ca.sh' '" + dir.string() + "'";
    if (std::system(cmd.c_str()) != 0) std::fputs("stream bench: no test certificates\n", stderr);
    setenv("SSL_CERT_FILE", (dir / "ca.pem").c_str(), 1);
    peer = std::make_unique<qxnet::LoopPeer>(
        [this](qxnet::LoopConn& c) {
          if (!c.readRequest().empty()) c.write(stream);
        },
        (dir / "server.pem").string(), (dir / "server.key").string());
    setenv("QX_HOST_STREAM", ("localhost:" + std::to_string(peer->port())).c_str(), 1);

    qxbind::BindOrder order;
    order.provide(gobjBinding());
    order.provide(twiAPIBinding());
    order.run(state);
    createSockManagers();
    L = lock();
    if (luaL_dostring(L, "bench_rx = QXL.gobj_class() bench_got = 0 "
                         "function bench_rx:recvmsg(_, name, result, id, v) if v and v.id then bench_got = bench_got + 1 end end "
                         "bench_obj = bench_rx.new(0) bench_api = TwiAPI.new() bench_api:setNotify(bench_obj)") != 0) {
      std::fprintf(stderr, "stream bench: %s\n", lua_tostring(L, -1));
    }
  }
};

Bench& bench() {
  static Bench* b = new Bench();
  return *b;
}

// CPU time of the calling thread, in seconds: the main thread's delivery cost, which wall
// time on a busy machine hides.
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every message of one stream, from sendRequest to the last recvmsg; adds the main
// thread's CPU time inside deliverMsgs to deliverCpu.
double viaScript(Bench& b, double& deliverCpu) {
  luaL_dostring(b.L, "bench_got = 0 bench_api:sendRequest('stream_sample', {})");
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    // As a frame loop does: deliver what has arrived, otherwise give the worker the core.
    if (GobjMgr::instance()->queuedCount() == 0) {
      if (seconds(start) > 60) break;
      qxplat::yieldThread();
      continue;
    }
    const double cpu = threadCpuSeconds();
    GobjMgr::instance()->deliverMsgs(0);
    deliverCpu += threadCpuSeconds() - cpu;
    lua_getglobal(b.L, "bench_got");
    const int got = static_cast<int>(lua_tointeger(b.L, -1));
    lua_pop(b.L, 1);
    if (got >= kMessages || seconds(start) > 60) break;
  }
  return seconds(start);
}

// The same bytes read by a bare TLS client, from connect to the last byte.
double bareLoop(Bench& b) {
  auto start = std::chrono::steady_clock::now();
  qxnet::AbortEvent abort;
  qxnet::TcpSocket sock;
  qxnet::TlsStream tls;
  std::string why;
  if (!qxnet::acquireTlsContext(why)) return 0;
  qxnet::NetError err;
  if (sock.connect("localhost", b.peer->port(), abort, 5000, err) && tls.handshake(sock, "localhost", abort, 5000, err)) {
    const std::string req = "GET /1/statuses/sample.json HTTP/1.1\r\nHost: localhost\r\n\r\n";
    tls.send(req.data(), req.size());
    static char buf[65536];
    size_t total = 0;
    while (total < b.stream.size()) {
      long n = tls.recv(buf, sizeof buf);
      if (n > 0) {
        total += static_cast<size_t>(n);
      } else if (tls.want() == qxnet::Want::nothing ||
                 qxnet::waitFd(sock.fd(), tls.want() == qxnet::Want::write, abort, 5000) != qxnet::WaitResult::ready) {
        break;
      }
    }
  }
  tls.close();
  qxnet::releaseTlsContext();
  return seconds(start);
}

void BM_StreamToRecvmsgBesideBareTls(benchmark::State& st) {
  Bench& b = bench();
  double script = 0, bare = 0, deliverCpu = 0;
  for (auto _ : st) {
    script += viaScript(b, deliverCpu);
    bare += bareLoop(b);
  }
  const double n = static_cast<double>(st.iterations()) * kMessages;
  st.counters["recvmsg_per_s"] = n / script;
  st.counters["bare_tls_per_s"] = n / bare;
  st.counters["ratio"] = bare / script;
  st.counters["deliver_cpu_us"] = deliverCpu * 1e6 / n;
  st.SetItemsProcessed(static_cast<int64_t>(n));
  std::printf("stream messages: %.0f/s to recvmsg, %.0f/s bare TLS, ratio %.2f; delivery %.2f us CPU a message\n",
              n / script, n / bare, bare / script, deliverCpu * 1e6 / n);
}
BENCHMARK(BM_StreamToRecvmsgBesideBareTls)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
