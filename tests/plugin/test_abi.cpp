// The built plug-in library driven through its exported entry point and the binary
// interface alone, by the render tool's host, the way a DAW loads it.
#include "VstHostSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

std::string PluginPath() { return TestPluginPath(); }

constexpr int BLOCK = 512;
constexpr int32_t FourCC(const char* s)
{
  return int32_t(uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
                 uint32_t(uint8_t(s[3])));
}

// Loads and opens the plug-in at 44100 Hz; skips when the library is not built.
bool OpenPlugin(VstHost& host)
{
  std::string path = PluginPath();
  if (path.empty()) return false;
  EXPECT_TRUE(host.Load(path)) << host.Error();
  EXPECT_TRUE(host.Open(44100.0, BLOCK)) << host.Error();
  return host.IsOpen();
}

#define OPEN_OR_SKIP(host)                                                 \
  VstHost host;                                                            \
  if (PluginPath().empty()) GTEST_SKIP() << "plug-in library not built";   \
  ASSERT_TRUE(OpenPlugin(host))

// Plays blocks from the transport's position and returns the events they produced.
std::vector<VstHostEvent> Play(VstHost& host, int blocks)
{
  host.ClearEvents();
  for (int i = 0; i < blocks; ++i) EXPECT_TRUE(host.Process(BLOCK)) << host.Error();
  return host.Events();
}

TEST(Abi, LibraryExportsBothEntryNamesAndAValidDescriptor)
{
  OPEN_OR_SKIP(host);
  VstLibrary lib;
  std::string error;
  ASSERT_TRUE(lib.Open(PluginPath(), error)) << error;
  EXPECT_NE(lib.Symbol("VSTPluginMain"), nullptr);
  EXPECT_EQ(lib.Symbol("main"), lib.Symbol("VSTPluginMain"));

  const AEffect* e = host.Effect();
  EXPECT_EQ(e->magic, FourCC("VstP"));
  EXPECT_EQ(e->numParams, 60);
  EXPECT_EQ(e->numPrograms, 6);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  // editor, replacing, double replacing, program chunks, mono (1-1 is legal), synth.
  EXPECT_EQ(e->flags, effFlagsHasEditor | 0x1010 | 0x20 | 0x08 | 0x100);
  EXPECT_EQ(e->uniqueID, FourCC("qbTv"));
  EXPECT_EQ(e->version, 10000);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_NE(e->object, nullptr);
  EXPECT_TRUE(e->process && e->processReplacing && e->processDoubleReplacing && e->getParameter && e->setParameter);
}

