// Replay of an input log: a controller whose channels are the recorded binding names.
//
// The file is a sequence of records, each starting with a line that begins with "%":
//   %keymap      then one binding name per line (channel i is the i-th name)
//   %<n>         n update ticks passed without a change since the previous record
//   %delta       then one "<channel> <level>" line per change on one tick
// Lines end with CR LF or LF. Lines that start none of these, and body lines that do not
// parse, are skipped; delta channels outside the keymap are ignored, levels are clamped
// to 0..100. Replay keeps the recorded spacing: a delta that was written n quiet ticks
// after the previous one is applied n + 1 updates after it.
#pragma once
#include <cstdint>
#include <deque>
#include <istream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/input/ctrl.h"

namespace qxin {

class IFLogCtrl;

// Where a replaying controller attaches its channels to the named bindings.
class LogBinder {
 public:
  virtual void bindName(const std::string& name, uint32_t handle, int32_t channel) = 0;
  virtual void unbindName(const std::string& name, uint32_t handle, int32_t channel) = 0;

 protected:
  ~LogBinder() = default;
};

class IFLogFrame {
 public:
  virtual ~IFLogFrame() = default;
  virtual void apply(IFLogCtrl& ctrl) = 0;
  bool done = false;
};

class LF_Wait final : public IFLogFrame {
 public:
  explicit LF_Wait(int32_t n) : count(n) {}
  void apply(IFLogCtrl& ctrl) override;
  int32_t count;
};

class LF_Keymap final : public IFLogFrame {
 public:
  void apply(IFLogCtrl& ctrl) override;
  std::vector<std::string> names;
};

class LF_Delta final : public IFLogFrame {
 public:
  void apply(IFLogCtrl& ctrl) override;
  std::vector<std::pair<int32_t, int32_t>> changes;
};

class IFLogCtrl final : public IFCtrl {
 public:
  static constexpr size_t kQueueAhead = 30;
  // Longest line kept; the rest of a longer line is dropped.
  static constexpr size_t kMaxLine = 1024;

  // binder may be null (nothing is bound). Nothing is read until readFrames.
  IFLogCtrl(std::unique_ptr<std::istream> in, LogBinder* binder);
  // The controller of a file, null when it cannot be opened for reading.
  static std::unique_ptr<IFLogCtrl> open(const std::string& hostPath, LogBinder* binder);

  // Queues records until kQueueAhead are waiting or the file ends.
  void readFrames();

  void setActive(bool on) override;
  bool update() override;
  int32_t level(int32_t ch) const override;
  int32_t kind() const override { return kLog; }
  void clear() override;
  // A log records bindings, not axes.
  int32_t axis(int32_t) const override { return 0; }
  qxinput::Device* device() override { return nullptr; }
  bool repeat(int32_t) const override { return false; }
  bool pressed(int32_t ch) const override { return counter(ch) == 1; }
  bool held(int32_t ch) const override { return counter(ch) >= 1; }
  bool released(int32_t ch) const override { return counter(ch) == -1; }
  void setRepeat(int32_t, int32_t) override {}

  const std::vector<std::string>& names() const { return names_; }
  size_t queued() const { return queue_.size(); }
  bool exhausted() const;

 private:
  friend class LF_Keymap;
  friend class LF_Delta;

  int32_t counter(int32_t ch) const;
  void bindNames();
  void unbindNames();
  // One line without its end; false at the end of the file.
  bool readLine(std::string& line);
  bool atBodyLine();

  std::vector<std::string> names_;
  std::vector<int32_t> levels_;
  std::vector<int32_t> counters_;
  std::deque<std::unique_ptr<IFLogFrame>> queue_;
  std::unique_ptr<std::istream> in_;
  bool active_ = true;
  LogBinder* binder_;
};

}  // namespace qxin
