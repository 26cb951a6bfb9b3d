#include "platform/window/request_queue.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace qxplat {

void RequestQueue::open(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
  open_ = true;
  woken_ = false;
}

void RequestQueue::close() {
  std::deque<Request> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    dropped.swap(pending_);
  }
  for (Request& r : dropped) {
    if (r.done) r.done->set_value(false);
  }
  // `dropped` ends here, outside the lock: a closure's captures may post again.
}

bool RequestQueue::isOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool RequestQueue::push(Request request) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return false;  // `request` dies after the lock is released
    pending_.push_back(std::move(request));
    if (!woken_) {
      woken_ = true;
      wake = wake_;
    }
  }
  if (wake) wake();
  return true;
}

bool RequestQueue::post(Task task) {
  Request r{std::move(task), std::nullopt};
  return push(std::move(r));
}

bool RequestQueue::runWaiting(Task task) {
  Request r{std::move(task), std::promise<bool>()};
  std::future<bool> done = r.done->get_future();
  if (!push(std::move(r))) return false;
  return done.get();
}

size_t RequestQueue::drain() {
  std::deque<Request> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(pending_);
    woken_ = false;
  }
  for (Request& r : batch) {
    try {
      r.task();
      if (r.done) r.done->set_value(true);
    } catch (...) {
      if (r.done) {
        r.done->set_exception(std::current_exception());
      } else {
        std::fputs("UI request failed with an exception\n", stderr);
      }
    }
    r.task = nullptr;  // captures end before the next request runs
  }
  return batch.size();
}

}  // namespace qxplat
