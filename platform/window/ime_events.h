// Text composition (IME) on SDL, turned into the composition events the engine's scripts
// receive: STARTCOMPOSITION, COMPOSITION (the preedit text, cursor, attributes,
// clauses) and ENDCOMPOSITION (the committed text, empty when the composition was
// cancelled). Runs on the UI thread as one of the window's event handlers.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

union SDL_Event;

namespace qxplat {

class Window;

struct ImeEvent {
  enum class Kind : uint8_t { start, composition, end };
  Kind kind = Kind::start;
  std::string text;                // UTF-8: the preedit (composition) or committed text (end)
  int32_t cursor = 0;              // composition: the cursor in UTF-16 units
  std::vector<int32_t> attribute;  // composition: one per UTF-16 unit (0 input, 1 target)
  std::vector<int32_t> clause;     // composition: clause offsets in UTF-16 units, 0 first
  const char* name() const;        // "STARTCOMPOSITION", "COMPOSITION", "ENDCOMPOSITION"
};

// Attribute values (those of the Windows IME the scripts were written for).
constexpr int32_t kImeAttrInput = 0;
constexpr int32_t kImeAttrTargetConverted = 1;

class ImeTranslator {
 public:
  using Sink = std::function<void(const ImeEvent&)>;
  explicit ImeTranslator(Sink sink) : sink_(std::move(sink)) {}

  // Preedit (start and length in characters, as SDL gives them), commit, and the end of
  // the batch of events pumped together. An empty preedit while composing is held until
  // the batch ends: a commit in the same batch ends the composition with its text;
  // otherwise the composition was cancelled.
  void preedit(const std::string& text, int32_t start, int32_t length);
  void commit(const std::string& text);
  void endOfBatch();
  // The composition is dropped (an ENDCOMPOSITION with no text when one was open).
  void cancel();

  // The SDL form: SDL_TEXTEDITING(_EXT), SDL_TEXTINPUT, and the batch marker.
  void feed(const SDL_Event& event, uint32_t batchMarkerType);

  bool composing() const { return composing_; }

 private:
  Sink sink_;
  bool composing_ = false;
  bool endHeld_ = false;
};

// Attaches a translator to the window (UI thread work is posted; callable from any
// thread). Events go to sink on the UI thread; `active` follows whether a composition is
// open. Asks SDL for the extended preedit text, which is not cut at 31 bytes.
void attachImeTranslator(Window* window, ImeTranslator::Sink sink, std::atomic<bool>* active);
// Ends the window's translators (before the window is destroyed; UI thread work is posted).
void detachImeTranslator(Window* window);
// Drops an open composition (UI thread work is posted).
void cancelImeComposition(Window* window);

}  // namespace qxplat
