#include "AllocCounter.h"
#include "NoteStream.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using Msgs = std::vector<IMidiMessage>;

IMidiMessage On(int at, int ch, int key, int vel) { return IMidiMessage(at, uint8_t(0x90 | ch), uint8_t(key), uint8_t(vel)); }
IMidiMessage Off(int at, int ch, int key) { return IMidiMessage(at, uint8_t(0x80 | ch), uint8_t(key), 0); }

Msgs Render(NoteStream& s, int n)
{
  Msgs out;
  s.render(out, n);
  return out;
}

TEST(NoteStream, EventsComeOutBlockByBlockInTimeOrder)
{
  NoteStream s;
  s.addNote(100, 0, 60, 90, 1000);
  s.addNote(100, 1, 64, 80, 50);
  s.addNote(20, 0, 67, 70, 80);  // its note-off at 100 was added after the two note-ons at 100
  EXPECT_EQ(Render(s, 512), (Msgs{On(20, 0, 67, 70), On(100, 0, 60, 90), On(100, 1, 64, 80), Off(100, 0, 67),
                                  Off(150, 1, 64)}));
  EXPECT_EQ(Render(s, 588), Msgs{});  // due exactly at the block end: first in the next block
  EXPECT_EQ(Render(s, 1), (Msgs{Off(0, 0, 60)}));
  EXPECT_EQ(s.pendingCount(), 0);
  EXPECT_EQ(s.activeNoteCount(), 0);
  s.addNote(0, 0, 60, 1, 10);  // t counts from the current block
  EXPECT_EQ(Render(s, 5), (Msgs{On(0, 0, 60, 1)}));
  EXPECT_EQ(Render(s, 5), Msgs{});
  EXPECT_EQ(Render(s, 5), (Msgs{Off(0, 0, 60)}));
}

TEST(NoteStream, LegatoCutEndsTheOldNoteOneSampleBeforeTheNewOne)
{
  NoteStream s;
  s.addNote(100, 3, 60, 90, 1000);
  s.addNote(300, 4, 60, 90, 1000);  // other channel: untouched
  s.addNote(500, 3, 60, 80, 1000);
  s.addNote(900, 3, 65, 90, 100);   // starts after the next one's t: not cut
  s.addNote(700, 3, 65, 90, 100);
  EXPECT_EQ(Render(s, 2000), (Msgs{On(100, 3, 60, 90), On(300, 4, 60, 90), Off(499, 3, 60), On(500, 3, 60, 80),
                                   On(700, 3, 65, 90), Off(800, 3, 65), On(900, 3, 65, 90), Off(1000, 3, 65),
                                   Off(1300, 4, 60), Off(1500, 3, 60)}));
  // At t = 0 over a note held from an earlier block the old note-off moves to 0,
  // still before the new note-on.
  s.addNote(10, 0, 62, 90, 1000);
  Render(s, 100);
  s.addNote(0, 0, 62, 70, 50);
  EXPECT_EQ(Render(s, 100), (Msgs{Off(0, 0, 62), On(0, 0, 62, 70), Off(50, 0, 62)}));
}

// Random overlapping notes, each note of a key starting later than the one
// before (as pulses do): on and off alternate per key and channel.
TEST(NoteStream, OverlappingNotesNeverDoubleStrikeAKey)
{
  NoteStream s;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t mod) { return int(((seed = seed * 1664525u + 1013904223u) >> 8) % mod); };
  std::map<int, bool> on;  // channel * 128 + key
  for (int block = 0; block < 400; ++block) {
    for (int pulse = 0, t = 0; pulse < 3; ++pulse) {
      t += 1 + next(150);
      for (int i = 0; i < 3; ++i) s.addNote(t, next(2), 60 + next(4) * 3 + i, 100, 1 + next(2000));
    }
    int last = 0;
    for (const IMidiMessage& m : Render(s, 512)) {
      ASSERT_GE(m.mOffset, last);
      last = m.mOffset;
      bool& sounding = on[m.Channel() * 128 + m.NoteNumber()];
      ASSERT_NE(sounding, m.StatusKind() == IMidiMessage::kNoteOn) << "block " << block;
      sounding = !sounding;
    }
    for (const auto& [chKey, sounding] : on) ASSERT_EQ(sounding, s.isSounding(chKey / 128, chKey % 128));
  }
}

