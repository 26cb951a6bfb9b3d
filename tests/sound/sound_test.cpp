// Sound instances as scripts use them, played through the mixer on the disk audio driver.
#include <cmath>
#include <filesystem>

#include "runtime/res/hdl_lock.h"
#include "scene/sound/sound_mgr.h"
#include "scene/sound/ss_oneshot.h"
#include "scene/sound/ss_stream.h"
#include "scene/sound/wav_cache.h"
#include "scene/sound_bind/sound_bind.h"
#include "script/bind/bind_order.h"
#include "script/lua/stack_readers.h"
#include "tests/sound/sound_test_support.h"
#include "tests/support/lua_hostile_args.h"

namespace {

using namespace soundtest;
using bindtest::putFile;
using bindtest::tempDir;

// A script state with the sound classes bound, as the program binds them.
class SoundTest : public bindtest::StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    qxbind::BindOrder order;
    ASSERT_TRUE(order.provide(soundBinding()));
    policy_->unlock();
    EXPECT_EQ(order.run(state_), 1);
    L = policy_->lock();
    ASSERT_NE(mgr().engine(), nullptr) << "the tests need the disk or dummy audio driver";
  }
  void TearDown() override {
    lua_settop(L, 0);
    EXPECT_EQ(run("s, s2, s3 = nil, nil, nil collectgarbage('collect')"), "");
    StateTest::TearDown();
  }

  static SoundMgr& mgr() { return *SoundMgr::instance(); }

  // f(instance) under the instance's lock.
  template <class F>
  void with(const std::string& global, F f) {
    lua_getglobal(L, global.c_str());
    kesto::HdlLock<SSHandle> s(getHandleAt(L, -1));
    lua_pop(L, 1);
    ASSERT_TRUE(s) << global << " names no sound instance";
    f(*s);
  }
  SS_Stream* streamOf(const std::string& global) {
    SS_Stream* stream = nullptr;
    with(global, [&](SSPtr& s) { stream = dynamic_cast<SS_Stream*>(s.stock.get()); });
    return stream;
  }
  bool playing(const std::string& global) { return evalBool(global + ":is_playing()"); }
  bool logged(const std::string& part) {
    for (const std::string& line : bindtest::logLines())
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
};

std::string wavWithListAndOddChunk(size_t frames) {
  return riff(chunk("LIST", "INFOISFT\3\0\0\0ab") + chunk("fmt ", fmtBody(1, 1, 22050, 16)) + chunk("odd ", "abc") +
              chunk("data", pcm16(frames)));
}

TEST_F(SoundTest, StreamsPlayEveryPassOnceAndGoIdle) {
  struct Case {
    int channels;
    long frames;
    int loops;
  } cases[] = {
      {1, 1500, 0},  // shorter than one buffer, once (it was once played three times)
      {1, 1500, 2},
      {2, 4500, 2},  // several buffers, ending inside one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.frames) + " frames, loops " +
                 std::to_string(c.loops));
    putFile("tone.ogg", encodeOgg(c.channels, 22050, c.frames));
    ASSERT_EQ(run("s = sound:load('tone.ogg', false)"), "");
    EXPECT_EQ(evalNumber("s:get_nchannel()"), c.channels);
    SS_Stream* stream = streamOf("s");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(run("s:play(" + std::to_string(c.loops) + ", 1.0)"), "");
    EXPECT_TRUE(playing("s"));
    ASSERT_TRUE(waitFor([&] { return stream->state() == SS_Stream::kIdle && !playing("s"); }));
    EXPECT_EQ(stream->bytesSubmitted(), uint64_t(c.loops + 1) * uint64_t(c.frames) * 2u * uint64_t(c.channels));
    ASSERT_EQ(run("s = nil collectgarbage('collect')"), "");
  }
}

TEST_F(SoundTest, PlayingAStreamAgainRestartsIt) {
  constexpr long kFrames = 6000;
  putFile("long.ogg", encodeOgg(1, 22050, kFrames));
  const uint64_t onePass = uint64_t(kFrames) * 2;
  ASSERT_EQ(run("s = sound:load('long.ogg', false) s:play(5, 1.0)"), "");
  SS_Stream* stream = streamOf("s");
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(waitFor([&] { return stream->bytesSubmitted() > 4 * SS_Stream::kBufferBytes; }));
  const uint64_t before = stream->bytesSubmitted();
  ASSERT_EQ(run("s:play(1, 0.5)"), "");
  ASSERT_TRUE(waitFor([&] { return stream->state() == SS_Stream::kIdle && !playing("s"); }));
  // Two whole passes from the start, after at most the buffers already in flight.
  const uint64_t after = stream->bytesSubmitted() - before;
  EXPECT_GE(after, 2 * onePass);
  EXPECT_LE(after, 2 * onePass + 3 * SS_Stream::kBufferBytes);
}