TEST(Abi, IdentityAndCapabilities)
{
  OPEN_OR_SKIP(host);
  EXPECT_EQ(host.EffectName(), "Tavrinel");
  EXPECT_EQ(host.VendorString(), "Quellbrook");
  EXPECT_EQ(host.ProductString(), "");
  EXPECT_EQ(host.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(host.Dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(host.Dispatch(effIdentify), 0x4E764566);

  EXPECT_EQ(host.CanDo("receiveVstTimeInfo"), 1);
  for (const char* midi : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
    EXPECT_EQ(host.CanDo(midi), 1) << midi;
  EXPECT_EQ(host.CanDo("receiveVstTimeInfo "), 0);
  EXPECT_EQ(host.CanDo("bypass"), 0);
  EXPECT_EQ(host.CanDo(nullptr), 0);

  // Every word the library holds is asked as a capability: only the standard ones
  // the plug-in supports answer, with 1. A capability known to the code beyond
  // them would be among its words.
  std::ifstream in(PluginPath(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 100000u);
  const std::set<std::string> supported = {"receiveVstTimeInfo", "sendVstEvents", "sendVstMidiEvent",
                                           "receiveVstEvents", "receiveVstMidiEvent"};
  std::set<std::string> words, answered;
  for (size_t i = 0, start = 0; i <= bytes.size(); ++i) {
    if (i < bytes.size() && (std::isalnum(static_cast<unsigned char>(bytes[i])) || bytes[i] == '_')) continue;
    if (i - start >= 4 && i - start <= 64) words.insert(bytes.substr(start, i - start));
    start = i + 1;
  }
  for (const std::string& w : words) {
    const intptr_t answer = host.CanDo(w.c_str());
    EXPECT_EQ(answer, supported.count(w) ? 1 : 0) << w;
    if (answer) answered.insert(w);
  }
  EXPECT_EQ(answered, supported);

  // The plug-in asks who the host is once, whatever else happens.
  Play(host, 3);
  EXPECT_EQ(host.CallbackCount(audioMasterGetProductString), 1);
}

TEST(Abi, ParameterNamesAndDisplayTextsThroughTheDispatcher)
{
  OPEN_OR_SKIP(host);
  const std::pair<int, const char*> names[] = {{0, "TimeUnits"}, {1, "LengthUnits"}, {2, "Slow"},     {4, "Chan"},
                                               {9, "Tonic"},     {12, "ival1"},      {23, "ival12"}, {24, "SeqSteps"},
                                               {29, "StepDir"},  {30, ""},           {59, ""}};
  for (const auto& n : names) EXPECT_EQ(host.ParamName(n.first), n.second) << n.first;
  const std::pair<int, const char*> shown[] = {{0, "1/8"}, {2, "1.00"}, {3, "0"},      {4, "1"},     {5, "100"},
                                               {9, "C5"},  {14, "5"},   {25, "on"},    {26, "Ionian"}, {29, "Fwd"}};
  for (const auto& s : shown) EXPECT_EQ(host.ParamDisplay(s.first), s.second) << s.first;

  EXPECT_EQ(host.FindParam("ival12"), 23);
  EXPECT_EQ(host.FindParam("gmLock0"), -1); // internal parameters are not announced
  EXPECT_EQ(host.FindParam("nothing"), -1);

  // Normalised host values come back as plain values in the display texts.
  EXPECT_TRUE(host.SetParam("TimeUnits", 0.25f));
  EXPECT_EQ(host.ParamDisplay(0), "1/16");
  EXPECT_FLOAT_EQ(host.GetParam(0), 0.25f);
  EXPECT_TRUE(host.SetParam("Vel", 0.5f));
  EXPECT_EQ(host.ParamDisplay(5), "64");
  EXPECT_TRUE(host.SetParam("SeqEnab", 0.0f));
  EXPECT_EQ(host.ParamDisplay(25), "off");
  EXPECT_TRUE(host.SetParam("Slow", 1.0f));
  EXPECT_EQ(host.ParamDisplay(2), "4.00");
  EXPECT_FALSE(host.SetParam("nothing", 0.5f));

  // An invalid index leaves the host's buffer alone.
  char text[64] = "unchanged";
  EXPECT_EQ(host.Dispatch(effGetParamName, -1, 0, text), 0);
  EXPECT_STREQ(text, "unchanged");
}

TEST(Abi, StateChunksCarryTheHeaderAndTheWholeState)
{
  OPEN_OR_SKIP(host);
  const uint8_t header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  for (bool bank : {true, false}) {
    std::vector<uint8_t> chunk;
    ASSERT_TRUE(host.GetChunk(chunk, bank));
    EXPECT_EQ(chunk.size(), 8u + 5676u);
    EXPECT_EQ(std::memcmp(chunk.data(), header, 8), 0);
  }
  EXPECT_EQ(host.Dispatch(effGetChunk, 0, 0, nullptr), 0);
  // A header cut short is refused.
  EXPECT_FALSE(host.SetChunk(std::vector<uint8_t>(header, header + 6)));
}

// It makes no sound and keeps no audio buffers: the replacing entries write
// silence over whatever the host left (also past the block size, in slices),
// the accumulating one adds nothing.
TEST(Abi, OutputsAreSilentWhateverTheHostLeftInThem)
{
  OPEN_OR_SKIP(host);
  AEffect* e = host.Effect();
  constexpr int N = 5000;
  std::vector<float> f(4 * N, 0.5f);
  std::vector<double> d(4 * N, 0.5);
  float* fin[2] = {&f[0], &f[N]};
  float* fout[2] = {&f[2 * N], &f[3 * N]};
  double* din[2] = {&d[0], &d[N]};
  double* dout[2] = {&d[2 * N], &d[3 * N]};
  e->process(e, fin, fout, N);
  EXPECT_EQ(std::count(f.begin(), f.end(), 0.5f), 4 * N);
  e->processReplacing(e, fin, fout, N);
  e->processDoubleReplacing(e, din, dout, N);
  EXPECT_EQ(std::count(f.begin() + 2 * N, f.end(), 0.0f), 2 * N);
  EXPECT_EQ(std::count(d.begin() + 2 * N, d.end(), 0.0), 2 * N);
}

TEST(Abi, FirstBlockAtZeroPlaysOneNoteAtOffsetZero)
{
  OPEN_OR_SKIP(host);
  int64_t wantMidi = host.CallbackCount(audioMasterWantMidi);
  std::vector<VstHostEvent> ev = Play(host, 1);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].deltaFrames, 0);
  EXPECT_EQ(ev[0].byteSize, 32);
  EXPECT_EQ(ev[0].bytes[0], 0x90);
  EXPECT_EQ(ev[0].bytes[1], 72); // tone 2 of the first chord
  EXPECT_EQ(ev[0].bytes[2], 100);
  // The next pulse (an eighth later) is silent; its note-off ends the first note.
  ev = Play(host, 22);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].position, 11025);
  EXPECT_EQ(ev[0].bytes[0], 0x80);
  EXPECT_EQ(ev[0].bytes[1], 72);
  // The plug-in asks for MIDI at the start of every process call.
  EXPECT_EQ(host.CallbackCount(audioMasterWantMidi) - wantMidi, 23);
}

