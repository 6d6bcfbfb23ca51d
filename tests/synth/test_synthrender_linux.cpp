// The audio render: notes played through FluidSynth into a 24-bit WAV file. The
// test's own SoundFont holds one constant level, looped, with the shortest attack,
// so the signal is the sum of the voices' envelopes and every onset shows as a
// step at its sample.
#include "Lv2Render.h"
#include "SynthRender.h"
#include "TempDir.h"
#include "VstHostSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// ---- a SoundFont 2 file of one preset on one looped sample ----
struct Riff {
  std::vector<uint8_t> b;
  Riff& u16(int v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); return *this; }
  Riff& u32(uint32_t v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }
  Riff& text(const char* s, size_t n)
  {
    for (size_t i = 0; i < n; ++i) b.push_back(i < std::strlen(s) ? uint8_t(s[i]) : 0);
    return *this;
  }
  Riff& chunk(const char* id, const Riff& body)
  {
    text(id, 4).u32(uint32_t(body.b.size()));
    b.insert(b.end(), body.b.begin(), body.b.end());
    return *this;
  }
  Riff& list(const char* id, const char* type, const Riff& chunks)
  {
    Riff body;
    body.text(type, 4).b.insert(body.b.end(), chunks.b.begin(), chunks.b.end());
    return chunk(id, body);
  }
};

std::string MakeLevelSoundFont(const TempDir& dir, int level, int releaseTimecents)
{
  const int frames = 256;
  Riff info, sdta, pdta, smpl, phdr, pbag, pgen, inst, ibag, igen, shdr, mods;
  info.chunk("ifil", Riff().u16(2).u16(1)).chunk("isng", Riff().text("EMU8000", 8));
  info.chunk("INAM", Riff().text("Level", 6));
  for (int i = 0; i < frames + 46; ++i) smpl.u16(i < frames ? level : 0); // 46 zeros end every sample
  sdta.chunk("smpl", smpl);
  // Each list ends with a terminal record.
  phdr.text("Level", 20).u16(0).u16(0).u16(0).u32(0).u32(0).u32(0);
  phdr.text("EOP", 20).u16(0).u16(0).u16(1).u32(0).u32(0).u32(0);
  pbag.u16(0).u16(0).u16(1).u16(0);
  pgen.u16(41).u16(0).u16(0).u16(0); // instrument 0
  inst.text("Level", 20).u16(0).text("EOI", 20).u16(1);
  ibag.u16(0).u16(0).u16(4).u16(0);
  // Shortest attack, the release, looped, sample 0.
  igen.u16(34).u16(-12000).u16(38).u16(releaseTimecents).u16(54).u16(1).u16(53).u16(0).u16(0).u16(0);
  shdr.text("Level", 20).u32(0).u32(frames).u32(8).u32(frames - 8).u32(44100);
  shdr.b.insert(shdr.b.end(), {60, 0, 0, 0, 1, 0}); // key 60, mono
  shdr.text("EOS", 20).u32(0).u32(0).u32(0).u32(0).u32(0).u16(0).u16(0).u16(0);
  mods.text("", 10);
  pdta.chunk("phdr", phdr).chunk("pbag", pbag).chunk("pmod", mods).chunk("pgen", pgen).chunk("inst", inst);
  pdta.chunk("ibag", ibag).chunk("imod", mods).chunk("igen", igen).chunk("shdr", shdr);
  Riff body, file;
  body.list("LIST", "INFO", info).list("LIST", "sdta", sdta).list("LIST", "pdta", pdta);
  file.list("RIFF", "sfbk", body);
  std::string path = dir.path("level.sf2");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.b.data()), long(file.b.size()));
  return path;
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The left channel of a stereo 24-bit WAV file (the header checked on the way).
std::vector<int32_t> LeftChannel(const std::vector<uint8_t>& wav, int rate)
{
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint32_t(wav.at(at + size_t(i))) << (8 * i);
    return v;
  };
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(le(20, 2), 1u); // PCM
  EXPECT_EQ(le(22, 2), 2u);
  EXPECT_EQ(le(24, 4), uint32_t(rate));
  EXPECT_EQ(le(34, 2), 24u);
  EXPECT_EQ(le(40, 4), wav.size() - 44);
  std::vector<int32_t> left;
  for (size_t at = 44; at + 6 <= wav.size(); at += 6) left.push_back(int32_t(le(at, 3) << 8) >> 8);
  return left;
}

RenderSettings Settings(const TempDir& dir, const std::string& soundFont, const char* wav)
{
  RenderSettings s;
  s.soundFont = soundFont;
  s.wavPath = dir.path(wav);
  return s;
}

