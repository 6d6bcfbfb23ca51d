// The render tool's host against a stand-in plug-in, its MIDI file writer, its
// command line, and a whole render of the built plug-in.
#include "MixedEventList.h"
#include "VstHostSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- a stand-in plug-in, created through an entry function of its own ----
struct Fake {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  intptr_t versionAtCreation = 0;
  intptr_t canDoAtCreation = 0;
  char productAtCreation[64] = {};
  VstTimeInfo time{};
  bool gotTime = false;
  bool closed = false;
};
Fake gFake;

intptr_t TAV_VSTCALL FakeDispatcher(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  if (opcode == effClose) gFake.closed = true;
  return 0;
}

void TAV_VSTCALL FakeProcess(AEffect* e, float**, float**, int32_t)
{
  const VstTimeInfo* t = reinterpret_cast<const VstTimeInfo*>(gFake.host(e, audioMasterGetTime, 0, 0, nullptr, 0));
  gFake.gotTime = t != nullptr;
  if (t) gFake.time = *t;
  // Three entries: a note, a hole and an event of another type.
  MixedEventList events(5, 0x91, 64, 33);
  gFake.host(e, audioMasterProcessEvents, 0, 0, &events.list, 0);
}

AEffect* TAV_VSTCALL FakeEntry(audioMasterCallback host)
{
  gFake = Fake();
  gFake.host = host;
  // Asked before the host has a descriptor to go by.
  gFake.versionAtCreation = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0);
  gFake.canDoAtCreation = host(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>("sendVstMidiEvent"), 0);
  host(nullptr, audioMasterGetProductString, 0, 0, gFake.productAtCreation, 0);
  gFake.effect.magic = kEffectMagic;
  gFake.effect.dispatcher = FakeDispatcher;
  gFake.effect.processReplacing = FakeProcess;
  gFake.effect.flags = effFlagsCanReplacing;
  gFake.effect.numOutputs = 2;
  return &gFake.effect;
}

AEffect* TAV_VSTCALL NullEntry(audioMasterCallback) { return nullptr; }

AEffect* TAV_VSTCALL BadMagicEntry(audioMasterCallback)
{
  static AEffect bad{};
  bad.magic = 0x12345678;
  return &bad;
}

