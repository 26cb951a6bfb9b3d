// Per-thread profiler: named, nested timing sections folded once per frame into moving
// averages of their share of the frame, with a text report.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct ProfStats {
  double aveTime = 0, minTime = 0, maxTime = 0;
  float aveShare = 0, minShare = 0, maxShare = 0;

  void update(double t, double frameTime);
};

struct ProfSample {
  char name[64] = {};
  ProfStats all;     // every folded frame (a frame without calls counts 0)
  ProfStats active;  // folded frames in which the section was entered
  uint32_t framesFolded = 0;
  double totalOwnTime = 0;
  // Per frame:
  uint32_t calls = 0;
  uint32_t entries = 0;
  double time = 0;
  double childTime = 0;
  uint32_t nestedCloses = 0;
  int32_t parent = -1;

  void clearFrame();
};

// A counter and its frequency in counts per second; tests inject a fake one.
struct ProfClock {
  std::function<int64_t()> now;
  double frequency = 1e9;
  static ProfClock monotonic();
};

class Profiler {
 public:
  static constexpr int kMaxDepth = 16;

  explicit Profiler(ProfClock clock = ProfClock::monotonic());

  void reset();
  void beginFrame();
  void endFrame(bool skip = false);
  void beginSample(const char* name);
  void endSample(const char* name);
  // Writes the report into out; out and the profiler keep their storage for the next
  // frame's report, so a steady frame's report allocates nothing.
  void buildReport(std::string& out);

  const std::vector<ProfSample>& samples() const { return samples_; }
  const ProfStats& remainder() const { return remainder_; }
  uint32_t depth() const { return depth_; }
  bool frameOpen() const { return frameOpen_; }

 private:
  struct Open {
    uint32_t sample;
    int64_t start;
  };
  using Key = std::array<char, 64>;

  uint32_t findOrCreate(const char* name);
  double elapsedSince(int64_t start) const;
  void writeLine(std::string& out, const ProfSample& s, int level) const;
  void writeTree(std::string& out, uint32_t index, int level, const std::vector<uint32_t>& nested) const;

  ProfClock clock_;
  std::map<Key, uint32_t> index_;
  std::vector<ProfSample> samples_;
  bool frameOpen_ = false;
  int64_t resetTime_ = 0;
  int64_t frameStart_ = 0;
  std::array<Open, kMaxDepth> open_{};
  // The report's lists of sections: at the top, closed inside one section, inside several.
  std::vector<uint32_t> roots_, single_, multi_;
  uint32_t depth_ = 0;
  // Sections opened beyond the sixteenth are not timed; their ends are matched here.
  uint32_t overflow_ = 0;
  ProfStats remainder_;
};