TEST(SynthRender, EveryNoteStartsOnItsSampleAndTheTailDiesAway)
{
  TempDir dir("tav-synth-");
  RenderSettings s = Settings(dir, MakeLevelSoundFont(dir, 6000, -4000), "notes.wav");
  s.blockSize = 300;
  // Onsets on many phases of the synth's period, 5 ms apart or more, a chord, two
  // channels, one key struck again while it sounds.
  RenderResult r;
  r.totalSamples = 20000;
  const int64_t ons[] = {1000, 1301, 1563, 2000, 2777, 3333, 4097, 5000, 6001, 7777, 9000, 9321};
  for (size_t i = 0; i < std::size(ons); ++i) {
    uint8_t ch = i % 3 ? 0x90 : 0x91, key = uint8_t(48 + (i == 8 ? 5 : i));
    r.events.push_back({ons[i], ch, key, 100});
    if (i == 4) r.events.push_back({ons[i], ch, uint8_t(key + 7), 100});
  }
  r.events.push_back({12000, 0x80, 53, 0});
  for (int key = 48; key < 67; ++key)
    for (uint8_t off : {0x80, 0x81}) r.events.push_back({20000, off, uint8_t(key), 0});
  SortBySample(r.events);
  AudioSummary sum;
  std::string error;
  ASSERT_TRUE(RenderWav(r, s, sum, error)) << error;
  const std::vector<int32_t> left = LeftChannel(ReadAll(s.wavPath), 44100);
  ASSERT_EQ(int64_t(left.size()), 20000 + 88200);
  EXPECT_EQ(sum.frames, int64_t(left.size()));

  for (int64_t i = 0; i < 1000; ++i) ASSERT_EQ(left[size_t(i)], 0) << "before the first note, at " << i;
  const int32_t step = left[1000 + 200]; // one voice's level
  ASSERT_GT(step, 20000);
  const int64_t ms = 44;
  for (int64_t on : ons) {
    auto at = [&](int64_t i) { return left[size_t(i)]; };
    EXPECT_LE(at(on - 1), at(on - 2) + 2) << "rises before the note-on at " << on;
    EXPECT_GT(at(on + 2), at(on - 1)) << "silent on the first samples of the note-on at " << on;
    EXPECT_GT(at(on + ms) - at(on - 1), step / 4) << "no rise within 1 ms of the note-on at " << on;
  }
  EXPECT_EQ(sum.clipped, 0);
  int32_t peak = 0;
  for (int32_t v : left) peak = std::max(peak, std::abs(v));
  EXPECT_LT(peak, 8388607);

  // After the last note-off the level only falls, and the last second is silent.
  int32_t before = std::abs(left[20000]);
  for (size_t i = 20000; i < left.size(); i += 441) {
    int32_t most = 0;
    for (size_t j = i; j < std::min(left.size(), i + 441); ++j) most = std::max(most, std::abs(left[j]));
    ASSERT_LE(most, before + 2) << "rises again at " << i;
    before = most;
  }
  EXPECT_EQ(before, 0);
}

// The plug-in rendered through both formats, and through the tool, gives one file.
TEST(SynthRender, SameBytesFromTheVstTheLv2AndTheTool)
{
  if (TestPluginPath().empty()) GTEST_SKIP() << "plug-in library not built";
  TempDir dir("tav-synth-");
  const std::string soundFont = MakeLevelSoundFont(dir, 3000, -2400);
  RenderSettings s = Settings(dir, soundFont, "vst.wav");
  s.bars = 2;
  s.sampleRate = 48000;
  s.blockSize = 333;
  s.sets = {{"Swing", 0.6}, {"Human", 0.5}};

  VstHost vst;
  ASSERT_TRUE(vst.Load(TestPluginPath())) << vst.Error();
  ASSERT_TRUE(vst.Open(s.sampleRate, s.blockSize)) << vst.Error();
  Lv2Host lv2;
  ASSERT_TRUE(lv2.Load(TAV_LV2_BUNDLE)) << lv2.Error();
  ASSERT_TRUE(lv2.Open(s.sampleRate, s.blockSize)) << lv2.Error();
  std::string error;
  ASSERT_TRUE(PreparePlugin(vst, s, error)) << error;
  ASSERT_TRUE(PrepareLv2Plugin(lv2, {}, s, error)) << error;
  RenderResult a, b;
  ASSERT_TRUE(RenderTransport(vst, s, a, error)) << error;
  Lv2RenderTarget lv2Target(lv2);
  ASSERT_TRUE(RenderTransport(lv2Target, s, b, error)) << error;
  ASSERT_GT(SummariseNotes(a.events).notes, 4);
  AudioSummary sum;
  ASSERT_TRUE(RenderWav(a, s, sum, error)) << error;
  s.wavPath = dir.path("lv2.wav");
  ASSERT_TRUE(RenderWav(b, s, sum, error)) << error;

  std::string command = std::string("'") + TAV_RENDER_TOOL + "' --plugin '" + TestPluginPath() +
                        "' --bars 2 --rate 48000 --block 333 --set Swing=0.6 --set Human=0.5 --quiet --soundfont '" +
                        soundFont + "' --wav '" + dir.path("tool.wav") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  const std::vector<uint8_t> wav = ReadAll(dir.path("vst.wav"));
  EXPECT_EQ(LeftChannel(wav, 48000).size(), size_t(AudioFrames(a, 48000)));
  EXPECT_TRUE(wav == ReadAll(dir.path("lv2.wav")));
  EXPECT_TRUE(wav == ReadAll(dir.path("tool.wav")));
}

TEST(SynthRender, AMissingSoundFontIsOneLineAndNoFiles)
{
  if (TestPluginPath().empty()) GTEST_SKIP() << "plug-in library not built";
  TempDir dir("tav-synth-");
  std::string command = std::string("'") + TAV_RENDER_TOOL + "' --plugin '" + TestPluginPath() + "' --soundfont '" +
                        dir.path("none.sf2") + "' --wav '" + dir.path("a.wav") + "' --out '" + dir.path("a.mid") +
                        "' 2>&1";
  std::FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string said;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) said += buf;
  int status = pclose(p);
  EXPECT_NE(status, 0);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find(dir.path("none.sf2")), std::string::npos) << said;
  EXPECT_FALSE(std::ifstream(dir.path("a.wav")).good());
  EXPECT_FALSE(std::ifstream(dir.path("a.mid")).good());
}

} // namespace
