// The plug-in base: parameter definition, display and normalisation, parameter
// serialisation, programs, channel configurations and host identification.

#include "GuiTestPlug.h"
#include "TestPlug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace {
std::string Display(const IPlugParam& p, double v, bool normalized = false)
{
  char buf[IPlugParam::MAX_PARAM_DISPLAY_LEN];
  p.FormatDisplay(buf, v, normalized);
  return buf;
}

struct PlugBaseTest : ::testing::Test {
  RecordingHost host;
  std::unique_ptr<TestPlug> plug = std::make_unique<TestPlug>();
  void SetUp() override { plug->AttachHost(&host); }
};
} // namespace

TEST(PlugParam, DefinitionsSetTypeOnceAndDerivePrecision)
{
  IPlugParam d;
  d.DefineDouble("Gain", 0.5, 0.0, 1.0, 0.01);
  EXPECT_EQ(d.Type(), IPlugParam::kTypeDouble);
  EXPECT_EQ(d.GetPrecision(), 2);

  IPlugParam tiny;
  tiny.DefineDouble("Tiny", 0.0, 0.0, 1.0, 1e-9);
  EXPECT_EQ(tiny.GetPrecision(), 6);

  IPlugParam i;
  i.DefineInt("Int", 3, 2, 2); // max below min + step grows to min + step
  EXPECT_EQ(i.Type(), IPlugParam::kTypeInt);
  EXPECT_EQ(i.GetPrecision(), 0);
  EXPECT_EQ(i.GetMax(), 3.0);
  EXPECT_EQ(i.Value(), 3.0);

  IPlugParam b;
  b.DefineBool("B", true);
  b.DefineInt("B2", 0, 0, 5); // a type set earlier stays
  EXPECT_EQ(b.Type(), IPlugParam::kTypeBool);
  EXPECT_STREQ(b.GetName(), "B2");
}

TEST(PlugParam, FormatDisplay)
{
  IPlugParam gain;
  gain.DefineDouble("Gain", 0.0, 0.0, 1.0, 0.01);
  EXPECT_EQ(Display(gain, 0.25), "0.25");
  EXPECT_EQ(Display(gain, 0.0), "0"); // zero ignores the precision
  EXPECT_EQ(Display(gain, 0.5, true), "0.50");

  IPlugParam tiny;
  tiny.DefineDouble("Tiny", 0.0, 0.0, 1.0, 1e-9);
  EXPECT_EQ(Display(tiny, 0.1234567), "0.123457");

  IPlugParam count;
  count.DefineInt("Count", 0, -10, 10);
  EXPECT_EQ(Display(count, 3.7), "3"); // integer part
  EXPECT_EQ(Display(count, -2.9), "-2");
  EXPECT_EQ(Display(count, 0.75, true), "5"); // -10 + 0.75 * 20, not rounded

  IPlugParam onOff;
  onOff.DefineBool("On", false);
  EXPECT_EQ(Display(onOff, 0.0), "off");
  EXPECT_EQ(Display(onOff, 1.0), "on");
  EXPECT_EQ(Display(onOff, 0.9), "off"); // texts are found by the truncated value

  IPlugParam shape;
  shape.DefineEnum("Shape", 0, 3);
  shape.AddDisplayText(0, "Sine");
  shape.AddDisplayText(2, "");
  shape.AddDisplayText(2, "Square"); // only the first entry for a value counts
  EXPECT_EQ(Display(shape, 0.0), "Sine");
  EXPECT_EQ(Display(shape, 2.0), "2"); // its text is empty: shown as a number
  EXPECT_EQ(Display(shape, 1.0), "1");
  const std::string huge = Display(shape, 1e300); // beyond int: no overflow, no overrun
  EXPECT_EQ(huge.size(), 31u);
  EXPECT_EQ(huge.substr(0, 6), "100000");
}

