#include "script/lua/script_report.h"

#include <cstdio>
#include <mutex>

#include "platform/window/message_box.h"

namespace {

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

std::function<void(std::string_view)>& logSink() {
  static std::function<void(std::string_view)> sink;
  return sink;
}

std::function<void(std::string_view, std::string_view)>& boxSink() {
  static std::function<void(std::string_view, std::string_view)> sink;
  return sink;
}

}  // namespace

void scriptDebugLog(std::string_view message) {
  std::function<void(std::string_view)> sink;
  {
    std::lock_guard<std::mutex> g(sinkMutex());
    sink = logSink();
  }
  if (sink) {
    sink(message);
  } else {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
  }
}

void setScriptDebugLogSink(std::function<void(std::string_view)> sink) {
  std::lock_guard<std::mutex> g(sinkMutex());
  logSink() = std::move(sink);
}

void scriptMessageBox(std::string_view text, std::string_view caption) {
  std::function<void(std::string_view, std::string_view)> sink;
  {
    std::lock_guard<std::mutex> g(sinkMutex());
    sink = boxSink();
  }
  if (sink) {
    sink(text, caption);
  } else {
    qxplat::showMessageBox(text, caption, qxplat::kMbOk | qxplat::kMbIconWarning);
  }
}

void setScriptMessageBoxSink(std::function<void(std::string_view, std::string_view)> sink) {
  std::lock_guard<std::mutex> g(sinkMutex());
  boxSink() = std::move(sink);
}
