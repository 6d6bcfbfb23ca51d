#include "Render.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

#if defined(_WIN32)
const char* const PLUGIN_FILE = "Tavrinel.dll";
#else
const char* const PLUGIN_FILE = "Tavrinel.so";
#endif

bool ParseNumber(const std::string& text, double& out)
{
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool ParseNumber(const std::string& text, int& out)
{
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || v < -2147483647L || v > 2147483647L) return false;
  out = static_cast<int>(v);
  return true;
}

// The value of a numeric option, which must lie from lo to hi; otherwise error
// says what the option wants.
template <class T>
bool ParseOptionInRange(const std::string& option, const std::string& value, T lo, T hi, const char* pWants, T& out,
                        std::string& error)
{
  if (ParseNumber(value, out) && out >= lo && out <= hi) return true;
  error = option + " wants " + pWants + ", not '" + value + "'";
  return false;
}

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

std::string DirectoryOf(const std::string& path)
{
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

MidiTimeBase RenderSettings::TimeBase() const
{
  MidiTimeBase tb;
  tb.sampleRate = sampleRate;
  tb.tempo = tempo;
  tb.sigNumerator = sigNumerator;
  tb.sigDenominator = sigDenominator;
  return tb;
}

int64_t RenderSettings::TotalSamples() const
{
  double quartersPerBar = sigNumerator * 4.0 / sigDenominator;
  double samples = bars * quartersPerBar * 60.0 / tempo * sampleRate;
  return static_cast<int64_t>(std::floor(samples + 0.5));
}

std::string RenderUsage(const char* program)
{
  std::string p = program ? program : "tavrinel_render";
  return "usage: " + p +
         " [options]\n"
         "Plays a VST 2.4, LV2 or VST3 plug-in's transport from position 0 and records the MIDI it\n"
         "sends.\n"
         "  --plugin PATH     plug-in library (default: the Tavrinel plug-in beside this program)\n"
         "  --lv2 BUNDLE      render the Tavrinel LV2 plug-in of this bundle folder instead; its\n"
         "                    control ports take the --set values, its state extension the states\n"
         "  --vst3 BUNDLE     render the Tavrinel VST3 plug-in of this bundle folder instead; its\n"
         "                    parameters (by title) take the --set values, its component the states\n"
         "  --tempo BPM       tempo, 1..999 (default 120)\n"
         "  --bars N          bars to render, 1..9999 (default 8)\n"
         "  --sig N/D         time signature, N 1..64, D a power of two 1..64 (default 4/4)\n"
         "  --rate HZ         sample rate, 1000..768000 (default 44100)\n"
         "  --block N         frames per process call, 1..65536 (default 512)\n"
         "  --state FILE      state chunk to load before rendering\n"
         "  --preset FILE     Tavrinel preset file to load instead of a state (through\n"
         "                    tavrinel_preset2state beside this program)\n"
         "  --save-state FILE save the state chunk (after --state and --set) before rendering\n"
         "  --set NAME=VALUE  set a parameter by name to a normalised host value 0..1 (repeatable)\n"
         "  --params          list the parameters with their current display texts and stop\n"
         "  --out FILE.mid    write a Standard MIDI File (format 0, 960 ticks per quarter)\n"
         "  --events FILE     write a readable event list ('-' for standard output)\n"
         "  --wav FILE        play the notes through FluidSynth into a stereo 24-bit WAV file\n"
         "                    at the render's rate, with two seconds for the last notes to ring\n"
         "  --soundfont FILE  General MIDI SoundFont for --wav (default: Debian's timgm6mb,\n"
         "                    /usr/share/sounds/sf2/TimGM6mb.sf2)\n"
         "  --gm-program N    General MIDI program 0..127 on every channel (default 0, piano)\n"
         "  --png FILE        draw the notes as a piano roll (PNG)\n"
         "  --png-width N     the piano roll's widest, 200..20000 pixels (default 1920)\n"
         "  --quiet           no progress and no summary\n"
         "  --help            this text\n";
}

bool ParseRenderArgs(int argc, const char* const* argv, RenderSettings& s, std::string& error)
{
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    std::string value;
    bool hasValue = false;
    size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    // Options without a value.
    if (arg == "--quiet" || arg == "--params" || arg == "--help" || arg == "-h") {
      if (hasValue) {
        error = arg + " takes no value";
        return false;
      }
      if (arg == "--quiet") s.quiet = true;
      else if (arg == "--params") s.listParams = true;
      else s.help = true;
      continue;
    }
    static const char* const withValue[] = {"--plugin",    "--tempo",      "--bars",  "--sig",       "--rate",
                                            "--block",     "--state",      "--set",   "--save-state", "--out",
                                            "--events",    "--preset",     "--lv2",   "--wav",        "--soundfont",
                                            "--gm-program", "--png",       "--png-width", "--vst3"};
    bool known = false;
    for (const char* k : withValue) known = known || arg == k;
    if (!known) {
      error = "unknown option '" + arg + "'";
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= argc || !argv[i + 1]) {
        error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (arg == "--plugin") {
      if (value.empty()) {
        error = "--plugin needs a path";
        return false;
      }
      s.pluginPath = value;
    } else if (arg == "--lv2") {
      if (value.empty()) {
        error = "--lv2 needs a bundle folder";
        return false;
      }
      s.lv2Bundle = value;
    } else if (arg == "--vst3") {
      if (value.empty()) {
        error = "--vst3 needs a bundle folder";
        return false;
      }
      s.vst3Bundle = value;
    } else if (arg == "--tempo") {
      if (!ParseOptionInRange(arg, value, 1.0, 999.0, "beats per minute from 1 to 999", s.tempo, error)) return false;
    } else if (arg == "--bars") {
      if (!ParseOptionInRange(arg, value, 1, 9999, "a whole number from 1 to 9999", s.bars, error)) return false;
    } else if (arg == "--sig") {
      size_t slash = value.find('/');
      int num = 0, den = 0;
      if (slash == std::string::npos || !ParseNumber(value.substr(0, slash), num) ||
          !ParseNumber(value.substr(slash + 1), den) || num < 1 || num > 64 || den > 64 || !IsPowerOfTwo(den)) {
        error = "--sig wants N/D with N from 1 to 64 and D a power of two up to 64, not '" + value + "'";
        return false;
      }
      s.sigNumerator = num;
      s.sigDenominator = den;
    } else if (arg == "--rate") {
      if (!ParseOptionInRange(arg, value, 1000.0, 768000.0, "a sample rate from 1000 to 768000 Hz", s.sampleRate, error))
        return false;
    } else if (arg == "--block") {
      if (!ParseOptionInRange(arg, value, 1, 65536, "a frame count from 1 to 65536", s.blockSize, error)) return false;
    } else if (arg == "--state") {
      s.statePath = value;
    } else if (arg == "--preset") {
      s.presetPath = value;
    } else if (arg == "--save-state") {
      s.saveStatePath = value;
    } else if (arg == "--set") {
      // Parameter names may hold blanks but no '=': the value follows the last one.
      size_t at = value.rfind('=');
      double v = 0.0;
      if (at == std::string::npos || at == 0 || !ParseNumber(value.substr(at + 1), v) || v < 0.0 || v > 1.0) {
        error = "--set wants NAME=VALUE with a normalised value from 0 to 1, not '" + value + "'";
        return false;
      }
      s.sets.emplace_back(value.substr(0, at), v);
    } else if (arg == "--out") {
      s.outPath = value;
    } else if (arg == "--events") {
      s.eventsPath = value;
    } else if (arg == "--wav") {
      s.wavPath = value;
    } else if (arg == "--soundfont") {
      s.soundFont = value;
    } else if (arg == "--gm-program") {
      if (!ParseOptionInRange(arg, value, 0, 127, "a program number from 0 to 127", s.gmProgram, error)) return false;
    } else if (arg == "--png") {
      s.pngPath = value;
    } else if (arg == "--png-width") {
      if (!ParseOptionInRange(arg, value, 200, 20000, "a width from 200 to 20000 pixels", s.pngWidth, error))
        return false;
    }
    if (value.empty()) {
      error = arg + " needs a value";
      return false;
    }
  }
  if (int(!s.pluginPath.empty()) + int(!s.lv2Bundle.empty()) + int(!s.vst3Bundle.empty()) > 1) {
    error = "--plugin, --lv2 and --vst3 each name the plug-in: choose one";
    return false;
  }
  if (!s.statePath.empty() && !s.presetPath.empty()) {
    error = "--state and --preset both give the whole state: choose one";
    return false;
  }
  return true;
}

std::string DefaultPluginPath()
{
  std::string dir = DirectoryOf(VstExecutablePath());
  // Without a folder the system would search its library path instead.
  return (dir.empty() ? std::string("./") : dir) + PLUGIN_FILE;
}

bool PreparePlugin(VstHost& host, const RenderSettings& settings, std::string& error)
{
  if (!settings.statePath.empty()) {
    std::vector<uint8_t> chunk;
    if (!ReadFileBytes(settings.statePath, chunk, error)) return false;
    if (chunk.empty()) {
      error = "state file '" + settings.statePath + "' is empty";
      return false;
    }
    if (!host.SetChunk(chunk, true)) {
      error = "the plug-in refused the state in '" + settings.statePath + "'";
      return false;
    }
  }
  for (const auto& set : settings.sets) {
    int index = host.FindParam(set.first);
    if (index < 0) {
      error = "the plug-in has no parameter named '" + set.first + "' (--params lists them)";
      return false;
    }
    host.SetParam(index, static_cast<float>(set.second));
  }
  return true;
}

bool VstRenderTarget::ProcessBlock(const RenderBlock& block, std::vector<MidiEventAt>& out, std::string& error)
{
  VstTransport& t = mHost.Transport();
  t.tempo = block.tempo;
  t.sigNumerator = block.sigNumerator;
  t.sigDenominator = block.sigDenominator;
  t.samplePos = static_cast<double>(block.samplePos);
  t.playing = block.playing;
  t.timeInfo = true;
  return CollectBlock(mHost, [&] { return mHost.Process(block.frames); }, out, error);
}

std::vector<RenderBlock> RenderBlocks(const RenderSettings& settings)
{
  std::vector<RenderBlock> blocks;
  RenderBlock b;
  b.tempo = settings.tempo;
  b.sigNumerator = settings.sigNumerator;
  b.sigDenominator = settings.sigDenominator;
  int64_t total = settings.TotalSamples();
  while (b.samplePos < total) {
    int64_t left = total - b.samplePos;
    b.frames = left < settings.blockSize ? static_cast<int>(left) : settings.blockSize;
    blocks.push_back(b);
    b.samplePos += b.frames;
  }
  // One stopped block at the end: the plug-in releases every note still sounding.
  b.playing = false;
  b.frames = settings.blockSize;
  blocks.push_back(b);
  return blocks;
}

bool RenderTransport(VstHost& host, const RenderSettings& settings, RenderResult& result, std::string& error,
                     const std::function<void(int64_t done, int64_t total)>& progress)
{
  if (!host.IsOpen()) {
    result = RenderResult();
    error = "the plug-in is not open";
    return false;
  }
  host.ClearEvents();
  VstRenderTarget target(host);
  return RenderTransport(target, settings, result, error, progress);
}

bool RenderTransport(RenderTarget& target, const RenderSettings& settings, RenderResult& result, std::string& error,
                     const std::function<void(int64_t done, int64_t total)>& progress)
{
  result = RenderResult();
  if (settings.blockSize > target.MaxBlockSize()) {
    error = "block size above the one the plug-in was opened with";
    return false;
  }
  int64_t total = settings.TotalSamples();
  std::vector<MidiEventAt> all;
  for (const RenderBlock& block : RenderBlocks(settings)) {
    if (!target.ProcessBlock(block, all, error)) return false;
    ++result.blocks;
    if (progress && block.playing) progress(block.samplePos + block.frames, total);
  }
  for (MidiEventAt& m : all)
    if (m.sample < 0) m.sample = 0;
  SortBySample(all);
  // The render covers [0, total). What the plug-in sends at the end position or later
  // (a pulse due exactly at the end of the last block belongs to the next bar) is
  // left out, except the note-offs that release notes begun inside the render.
  std::vector<int> sounding(16 * 128, 0);
  for (const MidiEventAt& m : all) {
    int kind = m.status & 0xF0;
    size_t slot = static_cast<size_t>((m.status & 0x0F) * 128 + (m.data1 & 0x7F));
    bool on = kind == 0x90 && m.data2 > 0, off = kind == 0x80 || (kind == 0x90 && m.data2 == 0);
    if (m.sample >= total) {
      if (!off || sounding[slot] == 0) continue;
    }
    if (on) ++sounding[slot];
    if (off && sounding[slot] > 0) --sounding[slot];
    result.events.push_back(m);
  }
  result.totalSamples = total;
  return true;
}