TEST(PlugParam, NormalisationRoundsEveryTypeButDouble)
{
  IPlugParam i;
  i.DefineInt("I", 0, 0, 1);
  i.SetFromNormalized(0.49);
  EXPECT_EQ(i.Value(), 0.0);
  i.SetFromNormalized(0.5);
  EXPECT_EQ(i.Value(), 1.0);

  IPlugParam blank; // undefined type: 0..1, step 1, rounded as well
  blank.SetFromNormalized(0.7);
  EXPECT_EQ(blank.Value(), 1.0);
  blank.SetFromNormalized(0.3);
  EXPECT_EQ(blank.Value(), 0.0);

  IPlugParam d;
  d.DefineDouble("D", 0, 10, 20, 1.0);
  d.SetFromNormalized(0.33);
  EXPECT_DOUBLE_EQ(d.Value(), 13.3);
  EXPECT_DOUBLE_EQ(d.ToNormalized(), 0.33);
  d.Set(25.0);
  EXPECT_EQ(d.ToNormalized(), 1.0);

  IPlugParam e;
  e.DefineEnum("E", 0, 5);
  e.SetFromNormalized(1.0);
  EXPECT_EQ(e.Value(), 4.0);
  // Host values outside 0..1 stay inside the range (an enum below 0 would index
  // past its tables).
  e.SetFromNormalized(-0.5);
  EXPECT_EQ(e.Value(), 0.0);
  e.SetFromNormalized(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(e.Value(), 0.0);
  e.SetFromNormalized(7.0);
  EXPECT_EQ(e.Value(), 4.0);
}

TEST_F(PlugBaseTest, ChannelConfigurationString)
{
  EXPECT_EQ(plug->NInChannels(), 2);
  EXPECT_EQ(plug->NOutChannels(), 2);
  EXPECT_TRUE(plug->LegalIO(1, -1));
  EXPECT_TRUE(plug->LegalIO(2, 2));
  EXPECT_FALSE(plug->LegalIO(1, 2));

  TestPlug odd("0-1 x-3 4");
  EXPECT_EQ(odd.NChannelIO(), 3);
  EXPECT_EQ(odd.NInChannels(), 4);
  EXPECT_EQ(odd.NOutChannels(), 1); // "x-3" does not parse: (0, 0)
  EXPECT_TRUE(odd.LegalIO(0, 0));
  EXPECT_FALSE(odd.LegalIO(-1, 3));
}

TEST_F(PlugBaseTest, UnserializeRunsOutOfData)
{
  plug->GetParam(4)->Set(1.5);
  IStateChunk chunk;
  chunk.Append(0.75);
  chunk.Append(9.0); // above "Count"'s maximum: clamped
  chunk.Append(std::numeric_limits<double>::quiet_NaN());
  plug->mChanged.clear();

  EXPECT_EQ(plug->UnserializeParams(chunk, 0, false), -1);
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.75);
  EXPECT_EQ(plug->GetParam(1)->Value(), 1.0);
  EXPECT_EQ(plug->GetParam(2)->Value(), 0.0); // NaN lands on the minimum
  EXPECT_EQ(plug->GetParam(3)->Value(), 0.0); // ran out here: 0 clamped into 0..1
  EXPECT_EQ(plug->GetParam(4)->Value(), 1.5); // not touched
  EXPECT_EQ(plug->mChanged, (std::vector<int>{0, 1, 2, 3, 4}));

  // Ran out at "Fine" (0.5..2): 0 clamped to its minimum.
  IStateChunk four;
  for (int i = 0; i < 4; ++i) four.Append(0.0);
  EXPECT_EQ(plug->UnserializeParams(four, 0, false), -1);
  EXPECT_EQ(plug->GetParam(4)->Value(), 0.5);

  // A start of -1 reads nothing but still runs every hook.
  plug->mChanged.clear();
  EXPECT_EQ(plug->UnserializeParams(chunk, -1, true), -1);
  EXPECT_EQ(plug->mChanged.size(), 5u);
}

TEST(PlugBase, AnnouncedAndAppendedParameters)
{
  TestPlug plug("1-1 2-2", 60);
  for (int i = 0; i < 190; ++i) plug.AppendParam()->DefineDouble("x", i, 0, 1000, 1);
  ASSERT_EQ(plug.NParams(), 250);
  EXPECT_EQ(plug.NParamsToSerialize(), 60);

  IStateChunk all, announced;
  EXPECT_TRUE(plug.SerializeParams(all, true));
  EXPECT_TRUE(plug.SerializeParams(announced, false));
  EXPECT_EQ(all.Size(), 2000);
  EXPECT_EQ(announced.Size(), 480);
  double v = 0;
  EXPECT_EQ(all.Read(v, 8 * 249), 2000);
  EXPECT_EQ(v, 189.0);

  plug.EnsureDefaultPreset();
  plug.mChanged.clear();
  EXPECT_TRUE(plug.RestorePreset(0));
  EXPECT_EQ(plug.mChanged.size(), 250u);
}

