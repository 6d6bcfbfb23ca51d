// The host contract: what every format's wrapper must give the plug-in and
// its host alike, run against each wrapper through its driver (HostDriver.h).
// TAV_SEED=<n> replays a run.
#include "OffscreenEditor.h"
#include "PresetMenu.h"
#include "TavrinelEditor.h"
#include "TavrinelGui.h"
#include "TempDir.h"
#include "TestSeed.h"
#include "VstDriver.h"
#ifdef TAV_WITH_LV2
#include "Lv2Driver.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>

namespace {

template <class Driver>
struct HostContract : ::testing::Test {
  static std::unique_ptr<HostDriver> Make() { return std::make_unique<Driver>(); }
};

// Every wrapper this build has, by its driver.
#ifdef TAV_WITH_LV2
using Drivers = ::testing::Types<VstDriver, Lv2Driver>;
#else
using Drivers = ::testing::Types<VstDriver>;
#endif
TYPED_TEST_SUITE(HostContract, Drivers);

// A run's events at their sample from the start of the render.
void Append(std::vector<IMidiMessage>& all, std::vector<IMidiMessage> run, int base)
{
  for (IMidiMessage& m : run) m.mOffset += base;
  all.insert(all.end(), run.begin(), run.end());
}

std::vector<LICE_pixel> FirstPicture(IGraphicsOffscreen& g)
{
  g.OpenWindow(nullptr);
  g.OnTimer();
  const auto* bits = static_cast<const LICE_pixel*>(g.GetBits());
  return std::vector<LICE_pixel>(bits, bits + g.Width() * g.Height());
}

// A busy pattern: fast notes, swing, humanising.
void MakeBusy(HostDriver& host)
{
  host.SetParam(kTimeUnits, 16);  // "1/32t"
  host.SetParam(kSwing, 0.5);
  host.SetParam(kHuman, 0.5);
  host.SetParam(kVelJitt, 40);
}

} // namespace

// A host's value is plain once it arrives: integers round, the range holds.
TYPED_TEST(HostContract, ParameterChangesArriveInRange)
{
  auto host = TestFixture::Make();
  host->SetParam(kTonic, 61.6);
  host->SetParam(kSwing, 7.0);
  host->SetParam(kMode, 3.0);
  host->Run(64);
  Tavrinel& plug = host->Plug();
  IPlugBase::MutexLock lock(plug.GetMutex());  // takes in what the audio thread set
  EXPECT_EQ(plug.GetParam(kTonic)->Value(), 62);
  EXPECT_EQ(plug.GetParam(kSwing)->Value(), plug.GetParam(kSwing)->GetMax());
  EXPECT_EQ(plug.GetParam(kMode)->Value(), 3);
}

// A continuous transport gives the same notes whether the host says where it
// is at every block or now and then, in calls of one length or of any, with
// positions told inside a call that agree with it.
TYPED_TEST(HostContract, CuttingCallsAnywhereChangesNoNote)
{
  std::mt19937 rng(7);
  for (double bpm : {96.0, 133.0}) {
    std::vector<IMidiMessage> reference, cut;
    const int total = 44100 * 12;
    {
      auto host = TestFixture::Make();
      MakeBusy(*host);
      for (int done = 0; done < total; done += HostDriver::BLOCK) {
        host->SetTransport(done, bpm, true);
        Append(reference, host->Run(HostDriver::BLOCK), done);
      }
    }
    {
      auto host = TestFixture::Make();
      MakeBusy(*host);
      for (int done = 0, n = 0; done < total; done += n) {
        n = std::min<int>(total - done, 1 + int(rng() % 3000));
        const int at = done == 0 ? 0 : int(rng() % n);
        if (done == 0 || rng() % 4 == 0) host->SetTransport(done + at, bpm, true, at);
        Append(cut, host->Run(n), done);
      }
    }
    ASSERT_GT(reference.size(), 300u);
    ASSERT_EQ(reference, cut) << bpm;
  }
}

