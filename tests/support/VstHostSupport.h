#pragma once
// The render tool's VST host for the tests that drive the built plug-in library
// through its exported entry point, as a DAW does.
#include "../../tools/vsthost/MidiFile.h"
#include "../../tools/vsthost/Render.h"
#include "../../tools/vsthost/VstHost.h"

#include <string>

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
