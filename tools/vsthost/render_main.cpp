// tavrinel_render: hosts a VST 2.4 plug-in (or, with --lv2 or --vst3, the LV2 or
// the VST3 one) offline, plays its transport from the start for a number of bars
// and writes the MIDI it sends as a Standard MIDI File, a readable event list, a
// piano roll picture and (where FluidSynth is built in) a WAV file of the notes
// played by a General MIDI synth.
#include "PianoRoll.h"
#include "PresetState.h"
#include "Progress.h"
#include "Render.h"
#include "Vst3Render.h"
#if defined(TAV_RENDER_LV2)
#include "Lv2Render.h"
#endif
#if defined(TAV_RENDER_WAV)
#include "SynthRender.h"
#endif

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

const char* const TOOL = "tavrinel_render";

int Fail(const std::string& message, int code = 1)
{
  std::fprintf(stderr, "%s: %s\n", TOOL, message.c_str());
  return code;
}

double Seconds(int64_t samples, double rate) { return static_cast<double>(samples) / rate; }

void PrintSummary(std::FILE* to, const RenderSettings& s, const RenderResult& r, int blockSize)
{
  MidiTimeBase tb = s.TimeBase();
  std::fprintf(to, "rendered %d bar%s of %d/%d at %g bpm: %.3f s (%lld samples at %g Hz, %lld blocks of %d)\n", s.bars,
               s.bars == 1 ? "" : "s", s.sigNumerator, s.sigDenominator, s.tempo, Seconds(r.totalSamples, s.sampleRate),
               static_cast<long long>(r.totalSamples), s.sampleRate, static_cast<long long>(r.blocks), blockSize);
  NoteSummary n = SummariseNotes(r.events);
  if (n.notes == 0) {
    std::fprintf(to, "notes: none (%zu MIDI events)\n", r.events.size());
    return;
  }
  std::fprintf(to, "notes: %d, keys %d..%d; first: key %d at %.3f s (%s); last: key %d at %.3f s (%s)\n", n.notes,
               n.lowestKey, n.highestKey, n.firstKey, Seconds(n.firstSample, s.sampleRate),
               BarBeatTick(SampleToTick(n.firstSample, tb), tb).c_str(), n.lastKey,
               Seconds(n.lastSample, s.sampleRate), BarBeatTick(SampleToTick(n.lastSample, tb), tb).c_str());
  if (n.stillSounding > 0)
    std::fprintf(to, "warning: %d note%s still sounding after the transport stopped\n", n.stillSounding,
                 n.stillSounding == 1 ? "" : "s");
}

} // namespace