TEST_F(SoundTest, AloneInstancesLiveUntilTheyStop) {
  putFile("c.wav", wavWithListAndOddChunk(1100));
  const uint32_t before = mgr().usedCount();
  ASSERT_EQ(run("s = sound:load('c.wav', false) s:play(0, 1.0) s:alone()"
                " s2 = sound:load('c.wav', false) s2:alone()"
                " s, s2 = nil, nil collectgarbage('collect')"),
            "");
  EXPECT_EQ(mgr().aloneCount(), 2u);
  mgr().update(1.0f / 60);  // the one never played goes at once
  EXPECT_EQ(mgr().aloneCount(), 1u);
  EXPECT_EQ(mgr().usedCount(), before + 1);
  EXPECT_TRUE(waitFor([&] {
    mgr().update(1.0f / 60);
    return mgr().aloneCount() == 0;
  }));
  EXPECT_EQ(mgr().usedCount(), before);
  EXPECT_EQ(wavCacheRefs(u"c.wav"), -1);
}

TEST_F(SoundTest, OneShotsPlayLoopAndRefuseBadCounts) {
  putFile("odd.wav", wavWithListAndOddChunk(2205));
  bindtest::logLines().clear();
  ASSERT_EQ(run("s = sound:load('odd.wav', false)"), "");
  EXPECT_TRUE(bindtest::logLines().empty());  // a good file says nothing
  ASSERT_EQ(run("s:play(0, 1.0)"), "");
  EXPECT_TRUE(playing("s"));
  EXPECT_TRUE(waitFor([&] { return !playing("s"); }));

  ASSERT_EQ(run("s:play(255, 1.0)"), "");
  qxplat::sleepMs(300);
  EXPECT_TRUE(playing("s"));
  ASSERT_EQ(run("s:stop()"), "");
  EXPECT_TRUE(playing("s"));  // stopped with audio queued

  for (const char* loops : {"-1", "256"}) {
    SCOPED_TRACE(loops);
    bindtest::logLines().clear();
    ASSERT_EQ(run(std::string("s:play(") + loops + ", 1.0)"), "");
    // Flushed buffers count as queued until the mixer's next pass lets them go.
    EXPECT_TRUE(waitFor([&] { return !playing("s"); }, 1000));
    EXPECT_TRUE(logged(std::string("loop count ") + loops));
  }
}

TEST_F(SoundTest, AdpcmAndExtensibleVoicesGetTheFilesWholeFormatAndPlay) {
  const std::string adpcm = adpcmFmt(2, 128, 116), six = extensibleBody(1, 6, 22050, 16, 0x60F);
  putFile("adpcm.wav", riff(chunk("fmt ", adpcm) + chunk("data", adpcmBlocks(2, 128, 40))));
  putFile("six.wav", riff(chunk("fmt ", six) + chunk("data", pcm16(6 * 2000))));
  bindtest::logLines().clear();
  ASSERT_EQ(run("s = sound:load('adpcm.wav', false) s2 = sound:load('six.wav', true)"), "");
  EXPECT_TRUE(bindtest::logLines().empty());
  // The mixer decodes from the record it was handed: the file's own, mask and table included.
  for (const auto& [global, fmt] : {std::pair{"s", adpcm}, std::pair{"s2", six}}) {
    with(global, [&](SSPtr& s) {
      ASSERT_NE(s.stock->voice(), nullptr);
      const std::vector<uint8_t>& record = s.stock->voice()->formatRecord();
      EXPECT_EQ(std::string(record.begin(), record.end()), fmt) << global;
    });
  }
  EXPECT_EQ(evalNumber("s2:get_nchannel()"), 6);
  ASSERT_EQ(run("s:play(0, 1.0) s2:play(0, 1.0)"), "");
  EXPECT_TRUE(playing("s") && playing("s2"));
  mgr().update(1.0f / 60);  // six channels placed in 3D: a 6 x 2 output matrix
  with("s2", [&](SSPtr& s) { EXPECT_EQ(dynamic_cast<IFSound3D&>(*s.dim).matrix().size(), 12u); });
  EXPECT_TRUE(waitFor([&] { return !playing("s") && !playing("s2"); }));
  // Made directly, a record that would overrun the mixer is refused all the same.
  qxaudio::SourceFormat bad;
  bad.wave = {qxaudio::kFormatAdpcm, 2, 22050, 0, 129, 4, 0};
  bad.samplesPerBlock = 116;
  std::string why;
  EXPECT_EQ(mgr().engine()->createSourceVoice(bad, nullptr, 2.0f, &why), nullptr);
  EXPECT_NE(why.find("block align 129"), std::string::npos) << why;
}

