// The render tool's --preset path: the preset converter's state, restored into
// the built plug-in library like a host restores a project, plays what the
// plug-in plays after reading the preset itself.
#include "TavrinelTestRig.h"
#include "VstHostSupport.h"

#include "../../tools/vsthost/PresetState.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string PRESET = std::string(TAV_SOURCE_DIR) + "/resources/presets/Basics/Major Walk.preset";

struct NoteOn {
  int64_t sample;
  int key, velocity;
  bool operator==(const NoteOn& o) const { return sample == o.sample && key == o.key && velocity == o.velocity; }
};

std::string Converter()
{
  const std::string path = PresetConverterPath();
  return std::filesystem::exists(std::filesystem::u8path(path)) ? path : std::string();
}

} // namespace

TEST(PresetState, RenderOptionIsExclusiveWithState)
{
  const char* args[] = {"tavrinel_render", "--preset", "a.preset", "--bars", "2"};
  RenderSettings s;
  std::string error;
  ASSERT_TRUE(ParseRenderArgs(5, args, s, error)) << error;
  EXPECT_EQ(s.presetPath, "a.preset");
  const char* both[] = {"tavrinel_render", "--preset", "a.preset", "--state", "b.state"};
  EXPECT_FALSE(ParseRenderArgs(5, both, s, error));
  EXPECT_NE(error.find("--preset"), std::string::npos);
}

TEST(PresetState, ConvertedPresetPlaysAsTheReaderLoadsIt)
{
  const std::string plugin = TestPluginPath();
  const std::string converter = Converter();
  if (plugin.empty() || converter.empty()) GTEST_SKIP() << "plug-in or tavrinel_preset2state not built";

  std::vector<uint8_t> state;
  std::string error;
  ASSERT_TRUE(ConvertPresetToState(converter, PRESET, state, error)) << error;
  EXPECT_EQ(state.size(), 8u + 5676u);

  VstHost host;
  ASSERT_TRUE(host.Load(plugin)) << host.Error();
  ASSERT_TRUE(host.Open(44100.0, 512));
  ASSERT_TRUE(host.SetChunk(state, true));
  EXPECT_EQ(host.ParamDisplay(host.FindParam("Tonic")), "C4");
  EXPECT_EQ(host.ParamDisplay(host.FindParam("NumStep")), "8");
  RenderSettings s;
  s.bars = 4;
  RenderResult r;
  ASSERT_TRUE(RenderTransport(host, s, r, error)) << error;
  std::vector<NoteOn> rendered;
  for (const MidiEventAt& e : r.events)
    if ((e.status & 0xF0) == 0x90 && e.data2 > 0) rendered.push_back({e.sample, e.data1, e.data2});
  host.Close();

  TavrinelRig rig;
  ASSERT_TRUE(rig.plug->readPresetFile(PRESET.c_str()));
  std::vector<NoteOn> direct;
  for (int64_t start = 0; start < r.totalSamples; start += 512) {
    for (const IMidiMessage& m : rig.NoteOns(rig.Take(512)))
      if (start + m.mOffset < r.totalSamples) direct.push_back({start + m.mOffset, m.mData1, m.mData2});
  }
  ASSERT_EQ(rendered.size(), 40u);  // 32 eighths: the 8 steps once, five notes each
  EXPECT_TRUE(rendered == direct);
}

TEST(PresetState, ConverterFailuresAreReported)
{
  const std::string converter = Converter();
  if (converter.empty()) GTEST_SKIP() << "tavrinel_preset2state not built";
  std::vector<uint8_t> state;
  std::string error;
  EXPECT_FALSE(ConvertPresetToState(converter, PRESET + ".missing", state, error));
  EXPECT_NE(error.find("Major Walk.preset.missing"), std::string::npos) << error;
  EXPECT_TRUE(state.empty());
  EXPECT_FALSE(ConvertPresetToState(converter + ".missing", PRESET, state, error));
  EXPECT_NE(error.find("cannot run"), std::string::npos) << error;
}
