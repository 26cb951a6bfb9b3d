// Input logs: recording byte for byte, replay to the same per-tick states, and files that
// are not what the recorder writes.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/input/input_fixture.h"

namespace {

using namespace inputtest;

constexpr uint8_t kJ = 0x24;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class InputLogTest : public InputTest {
 protected:
  // pressed, pressing, clicked of both names.
  std::string tickStates() {
    std::string s;
    for (const char* name : {"fire", "jump"}) {
      for (const char* q : {"pressed", "pressing", "clicked"}) {
        s += evalBool(std::string("input:") + q + "('" + name + "')") ? '1' : '0';
      }
    }
    return s;
  }
  std::string path(const char* name) { return (bindtest::tempDir() / name).string(); }
};

TEST_F(InputLogTest, RecordingIsReproducedByteForByteAndReplaysTheSameTicks) {
  makeKeyboardAndMouse();
  ASSERT_EQ(run("input:register('jump'):bind('jump', kb, 0x24):register('fire'):bind('fire', kb, 0x39)"), "");
  ASSERT_EQ(run("input:start_log('" + path("rec.log") + "')"), "");
  std::vector<std::string> live;
  for (int t = 1; t <= 16; ++t) {
    if (t == 1) key(kSpace, true);
    if (t == 14) {
      key(kSpace, false);
      key(kJ, true);
    }
    tick();
    live.push_back(tickStates());
  }
  ASSERT_EQ(run("input:stop_log()"), "");
  EXPECT_EQ(readAll(path("rec.log")),
            "%keymap\r\nfire\r\njump\r\n%0\r\n%delta\r\n0 100\r\n%12\r\n%delta\r\n0 0\r\n1 100\r\n");

  // Replay with the keyboard gone from both names and the keys up.
  key(kJ, false);
  ASSERT_EQ(run("input:remove_upd(kb)"), "");
  ASSERT_EQ(input->binding("fire")->count, 0);
  tick(2);  // jump's release passes
  ASSERT_EQ(run("log = input:log_load('" + path("rec.log") + "') input:entry_upd(log)"), "");
  std::vector<std::string> replay;
  for (int t = 1; t <= 16; ++t) {
    tick();
    replay.push_back(tickStates());
  }
  EXPECT_EQ(replay, live);
  EXPECT_EQ(evalNumber("log:get_value(1)"), 100);
  EXPECT_EQ(evalNumber("log:get_axis(0)"), 0);  // a log records bindings, never axes
  EXPECT_EQ(evalNumber("log:get_type()"), 3);

  // Inactive: unbound and frozen; active again: bound with everything at 0.
  ASSERT_EQ(run("log:active(false)"), "");
  EXPECT_EQ(input->binding("jump")->count, 0);
  ASSERT_EQ(run("log:active(true)"), "");
  EXPECT_EQ(input->binding("jump")->count, 1);
  EXPECT_EQ(evalNumber("log:get_value(1)"), 0);
  EXPECT_TRUE(evalBool("input:log_load('" + path("missing.log") + "') == nil"));
}

// A name the reader would not read back is refused before any file is made.
TEST_F(InputLogTest, StartLogRefusesNamesTheReaderWouldReadDifferently) {
  const std::string tooLong(qxin::IFLogCtrl::kMaxLine + 1, 'n');
  const struct {
    std::string name;
    const char* shown;
  } refused[] = {
      {"a\rb", "a\\rb"}, {"a\nb", "a\\nb"}, {std::string("a\0b", 3), "a\\0b"}, {"%delta", "%delta"},
      {tooLong, "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn..."},
  };
  for (const auto& c : refused) {
    ASSERT_EQ(run("input:register('fire')"), "");
    lua_pushlstring(L, c.name.data(), c.name.size());
    lua_setglobal(L, "odd");
    ASSERT_EQ(run("input:register(odd)"), "");
    const std::string error = run("input:start_log('" + path("refused.log") + "')");
    EXPECT_NE(error.find("\"" + std::string(c.shown) + "\""), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path("refused.log"))) << c.shown;
    ASSERT_EQ(run("input:clear(odd)"), "");
  }
  // What the reader takes back is accepted: inner and trailing "%", the longest line, spaces.
  for (const std::string& name :
       {std::string("a%b"), std::string("a%"), std::string(qxin::IFLogCtrl::kMaxLine, 'n'), std::string(" x ")}) {
    EXPECT_TRUE(qxin::logNameReadsBack(name)) << name.size();
  }
  ASSERT_EQ(run("input:start_log('" + path("refused.log") + "') input:stop_log()"), "");
  EXPECT_EQ(readAll(path("refused.log")), "%keymap\r\nfire\r\n");
}

