#include "platform/window/quit_signal.h"

#include <signal.h>

#include <atomic>

namespace qxplat {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

std::atomic<bool> signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

struct sigaction previous[2];
bool installed = false;

void onQuitSignal(int) { signalled.store(true, std::memory_order_relaxed); }

}  // namespace

void installQuitSignals() {
  signalled.store(false);
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < 2; ++i) {
    struct sigaction now {};
    sigaction(kSignals[i], nullptr, &now);
    if (!installed) previous[i] = now;
    // A signal ignored by whoever started the program (nohup, a background job) stays so.
    if (now.sa_handler == SIG_IGN && !(now.sa_flags & SA_SIGINFO)) continue;
    sigaction(kSignals[i], &action, nullptr);
  }
  installed = true;
}

void restoreQuitSignals() {
  if (!installed) return;
  for (size_t i = 0; i < 2; ++i) sigaction(kSignals[i], &previous[i], nullptr);
  installed = false;
}

bool quitSignalled() { return signalled.load(std::memory_order_relaxed); }

}  // namespace qxplat
