// The LV2 adapter around the real plug-in class: runs of any length with
// position and MIDI events anywhere, hostile input and small output buffers,
// the transport cut at events, the state property and the UI's way to the
// plug-in.
#include "AllocCounter.h"
#include "Lv2TestHost.h"
#include "Tavrinel.h"
#include "TestSeed.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>

namespace {

const LV2_Descriptor* Desc() { return IPlugLV2::Descriptor<Tavrinel>(0, Tavrinel::PLUG_LV2_URI); }
constexpr int NUM_CONTROLS = kStepDir + 1;

IPlugLV2* Plug(Lv2TestHost& host) { return static_cast<IPlugLV2*>(host.Handle()); }

// Absolute-time events of a whole render.
struct At {
  int64_t sample;
  uint32_t size;
  uint8_t b0, b1, b2;
  bool operator==(const At& o) const
  {
    return sample == o.sample && size == o.size && b0 == o.b0 && b1 == o.b1 && b2 == o.b2;
  }
};

void Append(std::vector<At>& all, const std::vector<Lv2Event>& evs, int64_t base)
{
  for (const Lv2Event& e : evs) all.push_back({base + e.frame, e.size, e.bytes[0], e.bytes[1], e.bytes[2]});
}

// The ports hold what the parameters hold.
void SyncControls(Lv2TestHost& host)
{
  for (int i = 0; i < NUM_CONTROLS; ++i) host.Control(i) = static_cast<float>(Plug(host)->GetParam(i)->Value());
}

// A busy pattern through the control ports: fast notes, swing, humanising.
void MakeBusy(Lv2TestHost& host)
{
  SyncControls(host);
  host.Control(kTimeUnits) = 16; // "1/32t"
  host.Control(kSwing) = 0.5f;
  host.Control(kHuman) = 0.5f;
  host.Control(kVelJitt) = 40;
}

} // namespace

TEST(Lv2Adapter, DescribesItselfAndRefusesAHostWithoutUridMap)
{
  ASSERT_NE(Desc(), nullptr);
  EXPECT_STREQ(Desc()->URI, "urn:quellbrook:tavrinel");
  EXPECT_EQ(IPlugLV2::Descriptor<Tavrinel>(1, Tavrinel::PLUG_LV2_URI), nullptr);
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(Desc()->instantiate(Desc(), 48000, "/", none), nullptr);
  Lv2TestHost host(Desc(), 48000, 512, NUM_CONTROLS);
  ASSERT_NE(host.Handle(), nullptr);
  EXPECT_EQ(Plug(host)->NControlPorts(), NUM_CONTROLS);
}

