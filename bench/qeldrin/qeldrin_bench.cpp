// Draw entries collected, sorted and drawn per second by the application object, with a
// three-level sort chain (stream split, texture, distance), over the recording device.
// The same entries drawn in queueing order (an empty chain) run beside it; the ratio is
// sorted / unsorted throughput. Materials change once per texture when sorted and at
// almost every entry when not, so the sort pays for itself when ratio > 1.
#include <benchmark/benchmark.h>

#include <chrono>

#include "tests/qeldrin/rec_support.h"

namespace {

struct Engine {
  std::filesystem::path root;
  EngineFiles files;
  qxgfx::Ref<qxgfx::RecordingDevice> rec;
  EffectMgr::FxHandle fx;
  std::unique_ptr<Qeldrin> q;
  std::vector<MemMgrMulti::HandleType> objects;
  bool ok = false;

  Engine() {
    char pattern[] = "/tmp/qeldrin-bench-XXXXXX";
    if (!mkdtemp(pattern)) return;
    root = pattern;
    std::filesystem::create_directories(root / "resource" / "effect");
    std::ofstream(root / "resource" / "effect" / "t.fx", std::ios::binary) << qtest::kEffect;
    programPath().set(qcore::utf8ToUtf16(root.string()));
    if (!initEngineSingletons(0)) return;
    attachThreadLane();
    files.mount(programPath(), programPath());
    rec = qxgfx::createRecordingDevice(64, 48);
    rec->failProgramsContaining.clear();
    DeviceMgr::instance()->adopt(rec);
    qtest::registerTObj();
    qtest::logCalls() = false;
    fx = EffectMgr::instance()->create(u"effect\\t.fx");
    q = std::make_unique<Qeldrin>();
    q->useDeviceTargets();
    q->setShader({fx.value});
    ok = fx.isValid() && q->set_tech("T") && q->set_tech("U");
  }
  ~Engine() {
    q.reset();
    objects.clear();
    fx.reset();
    if (TextureMgr* t = TextureMgr::instance()) t->releaseDeviceTargets();
    destroyEngineSingletons();
    files.unmount();
    rec = nullptr;
    std::filesystem::remove_all(root);
  }

  // n objects with one batched entry each: eight textures, scattered distances, one in
  // eight drawing by itself (flag byte 1).
  void makeObjects(size_t n) {
    uint32_t seed = 7;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    while (objects.size() < n) {
      auto h = MemMgrMulti::instance()->createByName("TObj");
      ItemLock item(h.value);
      if (!item) return;  // a manager holds at most 4096 objects
      auto* o = static_cast<qtest::TObj*>(item->data());
      DrawEntry e;
      DrawKey::init(e.key, 2, next() % 8 == 0 ? 1 : 0);
      e.textures[0] = kesto::HdlBase(1 + next() % 8);
      e.distance = float(next() % 1000);
      o->entries = {e};
      objects.push_back(std::move(h));
    }
  }

  // One frame: every object queued into the list, the list flushed.
  void frame(const char* list, size_t n) {
    q->set_tech(list);
    for (size_t i = 0; i < n; ++i) q->draw_single({objects[i].value}, "");
    q->flush_drawAll(true);
    rec->clearLog();
  }
};

Engine& engine() {
  static Engine e;
  return e;
}

void entriesSortedAndDrawn(benchmark::State& state) {
  Engine& e = engine();
  if (!e.ok) {
    state.SkipWithError("the engine did not start");
    return;
  }
  const size_t n = size_t(state.range(0));
  e.makeObjects(n);
  if (e.objects.size() < n) {
    state.SkipWithError("not that many objects");
    return;
  }
  using SortArgT = SortArg::Type;
  const SortArg chain[] = {{SortArgT::number, 2, false}, {SortArgT::boolean, 0, false}, {SortArgT::number, 1, false},
                           {SortArgT::number, 0, false}, {SortArgT::boolean, 0, true}, {SortArgT::number, -1, false}};
  e.q->setSortChain("T", chain);  // sorted
  e.q->setSortChain("U", {});     // the peer: queueing order
  using Clock = std::chrono::steady_clock;
  double sortedSeconds = 0, plainSeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    e.frame("T", n);
    const auto t1 = Clock::now();
    e.frame("U", n);
    const auto t2 = Clock::now();
    sortedSeconds += std::chrono::duration<double>(t1 - t0).count();
    plainSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double frames = double(state.iterations());
  state.counters["sorted_entries_per_s"] = frames * double(n) / sortedSeconds;
  state.counters["unsorted_entries_per_s"] = frames * double(n) / plainSeconds;
  state.counters["ratio"] = plainSeconds / sortedSeconds;
}
BENCHMARK(entriesSortedAndDrawn)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace
