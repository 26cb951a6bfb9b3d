#include "app/pacer/frame_pacer.h"

#include "platform/thread/thread.h"

namespace {

class MonotonicPacerClock final : public PacerClock {
 public:
  int64_t frequency() const override { return 1000000000; }
  int64_t now() override { return static_cast<int64_t>(qxplat::monotonicNs()); }
  void sleepMs(uint32_t ms) override { qxplat::sleepMs(ms); }
};

}  // namespace

PacerClock& monotonicPacerClock() {
  static MonotonicPacerClock clock;
  return clock;
}

FramePacer::FramePacer(PacerClock& clock)
    : clock_(&clock), origin_(clock.now()), frequency_(clock.frequency()) {
  // One step must be exactly 1/60 s in whole units: when the frequency does not divide
  // by 60, count in sixtieths of a tick instead.
  if (frequency_ % kRate == 0) {
    scale_ = 1;
    stepLength_ = static_cast<uint32_t>(frequency_ / kRate);
  } else {
    scale_ = kRate;
    stepLength_ = static_cast<uint32_t>(frequency_);
  }
}

int64_t FramePacer::read() { return clock_->now() - origin_; }

void FramePacer::accumulate() {
  const int64_t d = read() * scale_ - last_;
  if (d > frequency_ * scale_) {
    backlog_ = stepLength_;  // after a stall, one step: never a burst for the lost time
  } else {
    backlog_ += d;
  }
  last_ += d;
}

PacerWait FramePacer::wait() {
  accumulate();
  if (backlog_ >= stepLength_) {
    const int64_t n = backlog_ / stepLength_;
    backlog_ -= n * stepLength_;
    catchUp_ += static_cast<int32_t>(n);
    if (catchUp_ >= static_cast<int32_t>(kDrawInterval)) {
      catchUp_ -= kDrawInterval;
      return {static_cast<uint32_t>(n), true};
    }
    return {static_cast<uint32_t>(n), false};
  }

  const uint64_t remaining = static_cast<uint64_t>(stepLength_ - backlog_);
  const uint64_t ms = remaining * 1000 / scale_ / static_cast<uint64_t>(frequency_);
  if (ms >= 2) clock_->sleepMs(static_cast<uint32_t>(ms - 1));
  // The sleep may end up to a scheduler tick late or early; the spin lands on the step. A
  // stall during the sleep (a suspended process) counts as one step, as it does above.
  while (backlog_ < stepLength_) accumulate();
  backlog_ -= stepLength_;
  catchUp_ = 0;
  return {1, false};
}

int32_t FramePacer::remainingMs() const {
  const int64_t remaining = static_cast<int64_t>(stepLength_) - backlog_;
  if (remaining < 0) return -1;
  return static_cast<int32_t>(static_cast<double>(remaining) * 1000.0 / scale_ /
                              static_cast<double>(frequency_));
}

bool FramePacer::secondElapsed(bool reset) {
  const int64_t now = read();
  if (reset) {
    secondMark_ = now;
    return false;
  }
  if (now - secondMark_ < frequency_) return false;
  secondMark_ += (now - secondMark_) / frequency_ * frequency_;
  return true;
}
