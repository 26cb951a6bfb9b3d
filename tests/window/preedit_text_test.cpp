// SDL hands a long preedit's text to the application: the UI thread's pump frees it once,
// after every handler saw it, whichever window (the main one or a dialog's) it was for.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <mutex>
#include <set>

#include "platform/window/dialog_box.h"
#include "platform/window/ime_events.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"
#include "window_test_env.h"

namespace {

using namespace qxplat;

// SDL's allocator with a count of live blocks and of frees of the blocks watched.
struct Counting {
  static inline SDL_malloc_func malloc_ = nullptr;
  static inline SDL_calloc_func calloc_ = nullptr;
  static inline SDL_realloc_func realloc_ = nullptr;
  static inline SDL_free_func free_ = nullptr;
  static inline std::atomic<long> live{0};
  static inline std::mutex lock;
  static inline std::set<void*> watched;
  static inline int watchedFrees = 0;

  static void* countedMalloc(size_t n) {
    void* p = malloc_(n);
    if (p) ++live;
    return p;
  }
  static void* countedCalloc(size_t n, size_t size) {
    void* p = calloc_(n, size);
    if (p) ++live;
    return p;
  }
  static void* countedRealloc(void* old, size_t n) {
    void* p = realloc_(old, n);
    if (!old && p) ++live;
    return p;
  }
  static void countedFree(void* p) {
    if (p) {
      --live;
      std::lock_guard<std::mutex> g(lock);
      if (watched.erase(p)) ++watchedFrees;
    }
    free_(p);
  }
  static void install() {
    SDL_GetMemoryFunctions(&malloc_, &calloc_, &realloc_, &free_);
    SDL_SetMemoryFunctions(&countedMalloc, &countedCalloc, &countedRealloc, &countedFree);
  }
  static void uninstall() { SDL_SetMemoryFunctions(malloc_, calloc_, realloc_, free_); }
};

constexpr int kEvents = 12;

void noProc(DialogId, uint32_t, uintptr_t, intptr_t) {}

void pumpAll(std::vector<SDL_Event> events) {
  for (SDL_Event& e : events) SDL_PushEvent(&e);
  do {
    uiRunWaiting([] {});
  } while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0);
  uiRunWaiting([] {});
}

TEST(PreeditText, LongPreeditTextsAreFreedOnceByThePump) {
  qxtest::useHeadlessVideo();
  Counting::install();
  runUiThread([](uint32_t) {
    Window* main = uiCreateWindow({64, 64, "ime", {}});
    ASSERT_NE(main, nullptr);
    int seen = 0;
    attachImeTranslator(main, [&seen](const ImeEvent&) { ++seen; }, nullptr);
    uint32_t dialogWindow = 0;
    DialogId dialog = 0;
    uiRunWaiting([&] {
      dialog = createDialog(u"IDD_PSEUDOMB", 0, 0, &noProc, 0);
      showDialog(dialog);
      dialogWindow = dialogWindowId(dialog);
    });
    // SDL's queue keeps the entries it made: make them before counting.
    std::vector<SDL_Event> warm(kEvents + 4);
    for (SDL_Event& e : warm) e.type = SDL_USEREVENT;
    pumpAll(warm);
    const long before = Counting::live.load();

    std::vector<SDL_Event> events(kEvents);
    for (int i = 0; i < kEvents; ++i) {
      SDL_Event& e = events[size_t(i)];
      e.type = SDL_TEXTEDITING_EXT;
      e.editExt.windowID = i % 3 == 2 ? dialogWindow : main->sdlWindowId();
      e.editExt.text = SDL_strdup("にほんごのながいへんかんちゅうのもじれつです");
      e.editExt.length = 3;
      std::lock_guard<std::mutex> g(Counting::lock);
      Counting::watched.insert(e.editExt.text);
    }
    pumpAll(events);
    {
      std::lock_guard<std::mutex> g(Counting::lock);
      EXPECT_EQ(Counting::watchedFrees, kEvents);
      EXPECT_TRUE(Counting::watched.empty());
    }
    EXPECT_EQ(Counting::live.load(), before);
    EXPECT_GT(seen, 0);  // the translator read them before they went
    uiRunWaiting([&] { destroyDialog(dialog); });
    detachImeTranslator(main);
  });
  Counting::uninstall();
}

}  // namespace