// Random runs: lengths 0..3 blocks, positions (jumps, stops, tempi, signatures)
// and MIDI/junk events at random frames, control values in and out of range,
// output rooms from none to ample. Nothing is allocated once warm, the output
// never passes its room, and it is always a valid sequence of short MIDI
// messages in time order inside the run.
TEST(Lv2Adapter, AnyRunKeepsItsOutputValidAndAllocatesNothing)
{
  std::mt19937 rng(20261207);
  Lv2TestHost host(Desc(), 44100, 512, NUM_CONTROLS);
  ASSERT_NE(host.Handle(), nullptr);
  MakeBusy(host);
  const LV2_URID junkType = host.Urids().Map("urn:junk");
  const LV2_URID objectType = host.Urids().Map(LV2_ATOM__Object);
  host.Run(512, 1 << 16); // warm-up
  int64_t pos = 0;
  int notes = 0, dropped = 0;
  for (int iter = 0; iter < 3000; ++iter) {
    const uint32_t n = std::uniform_int_distribution<uint32_t>(0, 1600)(rng);
    std::vector<int64_t> at;
    for (int k = std::uniform_int_distribution<int>(0, 4)(rng); k > 0; --k)
      at.push_back(std::uniform_int_distribution<int64_t>(0, n)(rng));
    std::sort(at.begin(), at.end());
    for (int64_t f : at) {
      switch (rng() % 4) {
        case 0: {
          if (rng() % 3 == 0) pos = std::uniform_int_distribution<int64_t>(-50000, 1LL << 33)(rng);
          const double bpm = std::uniform_real_distribution<double>(1, 999)(rng);
          host.AddPosition(f, pos, rng() % 5 ? 1.0 : 0.0, bpm, 1 + rng() % 12, 1 << (rng() % 5));
          break;
        }
        case 1: {
          const uint8_t msg[3] = {static_cast<uint8_t>(0x80 + rng() % 0x80), static_cast<uint8_t>(rng() % 128),
                                  static_cast<uint8_t>(rng() % 128)};
          host.AddMidi(f, msg, 1 + rng() % 3);
          break;
        }
        default: {
          uint8_t junk[24];
          for (uint8_t& b : junk) b = static_cast<uint8_t>(rng());
          host.AddRaw(f, rng() % 2 ? junkType : objectType, junk, rng() % 25);
        }
      }
    }
    if (rng() % 10 == 0) {
      const int p = static_cast<int>(rng() % NUM_CONTROLS);
      const float values[] = {-1e9f, 0.0f, 0.37f, 3.0f, 1e9f, std::numeric_limits<float>::quiet_NaN()};
      host.Control(p) = rng() % 2 ? values[rng() % 6] : static_cast<float>(Plug(host)->GetParam(p)->Value());
    }
    const uint32_t capacity = rng() % 4 ? 1 << 16 : static_cast<uint32_t>(rng() % 400);
    bool valid = false, guard = false;
    std::vector<Lv2Event> out;
    out = host.Run(n, capacity, &valid, &guard);
    ASSERT_EQ(host.RunAllocations(), 0u) << "run " << iter;
    ASSERT_TRUE(valid) << "run " << iter;
    ASSERT_TRUE(guard) << "run " << iter;
    for (const Lv2Event& e : out) {
      if (e.size == 3 && (e.bytes[0] & 0xF0) == 0x90) {
        ASSERT_GE(e.bytes[2], 1);
        ++notes;
      }
    }
    pos += n;
  }
  dropped = static_cast<int>(Plug(host)->DroppedMidiEvents());
  EXPECT_GT(notes, 100);
  EXPECT_GT(dropped, 0); // the small rooms were really tried
}

// A continuous transport gives the same notes whether the host says where it is
// at every run or only now and then, in runs of one length or of any, with
// positions mid-run that agree with it: cutting a run at an event moves nothing.
TEST(Lv2Adapter, CuttingRunsAtPositionsChangesNoNote)
{
  std::mt19937 rng(7);
  for (double bpm : {96.0, 133.0}) {
    std::vector<At> reference, cut;
    const int64_t total = 44100 * 12;
    {
      Lv2TestHost host(Desc(), 44100, 512, NUM_CONTROLS);
      MakeBusy(host);
      for (int64_t done = 0; done < total; done += 512) {
        host.AddPosition(0, done, 1.0, bpm, 4, 4);
        Append(reference, host.Run(512, 1 << 16), done);
      }
    }
    {
      Lv2TestHost host(Desc(), 44100, 512, NUM_CONTROLS);
      MakeBusy(host);
      int64_t done = 0;
      bool first = true;
      while (done < total) {
        const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(total - done, 1 + rng() % 3000));
        if (first || rng() % 4 == 0) {
          const uint32_t f = first ? 0 : static_cast<uint32_t>(rng() % n);
          host.AddPosition(f, done + f, 1.0, bpm, 4, 4);
          first = false;
        }
        Append(cut, host.Run(n, 1 << 16), done);
        done += n;
      }
    }
    ASSERT_GT(reference.size(), 300u);
    ASSERT_EQ(reference.size(), cut.size()) << bpm;
    for (size_t i = 0; i < reference.size(); ++i) ASSERT_TRUE(reference[i] == cut[i]) << "event " << i << " at " << bpm;
  }
}

