#include "MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFFu);
}

// Variable-length quantity: 7 bits per byte, most significant first, the high bit
// set on every byte but the last. Files allow at most 0x0FFFFFFF.
void PutVarLen(std::vector<uint8_t>& out, int64_t value)
{
  uint32_t v = value < 0 ? 0u : value > 0x0FFFFFFF ? 0x0FFFFFFFu : static_cast<uint32_t>(value);
  uint8_t bytes[4];
  int n = 0;
  do {
    bytes[n++] = static_cast<uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v != 0);
  while (n > 1) out.push_back(static_cast<uint8_t>(bytes[--n] | 0x80));
  out.push_back(bytes[0]);
}

int Log2(int v)
{
  int n = 0;
  while (v > 1) {
    v >>= 1;
    ++n;
  }
  return n;
}

} // namespace

int64_t SampleToTick(int64_t sample, const MidiTimeBase& tb)
{
  if (sample <= 0) return 0;
  double ticks = static_cast<double>(sample) * tb.tempo * tb.ticksPerQuarter / (60.0 * tb.sampleRate);
  return static_cast<int64_t>(std::floor(ticks + 0.5));
}

std::string BarBeatTick(int64_t tick, const MidiTimeBase& tb)
{
  int64_t perBeat = tb.TicksPerBeat(), perBar = tb.TicksPerBar();
  if (perBeat <= 0 || perBar <= 0) return "?";
  if (tick < 0) tick = 0;
  char text[64];
  std::snprintf(text, sizeof text, "%lld:%lld:%03lld", static_cast<long long>(tick / perBar + 1),
                static_cast<long long>(tick % perBar / perBeat + 1), static_cast<long long>(tick % perBeat));
  return text;
}

int MidiMessageLength(uint8_t status)
{
  if (status < 0x80 || status >= 0xF0) return 0;
  uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

void SortBySample(std::vector<MidiEventAt>& events)
{
  std::stable_sort(events.begin(), events.end(),
                   [](const MidiEventAt& a, const MidiEventAt& b) { return a.sample < b.sample; });
}

std::vector<uint8_t> BuildMidiFile(const std::vector<MidiEventAt>& events, const MidiTimeBase& tb, int64_t endSample,
                                   const std::string& trackName, int* skipped)
{
  std::vector<MidiEventAt> sorted(events);
  SortBySample(sorted);

  std::vector<uint8_t> track;
  if (!trackName.empty()) {
    track.insert(track.end(), {0x00, 0xFF, 0x03});
    PutVarLen(track, static_cast<int64_t>(trackName.size()));
    track.insert(track.end(), trackName.begin(), trackName.end());
  }
  // Time signature: numerator, denominator as a power of two, 24 MIDI clocks per
  // metronome click, 8 thirty-seconds per quarter.
  track.insert(track.end(), {0x00, 0xFF, 0x58, 0x04, static_cast<uint8_t>(tb.sigNumerator),
                             static_cast<uint8_t>(Log2(tb.sigDenominator)), 24, 8});
  // Tempo in microseconds per quarter note, 24 bits.
  double micros = std::floor(60000000.0 / tb.tempo + 0.5);
  uint32_t tempo = micros < 1.0 ? 1u : micros > 16777215.0 ? 16777215u : static_cast<uint32_t>(micros);
  track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(tempo >> 16),
                             static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo)});

  int dropped = 0;
  int64_t lastTick = 0;
  for (const MidiEventAt& e : sorted) {
    int length = MidiMessageLength(e.status);
    if (length == 0) {
      ++dropped;
      continue;
    }
    int64_t tick = SampleToTick(e.sample, tb);
    PutVarLen(track, tick - lastTick);
    lastTick = tick;
    track.push_back(e.status);
    track.push_back(e.data1 & 0x7F);
    if (length == 3) track.push_back(e.data2 & 0x7F);
  }
  int64_t endTick = std::max(SampleToTick(endSample, tb), lastTick);
  PutVarLen(track, endTick - lastTick);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<uint8_t> file;
  file.insert(file.end(), {'M', 'T', 'h', 'd'});
  Put32(file, 6);
  Put16(file, 0); // format 0: one track
  Put16(file, 1);
  Put16(file, static_cast<uint32_t>(tb.ticksPerQuarter));
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  Put32(file, static_cast<uint32_t>(track.size()));
  file.insert(file.end(), track.begin(), track.end());
  if (skipped) *skipped = dropped;
  return file;
}

