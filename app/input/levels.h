// Levels (0..100, down at 50 or more) and counters (0 idle, n held for n ticks, -1
// released on this tick), shared by every controller and by the named bindings.
#pragma once
#include <cstdint>

namespace qxin {

constexpr int32_t kLevelMax = 100;
constexpr int32_t kDownLevel = 50;

constexpr int32_t clampLevel(int64_t v) { return v > kLevelMax ? kLevelMax : v < 0 ? 0 : static_cast<int32_t>(v); }

// The counter after a poll that read level.
constexpr int32_t advanceCounter(int32_t counter, int32_t level) {
  if (level >= kDownLevel) return counter < 1 ? 1 : counter + 1;
  return counter > 0 ? -1 : 0;
}

// A negative delay repeats only on the press; otherwise every interval + 1 ticks after
// delay + 1 held ticks. Intervals below 0 are stored as 0, so the divisor is never 0.
constexpr bool isRepeatTick(int32_t counter, int32_t delay, int32_t interval) {
  if (delay < 0) return counter == 1;
  const int64_t k = static_cast<int64_t>(counter) - delay - 1;
  return k > 0 && k % (static_cast<int64_t>(interval < 0 ? 0 : interval) + 1) == 0;
}

// What a counter reads as after a clear: held becomes released, released becomes idle.
constexpr int32_t clearedCounter(int32_t counter) { return counter > 0 ? -1 : 0; }

}  // namespace qxin
