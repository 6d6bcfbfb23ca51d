// tavrinel_preset2state: turns a preset file into the plug-in state a host keeps
// in its project (the bank chunk, with the plug-in base's header), the same
// bytes tavrinel_render --save-state writes and --state loads.
//
//   tavrinel_preset2state PRESET STATE
//
// Tools that drive the plug-in as a host does (tavrinel_render --preset) reach
// presets through it: the VST interface has no way to hand the plug-in a file.
// Exit code 0 on success, 1 when the preset cannot be read or the state cannot
// be written, 2 for a wrong command line.
#include "Tavrinel.h"

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
  if (argc != 3 || !argv[1][0] || !argv[2][0] || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: tavrinel_preset2state PRESET STATE\n");
    return 2;
  }
  const char* pPresetPath = argv[1];
  const char* pStatePath = argv[2];

  // Built and opened the way a host does, so every handler has run once
  // before the preset's own values arrive.
  std::unique_ptr<Tavrinel> pPlug(new Tavrinel);
  pPlug->RunAllParamHooks();

  if (!pPlug->readPresetFile(pPresetPath)) {
    std::fprintf(stderr, "tavrinel_preset2state: '%s' cannot be read or is not a Tavrinel preset\n", pPresetPath);
    return 1;
  }

  // The state as a host keeps it (a VST bank chunk, the LV2 state property).
  IStateChunk state;
  const int size = pPlug->SerializeHostChunk(state) ? state.Size() : 0;
  const uint8_t* pData = state.GetBytes();
  if (size <= 0 || !pData) {
    std::fprintf(stderr, "tavrinel_preset2state: the plug-in gave no state\n");
    return 1;
  }
  std::FILE* pFile = std::fopen(pStatePath, "wb");
  if (!pFile) {
    std::fprintf(stderr, "tavrinel_preset2state: cannot create '%s'\n", pStatePath);
    return 1;
  }
  const bool written = std::fwrite(pData, 1, static_cast<std::size_t>(size), pFile) == static_cast<std::size_t>(size);
  if (std::fclose(pFile) != 0 || !written) {
    std::fprintf(stderr, "tavrinel_preset2state: cannot write '%s'\n", pStatePath);
    return 1;
  }
  return 0;
}
