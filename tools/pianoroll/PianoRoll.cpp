#include "PianoRoll.h"

#include "LiceDraw.h"
#include "LiceText.h"
#include "WritePng.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace {

const LICE_pixel PAPER = LICE_RGBA(255, 255, 255, 255);
const LICE_pixel WHITE_KEY_ROW = LICE_RGBA(247, 247, 247, 255);
const LICE_pixel BLACK_KEY_ROW = LICE_RGBA(233, 233, 236, 255);
const LICE_pixel OCTAVE_LINE = LICE_RGBA(214, 214, 218, 255);
const LICE_pixel BEAT_LINE = LICE_RGBA(221, 221, 221, 255);
const LICE_pixel BAR_LINE = LICE_RGBA(150, 150, 150, 255);
const LICE_pixel LABEL = LICE_RGBA(68, 68, 68, 255);

// One colour per MIDI channel, far enough apart to tell the channels' notes apart.
const unsigned char CHANNEL_RGB[16][3] = {
  {31, 119, 180}, {214, 39, 40},   {44, 160, 44},  {255, 127, 14}, {148, 103, 189}, {23, 190, 207},
  {227, 119, 194}, {140, 86, 75},  {188, 189, 34}, {127, 127, 127}, {57, 59, 121},  {173, 73, 74},
  {99, 121, 57},  {206, 109, 189}, {82, 84, 163},  {231, 186, 82}};

bool IsBlackKey(int key)
{
  int k = key % 12;
  return k == 1 || k == 3 || k == 6 || k == 8 || k == 10;
}

LICE_TextFormat LabelFormat(int align)
{
  LICE_TextFormat f;
  f.size = 11;
  f.align = align;
  f.color = LABEL;
  return f;
}

} // namespace

std::vector<RollNote> CollectNotes(const std::vector<MidiEventAt>& events, int64_t endSample)
{
  std::vector<RollNote> notes;
  std::vector<std::deque<size_t>> sounding(16 * 128);
  for (const MidiEventAt& e : events) {
    int kind = e.status & 0xF0;
    if (kind != 0x80 && kind != 0x90) continue;
    RollNote n;
    n.on = e.sample;
    n.channel = e.status & 0x0F;
    n.key = e.data1 & 0x7F;
    n.velocity = e.data2 & 0x7F;
    std::deque<size_t>& open = sounding[static_cast<size_t>(n.channel * 128 + n.key)];
    if (kind == 0x90 && n.velocity > 0) {
      open.push_back(notes.size());
      notes.push_back(n);
    } else if (!open.empty()) {
      notes[open.front()].off = e.sample;
      open.pop_front();
    }
  }
  for (const std::deque<size_t>& open : sounding)
    for (size_t i : open) notes[i].off = std::max(endSample, notes[i].on);
  return notes;
}

RollRect RollLayout::NoteRect(const RollNote& n) const
{
  RollRect r;
  r.x0 = static_cast<int>(std::lround(X(n.on)));
  r.x1 = std::max(r.x0 + 1, static_cast<int>(std::lround(X(n.off))) - 1);
  r.x1 = std::min(r.x1, PlotRight());
  r.y0 = KeyTop(n.key) + 1;
  r.y1 = KeyTop(n.key) + KEY_HEIGHT - 1;
  return r;
}

RollLayout LayoutRoll(const std::vector<RollNote>& notes, const MidiTimeBase& tb, int64_t endSample, int maxWidth)
{
  RollLayout l;
  l.samplesPerBar = tb.sampleRate * 60.0 / tb.tempo * tb.sigNumerator * 4.0 / tb.sigDenominator;
  l.bars = std::max(1, static_cast<int>(std::ceil(static_cast<double>(endSample) / l.samplesPerBar - 1e-9)));
  int plot = std::max(1, maxWidth - RollLayout::GUTTER - RollLayout::RIGHT);
  l.pixelsPerBar = std::min<double>(RollLayout::PIXELS_PER_BAR, static_cast<double>(plot) / l.bars);
  l.width = RollLayout::GUTTER + static_cast<int>(std::ceil(l.bars * l.pixelsPerBar - 1e-6)) + RollLayout::RIGHT;
  int lowest = 60, highest = 60;
  if (!notes.empty()) {
    lowest = highest = notes.front().key;
    for (const RollNote& n : notes) {
      lowest = std::min(lowest, n.key);
      highest = std::max(highest, n.key);
    }
  }
  l.lowKey = std::max(0, lowest - RollLayout::KEY_MARGIN);
  l.highKey = std::min(127, highest + RollLayout::KEY_MARGIN);
  l.height = RollLayout::HEADER + (l.highKey - l.lowKey + 1) * RollLayout::KEY_HEIGHT + RollLayout::BOTTOM;
  return l;
}

