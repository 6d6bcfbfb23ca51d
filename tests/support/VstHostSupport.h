#pragma once
// The render tool's VST host for the tests that drive the built plug-in library
// through its exported entry point, as a DAW does.
#include "../../tools/vsthost/MidiFile.h"
#include "../../tools/vsthost/Render.h"
#include "../../tools/vsthost/VstHost.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// The built plug-in library (empty when the build has none). Under Wine the build's
// Unix path is reached through drive Z:, which maps the Unix root.
inline std::string TestPluginPath()
{
#ifdef TAV_PLUGIN_PATH
  std::string path = TAV_PLUGIN_PATH;
#if defined(_WIN32)
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path)
      if (c == '/') c = '\\';
  }
#endif
  return path;
#else
  return std::string();
#endif
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
