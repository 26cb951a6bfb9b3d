// The main thread's frame clock: whole 1/60 s update steps, forced draws while catching
// up, and a once-per-second tick for the frame rate.
#pragma once
#include <cstdint>

// Where the pacer reads time and how it sleeps; tests give a fake one.
class PacerClock {
 public:
  virtual ~PacerClock() = default;
  virtual int64_t frequency() const = 0;  // counts per second
  virtual int64_t now() = 0;              // a counter that never goes back
  virtual void sleepMs(uint32_t ms) = 0;
};

// The monotonic nanosecond clock (frequency 10^9) with real sleeps.
PacerClock& monotonicPacerClock();

struct PacerWait {
  uint32_t steps;   // whole steps owed, at least 1
  bool drawForced;  // four catch-up steps have piled up: draw this frame whatever the time
};

class FramePacer {
 public:
  static constexpr uint32_t kRate = 60;
  static constexpr uint32_t kDrawInterval = 4;

  explicit FramePacer(PacerClock& clock = monotonicPacerClock());

  // Counts the steps owed since the last call; when none is owed yet, sleeps until the
  // next one is due (ending the sleep 1 ms early and spinning the rest).
  PacerWait wait();
  // Whole milliseconds until the next step, from the state the last wait left; -1 when
  // a step is already owed.
  int32_t remainingMs() const;
  // With reset, restarts the one-second mark. Otherwise true once for each whole second
  // of clock time since the mark.
  bool secondElapsed(bool reset);

  uint32_t scale() const { return scale_; }
  uint32_t stepLength() const { return stepLength_; }

 private:
  // Clock reading relative to construction, so that multiplying by the scale cannot
  // overflow however long the machine has been up.
  int64_t read();
  // Adds the time since the last reading to the backlog; a gap of more than a second
  // counts as exactly one step.
  void accumulate();

  PacerClock* clock_;
  int64_t origin_;
  int64_t frequency_;
  int64_t last_ = 0;        // scaled
  int64_t secondMark_ = 0;  // unscaled
  int64_t backlog_ = 0;     // scaled time not yet taken out as steps
  uint32_t stepLength_;     // scaled
  uint32_t scale_;
  int32_t catchUp_ = 0;
};
