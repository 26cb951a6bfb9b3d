// What a person sees of the program's own dialogs and boxes: line breaking and cutting,
// tabs, the message dialog's picture on the offscreen driver and its keys, and the
// buttons of the message-box types.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/dialog/ml_dialog.h"
#include "platform/core/utf.h"
#include "platform/font/font.h"
#include "platform/window/dialog_paint.h"
#include "platform/window/dialog_text.h"
#include "platform/window/message_box.h"
#include "platform/window/ui_thread.h"
#include "../window/window_test_env.h"

namespace {

using namespace qxplat;

// Every character 10 pixels wide.
int tenEach(char32_t) { return 10; }

std::vector<std::string> wrap(const char* text, int width) {
  std::vector<std::string> out;
  for (const auto& line : wrapText(qcore::utf8ToUtf32(text), width, tenEach)) out.push_back(qcore::utf32ToUtf8(line));
  return out;
}

using Lines = std::vector<std::string>;

TEST(DialogText, LinesBreakAtSpacesBetweenCjkAndInsideOverlongWords) {
  const struct {
    const char* text;
    int width;
    Lines lines;
  } cases[] = {
      {"alpha beta gamma", 100, {"alpha beta", "gamma"}},
      {"alpha   beta", 60, {"alpha", "beta"}},  // the spaces at the break go
      {"日本語の文章です", 30, {"日本語", "の文章", "です"}},
      {"abc日本", 40, {"abc日", "本"}},
      {"abcdefghijkl xy", 50, {"abcde", "fghij", "kl xy"}},
      {"one\r\ntwo\nthree\rfour", 100, {"one", "two", "three", "four"}},
      {"  indented\n\nafter", 100, {"  indented", "", "after"}},
      {"", 100, {""}},
      {"wide", 5, {"w", "i", "d", "e"}},  // a line holds at least one character
  };
  for (const auto& c : cases) EXPECT_EQ(wrap(c.text, c.width), c.lines) << c.text;
}

TEST(DialogText, CjkRangesEndWhereTheirBlocksEnd) {
  const std::pair<char32_t, bool> cases[] = {
      {U'a', false},     {0x2E7F, false}, {0x2E80, true},  {0x9FFF, true},    {0xA000, false}, {0xAC00, true},
      {0xD7AF, true},    {0xD7B0, false}, {0xF8FF, false}, {0xF900, true},    {0xFAFF, true},  {0xFB00, false},
      {0xFE2F, false},   {0xFE30, true},  {0xFE4F, true},  {0xFE50, false},   {0xFEFF, false}, {0xFF00, true},
      {0xFFEF, true},    {0xFFF0, false}, {0x1FFFF, false}, {0x20000, true},  {0x3FFFF, true}, {0x40000, false},
  };
  for (const auto& [c, cjk] : cases) EXPECT_EQ(isCjk(c), cjk) << std::hex << uint32_t(c);
}

TEST(DialogText, CutLinesEndWithAnEllipsisThatFits) {
  auto cut = [](Lines in, size_t n, int width) {
    std::vector<std::u32string> lines;
    for (const auto& l : in) lines.push_back(qcore::utf8ToUtf32(l));
    Lines out;
    for (const auto& l : cutLines(lines, n, width, tenEach)) out.push_back(qcore::utf32ToUtf8(l));
    return out;
  };
  EXPECT_EQ(cut({"ab", "cd"}, 2, 50), (Lines{"ab", "cd"}));
  EXPECT_EQ(cut({"ab", "cd", "ef"}, 2, 50), (Lines{"ab", "cd…"}));
  EXPECT_EQ(cut({"abcde", "fg"}, 1, 50), (Lines{"abcd…"}));
  EXPECT_EQ(cut({"abc de", "fg"}, 1, 50), (Lines{"abc…"}));
}

TEST(DialogText, TabsBecomeSpacesToTheNextFourthColumn) {
  EXPECT_EQ(expandTabs("\tat"), "    at");
  EXPECT_EQ(expandTabs("ab\tc\n\td"), "ab  c\n    d");
  EXPECT_EQ(expandTabs("日本\tx"), "日本  x");
  EXPECT_EQ(expandTabs("abcd\t"), "abcd    ");
}

// A box's text on a screen: a cell of 10 x 20 pixels per column (two for CJK, symbols and emoji)
// and line, 80 x 160 pixels kept for the frame and buttons, 20 to 100 columns.
TEST(MessageBoxText, WrappedAndCutToTheScreenWithTheWholeTextNoted) {
  auto repeat = [](const std::string& piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += piece;
    return out;
  };
  std::string numbered;
  for (int i = 1; i <= 5000; ++i) numbered += "n" + std::to_string(i) + "\n";
  const struct {
    std::string text;
    int width, height;
    size_t lines;
    std::string last;  // the last line shown, which tells the width too
    bool whole;
  } cases[] = {
      {"Saved.\tok", 1024, 768, 1, "Saved.  ok", true},
      {repeat("word ", 20000), 1024, 768, 30, repeat("word ", 18) + "wo…", false},  // "…" takes two
      {numbered, 1024, 768, 30, "n30…", false},
      {repeat("ab\n", 29) + "ab", 1024, 768, 30, "ab", true},
      {repeat("日", 60), 1024, 768, 2, repeat("日", 13), true},
      {repeat("😀", 60), 1024, 768, 2, repeat("😀", 13), true},
      {repeat("★→", 30), 1024, 768, 2, repeat("→★", 6) + "→", true},
      {repeat("x", 300), 4000, 3000, 3, repeat("x", 100), true},
      {repeat("x", 300), 200, 200, 2, repeat("x", 18) + "…", false},
  };
  for (const auto& c : cases) {
    const BoxText shown = messageBoxText(c.text, c.width, c.height);
    EXPECT_EQ(size_t(std::count(shown.text.begin(), shown.text.end(), '\n')) + 1, c.lines) << c.last;
    EXPECT_EQ(shown.text.substr(shown.text.rfind('\n') + 1), c.last);
    EXPECT_EQ(shown.whole, c.whole) << c.last;
  }
}

TEST(MessageBoxLayout, EachTypeGivesItsButtonsDefaultEscapeAndIcon) {
  const struct {
    uint32_t type;
    std::vector<int> ids;
    int returnKey, escapeKey;  // ids, 0 for none
    uint32_t icon;
  } cases[] = {
      {0x00, {1}, 1, 1, 0},
      {0x01, {1, 2}, 1, 2, 0},
      {0x02, {3, 4, 5}, 3, 0, 0},
      {0x03, {6, 7, 2}, 6, 2, 0},
      {0x04, {6, 7}, 6, 0, 0},
      {0x05, {4, 2}, 4, 2, 0},
      {0x06, {2, 10, 11}, 2, 2, 0},
      {0x07, {1}, 1, 1, 0},  // no such set
      {0x104, {6, 7}, 7, 0, 0},
      {0x203, {6, 7, 2}, 2, 2, 0},
      {0x201, {1, 2}, 1, 2, 0},  // a third button the set lacks
      {0x312, {3, 4, 5}, 3, 0, SDL_MESSAGEBOX_ERROR},
      {0x24, {6, 7}, 6, 0, SDL_MESSAGEBOX_INFORMATION},
      {0x31, {1, 2}, 1, 2, SDL_MESSAGEBOX_WARNING},
      {0x40, {1}, 1, 1, SDL_MESSAGEBOX_INFORMATION},
  };
  for (const auto& c : cases) {
    const MessageBoxLayout l = messageBoxLayout(c.type);
    std::vector<int> ids;
    int returnKey = 0, escapeKey = 0, returns = 0, escapes = 0;
    for (const auto& b : l.buttons) {
      ids.push_back(b.id);
      EXPECT_STRNE(b.label, "");
      if (b.returnKey) returnKey = b.id, ++returns;
      if (b.escapeKey) escapeKey = b.id, ++escapes;
    }
    EXPECT_EQ(ids, c.ids) << c.type;
    EXPECT_EQ(returnKey, c.returnKey) << c.type;
    EXPECT_EQ(escapeKey, c.escapeKey) << c.type;
    EXPECT_EQ(returns, 1) << c.type;
    EXPECT_LE(escapes, 1) << c.type;
    EXPECT_EQ(l.icon, c.icon) << c.type;
  }
  EXPECT_STREQ(messageBoxLayout(0x06).buttons[1].label, "Try Again");
}

// ---- the message dialog on the offscreen driver ----

struct Picture {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  PixelRect text, button;
  bool dark(int x, int y) const {
    const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
    return ((p >> 16) & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
  }
  bool inside(const PixelRect& r, int x, int y) const { return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h; }
  // Runs of rows holding dark pixels outside the button.
  int textBands() const {
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < height; ++y) {
      bool ink = false;
      for (int x = 0; x < width && !ink; ++x) ink = dark(x, y) && !inside(button, x, y);
      if (ink && !inBand) ++bands;
      inBand = ink;
    }
    return bands;
  }
  // Dark pixels outside the text area and the button.
  int strayInk() const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += dark(x, y) && !inside(text, x, y) && !inside(button, x, y);
    return n;
  }
  int inkIn(const PixelRect& r) const {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) n += dark(x, y);
    return n;
  }
  std::vector<uint32_t> textPixels() const {
    std::vector<uint32_t> out;
    for (int y = text.y; y < text.y + text.h; ++y)
      for (int x = text.x; x < text.x + text.w; ++x) out.push_back(pixels[size_t(y) * size_t(width) + size_t(x)]);
    return out;
  }
};

