#pragma once
// The render tool's picture of the notes: a piano roll with time from left to
// right (bar and beat lines, bar numbers) and keys from bottom to top over the
// range the notes use plus a margin (note names on the C keys), one rectangle per
// note from its note-on to its note-off, coloured by MIDI channel and shaded by
// velocity. Drawn with the bitmap layer, written as PNG.
//
// Thread: plain functions on the caller's data.

#include "LiceBitmap.h"
#include "MidiFile.h"

#include <cstdint>
#include <string>
#include <vector>

struct RollNote {
  int64_t on = 0;
  int64_t off = 0; // exclusive
  int channel = 0; // 0..15
  int key = 0;
  int velocity = 0;
};

// The notes of events in time order: each note-on ends at the next note-off of its
// channel and key (the earliest sounding one first); one still sounding ends at
// endSample.
std::vector<RollNote> CollectNotes(const std::vector<MidiEventAt>& events, int64_t endSample);

struct RollRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // x1, y1 exclusive
};

// Where everything goes. About 60 pixels a bar, fewer when the picture would be
// wider than maxWidth; 8 pixels a key.
struct RollLayout {
  static constexpr int PIXELS_PER_BAR = 60;
  static constexpr int KEY_HEIGHT = 8;
  static constexpr int KEY_MARGIN = 3;   // empty keys above and below the notes
  static constexpr int GUTTER = 34;      // note names at the left
  static constexpr int HEADER = 16;      // bar numbers at the top
  static constexpr int RIGHT = 6;
  static constexpr int BOTTOM = 4;

  int width = 0, height = 0;
  int bars = 1;
  double pixelsPerBar = PIXELS_PER_BAR;
  double samplesPerBar = 1.0;
  int lowKey = 0, highKey = 0;

  double X(int64_t sample) const { return GUTTER + sample / samplesPerBar * pixelsPerBar; }
  // Top row of a key's band.
  int KeyTop(int key) const { return HEADER + (highKey - key) * KEY_HEIGHT; }
  int PlotRight() const { return width - RIGHT; }
  // The note's rectangle: its key's band less a pixel above and below, from its
  // note-on to a pixel before its note-off, so that notes in a row stay apart.
  RollRect NoteRect(const RollNote& n) const;
};

RollLayout LayoutRoll(const std::vector<RollNote>& notes, const MidiTimeBase& tb, int64_t endSample, int maxWidth);

// A note's fill: the channel's colour, paler the softer the note.
LICE_pixel RollNoteColour(int channel, int velocity);

// Draws the piano roll of the events of a render [0, endSample) into bm (resized);
// returns its layout.
RollLayout DrawRoll(LICE_IBitmap* bm, const std::vector<MidiEventAt>& events, const MidiTimeBase& tb, int64_t endSample,
              int maxWidth);

// Draws it and writes it to a PNG file; false with a message when writing fails.
bool WriteRollPng(const std::string& path, const std::vector<MidiEventAt>& events, const MidiTimeBase& tb,
                  int64_t endSample, int maxWidth, RollLayout& layout, std::string& error);
