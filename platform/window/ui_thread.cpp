#include "platform/window/ui_thread.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define QX_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QX_LEAK_CHECKED 1
#endif
#endif
#if QX_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

#include "platform/thread/thread.h"
#include "platform/window/dialog_box.h"
#include "platform/window/display_env.h"
#include "platform/window/message_box.h"
#include "platform/window/quit_signal.h"
#include "platform/window/request_queue.h"
#include "platform/window/url_opener.h"
#include "platform/window/x_errors.h"

namespace qxplat {

namespace {

// Without a wake event (one dropped by a full SDL queue), the pump still looks at its
// requests and the main thread this often.
constexpr int kPumpPollMs = 100;

struct UiState {
  RequestQueue queue;
  std::atomic<bool> running{false};
  std::atomic<uint32_t> threadId{0};
  std::atomic<bool> pumpEnded{false};
  std::atomic<bool> mainEnded{false};
  std::atomic<uint32_t> wakeEvent{0};
  std::vector<std::unique_ptr<Window>> windows;  // UI thread only
  bool glPinned = false;                          // UI thread only
};

UiState& ui() {
  static UiState state;
  return state;
}

bool onUiThread() {
  const uint32_t id = ui().threadId.load(std::memory_order_acquire);
  return id != 0 && id == currentThreadId();
}

// SDL video on the displays the environment names, headless when it names none.
bool initVideo() {
  // SIGINT and SIGTERM are ours (installQuitSignals): SDL's handlers would leave them
  // unseen while a modal box keeps the pump from running.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The program's own dialogs paint their pictures on the CPU; SDL would otherwise back
  // their window surfaces with a GL renderer on this thread, where no GL is to run.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Over an SDL_VIDEODRIVER that is set but empty too: SDL would then try every driver.
  const char* drivers = videoDriverChoice();
  if (drivers) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers, SDL_HINT_OVERRIDE);
  const bool ok = SDL_Init(SDL_INIT_VIDEO) == 0;
  // The choice holds for this run only: a later run looks at its own environment.
  if (drivers) SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  return ok;
}

// Keeps the GL library loaded until the process ends, from the first GL window on: SDL
// would otherwise terminate EGL with the last window, and Mesa unloads its driver with
// caches it never frees, which leak checks then cannot even name. SDL_Quit drops its
// record of the loaded library without freeing it; that one record is no leak of ours.
void pinGlLibrary() {
  UiState& s = ui();
  if (s.glPinned) return;
  s.glPinned = true;
#if QX_LEAK_CHECKED
  __lsan_disable();
#endif
  SDL_GL_LoadLibrary(nullptr);
#if QX_LEAK_CHECKED
  __lsan_enable();
#endif
}

void pushWake() {
  SDL_Event e{};
  e.type = ui().wakeEvent.load(std::memory_order_relaxed);
  SDL_PushEvent(&e);
}

void dispatchToWindows(const SDL_Event& e) {
  // A handler may create a window: walk by index over the windows present now.
  const size_t n = ui().windows.size();
  for (size_t i = 0; i < n; ++i) ui().windows[i]->dispatch(e);
}

// The pump ends on a quit: every window counts as closed.
bool quit() {
  for (auto& w : ui().windows) w->markClosed();
  return true;
}

// Handles one pumped event; true when the pump must end.
bool handleEvent(const SDL_Event& e) {
  UiState& s = ui();
  if (e.type == s.wakeEvent.load(std::memory_order_relaxed)) {
    if (s.mainEnded.load(std::memory_order_acquire)) return true;
    s.queue.drain();
    return false;
  }
  if (handleDialogEvent(e)) return false;
  if (e.type == SDL_QUIT) return quit();
  dispatchToWindows(e);
  if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) {
    for (auto& w : s.windows) {
      if (w->sdlWindowId() == e.window.windowID) w->markClosed();
    }
    return true;
  }
  return false;
}

// SDL hands a long preedit's text over to the application; it goes once every handler
// (a dialog's included) has seen the event.
void releaseEventText(SDL_Event& e) {
  if (e.type == SDL_TEXTEDITING_EXT && e.editExt.text != nullptr) {
    SDL_free(e.editExt.text);
    e.editExt.text = nullptr;
  }
}

