#include "PresetState.h"

#include "MidiFile.h"
#include "VstHost.h"

#include <filesystem>
#include <random>
#include <system_error>

std::string PresetConverterPath()
{
  const std::string exe = VstExecutablePath();
  const std::size_t slash = exe.find_last_of("/\\");
  const std::string dir = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
  return dir + ProgramFileName("tavrinel_preset2state");
}

bool ConvertPresetToState(const std::string& converterPath, const std::string& presetPath,
                          std::vector<uint8_t>& state, std::string& error)
{
  state.clear();
  std::error_code ec;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(ec) /
                                     ("tavrinel_preset_" + std::to_string(std::random_device{}()) + ".state");
  if (ec) {
    error = "no folder for temporary files: " + ec.message();
    return false;
  }
  const std::string statePath = temp.u8string();

  int exitCode = -1;
  if (!RunProgram({converterPath, presetPath, statePath}, exitCode, error)) {
    error = "cannot run the preset converter '" + converterPath + "': " + error;
    std::filesystem::remove(temp, ec);
    return false;
  }
  bool ok = exitCode == 0;
  if (!ok)
    error = "the preset converter could not turn '" + presetPath + "' into a state (exit code " +
            std::to_string(exitCode) + ")";
  else if (!ReadFileBytes(statePath, state, error))
    ok = false;
  else if (state.empty()) {
    error = "the preset converter wrote no state for '" + presetPath + "'";
    ok = false;
  }
  std::filesystem::remove(temp, ec);
  return ok;
}
