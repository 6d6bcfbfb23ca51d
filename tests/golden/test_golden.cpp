// Golden songs: every song kept in tests/golden (state chunks and preset files as
// a build of the plug-in wrote them) and every factory preset, loaded into a fresh
// instance through each format of this build, must play exactly the events stored
// beside it. With TAV_GOLDEN_UPDATE=1 the run first writes the songs of this build
// and the events of every song anew (scripts/regen-golden.sh).
#include "VstHostSupport.h"

#include "../../tools/vsthost/PresetState.h"
#include "Vst3Render.h"
#if defined(TAV_LV2_BUNDLE)
#include "Lv2Render.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path GOLDEN = fs::u8path(TAV_SOURCE_DIR "/tests/golden");
const fs::path FACTORY = fs::u8path(TAV_SOURCE_DIR "/resources/presets");

// One transport for every song: 32 bars from the start, in which the factory
// presets' progressions come round several times.
RenderSettings SongSettings()
{
  RenderSettings s;
  s.bars = 32;
  return s;
}

// The events as stored: a line naming the render, then "sample status data1 data2"
// per event (status in hex).
std::string EventText(const RenderResult& r, const RenderSettings& s)
{
  char line[160];
  std::snprintf(line, sizeof line, "# %d bars of %d/%d at %g bpm, %g Hz, blocks of %d: sample status data1 data2\n",
                s.bars, s.sigNumerator, s.sigDenominator, s.tempo, s.sampleRate, s.blockSize);
  std::string text = line;
  for (const MidiEventAt& e : r.events) {
    std::snprintf(line, sizeof line, "%lld %02X %d %d\n", static_cast<long long>(e.sample), e.status, e.data1,
                  e.data2);
    text += line;
  }
  return text;
}

bool RenderVst(const std::vector<uint8_t>& state, RenderResult& r, std::string& error)
{
  const RenderSettings s = SongSettings();
  VstHost host;
  if (!host.Load(TestPluginPath()) || !host.Open(s.sampleRate, s.blockSize)) {
    error = host.Error();
    return false;
  }
  if (!host.SetChunk(state, true)) {
    error = "the plug-in refused the state";
    return false;
  }
  return RenderTransport(host, s, r, error);
}

// A render of the state through the host of a bundle format (LV2, VST3): the
// plug-in loaded, opened, given the state, played through its render target.
template <class Host, class Target, class Prepare>
bool RenderBundle(const std::string& bundle, Prepare prepare, const std::vector<uint8_t>& state, RenderResult& r,
                  std::string& error)
{
  const RenderSettings s = SongSettings();
  Host host;
  if (!host.Load(bundle) || !host.Open(s.sampleRate, s.blockSize)) {
    error = host.Error();
    return false;
  }
  if (!prepare(host, state, s, error)) return false;
  Target target(host);
  return RenderTransport(target, s, r, error);
}

#if defined(TAV_LV2_BUNDLE)
bool RenderLv2(const std::vector<uint8_t>& state, RenderResult& r, std::string& error)
{
  return RenderBundle<Lv2Host, Lv2RenderTarget>(TAV_LV2_BUNDLE, PrepareLv2Plugin, state, r, error);
}
#endif

// The VST3 bundle, where the build has made one.
const std::string VST3_BUNDLE = HostPath(TAV_VST3_BUNDLE);

bool RenderVst3(const std::vector<uint8_t>& state, RenderResult& r, std::string& error)
{
  return RenderBundle<Vst3Host, Vst3RenderTarget>(VST3_BUNDLE, PrepareVst3Plugin, state, r, error);
}

struct Format {
  const char* name;
  bool (*render)(const std::vector<uint8_t>& state, RenderResult& r, std::string& error);
};
std::vector<Format> Formats()
{
  std::vector<Format> formats = {{"VST 2.4", RenderVst}};
#if defined(TAV_LV2_BUNDLE)
  formats.push_back({"LV2", RenderLv2});
#endif
  if (fs::is_directory(fs::u8path(VST3_BUNDLE))) formats.push_back({"VST3", RenderVst3});
  return formats;
}

// A .state file holds the chunk itself; a .preset file becomes the state a host
// keeps after loading it.
bool SongState(const fs::path& file, std::vector<uint8_t>& state, std::string& error)
{
  if (file.extension() == ".preset") return ConvertPresetToState(PresetConverterPath(), file.u8string(), state, error);
  return ReadFileBytes(file.u8string(), state, error);
}

// Empty when the texts agree, else their first differing line.
std::string FirstDifference(const std::string& golden, const std::string& now)
{
  size_t a = 0, b = 0;
  for (int line = 1;; ++line) {
    const size_t endA = golden.find('\n', a), endB = now.find('\n', b);
    const std::string lineA = a < golden.size() ? golden.substr(a, endA - a) : "(end)";
    const std::string lineB = b < now.size() ? now.substr(b, endB - b) : "(end)";
    if (lineA != lineB) return "line " + std::to_string(line) + ": golden \"" + lineA + "\", now \"" + lineB + "\"";
    if (a >= golden.size() && b >= now.size()) return std::string();
    a = endA == std::string::npos ? golden.size() : endA + 1;
    b = endB == std::string::npos ? now.size() : endB + 1;
  }
}