class MessageDialogView : public testing::Test {
 protected:
  void SetUp() override { qxtest::useHeadlessVideo(); }
};

// Opens a message dialog owned by `owner` and gives its id (the newest dialog).
DialogId openMessage(MLDialog& owner, const std::string& text) {
  owner.msgbox(text, "Caption", 0, false);
  DialogId made = 0;
  uiRunWaiting([&] {
    for (DialogId d = owner.window(); d < owner.window() + 64; ++d) made = dialogExists(d) ? d : made;
  });
  return made;
}

// What the dialog's window shows, as 0xRRGGBB; empty without a window.
std::vector<uint32_t> windowPixels(DialogId d, int& width, int& height) {
  std::vector<uint32_t> out;
  uiRunWaiting([&] {
    SDL_Window* w = SDL_GetWindowFromID(dialogWindowId(d));
    SDL_Surface* shown = w ? SDL_GetWindowSurface(w) : nullptr;
    if (!shown) return;
    SDL_GetWindowSize(w, &width, &height);
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(shown, SDL_PIXELFORMAT_ARGB8888, 0);
    for (int y = 0; y < argb->h; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
      for (int x = 0; x < argb->w; ++x) out.push_back(row[x] & 0xFFFFFF);
    }
    SDL_FreeSurface(argb);
  });
  return out;
}

