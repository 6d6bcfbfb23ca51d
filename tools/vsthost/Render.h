#pragma once
// The render tool's work, apart from printing: its command line, setting up a
// loaded plug-in (state, parameters) and playing the transport from position 0 for
// a number of bars while collecting the MIDI the plug-in sends.
//
// Thread: the caller's thread drives everything (see VstHost.h).

#include "MidiFile.h"
#include "VstHost.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct RenderSettings {
  std::string pluginPath; // empty: the plug-in library beside the tool
  std::string lv2Bundle;  // not empty: render the LV2 plug-in of this bundle folder instead
  std::string vst3Bundle; // not empty: render the VST3 plug-in of this bundle folder instead
  double tempo = 120.0;
  int bars = 8;
  int sigNumerator = 4;
  int sigDenominator = 4;
  double sampleRate = 44100.0;
  int blockSize = 512;
  std::string statePath;     // state chunk to load
  std::string presetPath;    // preset file to load instead (see PresetState.h)
  std::string saveStatePath; // where to save the state before rendering
  // Parameter name and normalised host value 0..1, applied in order after the state.
  std::vector<std::pair<std::string, double>> sets;
  std::string outPath;    // Standard MIDI File
  std::string eventsPath; // readable event list, "-" for standard output
  std::string wavPath;    // the notes played through a General MIDI SoundFont
  std::string soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2"; // Debian's timgm6mb-soundfont
  int gmProgram = 0;      // General MIDI program on every channel: acoustic grand piano
  std::string pngPath;    // piano roll picture
  int pngWidth = 1920;    // its widest
  bool quiet = false;
  bool listParams = false;
  bool help = false;

  MidiTimeBase TimeBase() const;
  // Length of the render in samples: bars of the signature at the tempo.
  int64_t TotalSamples() const;
};

// Reads the options (argv[1] on); false with a message for a bad one.
bool ParseRenderArgs(int argc, const char* const* argv, RenderSettings& settings, std::string& error);
std::string RenderUsage(const char* program);

// The plug-in library that sits beside the running program.
std::string DefaultPluginPath();

// Loads the state file (if any) and applies the --set values to an open plug-in.
bool PreparePlugin(VstHost& host, const RenderSettings& settings, std::string& error);

// One process call as the render plays it: where the transport stands, how it runs
// and how many frames the call covers.
struct RenderBlock {
  int64_t samplePos = 0;
  int frames = 0;
  double tempo = 120.0;
  int sigNumerator = 4;
  int sigDenominator = 4;
  bool playing = true;
};

// A plug-in the render drives, whatever its format: one block with a given transport
// in, the MIDI it sent out. Every format runs the same loop (RenderTransport), so
// their renders can only differ where the plug-ins do.
// Thread: the caller's, like the host it wraps.
class RenderTarget {
public:
  virtual ~RenderTarget() = default;
  // Most frames one block may have.
  virtual int MaxBlockSize() const = 0;
  // Runs one block and appends the MIDI the plug-in sent during it, in the order it
  // sent it, at absolute sample positions (block start + offset).
  virtual bool ProcessBlock(const RenderBlock& block, std::vector<MidiEventAt>& out, std::string& error) = 0;
};

// Appends a host's events from index `first` on (each with `position` and three
// `bytes`) as MIDI events at their absolute positions.
template <class HostEvent>
void AppendMidiEvents(const std::vector<HostEvent>& events, size_t first, std::vector<MidiEventAt>& out)
{
  for (size_t i = first; i < events.size(); ++i) {
    MidiEventAt m;
    m.sample = events[i].position;
    m.status = events[i].bytes[0];
    m.data1 = events[i].bytes[1];
    m.data2 = events[i].bytes[2];
    out.push_back(m);
  }
}

// Runs one block through `process` (the host call that plays it) and appends the
// MIDI the host collected meanwhile; on failure error takes the host's message.
template <class Host, class Process>
bool CollectBlock(Host& host, Process&& process, std::vector<MidiEventAt>& out, std::string& error)
{
  const size_t first = host.Events().size();
  if (!process()) {
    error = host.Error();
    return false;
  }
  AppendMidiEvents(host.Events(), first, out);
  return true;
}

// The VST 2.4 host as a render target: the block's transport becomes the time info.
class VstRenderTarget : public RenderTarget {
public:
  explicit VstRenderTarget(VstHost& host) : mHost(host) {}
  int MaxBlockSize() const override { return mHost.BlockSize(); }
  bool ProcessBlock(const RenderBlock& block, std::vector<MidiEventAt>& out, std::string& error) override;

private:
  VstHost& mHost;
};

struct RenderResult {
  std::vector<MidiEventAt> events; // in time order
  int64_t totalSamples = 0;
  int64_t blocks = 0;
};

// Plays the transport from 0 for the settings' length, then stops it for one more
// block so the plug-in releases whatever still sounds. The result holds the events
// inside the render's length and the releases at its end. progress (may be empty)
// is called after every block with the samples rendered so far.
bool RenderTransport(RenderTarget& target, const RenderSettings& settings, RenderResult& result, std::string& error,
                     const std::function<void(int64_t done, int64_t total)>& progress = nullptr);
bool RenderTransport(VstHost& host, const RenderSettings& settings, RenderResult& result, std::string& error,
                     const std::function<void(int64_t done, int64_t total)>& progress = nullptr);

// The blocks RenderTransport plays for the settings, in order: from position 0 on in
// blocks of the settings' size (the last one shorter), then one stopped block.
std::vector<RenderBlock> RenderBlocks(const RenderSettings& settings);
