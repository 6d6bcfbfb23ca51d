// The piano roll read back from its PNG file: its size follows the render's length,
// key range and width cap, every note's rectangle holds the note's colour and the
// gaps between notes on one key do not.
#include "LiceDraw.h"
#include "LicePng.h"
#include "PianoRoll.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const int64_t BAR = 88200; // 120 bpm, 4/4, 44100 Hz

struct Roll {
  std::unique_ptr<LICE_MemBitmap> png;
  RollLayout layout;
};

Roll WriteAndRead(const std::vector<MidiEventAt>& events, int64_t end, int maxWidth)
{
  TempDir dir("tav-roll-");
  Roll r;
  std::string error;
  EXPECT_TRUE(WriteRollPng(dir.path("roll.png"), events, MidiTimeBase(), end, maxWidth, r.layout, error)) << error;
  r.png.reset(LICE_LoadPNGFromFile(dir.path("roll.png").c_str()));
  return r;
}

LICE_pixel At(const LICE_IBitmap* bm, int x, int y) { return LICE_GetPixel(bm, x, y); }

TEST(PianoRoll, NotesAreTheirRectanglesAndTheGapsBetweenThemAreNot)
{
  // Key 60 struck four times on channel 1 at falling velocities with gaps between;
  // a chord on channel 2 over it; key 72 on channel 3 held past the end.
  std::vector<MidiEventAt> events;
  for (int i = 0; i < 4; ++i) {
    events.push_back({i * BAR / 2, 0x90, 60, uint8_t(127 - 30 * i)});
    events.push_back({i * BAR / 2 + BAR / 4, 0x80, 60, 0});
  }
  for (uint8_t key : {64, 67, 71}) {
    events.push_back({BAR / 8 + 1001, 0x91, key, 90});
    events.push_back({BAR + 5, 0x81, key, 0});
  }
  events.push_back({BAR, 0x92, 72, 50});
  SortBySample(events);
  const int64_t end = 3 * BAR;
  Roll r = WriteAndRead(events, end, 4000);
  ASSERT_TRUE(r.png);
  const RollLayout& l = r.layout;
  EXPECT_EQ(r.png->GetWidth(), l.width);
  EXPECT_EQ(r.png->GetHeight(), l.height);
  EXPECT_EQ(l.lowKey, 60 - RollLayout::KEY_MARGIN);
  EXPECT_EQ(l.highKey, 72 + RollLayout::KEY_MARGIN);
  // Three bars at 60 pixels each; at least 6 pixels a key.
  EXPECT_DOUBLE_EQ(l.X(3 * BAR) - l.X(0), 180.0);
  EXPECT_LE(l.width, 180 + 60);
  EXPECT_GE(l.height, (l.highKey - l.lowKey + 1) * 6);

  const std::vector<RollNote> notes = CollectNotes(events, end);
  ASSERT_EQ(notes.size(), 8u);
  for (const RollNote& n : notes) EXPECT_EQ(n.off == end, n.key == 72); // held past the end
  for (const RollNote& n : notes) {
    RollRect rect = l.NoteRect(n);
    int y = (rect.y0 + rect.y1) / 2;
    EXPECT_GE(rect.x0, l.X(n.on) - 1);
    EXPECT_LE(rect.x1, l.X(n.off) + 1);
    EXPECT_TRUE(y > l.KeyTop(n.key) && y < l.KeyTop(n.key - 1)) << n.key;
    for (int x : {rect.x0, (rect.x0 + rect.x1) / 2, rect.x1 - 1})
      EXPECT_EQ(At(r.png.get(), x, y), RollNoteColour(n.channel, n.velocity)) << "key " << n.key << " at x " << x;
  }
  // The gaps on key 60, and the colours: by channel, softer notes paler.
  const int y60 = (l.NoteRect(notes[0]).y0 + l.NoteRect(notes[0]).y1) / 2;
  for (int i = 0; i < 3; ++i) {
    int x = static_cast<int>(l.X(i * BAR / 2 + 3 * BAR / 8));
    LICE_pixel p = At(r.png.get(), x, y60);
    for (const RollNote& n : notes) EXPECT_NE(p, RollNoteColour(n.channel, n.velocity)) << "gap " << i;
  }
  auto lightness = [](LICE_pixel p) { return LICE_GETR(p) + LICE_GETG(p) + LICE_GETB(p); };
  EXPECT_LT(lightness(RollNoteColour(0, 127)), lightness(RollNoteColour(0, 37)));
  for (int ch = 1; ch < 16; ++ch) EXPECT_NE(RollNoteColour(ch, 100), RollNoteColour(ch - 1, 100));
}

TEST(PianoRoll, TheWidthCapSqueezesTheBarsNotTheKeys)
{
  std::vector<MidiEventAt> events;
  for (int bar = 0; bar < 64; ++bar) {
    events.push_back({bar * BAR, 0x90, uint8_t(40 + bar % 24), 100});
    events.push_back({bar * BAR + BAR / 2, 0x80, uint8_t(40 + bar % 24), 0});
  }
  Roll wide = WriteAndRead(events, 64 * BAR, 20000);
  Roll narrow = WriteAndRead(events, 64 * BAR, 400);
  ASSERT_TRUE(wide.png && narrow.png);
  EXPECT_EQ(wide.png->GetWidth(), wide.layout.width);
  EXPECT_DOUBLE_EQ(wide.layout.pixelsPerBar, 60.0);
  EXPECT_LE(narrow.png->GetWidth(), 400);
  EXPECT_GE(narrow.png->GetWidth(), 390);
  EXPECT_EQ(narrow.png->GetHeight(), wide.png->GetHeight());
  // Still one mark per note: the last note sits where its bar is.
  const RollLayout& l = narrow.layout;
  RollNote last = CollectNotes(events, 64 * BAR).back();
  RollRect rect = l.NoteRect(last);
  EXPECT_EQ(At(narrow.png.get(), rect.x0, (rect.y0 + rect.y1) / 2), RollNoteColour(0, 100));
  EXPECT_NEAR(rect.x0, narrow.png->GetWidth() - RollLayout::RIGHT - l.pixelsPerBar, 1.0);
}

} // namespace