TEST(NoteStream, AllNotesOffDropsPendingAndReleasesByKeyThenChannel)
{
  NoteStream s;
  s.addNote(0, 2, 70, 100, 1000);
  s.addNote(0, 0, 70, 100, 1000);
  s.addNote(0, 5, 40, 100, 0);  // no note-off: sounds until released
  s.addNote(0, 1, 40, 100, 1000);
  s.addNote(100, 0, 80, 100, 1000);  // still pending
  Render(s, 50);
  EXPECT_EQ(Render(s, 50000), (Msgs{On(50, 0, 80, 100), Off(950, 2, 70), Off(950, 0, 70), Off(950, 1, 40),
                                    Off(1050, 0, 80)}));
  s.addNote(0, 1, 40, 100, 1000);
  s.addNote(0, 2, 70, 100, 1000);
  s.addNote(9, 3, 80, 100, 1000);
  Render(s, 5);
  Msgs out{On(7, 0, 1, 1)};  // appends
  s.allNotesOff(out);
  EXPECT_EQ(out, (Msgs{On(7, 0, 1, 1), Off(0, 1, 40), Off(0, 5, 40), Off(0, 2, 70)}));
  EXPECT_EQ(s.pendingCount(), 0);
  EXPECT_EQ(s.activeNoteCount(), 0);
  EXPECT_EQ(Render(s, 5000), Msgs{});
}

TEST(NoteStream, OutOfRangeInputNeverReachesTheOutput)
{
  NoteStream s;
  EXPECT_EQ(s.addNote(0, 0, 128, 100, 10), nullptr);
  EXPECT_EQ(s.addNote(0, 0, -1, 100, 10), nullptr);
  EXPECT_EQ(s.addNote(0, 16, 60, 100, 10), nullptr);
  EXPECT_NE(s.addNote(-20, 15, 127, 300, 10), nullptr);  // t clamps to 0, velocity to 127
  EXPECT_EQ(s.addNote(0, 0, 0, -5, 0x7FFFFFFF), nullptr);  // silent: not sent at all
  EXPECT_EQ(s.addNote(0, 0, 1, 0, 10), nullptr);
  EXPECT_EQ(Render(s, 100), (Msgs{On(0, 15, 127, 127), Off(10, 15, 127)}));
}

TEST(NoteStream, GrowsPastItsPoolAndAllocatesNothingOnceWarm)
{
  NoteStream s;
  Msgs out;
  out.reserve(4096);
  const int many = NoteStream::INITIAL_NOTES * 3;  // all pending at once
  for (int i = 0; i < many; ++i) s.addNote(i, i % 16, i % 128, 100, 100000);
  s.render(out, 100000 + many);
  EXPECT_EQ(int(out.size()), 2 * many);

  // Five tones per pulse, notes longer than a block, a legato cut per tone;
  // the pool is made by the first notes and then suffices.
  NoteStream warm;
  std::size_t firstBlocks = 0;
  alloccount::Scope scope;
  for (int block = 0; block < 2000; ++block) {
    if (block == 2) firstBlocks = scope.Allocations();
    for (int t = 0; t <= 512; t += 128)
      for (int tone = 0; tone < 5; ++tone) warm.addNote(t, block & 1, 48 + tone * 4, 100, 3000);
    out.clear();
    warm.render(out, 512);
    if (block % 500 == 499) warm.allNotesOff(out);
  }
  EXPECT_EQ(scope.Allocations(), firstBlocks);
}

} // namespace