// The state property carries the host chunk; a fresh instance restored from it
// saves the same bytes and plays the same notes. Damaged, mistyped and
// oversized values are refused or survived, never trusted past their end.
TEST(Lv2Adapter, StateRoundTripsAndSurvivesAnyBytes)
{
  std::mt19937 rng(99);
  std::vector<uint8_t> saved, again;
  std::vector<At> first, second;
  auto setPorts = [](Lv2TestHost& host) {
    SyncControls(host);
    host.Control(kSwing) = 0.75f;
    host.Control(kTonic) = 55;
  };
  {
    Lv2TestHost host(Desc(), 48000, 256, NUM_CONTROLS);
    setPorts(host);
    host.Run(0, 1 << 16);
    ASSERT_EQ(host.Save(saved), LV2_STATE_SUCCESS);
    IStateChunk chunk;
    ASSERT_TRUE(Plug(host)->SerializeHostChunk(chunk));
    ASSERT_EQ(saved, std::vector<uint8_t>(chunk.GetBytes(), chunk.GetBytes() + chunk.Size()));
  }
  {
    Lv2TestHost host(Desc(), 48000, 256, NUM_CONTROLS);
    setPorts(host);
    for (int64_t done = 0; done < 48000 * 4; done += 256) Append(first, host.Run(256, 1 << 16), done);
  }
  {
    // The ports hold other values: after a restore they do not put them back.
    Lv2TestHost host(Desc(), 48000, 256, NUM_CONTROLS);
    ASSERT_EQ(host.Restore(saved), LV2_STATE_SUCCESS);
    EXPECT_EQ(Plug(host)->GetParam(kTonic)->Value(), 55);
    ASSERT_EQ(host.Save(again), LV2_STATE_SUCCESS);
    EXPECT_EQ(saved, again);
    for (int64_t done = 0; done < 48000 * 4; done += 256) Append(second, host.Run(256, 1 << 16), done);
    EXPECT_EQ(Plug(host)->GetParam(kSwing)->Value(), 0.75);
  }
  EXPECT_GT(first.size(), 10u);
  EXPECT_TRUE(first == second);

  Lv2TestHost host(Desc(), 48000, 256, NUM_CONTROLS);
  EXPECT_EQ(host.Restore(saved, host.Urids().Map(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_NE(host.Restore(saved, 0, size_t(IPlugBase::MAX_CHUNK_SIZE) + 1), LV2_STATE_SUCCESS);
  for (int i = 0; i < 400; ++i) {
    std::vector<uint8_t> bad = saved;
    if (rng() % 2) bad.resize(rng() % bad.size());
    for (int k = rng() % 16; k > 0 && !bad.empty(); --k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
    host.Restore(bad);
    bool valid = false;
    host.Run(300, 1 << 16, &valid);
    ASSERT_TRUE(valid);
  }
  ASSERT_EQ(host.Restore(saved), LV2_STATE_SUCCESS);
  ASSERT_EQ(host.Save(again), LV2_STATE_SUCCESS);
  EXPECT_EQ(saved, again);
}

// A port the host changes reaches the parameter at the next run; a restore in
// between wins over ports that merely still hold older values.
TEST(Lv2Adapter, ControlPortsSetPlainValues)
{
  Lv2TestHost host(Desc(), 44100, 512, NUM_CONTROLS);
  SyncControls(host);
  host.Control(kTonic) = 61.6f;   // an integer port rounds
  host.Control(kSwing) = 7.0f;    // past the maximum: clamped
  host.Control(kMode) = 3.0f;
  host.Run(64, 1 << 12);
  // The plug-in's own parameters follow the audio thread's when next locked.
  auto value = [&](int idx) {
    IPlugBase::MutexLock lock(Plug(host)->GetMutex());
    return Plug(host)->GetParam(idx)->Value();
  };
  EXPECT_EQ(value(kTonic), 62);
  EXPECT_EQ(value(kSwing), Plug(host)->GetParam(kSwing)->GetMax());
  EXPECT_EQ(value(kMode), 3);
}

// Without instance-access the UI says why it cannot show the editor and gives
// no widget; with it, and no display, it does not crash either.
TEST(Lv2Adapter, UiWithoutInstanceAccessSaysSoInsteadOfCrashing)
{
  const LV2UI_Descriptor* ui = IPlugLV2::UIDescriptor(0, Tavrinel::PLUG_LV2_UI_URI);
  ASSERT_NE(ui, nullptr);
  EXPECT_STREQ(ui->URI, "urn:quellbrook:tavrinel#ui");
  EXPECT_NE(ui->extension_data(LV2_UI__idleInterface), nullptr);
  LV2UI_Widget widget = nullptr;
  const LV2_Feature* none[] = {nullptr};
  testing::internal::CaptureStderr();
  EXPECT_EQ(ui->instantiate(ui, Tavrinel::PLUG_LV2_URI, "/", nullptr, nullptr, &widget, none), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("instance-access"), std::string::npos);
  EXPECT_EQ(widget, nullptr);
}

// Deactivating and activating again without a new position: the host's last
// transport holds. A playing instance plays on exactly as an uninterrupted
// one, except that what sounded at the suspension ends at the first frame
// after it, ahead of anything else (in the order its note-offs were queued);
// a stopped one stays silent. (125 bpm makes a "1/32t" pulse 882 samples: the
// clock's reset at deactivation drops no fraction of a sample.)
TEST(Lv2Adapter, ReactivationKeepsThePlaceAndEndsWhatSounded)
{
  const unsigned seed = TestSeed();
  std::mt19937 rng(seed);
  for (const double speed : {1.0, 0.0}) {
    const int blocks = 200, cutAt = 20 + int(rng() % 150);
    std::vector<At> reference, resumed;
    for (const bool suspend : {false, true}) {
      Lv2TestHost host(Desc(), 44100, 512, NUM_CONTROLS);
      MakeBusy(host);
      host.Control(kLengthUnits) = 3;  // "1/8": notes sound across blocks
      host.AddPosition(0, 1234567, speed, 125, 4, 4);
      for (int b = 0; b < blocks; ++b) {
        if (suspend && b == cutAt) {
          Desc()->deactivate(host.Handle());
          Desc()->activate(host.Handle());
        }
        Append(suspend ? resumed : reference, host.Run(512, 1 << 16), int64_t(b) * 512);
      }
    }
    if (speed == 0.0) {
      EXPECT_TRUE(reference.empty() && resumed.empty()) << "seed " << seed;
      continue;
    }
    // The uninterrupted run, with the note-offs of what sounded moved to the cut.
    const int64_t cut = int64_t(cutAt) * 512;
    std::map<int, bool> sounding;
    std::vector<At> expected, moved;
    for (const At& e : reference) {
      const int key = (e.b0 & 0x0F) * 128 + e.b1;
      const bool on = (e.b0 & 0xF0) == 0x90;
      if (e.sample >= cut && !on && sounding[key]) {
        moved.push_back({cut, e.size, e.b0, e.b1, e.b2});
        sounding[key] = false;
        continue;
      }
      if (e.sample < cut) sounding[key] = on;
      expected.push_back(e);
    }
    ASSERT_FALSE(moved.empty()) << "seed " << seed;
    const auto at = std::find_if(expected.begin(), expected.end(), [cut](const At& e) { return e.sample >= cut; });
    expected.insert(at, moved.begin(), moved.end());
    ASSERT_EQ(resumed.size(), expected.size()) << "seed " << seed;
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_TRUE(resumed[i] == expected[i]) << "event " << i << " seed " << seed;
  }
}

// A song edit made in the editor (user input: the pattern changes under the
// mutex) reaches the host as one state:StateChanged at the start of the next
// run; a change outside user input (a restore, a port) sends none.
TEST(Lv2Adapter, SongEditsSendStateChangedOnce)
{
  Lv2TestHost host(Desc(), 44100, 512, NUM_CONTROLS);
  auto* plug = static_cast<Tavrinel*>(Plug(host));
  auto edit = [plug](int mask) {
    IPlugBase::MutexLock lock(plug->GetMutex());
    plug->mProgression.step(3).mMelodies[1].mPulses[0].setMask(mask);
  };
  bool valid = false;
  host.Run(512, 1 << 16);
  edit(7);
  host.Control(kSwing) = 0.75f;
  host.Run(512, 1 << 16);
  EXPECT_EQ(host.StateChanges(), 0);
  plug->BeginUserInput();
  edit(11);
  plug->EndUserInput(false);
  host.Run(512, 1 << 16, &valid);
  EXPECT_TRUE(valid);
  EXPECT_EQ(host.StateChanges(), 1);
  host.Run(512, 1 << 16);
  EXPECT_EQ(host.StateChanges(), 1);
}