TEST(Abi, StoppedTransportReleasesEverySoundingNote)
{
  OPEN_OR_SKIP(host);
  ASSERT_TRUE(host.SetParam("LengthUnits", 0.0f)); // whole notes: they overlap
  std::vector<VstHostEvent> playing = Play(host, 80); // under two beats: pulses 0 and 2 sound
  int ons = 0;
  for (const VstHostEvent& e : playing) ons += (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0;
  ASSERT_EQ(ons, 2);

  host.Transport().playing = false;
  std::vector<VstHostEvent> stop = Play(host, 1);
  ASSERT_EQ(stop.size(), 2u);
  for (const VstHostEvent& e : stop) {
    EXPECT_EQ(e.bytes[0], 0x80);
    EXPECT_EQ(e.deltaFrames, 0);
  }
  std::vector<MidiEventAt> all;
  for (const auto* list : {&playing, &stop})
    for (const VstHostEvent& e : *list) all.push_back({e.position, e.bytes[0], e.bytes[1], e.bytes[2]});
  EXPECT_EQ(SummariseNotes(all).stillSounding, 0);
  // Nothing is left for the next stopped blocks.
  EXPECT_TRUE(Play(host, 3).empty());
}

TEST(Abi, MidiInputPassesOnlyWhatIsNeitherNoteNorControl)
{
  OPEN_OR_SKIP(host);
  host.Transport().playing = false;
  host.ClearEvents();
  EXPECT_TRUE(host.SendMidi(0x90, 60, 100));
  EXPECT_TRUE(host.SendMidi(0x80, 60, 0));
  EXPECT_TRUE(host.SendMidi(0xB0, 7, 100));
  EXPECT_TRUE(host.Events().empty());
  EXPECT_TRUE(host.SendMidi(0xC3, 5, 0, 17));
  ASSERT_EQ(host.Events().size(), 1u);
  EXPECT_EQ(host.Events()[0].bytes[0], 0xC3);
  EXPECT_EQ(host.Events()[0].bytes[1], 5);
  EXPECT_EQ(host.Events()[0].deltaFrames, 17);
}

} // namespace