TEST_F(PlugBaseTest, Programs)
{
  EXPECT_STREQ(plug->GetPresetName(0), "- 1 -");
  EXPECT_STREQ(plug->GetPresetName(5), "- 6 -");
  EXPECT_STREQ(plug->GetPresetName(6), "");
  plug->EnsureDefaultPreset();
  EXPECT_STREQ(plug->GetPresetName(0), "Default");

  // Empty slots take the current values under "user preset N".
  plug->GetParam(0)->Set(0.5);
  EXPECT_TRUE(plug->RestorePreset(1));
  EXPECT_TRUE(plug->RestorePreset(2));
  EXPECT_STREQ(plug->GetPresetName(1), "user preset 1");
  EXPECT_STREQ(plug->GetPresetName(2), "user preset 2");
  EXPECT_TRUE(plug->RestorePreset(3));
  EXPECT_STREQ(plug->GetPresetName(3), "user preset 3");
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 3);

  // An initialised slot loads its values.
  EXPECT_TRUE(plug->RestorePreset(0));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.25);
  EXPECT_TRUE(plug->RestorePreset(1));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.5);

  // Out of range: ignored.
  EXPECT_FALSE(plug->RestorePreset(6));
  EXPECT_FALSE(plug->RestorePreset(-1));
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 1);

  plug->GetParam(0)->Set(0.9);
  plug->ModifyCurrentPreset("Bright");
  plug->ModifyCurrentPreset(""); // an empty name keeps the old one
  EXPECT_STREQ(plug->GetPresetName(1), "Bright");
  plug->GetParam(0)->Set(0.1);
  EXPECT_TRUE(plug->RestorePreset(1));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.9);

  TestPlug none("1-1", 5, 0);
  none.EnsureDefaultPreset();
  ASSERT_EQ(none.NPresets(), 1);
  EXPECT_STREQ(none.GetPresetName(0), "Default");
}

TEST(PlugBase, HostIds)
{
  EXPECT_EQ(IPlugBase::FindHostId("REAPER"), kHostReaper);
  EXPECT_EQ(IPlugBase::FindHostId("Cubase Live Edition"), kHostCubase); // the earlier word wins
  EXPECT_EQ(IPlugBase::FindHostId("Ableton Live"), kHostAbletonLive);
  EXPECT_EQ(IPlugBase::FindHostId("Bidule"), kHostUnknown);
  EXPECT_EQ(IPlugBase::FindHostId(""), kHostUnknown);
  EXPECT_EQ(IPlugBase::FindHostId(nullptr), kHostUnknown);
}

TEST_F(PlugBaseTest, ParameterFromGuiInformsHost)
{
  plug->mChanged.clear();
  plug->SetParameterFromGUI(2, 1.0);
  EXPECT_EQ(plug->GetParam(2)->Value(), 2.0);
  EXPECT_EQ(plug->mChanged, std::vector<int>{2});
  EXPECT_EQ(host.mHostCalls, std::vector<std::string>{"a2=1.000000"});

  plug->SetParameterFromGUI(99, 0.5); // ignored
  EXPECT_EQ(host.mHostCalls.size(), 1u);
}

TEST_F(PlugBaseTest, BlockSizeAndConnections)
{
  EXPECT_EQ(plug->GetBlockSize(), 1024);
  plug->SetBlockSize(256);
  EXPECT_EQ(plug->GetBlockSize(), 256);
  // Sizes the scratch buffers cannot take are ignored.
  plug->SetBlockSize(0);
  plug->SetBlockSize(-64);
  plug->SetBlockSize(IPlugBase::MAX_BLOCK_SIZE + 1);
  EXPECT_EQ(plug->GetBlockSize(), 256);

  plug->SetInputConnections(0, 2, true);
  plug->SetOutputConnections(0, 2, true);
  EXPECT_TRUE(plug->IsInChannelConnected(1));
  plug->SetInputConnections(1, 100, false);
  EXPECT_FALSE(plug->IsInChannelConnected(1));
  EXPECT_TRUE(plug->IsInChannelConnected(0));
  plug->SetOutputConnections(-5, 6, false);
  EXPECT_FALSE(plug->IsOutChannelConnected(0));
  EXPECT_TRUE(plug->IsOutChannelConnected(1));
}