// The host keeps the header and the whole state; a fresh instance restored
// from it saves the same bytes and plays the same notes from the same place,
// whatever its ports held. Damaged and oversized states are refused or
// survived, never trusted past their end.
TYPED_TEST(HostContract, StateRoundTripsAndSurvivesAnyBytes)
{
  constexpr int START = 3 * 11025 + 100;
  auto customise = [](HostDriver& host) {
    host.SetParam(kSwing, 0.75);
    host.SetParam(kTonic, 55);
    host.SetParam(kVel, 90);
    Tavrinel& plug = host.Plug();
    IPlugBase::MutexLock lock(plug.GetMutex());
    plug.mProgression.step(0).mMelodies[0].mPulses[1].setMask(9);
    plug.mProgression.step(3).mMelodies[0].mPulses[3].setMask(31);
  };
  auto play = [](HostDriver& host) {
    std::vector<IMidiMessage> all;
    host.SetTransport(START, 120.0, true);
    for (int b = 0; b < 300; ++b) Append(all, host.Run(HostDriver::BLOCK), b * HostDriver::BLOCK);
    return all;
  };
  std::vector<uint8_t> saved;
  std::vector<IMidiMessage> first;
  {
    auto host = TestFixture::Make();
    customise(*host);
    host->Run(0);
    saved = host->Save();
    IStateChunk chunk;
    ASSERT_TRUE(host->Plug().SerializeHostChunk(chunk));
    ASSERT_EQ(saved, std::vector<uint8_t>(chunk.GetBytes(), chunk.GetBytes() + chunk.Size()));
    ASSERT_EQ(saved.size(), 8u + 5676u);
    EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 8),
              (std::vector<uint8_t>{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
  }
  {
    auto host = TestFixture::Make();
    customise(*host);
    first = play(*host);
  }
  {
    auto host = TestFixture::Make();
    ASSERT_TRUE(host->Restore(saved));
    EXPECT_EQ(host->Plug().GetParam(kTonic)->Value(), 55);
    EXPECT_EQ(host->Save(), saved);
    EXPECT_EQ(play(*host), first);
    EXPECT_EQ(host->Plug().GetParam(kSwing)->Value(), 0.75);
  }
  EXPECT_GT(first.size(), 20u);
  EXPECT_NE(play(*TestFixture::Make()), first);  // without the state the same place plays otherwise

  std::mt19937 rng(99);
  auto host = TestFixture::Make();
  EXPECT_FALSE(host->Restore(saved, size_t(IPlugBase::MAX_CHUNK_SIZE) + 1));
  for (int i = 0; i < 400; ++i) {
    std::vector<uint8_t> bad = saved;
    if (rng() % 2) bad.resize(rng() % bad.size());
    for (int k = rng() % 16; k > 0 && !bad.empty(); --k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
    host->Restore(bad);
    host->Run(300);
  }
  ASSERT_TRUE(host->Restore(saved));
  EXPECT_EQ(host->Save(), saved);
}

// Deactivating and activating again: the host's transport holds. A playing
// instance plays on exactly as an uninterrupted one, except that what
// sounded at the suspension ends at the first frame after it, ahead of
// anything else (in the order its note-offs were queued); a stopped one stays
// silent. (125 bpm makes a "1/32t" pulse 882 samples: the clock's reset at
// the suspension drops no fraction of a sample.)
TYPED_TEST(HostContract, ReactivationKeepsThePlaceAndEndsWhatSounded)
{
  const unsigned seed = TestSeed();
  std::mt19937 rng(seed);
  for (const bool playing : {true, false}) {
    const int blocks = 200, cutAt = 20 + int(rng() % 150);
    std::vector<IMidiMessage> reference, resumed;
    for (const bool suspend : {false, true}) {
      auto host = TestFixture::Make();
      MakeBusy(*host);
      host->SetParam(kLengthUnits, 3);  // "1/8": notes sound across blocks
      host->SetTransport(1234567, 125, playing);
      for (int b = 0; b < blocks; ++b) {
        if (suspend && b == cutAt) host->Reactivate();
        Append(suspend ? resumed : reference, host->Run(HostDriver::BLOCK), b * HostDriver::BLOCK);
      }
    }
    if (!playing) {
      EXPECT_TRUE(reference.empty() && resumed.empty()) << "seed " << seed;
      continue;
    }
    // The uninterrupted run, with the note-offs of what sounded moved to the cut.
    const int cut = cutAt * HostDriver::BLOCK;
    std::map<int, bool> sounding;
    std::vector<IMidiMessage> expected, moved;
    for (const IMidiMessage& e : reference) {
      const int key = e.Channel() * 128 + e.NoteNumber();
      const bool on = e.StatusKind() == IMidiMessage::kNoteOn;
      if (e.mOffset >= cut && !on && sounding[key]) {
        moved.push_back(e);
        moved.back().mOffset = cut;
        sounding[key] = false;
        continue;
      }
      if (e.mOffset < cut) sounding[key] = on;
      expected.push_back(e);
    }
    ASSERT_FALSE(moved.empty()) << "seed " << seed;
    const auto at = std::find_if(expected.begin(), expected.end(), [cut](const IMidiMessage& e) { return e.mOffset >= cut; });
    expected.insert(at, moved.begin(), moved.end());
    ASSERT_EQ(resumed, expected) << "seed " << seed;
  }
}

// A song edit made in the editor (user input: the pattern changes under the
// mutex) reaches the host once; a change outside user input (a host's
// parameter, an edit by no user) tells it nothing.
TYPED_TEST(HostContract, SongEditsTellTheHostOnce)
{
  auto host = TestFixture::Make();
  Tavrinel& plug = host->Plug();
  auto edit = [&plug](int mask) {
    IPlugBase::MutexLock lock(plug.GetMutex());
    plug.mProgression.step(3).mMelodies[1].mPulses[0].setMask(mask);
  };
  host->Run(512);
  edit(7);
  host->SetParam(kSwing, 0.75);
  host->Run(512);
  EXPECT_EQ(host->SongNotices(), 0);
  plug.BeginUserInput();
  edit(11);
  plug.EndUserInput(false);
  host->Run(512);
  host->Run(512);
  EXPECT_EQ(host->SongNotices(), 1);
}

// Each open of the host's builds a new editor (off screen here) that shows
// what one built for a fresh instance with the same state and preset shows
// (values, defaults, name, pixels); its gestures reach the host; each close
// frees it and empties the grid's slots. An instance never opened builds none.
TYPED_TEST(HostContract, EachOpenShowsTheInstanceAsItIsAndEachCloseFreesIt)
{
  OffscreenEditorFactory factory;
  std::mt19937 rng(TestSeed());
  TempDir dir("tav_contract_");
  const Tavrinel constructed;
  auto host = TestFixture::Make();
  Tavrinel& plug = host->Plug();
  EXPECT_EQ(plug.GetGraphics(), nullptr);
  // No audio call until the end: the play markers it shows would set the editors apart.
  for (int round = 1; round <= 3; ++round) {
    {
      IPlugBase::MutexLock lock(plug.GetMutex());
      for (int i = 0; i < kNumHostParams; ++i) {
        plug.GetParam(i)->SetFromNormalized((rng() % 1001) / 1000.0);
        plug.OnParamChanged(i);
      }
      plug.GetParam(kStepOne)->SetFromNormalized(0.0);  // any step count then spans validly
      plug.OnParamChanged(kStepOne);
      for (int n = 0; n < 16; ++n)
        plug.mProgression.step(int(rng() % 12)).mMelodies[rng() % 4].mPulses[rng() % 4].setMask(int(rng() % 16));
    }
    const std::string preset = dir.path("round" + std::to_string(round) + ".preset");
    ASSERT_TRUE(plug.writePresetFile(preset.c_str()));

    ASSERT_TRUE(host->OpenEditor());
    ASSERT_EQ(factory.mBuilds, round);
    ASSERT_EQ(plug.GetGraphics(), factory.mLast);
    Tavrinel fresh;
    fresh.readPresetFile(preset.c_str());
    IStateChunk state;
    ASSERT_TRUE(plug.SerializeHostChunk(state));
    int32_t version = 0;
    ASSERT_GT(fresh.UnserializeHostChunk(state, version), 0);
    IGraphicsOffscreen* ref = BuildOffscreenEditor(fresh);
    IGraphicsOffscreen* g = factory.mLast;
    ASSERT_EQ(g->NControls(), ref->NControls());
    for (int i = 0; i < g->NControls(); ++i) {
      const IControl* c = g->GetControl(i);
      ASSERT_EQ(c->GetValue(), ref->GetControl(i)->GetValue()) << "round " << round << ", control " << i;
      const int p = c->ParamIdx();
      if (p < 0 || p >= kNumHostParams) continue;
      ASSERT_EQ(c->GetValue(), plug.GetParam(p)->ToNormalized()) << "control " << i;
      ASSERT_EQ(c->GetDefaultValue(), constructed.GetParam(p)->ToNormalized()) << "control " << i;
    }
    EXPECT_STRNE(plug.GetEditor()->GetPresetNameControl()->GetText(), "PRESET");
    EXPECT_STREQ(plug.GetEditor()->GetPresetNameControl()->GetText(), fresh.GetEditor()->GetPresetNameControl()->GetText());
    EXPECT_TRUE(FirstPicture(*g) == FirstPicture(*ref)) << "round " << round;

    plug.BeginEditFromGUI(kVel);
    plug.SetParameterFromGUI(kVel, 0.5);
    plug.EndOpenEdit();
    EXPECT_EQ(host->TakeEdits(), (std::vector<std::string>{"b5", "a5=64.000000", "e5"}));

    host->CloseEditor();
    EXPECT_EQ(plug.GetGraphics(), nullptr);
    EXPECT_EQ(plug.GetEditor(), nullptr);
    EXPECT_EQ(plug.GetGui()->GetCell(11, 3)->GetCanvas(), nullptr);
    EXPECT_EQ(plug.GetGui()->GetChordSpanControl(), nullptr);
  }
  EXPECT_EQ(factory.mWrongLocks, 0);
  for (int i = 0; i < 16; ++i) host->Run(2048);  // nothing reaches the freed controls
}