std::vector<uint32_t> rgbOf(const std::vector<uint32_t>& pixels) {
  std::vector<uint32_t> out;
  for (uint32_t p : pixels) out.push_back(p & 0xFFFFFF);
  return out;
}

Picture pictureOf(DialogId d) {
  Picture p;
  uiRunWaiting([&] {
    EXPECT_TRUE(dialogPicture(d, p.pixels, p.width, p.height));
    dialogItemRect(d, kDialogTextItem, p.text.x, p.text.y, p.text.w, p.text.h);
    dialogItemRect(d, int(kIdOk), p.button.x, p.button.y, p.button.w, p.button.h);
  });
  return p;
}

// One key press on the window, handled by the pump before this returns.
void pressKey(uint32_t windowId, SDL_Scancode key) {
  for (uint32_t type : {SDL_KEYDOWN, SDL_KEYUP}) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = windowId;
    e.key.keysym.scancode = key;
    SDL_PushEvent(&e);
  }
  do {
    uiRunWaiting([] {});
  } while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYUP) > 0);
  uiRunWaiting([] {});
}

TEST_F(MessageDialogView, TextWrapsInsideItsAreaWithRealGlyphsAndALabelledOk) {
  testing::internal::CaptureStderr();
  runUiThread([](uint32_t) {
    MLDialog owner;
    owner.init(0, 0, u"IDD_PSEUDOMB");
    ASSERT_NE(owner.window(), 0u);
    const DialogId shortOne = openMessage(owner, "Saved.");
    const DialogId longOne = openMessage(owner,
        "The request could not be sent because the connection was closed before the reply came; "
        "try again later.\tThen wait.");
    const Picture s = pictureOf(shortOne), l = pictureOf(longOne);
    EXPECT_EQ(s.width, 294);
    EXPECT_EQ(s.height, 100);  // the template's size: the text needs no more
    EXPECT_EQ(s.textBands(), 1);
    EXPECT_GE(l.textBands(), 3);
    EXPECT_EQ(l.strayInk(), 0);
    EXPECT_EQ(s.strayInk(), 0);
    EXPECT_NE(s.textPixels(), l.textPixels());
    EXPECT_GT(s.inkIn(s.button), 10);  // "OK"
    EXPECT_EQ(s.inkIn(s.text) > 0, true);
    int shownWidth = 0, shownHeight = 0;
    EXPECT_EQ(windowPixels(longOne, shownWidth, shownHeight), rgbOf(l.pixels));  // the window shows the picture
    EXPECT_EQ(shownWidth, l.width);

    // A new text is laid out again: the window grows with it and shows it.
    std::string longer;
    for (int i = 0; i < 30; ++i) longer += "line" + std::to_string(i) + "\n";
    uiRunWaiting([&] { setDialogItemText(shortOne, kDialogTextItem, longer); });
    const Picture grown = pictureOf(shortOne);
    EXPECT_GT(grown.height, 100);
    EXPECT_EQ(windowPixels(shortOne, shownWidth, shownHeight), rgbOf(grown.pixels));
    EXPECT_EQ(shownHeight, grown.height);
    EXPECT_GE(grown.textBands(), 20);

    // Whatever reaches a dialog's window is the dialog's.
    uint32_t window = 0;
    uiRunWaiting([&] { window = dialogWindowId(longOne); });
    for (uint32_t type :
         {SDL_MOUSEMOTION, SDL_MOUSEWHEEL, SDL_TEXTINPUT, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_KEYDOWN, SDL_KEYUP}) {
      SDL_Event e{};
      e.type = type;
      if (type == SDL_MOUSEMOTION) e.motion.windowID = window;
      if (type == SDL_MOUSEWHEEL) e.wheel.windowID = window;
      if (type == SDL_TEXTINPUT) e.text.windowID = window;
      if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP) {
        e.button.windowID = window;
        e.button.button = SDL_BUTTON_RIGHT;  // only the left button presses buttons
      }
      if (type == SDL_KEYDOWN || type == SDL_KEYUP) e.key.windowID = window;
      bool taken = false;
      uiRunWaiting([&] { taken = handleDialogEvent(e); });
      EXPECT_TRUE(taken) << type;
      e.motion.windowID = e.wheel.windowID = e.text.windowID = 0;
      e.button.windowID = e.key.windowID = 0;
      uiRunWaiting([&] { taken = handleDialogEvent(e); });
      EXPECT_FALSE(taken) << type;
    }

    // A text far longer than the display grows the window to the display and is cut.
    std::string huge;
    for (int i = 0; i < 400; ++i) huge += "word" + std::to_string(i) + " ";
    const Picture h = pictureOf(openMessage(owner, huge));
    EXPECT_GT(h.height, 100);
    EXPECT_LE(h.height, 768);
    EXPECT_EQ(h.button.y + h.button.h + (100 - 47 * 13 / 8 - 14 * 13 / 8), h.height);
    EXPECT_EQ(h.strayInk(), 0);

    // Japanese draws with the face's glyphs, not its empty box.
    const Picture ja = pictureOf(openMessage(owner, "日本語"));
    qxfont::LogFont request;
    request.lfHeight = -kDialogFontPixels;
    request.lfFaceName = kDialogFace;
    const auto face = qxfont::createFont(request);
    ASSERT_NE(face, nullptr);
    ASSERT_EQ(face->glyphIndex(0x10FFFD), 0u);
    const Picture box = pictureOf(openMessage(owner, "\U0010FFFD\U0010FFFD\U0010FFFD"));
    EXPECT_GT(ja.inkIn(ja.text), 0);
    EXPECT_NE(ja.textPixels(), box.textPixels());
  });
  testing::internal::GetCapturedStderr();
}

