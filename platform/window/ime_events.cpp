#include "platform/window/ime_events.h"

#include <SDL.h>

#include <memory>

#include "platform/core/utf.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"

namespace qxplat {

namespace {

// UTF-16 units of the first `chars` code points of the text.
int32_t unitsOfChars(const std::u32string& text, int32_t chars) {
  int32_t units = 0;
  for (int32_t i = 0; i < chars && size_t(i) < text.size(); ++i) units += text[size_t(i)] > 0xFFFF ? 2 : 1;
  return units;
}

// Translators by window, UI thread only: cancelling reaches the window's own one.
std::vector<std::pair<Window*, std::shared_ptr<ImeTranslator>>>& translators() {
  static std::vector<std::pair<Window*, std::shared_ptr<ImeTranslator>>> list;
  return list;
}

}  // namespace

const char* ImeEvent::name() const {
  switch (kind) {
    case Kind::start:
      return "STARTCOMPOSITION";
    case Kind::composition:
      return "COMPOSITION";
    default:
      return "ENDCOMPOSITION";
  }
}

void ImeTranslator::preedit(const std::string& text, int32_t start, int32_t length) {
  if (text.empty()) {
    if (composing_) endHeld_ = true;
    return;
  }
  if (endHeld_) {
    // The emptied preedit was not followed by a commit: that composition was cancelled.
    endHeld_ = false;
    composing_ = false;
    ImeEvent e;
    e.kind = ImeEvent::Kind::end;
    sink_(e);
  }
  if (!composing_) {
    composing_ = true;
    ImeEvent e;
    e.kind = ImeEvent::Kind::start;
    sink_(e);
  }
  const std::u32string chars = qcore::utf8ToUtf32(text);
  const int32_t total = unitsOfChars(chars, int32_t(chars.size()));
  const int32_t count = int32_t(chars.size());
  start = start < 0 ? 0 : (start > count ? count : start);
  length = length < 0 ? 0 : (length > count - start ? count - start : length);
  ImeEvent e;
  e.kind = ImeEvent::Kind::composition;
  e.text = text;
  e.cursor = unitsOfChars(chars, start);
  const int32_t selFirst = e.cursor;
  const int32_t selEnd = unitsOfChars(chars, start + length);
  e.attribute.assign(size_t(total), kImeAttrInput);
  for (int32_t i = selFirst; i < selEnd; ++i) e.attribute[size_t(i)] = kImeAttrTargetConverted;
  e.clause.push_back(0);
  if (length > 0) {
    if (selFirst > 0) e.clause.push_back(selFirst);
    if (selEnd < total) e.clause.push_back(selEnd);
  }
  e.clause.push_back(total);
  sink_(e);
}

void ImeTranslator::commit(const std::string& text) {
  if (!composing_ && !endHeld_) return;  // plain typing, no composition
  composing_ = false;
  endHeld_ = false;
  ImeEvent e;
  e.kind = ImeEvent::Kind::end;
  e.text = text;
  sink_(e);
}

void ImeTranslator::endOfBatch() {
  if (!endHeld_) return;
  endHeld_ = false;
  composing_ = false;
  ImeEvent e;
  e.kind = ImeEvent::Kind::end;
  sink_(e);
}

void ImeTranslator::cancel() {
  endHeld_ = false;
  if (!composing_) return;
  composing_ = false;
  ImeEvent e;
  e.kind = ImeEvent::Kind::end;
  sink_(e);
}

void ImeTranslator::feed(const SDL_Event& event, uint32_t batchMarkerType) {
  const bool held = endHeld_;
  if (event.type == SDL_TEXTEDITING_EXT) {
    preedit(event.editExt.text ? event.editExt.text : "", event.editExt.start, event.editExt.length);
  } else if (event.type == SDL_TEXTEDITING) {
    preedit(event.edit.text, event.edit.start, event.edit.length);
  } else if (event.type == SDL_TEXTINPUT) {
    commit(event.text.text);
  } else if (event.type == batchMarkerType && batchMarkerType != 0) {
    endOfBatch();
    return;
  }
  if (endHeld_ && !held && batchMarkerType != 0) {
    // Marks the end of what is queued now: a commit already queued comes before it.
    SDL_Event marker{};
    marker.type = batchMarkerType;
    SDL_PushEvent(&marker);
  }
}

void attachImeTranslator(Window* window, ImeTranslator::Sink sink, std::atomic<bool>* active) {
  if (!window) return;
  uiPost([window, sink = std::move(sink), active]() mutable {
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    static const uint32_t marker = SDL_RegisterEvents(1);
    auto t = std::make_shared<ImeTranslator>([sink = std::move(sink), active](const ImeEvent& e) {
      if (active) active->store(e.kind != ImeEvent::Kind::end, std::memory_order_release);
      sink(e);
    });
    translators().emplace_back(window, t);
    window->addEventHandler([t](const SDL_Event& e) { t->feed(e, marker == uint32_t(-1) ? 0 : marker); });
    SDL_StartTextInput();
  });
}

void detachImeTranslator(Window* window) {
  uiPost([window] {
    auto& list = translators();
    for (size_t i = list.size(); i-- > 0;) {
      if (list[i].first == window) list.erase(list.begin() + long(i));
    }
  });
}

void cancelImeComposition(Window* window) {
  uiPost([window] {
    for (auto& [w, t] : translators()) {
      if (w == window) t->cancel();
    }
#if SDL_VERSION_ATLEAST(2, 0, 22)
    SDL_ClearComposition();
#endif
  });
}

}  // namespace qxplat
