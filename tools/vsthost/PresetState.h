#pragma once
// Presets for the render tool. The tool drives the plug-in only through its VST
// 2.4 interface, which cannot hand the plug-in a preset file, and it links none
// of the plug-in's code. tavrinel_preset2state (built with the plug-in's code)
// turns a preset file into the state chunk a host keeps for the plug-in; the
// tool runs it and restores that state the way a host restores a project.
//
// Thread: the caller's. Runs a child process and waits for it.

#include <cstdint>
#include <string>
#include <vector>

// tavrinel_preset2state beside the running program.
std::string PresetConverterPath();

// Runs the converter on presetPath and returns the state chunk it wrote (into a
// temporary file, removed afterwards). False with a message when the converter
// cannot be run, fails, or writes nothing.
bool ConvertPresetToState(const std::string& converterPath, const std::string& presetPath,
                          std::vector<uint8_t>& state, std::string& error);

// Platform part (PresetState_posix.cpp, PresetState_win32.cpp): runs args[0]
// with the arguments args[1..] (no shell, no quoting rules to trip over) and
// waits for it. False with a message when it cannot be started or did not end
// normally; otherwise true with its exit code.
bool RunProgram(const std::vector<std::string>& args, int& exitCode, std::string& error);
// The name of a program file: ".exe" added on Windows.
std::string ProgramFileName(const std::string& baseName);