// The left mouse button pressed at one point and released at another, handled by the
// pump before this returns.
void drag(uint32_t windowId, const PixelRect& from, const PixelRect& to) {
  for (const bool down : {true, false}) {
    const PixelRect& at = down ? from : to;
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = windowId;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = at.x + at.w / 2;
    e.button.y = at.y + at.h / 2;
    SDL_PushEvent(&e);
  }
  do {
    uiRunWaiting([] {});
  } while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP) > 0);
  uiRunWaiting([] {});
}

TEST_F(MessageDialogView, OkActsOnAClickOnItEnterOrSpaceEscapeAndTheCloseBoxDoNot) {
  testing::internal::CaptureStderr();
  runUiThread([](uint32_t) {
    MLDialog owner;
    owner.init(0, 0, u"IDD_PSEUDOMB");
    // OK acts on a press and a release both on it; a press that began elsewhere does nothing.
    const DialogId clicked = openMessage(owner, "Click OK");
    const Picture p = pictureOf(clicked);
    uint32_t clickedWindow = 0;
    bool open = false;
    uiRunWaiting([&] { clickedWindow = dialogWindowId(clicked); });
    drag(clickedWindow, p.text, p.button);
    drag(clickedWindow, p.button, p.text);
    uiRunWaiting([&] { open = dialogExists(clicked); });
    EXPECT_TRUE(open);
    drag(clickedWindow, p.button, p.button);
    uiRunWaiting([&] { open = dialogExists(clicked); });
    EXPECT_FALSE(open);
    for (SDL_Scancode ok : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_SPACE}) {
      const DialogId d = openMessage(owner, "Press a key");
      uint32_t window = 0;
      uiRunWaiting([&] { window = dialogWindowId(d); });
      ASSERT_NE(window, 0u);
      pressKey(window, SDL_SCANCODE_ESCAPE);
      pressKey(window, SDL_SCANCODE_A);
      SDL_Event close{};
      close.type = SDL_WINDOWEVENT;
      close.window.event = SDL_WINDOWEVENT_CLOSE;
      close.window.windowID = window;
      SDL_PushEvent(&close);
      uiRunWaiting([] {});
      uiRunWaiting([] {});
      bool alive = false;
      uiRunWaiting([&] { alive = dialogExists(d); });
      EXPECT_TRUE(alive) << ok;
      pressKey(window, ok);
      uiRunWaiting([&] { alive = dialogExists(d); });
      EXPECT_FALSE(alive) << ok;
    }
  });
  testing::internal::GetCapturedStderr();
}

}  // namespace
