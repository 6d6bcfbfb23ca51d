// The LV2 wrapper around the real plug-in class, where LV2 differs from other
// formats: ports, runs of any length with position and MIDI events anywhere,
// hostile input and small output buffers, the state property's type and the
// UI's way to the plug-in. What every wrapper owes is in
// tests/wrappers/test_host_contract.cpp.
#include "AllocCounter.h"
#include "IPlugLV2.h"
#include "Lv2TestHost.h"
#include "Tavrinel.h"

#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

const LV2_Descriptor* Desc() { return IPlugLV2::Descriptor<Tavrinel>(0, Tavrinel::PLUG_LV2_URI); }
constexpr int NUM_CONTROLS = kStepDir + 1;

IPlugLV2* Wrapper(Lv2TestHost& host) { return IPlugLV2::FromHandle(host.Handle()); }
Tavrinel* Plug(Lv2TestHost& host) { return &static_cast<Tavrinel&>(Wrapper(host)->Plug()); }

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

TEST(Lv2Adapter, DescribesItselfAndRefusesAHostWithoutUridMapOrAMistypedState)
{
  ASSERT_NE(Desc(), nullptr);
  EXPECT_STREQ(Desc()->URI, "urn:quellbrook:tavrinel");
  EXPECT_EQ(IPlugLV2::Descriptor<Tavrinel>(1, Tavrinel::PLUG_LV2_URI), nullptr);
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(Desc()->instantiate(Desc(), 48000, "/", none), nullptr);
  Lv2TestHost host(Desc(), 48000, 512, NUM_CONTROLS);
  ASSERT_NE(host.Handle(), nullptr);
  EXPECT_EQ(Wrapper(host)->NControlPorts(), NUM_CONTROLS);
  std::vector<uint8_t> saved;
  ASSERT_EQ(host.Save(saved), LV2_STATE_SUCCESS);
  EXPECT_EQ(host.Restore(saved, host.Urids().Map(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE);
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
  dropped = static_cast<int>(Wrapper(host)->DroppedMidiEvents());
  EXPECT_GT(notes, 100);
  EXPECT_GT(dropped, 0); // the small rooms were really tried
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
