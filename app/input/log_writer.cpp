#include "app/input/log_writer.h"

#include <algorithm>

#include "app/input/log_ctrl.h"

namespace qxin {

bool logNameReadsBack(std::string_view name) {
  if (name.size() > IFLogCtrl::kMaxLine) return false;
  if (!name.empty() && name.front() == '%') return false;
  return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string printableLogName(std::string_view name) {
  constexpr size_t kShown = 40;
  std::string out;
  for (size_t i = 0; i < name.size() && i < kShown; ++i) {
    const char c = name[i];
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\0') out += "\\0";
    else out += c;
  }
  if (name.size() > kShown) out += "...";
  return out;
}

bool InputLogWriter::start(const std::string& hostPath, const std::vector<std::pair<std::string, int32_t>>& names) {
  stop();
  quiet_ = 0;
  out_.open(hostPath, std::ios::binary | std::ios::trunc);
  if (!out_.is_open()) return false;
  std::string text = "%keymap\r\n";
  for (size_t i = 0; i < names.size(); ++i) {
    snapshot_[names[i].first] = {i, names[i].second};
    text += names[i].first + "\r\n";
  }
  out_ << text << std::flush;
  return true;
}

void InputLogWriter::stop() {
  if (out_.is_open()) out_.close();
  snapshot_.clear();
  changes_.clear();
}

void InputLogWriter::note(const std::string& name, int32_t level) {
  if (!out_.is_open()) return;
  // Names registered after the start are not in the keymap and are not recorded.
  auto it = snapshot_.find(name);
  if (it == snapshot_.end() || it->second.level == level) return;
  it->second.level = level;
  changes_.emplace_back(it->second.index, level);
}

void InputLogWriter::endTick() {
  if (!out_.is_open() || changes_.empty()) {
    if (quiet_ < INT32_MAX) ++quiet_;
    return;
  }
  std::sort(changes_.begin(), changes_.end());
  std::string text = "%" + std::to_string(quiet_) + "\r\n%delta\r\n";
  for (const auto& [index, level] : changes_) text += std::to_string(index) + " " + std::to_string(level) + "\r\n";
  out_ << text << std::flush;
  changes_.clear();
  quiet_ = 0;
}

}  // namespace qxin
