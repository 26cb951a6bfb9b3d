// SDL's text-editing events turned into composition events: Japanese preedit and
// conversion, commit, cancel, and plain typing.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/window/ime_events.h"

namespace {

using qxplat::ImeEvent;

constexpr uint32_t kMarker = SDL_USEREVENT + 7;
constexpr uint32_t kEnd = 0;  // marks a batch end by hand: SDL's queue, which carries the marker, is not pumped

// One step of a batch: an SDL event type with its text and selection, or kEnd.
struct Step {
  uint32_t type;
  const char* text = "";
  int start = 0, length = 0;
};

std::string describe(const ImeEvent& e) {
  std::string s = e.name();
  if (e.kind == ImeEvent::Kind::start) return s;
  s += " \"" + e.text + "\"";
  if (e.kind == ImeEvent::Kind::end) return s;
  s += " c" + std::to_string(e.cursor) + " a";
  for (int a : e.attribute) s += std::to_string(a);
  s += " k";
  for (int k : e.clause) s += " " + std::to_string(k);
  return s;
}

std::vector<std::string> translate(const std::vector<Step>& steps) {
  std::vector<std::string> out;
  qxplat::ImeTranslator t([&](const ImeEvent& e) { out.push_back(describe(e)); });
  for (const Step& s : steps) {
    SDL_Event e{};
    e.type = s.type;
    if (s.type == SDL_TEXTEDITING) {
      std::strncpy(e.edit.text, s.text, sizeof e.edit.text - 1);
      e.edit.start = s.start;
      e.edit.length = s.length;
    } else if (s.type == SDL_TEXTEDITING_EXT) {
      e.editExt.text = const_cast<char*>(s.text);  // read only
      e.editExt.start = s.start;
      e.editExt.length = s.length;
    } else if (s.type == SDL_TEXTINPUT) {
      std::strncpy(e.text.text, s.text, sizeof e.text.text - 1);
    }
    if (s.type == kEnd) {
      t.endOfBatch();
    } else {
      t.feed(e, kMarker);
    }
  }
  return out;
}

constexpr uint32_t kEdit = SDL_TEXTEDITING, kEditExt = SDL_TEXTEDITING_EXT, kInput = SDL_TEXTINPUT;

TEST(ImeTranslator, JapanesePreeditConversionAndCommit) {
  const std::vector<Step> steps = {
      {kEdit, "に", 1},
      {kEdit, "にほ", 2},
      {kEditExt, "にほんご", 4},
      {kEditExt, "日本語", 0, 3},  // converted: the whole text is the target clause
      {kEditExt, "日本語を", 0, 3},
      {kEdit},  // the preedit goes, then the commit arrives in the same batch
      {kInput, "日本語を"},
      {kEnd},
  };
  EXPECT_EQ(translate(steps), (std::vector<std::string>{
                                  "STARTCOMPOSITION",
                                  "COMPOSITION \"に\" c1 a0 k 0 1",
                                  "COMPOSITION \"にほ\" c2 a00 k 0 2",
                                  "COMPOSITION \"にほんご\" c4 a0000 k 0 4",
                                  "COMPOSITION \"日本語\" c0 a111 k 0 3",
                                  "COMPOSITION \"日本語を\" c0 a1110 k 0 3 4",
                                  "ENDCOMPOSITION \"日本語を\"",
                              }));
}

TEST(ImeTranslator, CancelPlainTypingCursorInUtf16UnitsAndOutOfRangeSelections) {
  const std::vector<Step> steps = {
      {kInput, "a"},  // no composition: plain typing is not an IME event
      {kEdit, "かな", 2},
      {kEdit},
      {kEnd},                     // no commit in the batch: cancelled
      {kEditExt, "𠮷野", 1, 1},  // a character outside the BMP takes two units
      {kEdit},
      {kEdit, "や", 1},  // a new preedit before the batch ended: the old one was cancelled
      {kInput, "屋"},
      {kInput, "b"},
      {kEdit, "ab", -5, 99},
      {kEdit, "ab", 7, -1},
      {kEdit},
      {SDL_MOUSEMOTION},  // another event of the batch holds the end
      {kInput, "仮名"},
      {kEdit, "か", 1},
      {kEdit},
      {kMarker},  // only the marker ends a held composition
      {kEnd},
  };
  EXPECT_EQ(translate(steps), (std::vector<std::string>{
                                  "STARTCOMPOSITION",
                                  "COMPOSITION \"かな\" c2 a00 k 0 2",
                                  "ENDCOMPOSITION \"\"",
                                  "STARTCOMPOSITION",
                                  "COMPOSITION \"𠮷野\" c2 a001 k 0 2 3",
                                  "ENDCOMPOSITION \"\"",
                                  "STARTCOMPOSITION",
                                  "COMPOSITION \"や\" c1 a0 k 0 1",
                                  "ENDCOMPOSITION \"屋\"",
                                  "STARTCOMPOSITION",
                                  "COMPOSITION \"ab\" c0 a11 k 0 2",
                                  "COMPOSITION \"ab\" c2 a00 k 0 2",
                                  "ENDCOMPOSITION \"仮名\"",
                                  "STARTCOMPOSITION",
                                  "COMPOSITION \"か\" c1 a0 k 0 1",
                                  "ENDCOMPOSITION \"\"",
                              }));
}

}  // namespace