int main(int argc, char** argv)
{
  RenderSettings s;
  std::string error;
  if (!ParseRenderArgs(argc, argv, s, error)) {
    std::fprintf(stderr, "%s: %s\n%s", TOOL, error.c_str(), RenderUsage(TOOL).c_str());
    return 2;
  }
  if (s.help) {
    std::fputs(RenderUsage(TOOL).c_str(), stdout);
    return 0;
  }
  // A WAV that cannot be made is refused before anything is rendered.
  if (!s.wavPath.empty()) {
#if defined(TAV_RENDER_WAV)
    if (!CheckSynth(s, error)) return Fail(error);
#else
    return Fail("--wav is not available in this build (it has no FluidSynth)");
#endif
  }
  // The state a --preset stands for (PresetState.h), or the --state file's bytes.
  std::vector<uint8_t> state;
  if (!s.presetPath.empty() && !ConvertPresetToState(PresetConverterPath(), s.presetPath, state, error))
    return Fail(error);
  // The VST 2.4 side reads a --state file itself (PreparePlugin).
  if (!s.statePath.empty() && (!s.lv2Bundle.empty() || !s.vst3Bundle.empty())) {
    if (!ReadFileBytes(s.statePath, state, error)) return Fail(error);
    if (state.empty()) return Fail("state file '" + s.statePath + "' is empty");
  }

  VstHost host;
  Vst3Host vst3;
#if defined(TAV_RENDER_LV2)
  Lv2Host lv2;
#endif
  std::unique_ptr<RenderTarget> target;
  if (!s.lv2Bundle.empty()) {
#if defined(TAV_RENDER_LV2)
    if (!lv2.Load(s.lv2Bundle)) return Fail(lv2.Error());
    if (!lv2.Open(s.sampleRate, s.blockSize)) return Fail(lv2.Error());
    if (!PrepareLv2Plugin(lv2, state, s, error)) return Fail(error);
    if (s.listParams) {
      std::printf("%s: %zu control ports\n", lv2.PluginName().c_str(), lv2.Controls().size());
      for (size_t i = 0; i < lv2.Controls().size(); ++i) {
        const Lv2ControlPort& c = lv2.Controls()[i];
        std::printf("%4u  %-24s %-12s %g  %s (%g..%g)\n", c.index, ("'" + c.name + "'").c_str(),
                    lv2.ControlDisplay(static_cast<int>(i)).c_str(), static_cast<double>(lv2.ControlValue(static_cast<int>(i))),
                    c.symbol.c_str(), static_cast<double>(c.minimum), static_cast<double>(c.maximum));
      }
      return 0;
    }
    if (!s.saveStatePath.empty()) {
      std::vector<uint8_t> chunk;
      if (!lv2.SaveState(chunk)) return Fail(lv2.Error());
      if (!WriteFileBytes(s.saveStatePath, chunk, error)) return Fail(error);
    }
    target = std::make_unique<Lv2RenderTarget>(lv2);
#else
    return Fail("this build has no LV2 host (lilv was not found)");
#endif
  } else if (!s.vst3Bundle.empty()) {
    if (!vst3.Load(s.vst3Bundle) || !vst3.Open(s.sampleRate, s.blockSize)) return Fail(vst3.Error());
    if (!PrepareVst3Plugin(vst3, state, s, error)) return Fail(error);
    if (s.listParams) {
      std::fputs(Vst3ParamList(vst3).c_str(), stdout);
      return 0;
    }
    if (!s.saveStatePath.empty()) {
      std::vector<uint8_t> chunk;
      if (!vst3.GetState(chunk)) return Fail("the plug-in gave no state to save");
      if (!WriteFileBytes(s.saveStatePath, chunk, error)) return Fail(error);
    }
    target = std::make_unique<Vst3RenderTarget>(vst3);
  } else {
    if (s.pluginPath.empty()) s.pluginPath = DefaultPluginPath();
    if (!host.Load(s.pluginPath)) return Fail(host.Error());
    if (!host.Open(s.sampleRate, s.blockSize)) return Fail(host.Error());
    if (!s.presetPath.empty() && !host.SetChunk(state, true))
      return Fail("the plug-in refused the state made from '" + s.presetPath + "'");
    if (!PreparePlugin(host, s, error)) return Fail(error);

    if (s.listParams) {
      std::printf("%s: %d parameters\n", host.EffectName().c_str(), host.NumParams());
      for (int i = 0; i < host.NumParams(); ++i) {
        std::string label = host.ParamLabel(i);
        std::printf("%4d  %-24s %-12s %.6f%s%s\n", i, ("'" + host.ParamName(i) + "'").c_str(),
                    host.ParamDisplay(i).c_str(), host.GetParam(i), label.empty() ? "" : "  ", label.c_str());
      }
      return 0;
    }

    if (!s.saveStatePath.empty()) {
      std::vector<uint8_t> chunk;
      if (!host.GetChunk(chunk, true)) return Fail("the plug-in gave no state to save");
      if (!WriteFileBytes(s.saveStatePath, chunk, error)) return Fail(error);
    }
    host.ClearEvents();
    target = std::make_unique<VstRenderTarget>(host);
  }

  const bool showProgress = !s.quiet && StderrIsTerminal();
  const double samplesPerBar = static_cast<double>(s.TotalSamples()) / s.bars;
  RenderResult result;
  bool rendered;
  {
    ProgressLine line("rendering", samplesPerBar, showProgress);
    rendered = RenderTransport(*target, s, result, error,
                               [&](int64_t done, int64_t total) { line.Update(done, total); });
  }
  target.reset();
  host.Close();
  vst3.Close();
#if defined(TAV_RENDER_LV2)
  lv2.Close();
#endif
  if (!rendered) return Fail(error);

  MidiTimeBase tb = s.TimeBase();
  int skipped = 0;
  if (!s.outPath.empty()) {
    std::vector<uint8_t> file = BuildMidiFile(result.events, tb, result.totalSamples, "Tavrinel", &skipped);
    if (!WriteFileBytes(s.outPath, file, error)) return Fail(error);
  }
  bool eventsToStdout = s.eventsPath == "-";
  if (!s.eventsPath.empty()) {
    std::string list = FormatEventList(result.events, tb);
    if (eventsToStdout) {
      std::fputs(list.c_str(), stdout);
      std::fflush(stdout);
    } else if (!WriteFileBytes(s.eventsPath, std::vector<uint8_t>(list.begin(), list.end()), error)) {
      return Fail(error);
    }
  }
  RollLayout roll;
  if (!s.pngPath.empty() && !WriteRollPng(s.pngPath, result.events, tb, result.totalSamples, s.pngWidth, roll, error))
    return Fail(error);
#if defined(TAV_RENDER_WAV)
  AudioSummary audio;
  if (!s.wavPath.empty()) {
    ProgressLine line("finding the level", samplesPerBar, showProgress);
    auto progress = [&](int pass, int64_t done, int64_t total) {
      if (pass == 2) line.Rename("playing through the synth");
      line.Update(done, total, (pass - 1 + static_cast<double>(done) / total) / 2.0);
    };
    if (!RenderWav(result, s, audio, error, progress)) return Fail(error);
  }
#endif
  if (!s.quiet) {
    // The summary keeps out of the way of an event list on standard output.
    std::FILE* to = eventsToStdout ? stderr : stdout;
    PrintSummary(to, s, result, s.blockSize);
    if (!s.outPath.empty())
      std::fprintf(to, "wrote %s: format 0, %d ticks per quarter, %zu events%s\n", s.outPath.c_str(),
                   tb.ticksPerQuarter, result.events.size() - static_cast<size_t>(skipped),
                   skipped > 0 ? " (system messages left out)" : "");
    if (!s.pngPath.empty())
      std::fprintf(to, "wrote %s: %d x %d pixels, keys %d..%d\n", s.pngPath.c_str(), roll.width, roll.height,
                   roll.lowKey, roll.highKey);
#if defined(TAV_RENDER_WAV)
    if (!s.wavPath.empty()) {
      std::fprintf(to, "wrote %s: %.3f s, stereo 24-bit at %g Hz, program %d of %s, raised by %.1f dB\n",
                   s.wavPath.c_str(), Seconds(audio.frames, s.sampleRate), s.sampleRate, s.gmProgram,
                   s.soundFont.c_str(), 20.0 * std::log10(audio.gain));
      if (audio.clipped > 0)
        std::fprintf(to, "warning: %lld samples beyond full scale were clipped\n",
                     static_cast<long long>(audio.clipped));
    }
#endif
  }
  return 0;
}
