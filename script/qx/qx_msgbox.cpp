#include "script/qx/qx_msgbox.h"

#include <mutex>

#include "platform/window/message_box.h"

namespace {

struct Sink {
  std::mutex mutex;
  std::function<void(std::string_view, std::string_view)> fn;
};

Sink& sink() {
  static Sink* s = new Sink();
  return *s;
}

}  // namespace

void qxMessageBox(std::string_view text, std::string_view caption) {
  std::function<void(std::string_view, std::string_view)> fn;
  {
    std::lock_guard<std::mutex> g(sink().mutex);
    fn = sink().fn;
  }
  if (fn) {
    fn(text, caption);
  } else {
    qxplat::showMessageBox(text, caption, qxplat::kMbOk);
  }
}

void setQXMessageBoxSink(std::function<void(std::string_view, std::string_view)> fn) {
  std::lock_guard<std::mutex> g(sink().mutex);
  sink().fn = std::move(fn);
}