AEffect* TAV_VSTCALL NoDispatcherEntry(audioMasterCallback)
{
  static AEffect bad{};
  bad.magic = kEffectMagic;
  return &bad;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(VstHost, ReportsBadPathsMissingEntryPointsAndBadDescriptors)
{
  VstHost host;
  EXPECT_FALSE(host.Load("/no/such/folder/Plugin.so"));
  EXPECT_TRUE(Contains(host.Error(), "/no/such/folder/Plugin.so")) << host.Error();
  EXPECT_EQ(host.Effect(), nullptr);
#if defined(_WIN32)
  const char* notAPlugin = "kernel32.dll";
#else
  const char* notAPlugin = "libm.so.6";
#endif
  EXPECT_FALSE(host.Load(notAPlugin));
  EXPECT_TRUE(Contains(host.Error(), "neither VSTPluginMain nor main")) << host.Error();

  EXPECT_FALSE(host.Start(nullptr));
  EXPECT_FALSE(host.Start(NullEntry));
  EXPECT_TRUE(Contains(host.Error(), "returned no plug-in")) << host.Error();
  EXPECT_FALSE(host.Start(BadMagicEntry));
  EXPECT_TRUE(Contains(host.Error(), "magic 0x12345678")) << host.Error();
  EXPECT_FALSE(host.Start(NoDispatcherEntry));
  EXPECT_TRUE(Contains(host.Error(), "no dispatcher")) << host.Error();
  EXPECT_EQ(host.Effect(), nullptr);
  EXPECT_FALSE(host.Open(44100.0, 512));
  EXPECT_FALSE(host.Process(512));
}

TEST(VstHost, AnswersTheCallbackAndPlacesEventsOnTheTransport)
{
  VstHost host;
  ASSERT_TRUE(host.Start(FakeEntry)) << host.Error();
  EXPECT_EQ(gFake.versionAtCreation, 2400);
  EXPECT_EQ(gFake.canDoAtCreation, 1);
  EXPECT_STREQ(gFake.productAtCreation, "Tavrinel Render");
  ASSERT_TRUE(host.Open(48000.0, 256));

  // 90 bpm in 7/8: nine quarters in are 288000 samples; bars are 3.5 quarters long.
  VstTransport& t = host.Transport();
  t.tempo = 90.0;
  t.sigNumerator = 7;
  t.sigDenominator = 8;
  t.samplePos = 288000.0;
  ASSERT_TRUE(host.Process(256));
  ASSERT_TRUE(gFake.gotTime);
  EXPECT_EQ(gFake.time.samplePos, 288000.0);
  EXPECT_EQ(gFake.time.sampleRate, 48000.0);
  EXPECT_DOUBLE_EQ(gFake.time.ppqPos, 9.0);
  EXPECT_DOUBLE_EQ(gFake.time.barStartPos, 7.0);
  EXPECT_EQ(gFake.time.timeSigNumerator, 7);
  EXPECT_EQ(gFake.time.timeSigDenominator, 8);
  int32_t valid = kVstTempoValid | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid | kVstTransportPlaying;
  EXPECT_EQ(gFake.time.flags & valid, valid);
  ASSERT_EQ(host.Events().size(), 1u);
  EXPECT_EQ(host.Events()[0].position, 288005);
  EXPECT_EQ(host.Events()[0].bytes[0], 0x91);
  EXPECT_EQ(host.OtherEvents(), 1);
  EXPECT_EQ(t.samplePos, 288256.0);

  t.playing = false;
  ASSERT_TRUE(host.Process(100));
  EXPECT_EQ(gFake.time.flags & kVstTransportPlaying, 0);
  EXPECT_EQ(t.samplePos, 288256.0);
  t.timeInfo = false;
  ASSERT_TRUE(host.Process(1));
  EXPECT_FALSE(gFake.gotTime);
  EXPECT_FALSE(host.Process(257)); // more than the block size the plug-in was given

  host.Close();
  EXPECT_TRUE(gFake.closed);
}

// ---- the MIDI file ----
TEST(MidiFile, FormatZeroTrackWithSignatureTempoAndExactTicks)
{
  MidiTimeBase tb; // 120 bpm, 4/4, 44100 Hz: 22.96875 samples per tick
  std::vector<MidiEventAt> events = {
    {387345, 0x80, 72, 0},   // tick 16864: 16384 after the last, a three-byte delta
    {0, 0x90, 72, 100},
    {11025, 0xF8, 0, 0},     // real-time message: not in a file
    {11025, 0xC1, 5, 99},    // two bytes
  };
  int skipped = -1;
  std::vector<uint8_t> file = BuildMidiFile(events, tb, 387345 + 11025, "T", &skipped);
  EXPECT_EQ(skipped, 1);
  const std::vector<uint8_t> expected = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x03, 0xC0, 'M', 'T', 'r', 'k', 0, 0, 0, 39,
    0x00, 0xFF, 0x03, 0x01, 'T',                          // track name
    0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,                  // 4/4
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,             // 500000 us per quarter
    0x00, 0x90, 72, 100,                                  //
    0x83, 0x60, 0xC1, 5,                                  // tick 480
    0x81, 0x80, 0x00, 0x80, 72, 0,                        // tick 16864
    0x83, 0x60, 0xFF, 0x2F, 0x00,                         // end, 480 ticks later
  };
  EXPECT_EQ(file, expected);

  tb.tempo = 90.0;
  tb.sigNumerator = 7;
  tb.sigDenominator = 8;
  file = BuildMidiFile({}, tb, 0, "");
  const std::vector<uint8_t> meta = {0x00, 0xFF, 0x58, 0x04, 7, 3, 24, 8, 0x00, 0xFF, 0x51, 0x03, 0x0A, 0x2C, 0x2B};
  ASSERT_GE(file.size(), 22 + meta.size());
  EXPECT_TRUE(std::equal(meta.begin(), meta.end(), file.begin() + 22));
}

TEST(MidiFile, PositionsNamesAndSummary)
{
  MidiTimeBase tb;
  EXPECT_EQ(BarBeatTick(3840 + 960 + 5, tb), "2:2:005");
  tb.sigNumerator = 7;
  tb.sigDenominator = 8;
  EXPECT_EQ(BarBeatTick(7 * 480, tb), "2:1:000");
  EXPECT_EQ(BarBeatTick(500, tb), "1:2:020");
  EXPECT_EQ(SampleToTick(-5, tb), 0);

  // Key 60 struck twice before one release still sounds once.
  std::vector<MidiEventAt> ev = {{0, 0x90, 60, 90}, {10, 0x90, 60, 90}, {20, 0x80, 60, 0}, {30, 0x91, 50, 1},
                                 {40, 0x91, 50, 0}};
  NoteSummary s = SummariseNotes(ev);
  EXPECT_EQ(s.notes, 3);
  EXPECT_EQ(s.firstKey, 60);
  EXPECT_EQ(s.lastSample, 30);
  EXPECT_EQ(s.lowestKey, 50);
  EXPECT_EQ(s.highestKey, 60);
  EXPECT_EQ(s.stillSounding, 1);
  EXPECT_EQ(DescribeMidi(ev[3]), "note-on   ch 2  key 50  vel 1");
}