LICE_pixel RollNoteColour(int channel, int velocity)
{
  const unsigned char* rgb = CHANNEL_RGB[channel & 15];
  double strength = 0.35 + 0.65 * std::clamp(velocity, 0, 127) / 127.0;
  int c[3];
  for (int i = 0; i < 3; ++i) c[i] = static_cast<int>(std::lround(255.0 - (255.0 - rgb[i]) * strength));
  return LICE_RGBA(c[0], c[1], c[2], 255);
}

RollLayout DrawRoll(LICE_IBitmap* bm, const std::vector<MidiEventAt>& events, const MidiTimeBase& tb, int64_t endSample,
              int maxWidth)
{
  const std::vector<RollNote> notes = CollectNotes(events, endSample);
  const RollLayout l = LayoutRoll(notes, tb, endSample, maxWidth);
  bm->Resize(l.width, l.height);
  LICE_Clear(bm, PAPER);
  const int left = RollLayout::GUTTER, right = l.PlotRight();
  const int top = RollLayout::HEADER, bottom = l.KeyTop(l.lowKey) + RollLayout::KEY_HEIGHT;

  for (int key = l.lowKey; key <= l.highKey; ++key) {
    int y = l.KeyTop(key);
    LICE_FillRect(bm, left, y, right - left, RollLayout::KEY_HEIGHT, IsBlackKey(key) ? BLACK_KEY_ROW : WHITE_KEY_ROW,
                  1.0f, LICE_BLIT_MODE_COPY);
    if (key % 12 == 0) {
      LICE_FillRect(bm, left, y + RollLayout::KEY_HEIGHT - 1, right - left, 1, OCTAVE_LINE, 1.0f, LICE_BLIT_MODE_COPY);
      std::string name = "C" + std::to_string(key / 12 - 1);
      LICE_DrawText(bm, name.c_str(), 0, y + RollLayout::KEY_HEIGHT / 2 - 6, left - 4, y + RollLayout::KEY_HEIGHT,
                    LabelFormat(LICE_TEXT_ALIGN_RIGHT));
    }
  }

  // Beat lines where beats are at least 5 pixels apart; bar lines (and numbers) on
  // every bar, or on every 2nd, 4th, ... when bars are narrow.
  const double pixelsPerBeat = l.pixelsPerBar / tb.sigNumerator;
  if (pixelsPerBeat >= 5.0) {
    for (int beat = 1; beat < l.bars * tb.sigNumerator; ++beat) {
      if (beat % tb.sigNumerator == 0) continue;
      int x = static_cast<int>(std::lround(left + beat * pixelsPerBeat));
      LICE_FillRect(bm, x, top, 1, bottom - top, BEAT_LINE, 1.0f, LICE_BLIT_MODE_COPY);
    }
  }
  int lineStep = 1, labelStep = 1;
  while (lineStep * l.pixelsPerBar < 4.0) lineStep *= 2;
  while (labelStep * l.pixelsPerBar < 26.0) labelStep *= 2;
  for (int bar = 0; bar <= l.bars; bar += lineStep) {
    int x = static_cast<int>(std::lround(left + bar * l.pixelsPerBar));
    LICE_FillRect(bm, x, top, 1, bottom - top, BAR_LINE, 1.0f, LICE_BLIT_MODE_COPY);
    if (bar % labelStep == 0 && bar < l.bars)
      LICE_DrawText(bm, std::to_string(bar + 1).c_str(), x + 2, 2, x + 60, top, LabelFormat(LICE_TEXT_ALIGN_LEFT));
  }

  for (const RollNote& n : notes) {
    RollRect r = l.NoteRect(n);
    LICE_FillRect(bm, r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0, RollNoteColour(n.channel, n.velocity), 1.0f,
                  LICE_BLIT_MODE_COPY);
  }
  return l;
}

bool WriteRollPng(const std::string& path, const std::vector<MidiEventAt>& events, const MidiTimeBase& tb,
                  int64_t endSample, int maxWidth, RollLayout& layout, std::string& error)
{
  LICE_MemBitmap bm;
  layout = DrawRoll(&bm, events, tb, endSample, maxWidth);
  if (WritePNG(path.c_str(), &bm)) return true;
  error = "cannot write '" + path + "'";
  return false;
}
