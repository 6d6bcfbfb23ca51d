#pragma once
// Rendered MIDI: Standard MIDI File output (format 0, one track with the tempo and
// time signature), a readable event list and a summary of the notes.
//
// Thread: plain functions on the caller's data; no state.

#include <cstdint>
#include <string>
#include <vector>

// One short MIDI message at an absolute sample position of a render.
struct MidiEventAt {
  int64_t sample = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

// How samples map to musical time. One tempo and signature for the whole render.
struct MidiTimeBase {
  double sampleRate = 44100.0;
  double tempo = 120.0;
  int sigNumerator = 4;
  int sigDenominator = 4; // a power of two, 1..64
  int ticksPerQuarter = 960;

  int64_t TicksPerBeat() const { return int64_t(ticksPerQuarter) * 4 / sigDenominator; }
  int64_t TicksPerBar() const { return TicksPerBeat() * sigNumerator; }
};

// Nearest tick of a sample position (negative positions count as 0).
int64_t SampleToTick(int64_t sample, const MidiTimeBase& tb);

// "bar:beat:tick", all counted from 1 except the tick within the beat ("1:1:000").
std::string BarBeatTick(int64_t tick, const MidiTimeBase& tb);

// Bytes a channel message takes in a file including the status (2 or 3); 0 for
// anything a Standard MIDI File cannot carry as a plain event (system and
// real-time messages, data bytes in the status position).
int MidiMessageLength(uint8_t status);

// The events (sorted by sample, keeping the order of equal times) as a format 0
// file: track name, time signature and tempo at tick 0, the events, and the end of
// the track at endSample or at the last event if that is later. Events the file
// cannot carry are left out; skipped, if given, counts them.
std::vector<uint8_t> BuildMidiFile(const std::vector<MidiEventAt>& events, const MidiTimeBase& tb, int64_t endSample,
                                   const std::string& trackName, int* skipped = nullptr);

// "note-on   ch 1  key 72  vel 100" and the like; channels counted from 1.
std::string DescribeMidi(const MidiEventAt& e);

// One line per event (sample, tick, bar:beat:tick, description) under a header.
std::string FormatEventList(const std::vector<MidiEventAt>& events, const MidiTimeBase& tb);

struct NoteSummary {
  int notes = 0;         // note-ons with a velocity above 0
  int64_t firstSample = -1;
  int firstKey = -1;
  int64_t lastSample = -1;
  int lastKey = -1;
  int lowestKey = -1;
  int highestKey = -1;
  int stillSounding = 0; // note-ons without a matching note-off at the end
};

// Events in time order (as BuildMidiFile sorts them).
NoteSummary SummariseNotes(const std::vector<MidiEventAt>& events);

// Stable sort by sample position.
void SortBySample(std::vector<MidiEventAt>& events);

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