// ---- the command line ----
bool Parse(std::vector<const char*> args, RenderSettings& s, std::string& error)
{
  args.insert(args.begin(), "tavrinel_render");
  return ParseRenderArgs(static_cast<int>(args.size()), args.data(), s, error);
}

TEST(RenderArgs, ReadsEveryOptionAndRejectsBadValues)
{
  RenderSettings s;
  std::string error;
  ASSERT_TRUE(Parse({"--plugin", "p.so", "--tempo=97.5", "--bars", "3", "--sig", "7/8", "--rate", "48000",
                     "--block=300", "--state", "in.state", "--set", "M D=1", "--set", "Vel=0.25", "--out", "a.mid",
                     "--events", "-", "--quiet", "--wav", "a.wav", "--soundfont=gm.sf2", "--gm-program", "48",
                     "--png", "a.png", "--png-width", "800"},
                    s, error))
    << error;
  EXPECT_EQ(s.pluginPath, "p.so");
  EXPECT_EQ(s.tempo, 97.5);
  EXPECT_EQ(s.bars, 3);
  EXPECT_EQ(s.sigNumerator, 7);
  EXPECT_EQ(s.sigDenominator, 8);
  EXPECT_EQ(s.sampleRate, 48000.0);
  EXPECT_EQ(s.blockSize, 300);
  EXPECT_EQ(s.statePath, "in.state");
  ASSERT_EQ(s.sets.size(), 2u);
  EXPECT_EQ(s.sets[0].first, "M D");
  EXPECT_EQ(s.sets[1].second, 0.25);
  EXPECT_EQ(s.eventsPath, "-");
  EXPECT_TRUE(s.quiet);
  EXPECT_EQ(s.wavPath, "a.wav");
  EXPECT_EQ(s.soundFont, "gm.sf2");
  EXPECT_EQ(s.gmProgram, 48);
  EXPECT_EQ(s.pngPath, "a.png");
  EXPECT_EQ(s.pngWidth, 800);
  EXPECT_EQ(s.TotalSamples(), 310154); // 10.5 quarters at 97.5 bpm, 48000 Hz
  RenderSettings v;
  ASSERT_TRUE(Parse({"--vst3=T.vst3", "--bars", "2"}, v, error)) << error;
  EXPECT_EQ(v.vst3Bundle, "T.vst3");

  const std::vector<std::vector<const char*>> bad = {
    {"--tempo", "0"}, {"--tempo", "fast"}, {"--bars", "2.5"}, {"--sig", "4/3"}, {"--sig", "0/4"}, {"--sig", "4"},
    {"--rate", "10"}, {"--block", "0"},    {"--set", "Vel"},  {"--set", "Vel=2"}, {"--set", "=0.5"}, {"--out"},
    {"--loud"},       {"--quiet=1"},       {"--plugin", ""}, {"--gm-program", "128"}, {"--png-width", "100"},
    {"--wav"},        {"--vst3", ""},      {"--vst3", "a.vst3", "--lv2", "b.lv2"}};
  for (const auto& args : bad) {
    RenderSettings t;
    error.clear();
    EXPECT_FALSE(Parse(args, t, error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

// ---- a whole render of the built plug-in ----
TEST(Render, DefaultPatternFillsTheBarsAndEndsWithEveryNoteReleased)
{
  std::string path = TestPluginPath();
  if (path.empty()) GTEST_SKIP() << "plug-in library not built";
  VstHost host;
  ASSERT_TRUE(host.Load(path)) << host.Error();
  ASSERT_TRUE(host.Open(44100.0, 512));
  RenderSettings s;
  s.bars = 2;
  s.sets = {{"LengthUnits", 0.0}}; // whole notes: several still sound at the end
  std::string error;
  ASSERT_TRUE(PreparePlugin(host, s, error)) << error;
  RenderResult r;
  ASSERT_TRUE(RenderTransport(host, s, r, error)) << error;
  EXPECT_EQ(r.totalSamples, 176400);
  NoteSummary n = SummariseNotes(r.events);
  // Two beats a step, struck on pulses 0 and 2: eight notes; the pulse due exactly at
  // the end belongs to the next bar.
  EXPECT_EQ(n.notes, 8);
  EXPECT_EQ(n.firstSample, 0);
  EXPECT_EQ(n.firstKey, 72);
  EXPECT_EQ(n.lastSample, 176400 - 22050);
  EXPECT_EQ(n.stillSounding, 0);
  EXPECT_EQ(r.events.back().sample, 176400);

  s.sets = {{"NoSuchName", 0.5}};
  EXPECT_FALSE(PreparePlugin(host, s, error));
  EXPECT_TRUE(Contains(error, "NoSuchName"));
}

} // namespace