std::string DescribeMidi(const MidiEventAt& e)
{
  char text[96];
  int ch = (e.status & 0x0F) + 1;
  switch (e.status & 0xF0) {
  case 0x80:
    std::snprintf(text, sizeof text, "note-off  ch %-2d key %-3d vel %d", ch, e.data1, e.data2);
    break;
  case 0x90:
    if (e.data2 == 0)
      std::snprintf(text, sizeof text, "note-off  ch %-2d key %-3d (note-on vel 0)", ch, e.data1);
    else
      std::snprintf(text, sizeof text, "note-on   ch %-2d key %-3d vel %d", ch, e.data1, e.data2);
    break;
  case 0xA0:
    std::snprintf(text, sizeof text, "key-press ch %-2d key %-3d val %d", ch, e.data1, e.data2);
    break;
  case 0xB0:
    std::snprintf(text, sizeof text, "control   ch %-2d ctl %-3d val %d", ch, e.data1, e.data2);
    break;
  case 0xC0:
    std::snprintf(text, sizeof text, "program   ch %-2d prg %d", ch, e.data1);
    break;
  case 0xD0:
    std::snprintf(text, sizeof text, "pressure  ch %-2d val %d", ch, e.data1);
    break;
  case 0xE0:
    std::snprintf(text, sizeof text, "pitchbend ch %-2d val %d", ch, (e.data2 & 0x7F) << 7 | (e.data1 & 0x7F));
    break;
  default:
    std::snprintf(text, sizeof text, "other     %02X %02X %02X (not in the file)", e.status, e.data1, e.data2);
    break;
  }
  return text;
}

std::string FormatEventList(const std::vector<MidiEventAt>& events, const MidiTimeBase& tb)
{
  std::string out;
  char line[192];
  std::snprintf(line, sizeof line, "# %g bpm, %d/%d, %g Hz, %d ticks per quarter\n", tb.tempo, tb.sigNumerator,
                tb.sigDenominator, tb.sampleRate, tb.ticksPerQuarter);
  out += line;
  std::snprintf(line, sizeof line, "# %10s %9s  %-14s %s\n", "sample", "tick", "bar:beat:tick", "event");
  out += line;
  for (const MidiEventAt& e : events) {
    int64_t tick = SampleToTick(e.sample, tb);
    std::snprintf(line, sizeof line, "%12lld %9lld  %-14s %s\n", static_cast<long long>(e.sample),
                  static_cast<long long>(tick), BarBeatTick(tick, tb).c_str(), DescribeMidi(e).c_str());
    out += line;
  }
  return out;
}

NoteSummary SummariseNotes(const std::vector<MidiEventAt>& events)
{
  NoteSummary s;
  // Sounding count per channel and key: a key struck twice needs two offs.
  std::vector<int> sounding(16 * 128, 0);
  for (const MidiEventAt& e : events) {
    int kind = e.status & 0xF0, key = e.data1 & 0x7F, slot = (e.status & 0x0F) * 128 + key;
    if (kind == 0x90 && e.data2 > 0) {
      ++s.notes;
      if (s.firstSample < 0) {
        s.firstSample = e.sample;
        s.firstKey = key;
      }
      s.lastSample = e.sample;
      s.lastKey = key;
      if (s.lowestKey < 0 || key < s.lowestKey) s.lowestKey = key;
      if (key > s.highestKey) s.highestKey = key;
      ++sounding[static_cast<size_t>(slot)];
    } else if (kind == 0x80 || kind == 0x90) {
      if (sounding[static_cast<size_t>(slot)] > 0) --sounding[static_cast<size_t>(slot)];
    }
  }
  for (int n : sounding) s.stillSounding += n;
  return s;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) error = "cannot write '" + path + "': " + std::strerror(errno);
  return ok;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot read '" + path + "': " + std::strerror(errno);
    return false;
  }
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) error = "cannot read '" + path + "'";
  return ok;
}