std::string Relative(const fs::path& file, const fs::path& root)
{
  return fs::relative(file, root).generic_u8string();
}

struct Song {
  std::string name; // as failures name it
  fs::path file;    // .state or .preset
  fs::path events;  // its golden events
  bool kept;        // kept in the folder (not a factory preset played against its copy's events)
};

// The songs of the folder, then the factory presets, which must play the events
// of their copies in the folder's presets/.
std::vector<Song> Songs()
{
  std::vector<Song> songs;
  auto add = [&](const fs::path& root, const fs::path& eventsRoot, const std::string& prefix, bool kept) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.path().extension() == ".state" || entry.path().extension() == ".preset") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      fs::path events = eventsRoot / fs::relative(file, root);
      songs.push_back({prefix + Relative(file, root), file, events.replace_extension(".events"), kept});
    }
  };
  add(GOLDEN, GOLDEN, "", true);
  add(FACTORY, GOLDEN / "presets", "factory preset ", false);
  return songs;
}

bool Updating()
{
  const char* update = std::getenv("TAV_GOLDEN_UPDATE");
  return update && std::string(update) == "1";
}

void Write(const fs::path& file, const std::vector<uint8_t>& bytes)
{
  std::string error;
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  ASSERT_TRUE(WriteFileBytes(file.u8string(), bytes, error)) << error;
}

// The songs this build writes: its default state (a bank chunk, as a VST 2.4 host
// keeps it), dense random states (program chunks, as an LV2 host keeps them), the
// last one on top of a factory preset, and a copy of every factory preset.
void WriteSongs()
{
  VstHost host;
  ASSERT_TRUE(host.Load(TestPluginPath()) && host.Open(44100.0, 512)) << host.Error();
  std::vector<uint8_t> state;
  ASSERT_TRUE(host.GetChunk(state, true));
  ASSERT_NO_FATAL_FAILURE(Write(GOLDEN / "Default.state", state));
  std::string error;
  ASSERT_TRUE(SongState(FACTORY / "Modifiers" / "Melody Morph.preset", state, error)) << error;
  const std::vector<uint8_t> dense[] = {DenseState(1), DenseState(2), DenseState(3, state)};
  for (size_t i = 0; i < std::size(dense); ++i) {
    ASSERT_FALSE(dense[i].empty());
    ASSERT_NO_FATAL_FAILURE(Write(GOLDEN / ("Dense " + std::to_string(i + 1) + ".state"), dense[i]));
  }
  for (const auto& entry : fs::recursive_directory_iterator(FACTORY)) {
    if (entry.path().extension() != ".preset") continue;
    const fs::path copy = GOLDEN / "presets" / fs::relative(entry.path(), FACTORY);
    fs::create_directories(copy.parent_path());
    fs::copy_file(entry.path(), copy, fs::copy_options::overwrite_existing);
  }
}

TEST(GoldenSongs, EverySongPlaysItsGoldenEventsInEveryFormat)
{
  ASSERT_FALSE(TestPluginPath().empty());
  if (Updating()) {
    ASSERT_NO_FATAL_FAILURE(WriteSongs());
  }
  const std::vector<Song> songs = Songs();
  const std::vector<Format> formats = Formats();
  size_t events = 0;
  for (const Song& song : songs) {
    std::vector<uint8_t> state, stored;
    std::string error;
    if (!SongState(song.file, state, error)) {
      ADD_FAILURE() << "song '" << song.name << "' cannot be loaded: " << error;
      continue;
    }
    for (const Format& format : formats) {
      RenderResult r;
      if (!format.render(state, r, error)) {
        ADD_FAILURE() << "song '" << song.name << "' does not play through " << format.name << ": " << error;
        continue;
      }
      const std::string text = EventText(r, SongSettings());
      // A song of the folder takes the events the first format renders.
      if (Updating() && song.kept && &format == &formats[0]) {
        ASSERT_NO_FATAL_FAILURE(Write(song.events, std::vector<uint8_t>(text.begin(), text.end())));
      }
      if (!ReadFileBytes(song.events.u8string(), stored, error)) {
        ADD_FAILURE() << "song '" << song.name << "' has no golden events: " << error
                      << "\nscripts/regen-golden.sh writes them.";
        break;
      }
      const std::string diff = FirstDifference(std::string(stored.begin(), stored.end()), text);
      if (!diff.empty())
        ADD_FAILURE() << "song '" << song.name << "' through " << format.name
                      << " no longer plays its golden events: " << Relative(song.events, GOLDEN) << " " << diff
                      << "\nIf the change is intended, scripts/regen-golden.sh writes them anew.";
      events += r.events.size();
    }
  }
  // The default state, three dense ones and a copy of every factory preset at least.
  const size_t kept = static_cast<size_t>(std::count_if(songs.begin(), songs.end(), [](const Song& s) { return s.kept; }));
  EXPECT_GE(kept, songs.size() - kept + 4);
  std::printf("%zu songs, %zu events compared\n", songs.size(), events);
}

} // namespace
