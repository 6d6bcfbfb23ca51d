#pragma once
// The render tool's VST host for the tests that drive the built plug-in library
// through its exported entry point, as a DAW does.
#include "../../tools/vsthost/MidiFile.h"
#include "../../tools/vsthost/PresetState.h"
#include "../../tools/vsthost/Render.h"
#include "../../tools/vsthost/VstHost.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// A path of the build tree as the test program reaches it. Under Wine the build's
// Unix path is reached through drive Z:, which maps the Unix root.
inline std::string HostPath(std::string path)
{
#if defined(_WIN32)
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path)
      if (c == '/') c = '\\';
  }
#endif
  return path;
}

// The built plug-in library (empty when the build has none).
inline std::string TestPluginPath()
{
#ifdef TAV_PLUGIN_PATH
  return HostPath(TAV_PLUGIN_PATH);
#else
  return std::string();
#endif
}

// Empty when two renders' events agree, else the first event where they differ.
inline std::string FirstDifference(const std::vector<MidiEventAt>& a, const std::vector<MidiEventAt>& b,
                                   const std::string& nameA, const std::string& nameB)
{
  auto describe = [](const MidiEventAt* e) {
    return e ? "sample " + std::to_string(e->sample) + " " + DescribeMidi(*e) : std::string("nothing");
  };
  for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
    const MidiEventAt* x = i < a.size() ? &a[i] : nullptr;
    const MidiEventAt* y = i < b.size() ? &b[i] : nullptr;
    if (x && y && x->sample == y->sample && x->status == y->status && x->data1 == y->data1 && x->data2 == y->data2)
      continue;
    return "event " + std::to_string(i) + " of " + std::to_string(a.size()) + "/" + std::to_string(b.size()) + ": " +
           nameA + " " + describe(x) + ", " + nameB + " " + describe(y);
  }
  return std::string();
}

// A state from random host settings, pushed towards many fast, uneven notes,
// starting from the state base (the default one when empty). Empty when the
// plug-in cannot be opened.
inline std::vector<uint8_t> DenseState(uint32_t seed, const std::vector<uint8_t>& base = {})
{
  VstHost host;
  std::vector<uint8_t> state;
  if (!host.Load(TestPluginPath()) || !host.Open(44100.0, 512)) return state;
  if (!base.empty() && !host.SetChunk(base, true)) return state;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int i = 0; i < 30; ++i) host.SetParam(i, unit(rng));
  host.SetParam("TimeUnits", (rng() % 2 ? 4.0f : 15.0f) / 16.0f); // 1/16 or 1/16t
  host.SetParam("NumStep", 1.0f);
  host.SetParam("NumPulse", 1.0f);
  host.SetParam("Vel", 1.0f);
  for (const char* name : {"Human", "Swing", "VelJitt", "LenJitt"}) host.SetParam(name, 0.7f + 0.3f * unit(rng));
  host.GetChunk(state, false);
  return state;
}

// One song the format comparisons play: a state (empty: the default pattern) and
// the render's settings.
struct ComparedSong {
  std::vector<uint8_t> state;
  RenderSettings settings;
};

// The songs every format must play as the VST 2.4 plug-in does, six bars each: the
// default pattern; a factory preset in 7/8 at 133.7 bpm with --set values; a dense
// setting in blocks of 97 frames. False with a message when one cannot be made.
inline bool ComparedSongs(std::vector<ComparedSong>& songs, std::string& error)
{
  songs.assign(3, ComparedSong());
  for (ComparedSong& song : songs) song.settings.bars = 6;
  RenderSettings& odd = songs[1].settings;
  odd.tempo = 133.7;
  odd.sigNumerator = 7;
  odd.sigDenominator = 8;
  odd.sets = {{"Swing", 0.35}, {"Chan", 0.2}, {"mode", 0.5}, {"SeqEnab", 0.0}, {"Vel", 0.61}};
  songs[2].settings.blockSize = 97;
  songs[2].state = DenseState(7);
  if (songs[2].state.empty()) {
    error = "the VST 2.4 plug-in cannot be opened";
    return false;
  }
  return ConvertPresetToState(PresetConverterPath(),
                              std::string(TAV_SOURCE_DIR) + "/resources/presets/Basics/Dorian Sixteenths.preset",
                              songs[1].state, error);
}
