// Recording of the named bindings' levels into an input log (format in log_ctrl.h):
// the keymap when started, then a wait and a delta record for every tick on which a
// recorded name's level changed. Lines end with CR LF.
#pragma once
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qxin {

// Whether the log reader reads the name back as the same keymap line: no line break, no
// NUL, no leading "%" (a record head) and no more bytes than the reader keeps.
bool logNameReadsBack(std::string_view name);
// The name as an error message can show it: line breaks and NUL escaped, cut when long.
std::string printableLogName(std::string_view name);

class InputLogWriter {
 public:
  // Closes an open log first. False (nothing written, log closed) when the file cannot
  // be opened. names are in map order with their current levels.
  bool start(const std::string& hostPath, const std::vector<std::pair<std::string, int32_t>>& names);
  void stop();
  bool isOpen() const { return out_.is_open(); }

  // Per binding per tick: notes a change of a recorded name's level.
  void note(const std::string& name, int32_t level);
  // Ends the tick: writes its changes, if any. Counts quiet ticks also while closed.
  void endTick();
  int32_t quietTicks() const { return quiet_; }

 private:
  struct Entry {
    size_t index;
    int32_t level;
  };
  std::ofstream out_;
  int32_t quiet_ = 0;
  std::map<std::string, Entry> snapshot_;
  std::vector<std::pair<size_t, int32_t>> changes_;
};

}  // namespace qxin
