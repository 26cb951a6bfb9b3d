#include "runtime/core/profiler.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/thread/thread.h"

void ProfStats::update(double t, double frameTime) {
  float share = static_cast<float>(t / frameTime * 100.0);
  float oldAve = aveShare;
  if (share < minShare) {
    minShare = share;
  } else {
    minShare += (oldAve - minShare) * 0.01f;
  }
  if (share > maxShare) {
    maxShare = share;
  } else {
    maxShare += (oldAve - maxShare) * 0.01f;
  }
  if (t < minTime) {
    minTime = t;
  } else {
    minTime += (t - minTime) * 0.01;
  }
  if (t > maxTime) {
    maxTime = t;
  } else {
    maxTime += (t - maxTime) * 0.01;
  }
  aveTime += (t - aveTime) * 0.04;
  aveShare += (share - aveShare) * 0.04f;
}

void ProfSample::clearFrame() {
  calls = entries = nestedCloses = 0;
  time = childTime = 0;
  parent = -1;
}

ProfClock ProfClock::monotonic() {
  return ProfClock{[] { return static_cast<int64_t>(qxplat::monotonicNs()); }, 1e9};
}

Profiler::Profiler(ProfClock clock) : clock_(std::move(clock)) { reset(); }

void Profiler::reset() {
  frameOpen_ = false;
  resetTime_ = clock_.now();
  depth_ = 0;
  overflow_ = 0;
  samples_.clear();
  index_.clear();
  remainder_ = ProfStats{};
}

double Profiler::elapsedSince(int64_t start) const {
  double t = static_cast<double>(clock_.now() - start) / clock_.frequency;
  return t < 1e-8 ? 1e-8 : t;
}

uint32_t Profiler::findOrCreate(const char* name) {
  Key key{};
  std::strncpy(key.data(), name ? name : "", key.size() - 1);
  auto it = index_.find(key);
  if (it != index_.end()) return it->second;
  ProfSample s;
  std::memcpy(s.name, key.data(), sizeof s.name);
  samples_.push_back(s);
  uint32_t idx = static_cast<uint32_t>(samples_.size() - 1);
  index_.emplace(key, idx);
  return idx;
}

void Profiler::beginFrame() {
  for (auto& s : samples_) s.clearFrame();
  frameOpen_ = true;
  frameStart_ = clock_.now();
}

void Profiler::endFrame(bool skip) {
  frameOpen_ = false;
  if (skip) return;
  double frame = elapsedSince(frameStart_);
  double sum = 0;
  for (auto& s : samples_) {
    double own = s.time - s.childTime;
    if (s.calls > 0) s.active.update(own, frame);
    s.all.update(own, frame);
    s.framesFolded += 1;
    s.totalOwnTime += own;
    sum += own;
  }
  remainder_.update(frame - sum, frame);
}

void Profiler::beginSample(const char* name) {
  if (depth_ >= kMaxDepth) {  // deeper sections are ignored, their ends too
    ++overflow_;
    return;
  }
  uint32_t idx = findOrCreate(name);
  open_[depth_++] = Open{idx, clock_.now()};
  samples_[idx].calls += 1;
  samples_[idx].entries += 1;
}

void Profiler::endSample(const char* name) {
  if (overflow_ > 0) {
    --overflow_;
    return;
  }
  if (depth_ == 0) return;  // nothing open
  uint32_t idx = findOrCreate(name);
  Open top = open_[--depth_];
  double elapsed = elapsedSince(top.start);
  if (depth_ > 0) {
    uint32_t parent = open_[depth_ - 1].sample;
    samples_[idx].nestedCloses += 1;
    samples_[idx].parent = static_cast<int32_t>(parent);
    samples_[parent].childTime += elapsed;
  }
  samples_[idx].time += elapsed;
}

namespace {
// A share as "%3.1f" writes it in the C locale; printf would follow the process locale.
void share(char (&out)[16], float v) {
  auto r = std::to_chars(out, out + sizeof out - 1, static_cast<double>(v), std::chars_format::fixed, 1);
  *(r.ec == std::errc() ? r.ptr : out) = '\0';
}
}  // namespace

void Profiler::writeLine(std::string& out, const ProfSample& s, int level) const {
  char ave[16], mn[16], mx[16], num[16], name[256];
  share(ave, s.all.aveShare);
  share(mn, s.all.minShare);
  share(mx, s.all.maxShare);
  std::snprintf(num, sizeof num, "%3d", static_cast<int>(s.calls));
  std::snprintf(name, sizeof name, "%*s%s", 3 * (level + 1), "", s.name);
  char line[512];
  std::snprintf(line, sizeof line, "%3s : %5s : %5s : %3s : %s\n", ave, mn, mx, num, name);
  out += line;
}

void Profiler::writeTree(std::string& out, uint32_t index, int level,
                         const std::vector<uint32_t>& nested) const {
  writeLine(out, samples_[index], level);
  if (level > kMaxDepth) return;  // parents come from the frame's closes; never loop
  for (uint32_t child : nested) {
    if (samples_[child].parent == static_cast<int32_t>(index) && child != index)
      writeTree(out, child, level + 1, nested);
  }
}

void Profiler::buildReport(std::string& out) {
  out.clear();
  roots_.clear();
  single_.clear();
  multi_.clear();
  for (uint32_t i = 0; i < samples_.size(); ++i) {
    const ProfSample& s = samples_[i];
    if (s.calls == 0) continue;
    if (s.nestedCloses == 0) {
      roots_.push_back(i);
    } else if (s.nestedCloses == 1) {
      single_.push_back(i);
    } else {
      multi_.push_back(i);
    }
  }
  out += "   Ave :   Min :   Max :   # : Profile Name\n";
  out += "--------------------------------------------\n";
  for (uint32_t r : roots_) writeTree(out, r, 0, single_);
  out += "-----------\n";
  for (uint32_t m : multi_) writeLine(out, samples_[m], 0);
  // As a stream writes a float by default (six significant digits), in the C locale.
  char tail[32];
  const auto r = std::to_chars(tail, tail + sizeof tail, static_cast<double>(remainder_.aveShare),
                               std::chars_format::general, 6);
  out.append(tail, r.ec == std::errc() ? r.ptr : tail);
}
