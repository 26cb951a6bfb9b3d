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

struct Sdl {
  std::vector<SDL_Event> events;
  std::vector<std::string> owned;
  void editing(const std::string& text, int start, int length) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    std::strncpy(e.edit.text, text.c_str(), sizeof e.edit.text - 1);
    e.edit.start = start;
    e.edit.length = length;
    events.push_back(e);
  }
  void editingExt(const std::string& text, int start, int length) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING_EXT;
    e.editExt.text = SDL_strdup(text.c_str());
    e.editExt.start = start;
    e.editExt.length = length;
    events.push_back(e);
  }
  void input(const std::string& text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, text.c_str(), sizeof e.text.text - 1);
    events.push_back(e);
  }
  void marker() {
    SDL_Event e{};
    e.type = kMarker;
    events.push_back(e);
  }
  ~Sdl() {
    for (auto& e : events)
      if (e.type == SDL_TEXTEDITING_EXT) SDL_free(e.editExt.text);
  }
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

std::vector<std::string> translate(const Sdl& sdl) {
  std::vector<std::string> out;
  qxplat::ImeTranslator t([&](const ImeEvent& e) { out.push_back(describe(e)); });
  // The marker comes back through SDL's own queue, which these tests do not pump: feed
  // them without one and mark batch ends by hand.
  for (const SDL_Event& e : sdl.events) {
    if (e.type == kMarker) {
      t.endOfBatch();
    } else {
      t.feed(e, 0);
    }
  }
  return out;
}

TEST(ImeTranslator, JapanesePreeditConversionAndCommit) {
  Sdl sdl;
  sdl.editing("に", 1, 0);
  sdl.editing("にほ", 2, 0);
  sdl.editingExt("にほんご", 4, 0);
  sdl.editingExt("日本語", 0, 3);  // converted: the whole text is the target clause
  sdl.editingExt("日本語を", 0, 3);
  sdl.editing("", 0, 0);  // the preedit goes, then the commit arrives in the same batch
  sdl.input("日本語を");
  sdl.marker();
  EXPECT_EQ(translate(sdl), (std::vector<std::string>{
                                "STARTCOMPOSITION",
                                "COMPOSITION \"に\" c1 a0 k 0 1",
                                "COMPOSITION \"にほ\" c2 a00 k 0 2",
                                "COMPOSITION \"にほんご\" c4 a0000 k 0 4",
                                "COMPOSITION \"日本語\" c0 a111 k 0 3",
                                "COMPOSITION \"日本語を\" c0 a1110 k 0 3 4",
                                "ENDCOMPOSITION \"日本語を\"",
                            }));
}

TEST(ImeTranslator, CancelPlainTypingAndCursorInUtf16Units) {
  Sdl sdl;
  sdl.input("a");  // no composition: plain typing is not an IME event
  sdl.editing("かな", 2, 0);
  sdl.editing("", 0, 0);
  sdl.marker();  // no commit in the batch: cancelled
  sdl.editingExt("𠮷野", 1, 1);  // a character outside the BMP takes two units
  sdl.editing("", 0, 0);
  sdl.editing("や", 1, 0);  // a new preedit before the batch ended: the old one was cancelled
  sdl.input("屋");
  sdl.input("b");
  EXPECT_EQ(translate(sdl), (std::vector<std::string>{
                                "STARTCOMPOSITION",
                                "COMPOSITION \"かな\" c2 a00 k 0 2",
                                "ENDCOMPOSITION \"\"",
                                "STARTCOMPOSITION",
                                "COMPOSITION \"𠮷野\" c2 a001 k 0 2 3",
                                "ENDCOMPOSITION \"\"",
                                "STARTCOMPOSITION",
                                "COMPOSITION \"や\" c1 a0 k 0 1",
                                "ENDCOMPOSITION \"屋\"",
                            }));
}

TEST(ImeTranslator, OutOfRangeSelectionsAndCancelling) {
  std::vector<std::string> out;
  qxplat::ImeTranslator t([&](const ImeEvent& e) { out.push_back(describe(e)); });
  t.preedit("ab", -5, 99);
  t.preedit("ab", 7, -1);
  EXPECT_TRUE(t.composing());
  t.cancel();
  t.cancel();
  t.endOfBatch();
  EXPECT_FALSE(t.composing());
  EXPECT_EQ(out, (std::vector<std::string>{"STARTCOMPOSITION", "COMPOSITION \"ab\" c0 a11 k 0 2",
                                           "COMPOSITION \"ab\" c2 a00 k 0 2", "ENDCOMPOSITION \"\""}));
}

TEST(ImeTranslator, OnlyTheMarkerEndsAHeldComposition) {
  std::vector<std::string> out;
  qxplat::ImeTranslator t([&](const ImeEvent& e) { out.push_back(describe(e)); });
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  t.preedit("かな", 2, 0);
  t.preedit("", 0, 0);
  t.feed(motion, kMarker);  // another event of the same batch
  t.commit("仮名");
  EXPECT_EQ(out.back(), "ENDCOMPOSITION \"仮名\"");
  SDL_Event marker{};
  marker.type = kMarker;
  t.preedit("か", 1, 0);
  t.preedit("", 0, 0);
  t.feed(marker, kMarker);
  EXPECT_EQ(out.back(), "ENDCOMPOSITION \"\"");
  EXPECT_FALSE(t.composing());
}

}  // namespace
