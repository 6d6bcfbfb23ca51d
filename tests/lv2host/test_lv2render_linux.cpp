// The built plug-in rendered through both of its formats: the LV2 plug-in driven
// by the lilv host (time:Position per run, control ports, state extension) must
// send exactly the MIDI the VST 2.4 plug-in sends for the same state and transport,
// event for event and block for block.
#include "Lv2Render.h"
#include "VstHostSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

#ifdef TAV_LV2_BUNDLE
const char* const BUNDLE = TAV_LV2_BUNDLE;
#else
const char* const BUNDLE = nullptr;
#endif
constexpr int MAX_BLOCK = 1024;

// The plug-in in both formats, opened and given the same state and --set values.
struct BothFormats {
  VstHost vst;
  Lv2Host lv2;
  VstRenderTarget vstTarget{vst};
  Lv2RenderTarget lv2Target{lv2};

  void Open(const std::vector<uint8_t>& state, const RenderSettings& s = RenderSettings())
  {
    ASSERT_TRUE(vst.Load(TestPluginPath())) << vst.Error();
    ASSERT_TRUE(vst.Open(s.sampleRate, MAX_BLOCK)) << vst.Error();
    ASSERT_TRUE(lv2.Load(BUNDLE)) << lv2.Error();
    ASSERT_TRUE(lv2.Open(s.sampleRate, MAX_BLOCK)) << lv2.Error();
    std::string error;
    if (!state.empty()) {
      ASSERT_TRUE(vst.SetChunk(state, true));
    }
    ASSERT_TRUE(PreparePlugin(vst, s, error)) << error;
    ASSERT_TRUE(PrepareLv2Plugin(lv2, state, s, error)) << error;
  }

  // Both renders of the settings; returns the events compared.
  size_t RenderAndCompare(const RenderSettings& s, const std::string& what)
  {
    RenderResult a, b;
    std::string error;
    EXPECT_TRUE(RenderTransport(vstTarget, s, a, error)) << error;
    EXPECT_TRUE(RenderTransport(lv2Target, s, b, error)) << error;
    EXPECT_EQ(FirstDifference(a.events, b.events, "VST", "LV2"), "") << what;
    EXPECT_EQ(a.blocks, b.blocks);
    return a.events.size();
  }
};

bool Unbuilt() { return TestPluginPath().empty() || !BUNDLE; }

TEST(Lv2Render, DefaultPresetAndDenseSettingsMatchTheVstRenderEventForEvent)
{
  if (Unbuilt()) GTEST_SKIP() << "the VST library or the LV2 bundle is not built";
  std::vector<ComparedSong> songs;
  std::string error;
  ASSERT_TRUE(ComparedSongs(songs, error)) << error;
  size_t compared = 0;
  for (size_t i = 0; i < songs.size(); ++i) {
    BothFormats both;
    const RenderSettings& s = songs[i].settings;
    ASSERT_NO_FATAL_FAILURE(both.Open(songs[i].state, s));
    // The state property holds exactly the VST side's program chunk.
    std::vector<uint8_t> vstChunk, lv2Chunk;
    ASSERT_TRUE(both.vst.GetChunk(vstChunk, false));
    ASSERT_TRUE(both.lv2.SaveState(lv2Chunk)) << both.lv2.Error();
    EXPECT_EQ(vstChunk, lv2Chunk) << "state " << i;
    compared += both.RenderAndCompare(s, "state " + std::to_string(i));
  }
  EXPECT_GT(compared, 300u);
  std::printf("events compared: %zu\n", compared);
}

// Random transports: jumps, stops and restarts, tempo and signature changes and
// block lengths from 1 frame up, the same script for both formats.
TEST(Lv2Render, RandomScriptsOfJumpsStopsAndTempoChangesMatchBlockForBlock)
{
  if (Unbuilt()) GTEST_SKIP() << "the VST library or the LV2 bundle is not built";
  size_t compared = 0;
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    std::mt19937 rng(seed);
    BothFormats both;
    ASSERT_NO_FATAL_FAILURE(both.Open(seed % 2 ? DenseState(seed) : std::vector<uint8_t>()));
    RenderBlock b;
    std::vector<MidiEventAt> a, l;
    for (int block = 0; block < 1500; ++block) {
      unsigned r = rng() % 100;
      if (r < 3) b.samplePos = rng() % (44100 * 40);
      else if (r < 5) b.playing = !b.playing;
      else if (r < 9) b.tempo = std::uniform_real_distribution<double>(40.0, 240.0)(rng);
      else if (r < 12) {
        b.sigNumerator = 1 + static_cast<int>(rng() % 12);
        b.sigDenominator = 1 << (rng() % 5);
      }
      b.frames = rng() % 3 ? 1 + static_cast<int>(rng() % MAX_BLOCK) : 512;
      a.clear();
      l.clear();
      std::string error;
      ASSERT_TRUE(both.vstTarget.ProcessBlock(b, a, error)) << error;
      ASSERT_TRUE(both.lv2Target.ProcessBlock(b, l, error)) << error;
      std::string diff = FirstDifference(a, l, "VST", "LV2");
      ASSERT_EQ(diff, "") << "seed " << seed << ", block " << block << " at " << b.samplePos << " (" << b.frames
                          << " frames, " << b.tempo << " bpm, " << b.sigNumerator << "/" << b.sigDenominator
                          << (b.playing ? ", playing" : ", stopped") << ")";
      compared += a.size();
      if (b.playing) b.samplePos += b.frames;
    }
  }
  EXPECT_GT(compared, 1000u);
  std::printf("events compared: %zu\n", compared);
}

} // namespace
