// The UI thread's request queue: closures posted from any thread, run by the UI thread
// in posting order. A closed queue answers at once: nothing posted to it ever runs, and
// a waiting poster is released with false instead of waiting for ever.
#pragma once
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>

namespace qxplat {

class RequestQueue {
 public:
  using Task = std::function<void()>;

  // Accepts requests from now on; `wake` is called (outside the lock) whenever requests
  // arrive at a queue whose reader has not been woken since its last drain.
  void open(std::function<void()> wake);
  // Refuses requests from now on. Pending requests are dropped without running; their
  // waiting posters get false. Closures are destroyed outside the lock.
  void close();
  bool isOpen() const;

  // Fire and forget; false (and the task destroyed unrun) when the queue is closed.
  bool post(Task task);
  // Blocks until the reader ran the task (true) or the queue was closed first (false). An
  // exception the task throws is rethrown here.
  bool runWaiting(Task task);

  // Runs every request queued before the call, on the calling thread; returns how many.
  // Requests posted meanwhile wait for the next drain.
  size_t drain();

 private:
  struct Request {
    Task task;
    std::optional<std::promise<bool>> done;  // set for a waiting poster
  };
  bool push(Request request);

  mutable std::mutex mutex_;
  std::deque<Request> pending_;
  std::function<void()> wake_;
  bool open_ = false;
  bool woken_ = false;
};

}  // namespace qxplat