// Records "+name handle channel" per bind and "-..." per unbind, in order.
class RecordingBinder final : public qxin::LogBinder {
 public:
  void bindName(const std::string& n, uint32_t h, int32_t c) override { note('+', n, h, c); }
  void unbindName(const std::string& n, uint32_t h, int32_t c) override { note('-', n, h, c); }
  void note(char op, const std::string& n, uint32_t h, int32_t c) {
    calls.push_back(op + n + " " + std::to_string(h) + " " + std::to_string(c));
  }
  std::vector<std::string> calls;
};

// Channel 0's level after each of `updates` updates.
std::vector<int32_t> levelsAfterEachUpdate(const std::string& text, size_t updates) {
  qxin::IFLogCtrl log(std::make_unique<std::istringstream>(text), nullptr);
  log.readFrames();
  std::vector<int32_t> out;
  for (size_t i = 0; i < updates; ++i) {
    log.update();
    out.push_back(log.level(0));
  }
  return out;
}

TEST(InputLogReader, SkipsWhatItCannotReadAndKeepsTheRest) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<int32_t> levels;
  };
  const std::string longLine(5000, 'x');
  const Case cases[] = {
      {"LF only, no final line end", "%keymap\nfire\n%1\n%delta\n0 100", {0, 100, 100}},
      {"junk between records", "%keymap\r\nfire\r\n%what\r\nnoise\r\n\r\n" + longLine + "\r\n%0\r\n%delta\r\n0 70\r\n",
       {70, 70}},
      {"bad delta lines skipped", "%keymap\nfire\n%0\n%delta\nx y\n\n0\n0 60 trailing\n", {60}},
      {"channels outside the keymap ignored", "%keymap\nfire\n%0\n%delta\n1 100\n-1 100\n2147483648 1\n0 999\n", {100}},
      {"levels clamped", "%keymap\nfire\n%0\n%delta\n0 -5\n", {0}},
      {"delta before any keymap", "%0\n%delta\n0 100\n%keymap\nfire\n%0\n%delta\n0 80\n", {0, 80}},
      {"huge wait saturates", "%keymap\nfire\n%99999999999999\n%delta\n0 100\n", {0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(levelsAfterEachUpdate(c.text, c.levels.size()), c.levels) << c.what;
}

TEST(InputLogReader, QueuesThirtyRecordsAheadAndRebindsOnANewKeymap) {
  std::string text = "%keymap\na\nb\n";
  for (int i = 0; i < 40; ++i) text += "%0\n%delta\n1 " + std::to_string(i % 2 ? 0 : 100) + "\n";
  text += "%keymap\nc\n";
  RecordingBinder binder;
  qxin::IFLogCtrl log(std::make_unique<std::istringstream>(text), &binder);
  log.handleWord = 77;
  log.readFrames();
  EXPECT_EQ(log.queued(), 30u);
  std::vector<int> pressedAt;
  for (int t = 0; t < 45; ++t) {
    log.update();
    if (log.pressed(1)) pressedAt.push_back(t);
    EXPECT_LE(log.queued(), 30u);
  }
  EXPECT_EQ(pressedAt.size(), 20u);
  EXPECT_EQ(binder.calls, (std::vector<std::string>{"+a 77 0", "+b 77 1", "-a 77 0", "-b 77 1", "+c 77 0"}));
  EXPECT_EQ(log.names(), std::vector<std::string>{"c"});
  // Over-long lines keep their first kMaxLine bytes.
  qxin::IFLogCtrl longName(std::make_unique<std::istringstream>("%keymap\n" + std::string(3000, 'n') + "\n"), nullptr);
  longName.update();
  ASSERT_EQ(longName.names().size(), 1u);
  EXPECT_EQ(longName.names()[0].size(), qxin::IFLogCtrl::kMaxLine);
  // clear sets counters to 0: nothing reads as released.
  log.clear();
  EXPECT_FALSE(log.released(0));
  EXPECT_FALSE(log.repeat(0));
}

}  // namespace
