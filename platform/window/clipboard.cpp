#include "platform/window/clipboard.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>

#include "platform/window/ui_thread.h"

namespace qxplat {

namespace {

class SdlClipboard final : public Clipboard {
 public:
  bool setText(const std::string& utf8) override {
    bool ok = false;
    std::string error;
    const bool ran = uiRunWaiting([&] {
      ok = SDL_SetClipboardText(utf8.c_str()) == 0;
      if (!ok) error = SDL_GetError();
    });
    if (!ran) error = "no window system is running";
    if (!ok) std::fprintf(stderr, "clipboard: the text could not be placed: %s\n", error.c_str());
    return ok;
  }

  std::optional<std::string> getText() override {
    std::optional<std::string> out;
    uiRunWaiting([&] {
      if (!SDL_HasClipboardText()) return;
      char* text = SDL_GetClipboardText();
      if (text) out.emplace(text);
      SDL_free(text);
    });
    return out;
  }
};

std::atomic<Clipboard*> gReplacement{nullptr};

}  // namespace

Clipboard& clipboard() {
  static SdlClipboard system;
  Clipboard* r = gReplacement.load(std::memory_order_acquire);
  return r ? *r : system;
}

void setClipboard(Clipboard* replacement) { gReplacement.store(replacement, std::memory_order_release); }

}  // namespace qxplat