void pump() {
  UiState& s = ui();
  for (;;) {
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, kPumpPollMs) == 0) {
      if (s.mainEnded.load(std::memory_order_acquire)) return;
      s.queue.drain();
    } else {
      bool end = false;
      do {
        end = handleEvent(e);
        releaseEventText(e);
      } while (!end && !quitSignalled() && SDL_PollEvent(&e));
      if (end) return;
    }
    // Looked at after every event: requests that keep coming (a script asking the UI
    // thread every step) leave the pump no quiet moment, and the offscreen driver sends
    // no event of its own.
    if (quitSignalled()) {
      quit();
      return;
    }
  }
}

}  // namespace

int runUiThread(const std::function<void(uint32_t)>& mainThread,
                const std::function<void(const std::string&)>& failed) {
  UiState& s = ui();
  if (s.running.exchange(true)) {
    std::fputs("runUiThread: a UI thread is already running\n", stderr);
    return 1;
  }
  // Before any display is opened: a box can come before the first window ("SDL video
  // cannot start", a start-up script error), from a child forked with these handlers; and
  // SDL's safety net hands X errors on to the handler it found installed.
  installXErrorHandlers();
  if (!initVideo()) {
    // SDL_GetError's text lives in SDL's own buffer, which the box's SDL calls reuse.
    const std::string why = std::string("SDL video cannot start: ") + SDL_GetError();
    if (failed) failed(why);
    showMessageBox(why, "qx", kMbIconError);
    SDL_Quit();
    s.running.store(false);
    return 1;
  }
  installQuitSignals();
  s.glPinned = false;
  std::srand(monotonicMs());
  s.wakeEvent.store(SDL_RegisterEvents(1), std::memory_order_relaxed);
  s.pumpEnded.store(false);
  s.mainEnded.store(false);
  const uint32_t id = currentThreadId();
  s.threadId.store(id, std::memory_order_release);
  s.queue.open(pushWake);

  std::thread main([&mainThread, id] {
    try {
      mainThread(id);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "main thread ended by an exception: %s\n", e.what());
    } catch (...) {
      std::fputs("main thread ended by an exception\n", stderr);
    }
    ui().mainEnded.store(true, std::memory_order_release);
    pushWake();
  });

  pump();

  // From here every request answers at once, so the main thread cannot hang on us.
  s.pumpEnded.store(true, std::memory_order_release);
  s.queue.close();
  main.join();
  // What is still queued is never handled; the texts it carries are ours to free.
  for (SDL_Event e; SDL_PollEvent(&e);) releaseEventText(e);
  destroyAllDialogs();
  // The engine thread, and with it the GL context, is gone: the windows may go too.
  s.windows.clear();
  s.threadId.store(0, std::memory_order_release);
  SDL_Quit();
  restoreQuitSignals();
  s.running.store(false);
  return 0;
}

void uiPinGlLibrary() { pinGlLibrary(); }

bool uiIsProgramWindow(uint32_t id) {
  if (id == 0) return false;
  for (const auto& w : ui().windows) {
    if (w->sdlWindowId() == id) return true;
  }
  return false;
}

uint32_t uiThreadId() { return ui().threadId.load(std::memory_order_acquire); }

bool uiPumpEnded() { return ui().pumpEnded.load(std::memory_order_acquire); }

bool uiRunWaiting(std::function<void()> task) {
  if (onUiThread()) {
    if (!ui().queue.isOpen()) return false;
    task();
    return true;
  }
  return ui().queue.runWaiting(std::move(task));
}

bool uiPost(std::function<void()> task) { return ui().queue.post(std::move(task)); }

Window* uiCreateWindow(const WindowSpec& spec) {
  Window* made = nullptr;
  uiRunWaiting([&] {
    pinGlLibrary();
    std::unique_ptr<Window> w = Window::create(spec);
    if (!w) return;
    made = w.get();
    ui().windows.push_back(std::move(w));
  });
  return made;
}

bool uiCloseWindow(Window* window) {
  return uiPost([window] {
    for (auto& w : ui().windows) {
      if (w.get() == window) {
        SDL_HideWindow(w->sdlWindow());
        w->markClosed();
      }
    }
  });
}

bool uiOpenUrl(std::string url) {
  return uiPost([url = std::move(url)] {
    // Waiting for the browser must not stall the pump.
    std::thread([url, program = urlOpener()] { openUrl(url, program); }).detach();
  });
}

}  // namespace qxplat
