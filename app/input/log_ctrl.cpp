#include "app/input/log_ctrl.h"

#include <charconv>
#include <fstream>

#include "app/input/levels.h"

namespace qxin {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "<int> <int>" with anything after the second number ignored.
bool parseDelta(const std::string& line, int32_t& channel, int32_t& level) {
  const char* p = line.data();
  const char* end = p + line.size();
  auto number = [&](int32_t& out) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == '+') ++p;
    const auto r = std::from_chars(p, end, out);
    if (r.ec != std::errc()) return false;
    p = r.ptr;
    return true;
  };
  return number(channel) && number(level);
}

// The count of a wait head ("%<digits>..."); counts past the int range saturate.
int32_t waitCount(const std::string& line) {
  int64_t n = 0;
  for (size_t i = 1; i < line.size() && isDigit(line[i]); ++i) {
    n = n * 10 + (line[i] - '0');
    if (n > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(n);
}

}  // namespace

void LF_Wait::apply(IFLogCtrl&) {
  if (count <= 0) done = true;
  else --count;
}

void LF_Keymap::apply(IFLogCtrl& c) {
  c.unbindNames();
  c.names_ = names;
  c.levels_.assign(names.size(), 0);
  c.counters_.assign(names.size(), 0);
  c.bindNames();
  done = true;
}

void LF_Delta::apply(IFLogCtrl& c) {
  for (const auto& [ch, lv] : changes) {
    if (ch < 0 || static_cast<size_t>(ch) >= c.levels_.size()) continue;
    const int32_t level = clampLevel(lv);
    c.counters_[ch] = advanceCounter(c.counters_[ch], level);
    c.levels_[ch] = level;
  }
  done = true;
}

IFLogCtrl::IFLogCtrl(std::unique_ptr<std::istream> in, LogBinder* binder) : in_(std::move(in)), binder_(binder) {}

std::unique_ptr<IFLogCtrl> IFLogCtrl::open(const std::string& hostPath, LogBinder* binder) {
  auto in = std::make_unique<std::ifstream>(hostPath, std::ios::binary);
  if (!in->is_open()) return nullptr;
  return std::make_unique<IFLogCtrl>(std::move(in), binder);
}

bool IFLogCtrl::readLine(std::string& line) {
  line.clear();
  std::streambuf* sb = in_->rdbuf();
  int c = sb->sbumpc();
  if (c == std::char_traits<char>::eof()) return false;
  while (c != std::char_traits<char>::eof() && c != '\n') {
    if (line.size() < kMaxLine) line.push_back(static_cast<char>(c));
    c = sb->sbumpc();
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool IFLogCtrl::atBodyLine() {
  const int c = in_->rdbuf()->sgetc();
  return c != std::char_traits<char>::eof() && c != '%';
}

bool IFLogCtrl::exhausted() const { return in_->rdbuf()->sgetc() == std::char_traits<char>::eof(); }

void IFLogCtrl::readFrames() {
  std::string line;
  while (queue_.size() < kQueueAhead && readLine(line)) {
    if (line == "%keymap") {
      auto f = std::make_unique<LF_Keymap>();
      while (atBodyLine() && readLine(line)) f->names.push_back(line);
      queue_.push_back(std::move(f));
    } else if (line == "%delta") {
      auto f = std::make_unique<LF_Delta>();
      int32_t ch = 0, lv = 0;
      while (atBodyLine() && readLine(line)) {
        if (parseDelta(line, ch, lv)) f->changes.emplace_back(ch, lv);
      }
      queue_.push_back(std::move(f));
    } else if (line.size() >= 2 && line[0] == '%' && isDigit(line[1])) {
      queue_.push_back(std::make_unique<LF_Wait>(waitCount(line)));
    }
    // Any other line starts no record and is skipped.
  }
}

void IFLogCtrl::setActive(bool on) {
  if (on == active_) return;
  active_ = on;
  if (on) {
    bindNames();
  } else {
    unbindNames();
  }
}

bool IFLogCtrl::update() {
  if (!active_) return true;
  readFrames();
  // A delta ends the tick it was recorded on: the records after it wait for the next update.
  while (!queue_.empty()) {
    IFLogFrame& f = *queue_.front();
    f.apply(*this);
    if (!f.done) break;
    const bool tickEnds = dynamic_cast<LF_Delta*>(&f) != nullptr;
    queue_.pop_front();
    if (tickEnds) break;
  }
  return true;
}

int32_t IFLogCtrl::level(int32_t ch) const {
  return ch >= 0 && static_cast<size_t>(ch) < levels_.size() ? levels_[ch] : 0;
}

int32_t IFLogCtrl::counter(int32_t ch) const {
  return ch >= 0 && static_cast<size_t>(ch) < counters_.size() ? counters_[ch] : 0;
}

void IFLogCtrl::clear() {
  levels_.assign(levels_.size(), 0);
  counters_.assign(counters_.size(), 0);
}

void IFLogCtrl::bindNames() {
  for (size_t i = 0; i < names_.size(); ++i) {
    levels_[i] = 0;
    counters_[i] = 0;
    if (binder_) binder_->bindName(names_[i], handleWord, static_cast<int32_t>(i));
  }
}

void IFLogCtrl::unbindNames() {
  if (!binder_) return;
  for (size_t i = 0; i < names_.size(); ++i) binder_->unbindName(names_[i], handleWord, static_cast<int32_t>(i));
}

}  // namespace qxin