TEST_F(SoundTest, WavCacheCountsItsUsersPanIsClampedAndNoBadFileIsKept) {
  putFile("c.wav", wavWithListAndOddChunk(100));
  ASSERT_EQ(run("s = sound:load('c.wav', false) s2 = sound:load('c.wav', true)"), "");
  EXPECT_EQ(wavCacheRefs(u"c.wav"), 2);
  ASSERT_EQ(run("s3 = sound:duplicate(s, true)"), "");
  EXPECT_EQ(wavCacheRefs(u"c.wav"), 3);
  // Pan is clamped and sets the channel volumes.
  struct Case {
    const char* pan;
    float stored;
    float left;  // the mono channel's volume
  } cases[] = {{"2.5", 1.0f, 0.0f}, {"0.25", 0.25f, 0.75f}, {"0/0", 0.0f, 1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pan);
    ASSERT_EQ(run(std::string("s:set_pan(") + c.pan + ")"), "");
    mgr().update(1.0f / 60);
    with("s", [&](SSPtr& s) {
      auto* d = dynamic_cast<IFSound2D*>(s.dim.get());
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->pan(), c.stored);
      ASSERT_EQ(d->volumes().size(), 1u);
      EXPECT_EQ(d->volumes()[0], c.left);
    });
  }
  ASSERT_EQ(run("s, s2, s3 = nil, nil, nil collectgarbage('collect')"), "");
  EXPECT_EQ(wavCacheRefs(u"c.wav"), -1);

  // A file that is no WAV: a silent instance, nothing cached, the reason logged.
  bindtest::logLines().clear();
  putFile("bad.wav", riff(chunk("fmt ", fmtBody(1, 1, 22050, 16))));
  ASSERT_EQ(run("s = sound:load('bad.wav', false)"), "");
  EXPECT_EQ(wavCacheRefs(u"bad.wav"), -1);
  EXPECT_TRUE(logged("bad.wav: no \"data\" chunk"));
  ASSERT_EQ(run("s:play(0, 1.0):set_pan(0.5):resume()"), "");
  EXPECT_FALSE(playing("s"));
  // Mended, the next load reads it again.
  putFile("bad.wav", wavWithListAndOddChunk(10));
  ASSERT_EQ(run("s2 = sound:load('bad.wav', false)"), "");
  EXPECT_EQ(wavCacheRefs(u"bad.wav"), 1);
}

TEST_F(SoundTest, LoadTakesOnlyKnownLowerCaseExtensionsOfMountedFiles) {
  putFile("a.ogg", encodeOgg(2, 22050, 500));
  putFile("b.mp3", "ID3");
  putFile("junk.ogg", "not vorbis at all");
  ASSERT_EQ(run("s = sound:load('a.ogg', true)"), "");
  EXPECT_EQ(evalNumber("s:get_nchannel()"), 2);
  for (const std::string& file : {std::string("a.OGG"), std::string("b.mp3"), std::string("missing.ogg"),
                                   std::string(300, 'x') + ".ogg"})
    EXPECT_TRUE(evalBool("sound:load('" + file + "', false) == nil")) << file;
  bindtest::logLines().clear();
  ASSERT_EQ(run("s2 = sound:load('junk.ogg', false)"), "");
  EXPECT_TRUE(logged("junk.ogg: not an Ogg Vorbis file"));
  // Vorbis takes nine channels, the mixer does not: a silent instance.
  putFile("nine.ogg", encodeOgg(9, 22050, 500));
  ASSERT_EQ(run("s2 = sound:load('nine.ogg', false)"), "");
  EXPECT_TRUE(logged("nine.ogg: unsupported channel count"));
  EXPECT_EQ(evalNumber("s2:get_nchannel()"), 0);
  // A dead instance and a file no longer there give no duplicate.
  ASSERT_EQ(run("s3 = sound:duplicate(s, false) dead = s3:getweak() s3 = nil collectgarbage('collect')"), "");
  EXPECT_TRUE(evalBool("sound:duplicate(dead, false) == nil"));
  std::filesystem::remove(tempDir() / "a.ogg");
  EXPECT_TRUE(evalBool("sound:duplicate(s, false) == nil"));
}

TEST_F(SoundTest, EveryMemberSurvivesHostileArgumentsAndSelves) {
  putFile("h.ogg", encodeOgg(1, 22050, 800));
  putFile("h.wav", wavWithListAndOddChunk(50));
  ASSERT_EQ(run(luahostile::script("{ sound = function() return sound end,"
                                   " SSPtr = function() return sound:load('h.wav', true) end }",
                                   "sound:load('h.wav', false)",
                                   "'h.ogg', 'h.wav', string.rep('x', 400) .. '.wav', '..\\\\h.wav',"
                                   " QXL.vec3.new(1 / 0, 0 / 0, -1 / 0), sound:load('h.ogg', false)")),
            "");
  EXPECT_GT(evalNumber("hostile_calls"), 500);
  for (int i = 0; i < 3; ++i) mgr().update(1.0f / 60);
  ASSERT_EQ(run("s = sound:load('h.ogg', false)"), "");
  EXPECT_EQ(evalNumber("s:get_nchannel()"), 1);
}

}  // namespace
