// Threads, clocks, sleeps and events for the engine.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace qxplat {

// A process-unique, non-zero 32-bit id for the calling thread (never reused while running).
uint32_t currentThreadId();
// Gives up the processor once (the contended path of the spin locks).
void yieldThread();

// Monotonic clocks from an arbitrary origin.
uint64_t monotonicNs();
uint32_t monotonicMs();  // wraps like a 32-bit millisecond tick
void sleepMs(uint32_t ms);
void sleepNs(uint64_t ns);

// A settable event: manual-reset events stay set until reset; auto-reset events release
// one waiter and clear themselves.
class Event {
 public:
  explicit Event(bool manualReset = false, bool initiallySet = false)
      : manual_(manualReset), set_(initiallySet) {}
  void set();
  void reset();
  void wait();
  // Waits at most ms milliseconds; true when the event was set.
  bool waitFor(uint32_t ms);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool manual_;
  bool set_;
};

}  // namespace qxplat
