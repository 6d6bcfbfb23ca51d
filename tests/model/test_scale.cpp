#include "Assert.h"
#include "BrokenInvariant.h"
#include "IMidiMessage.h"
#include "IStateChunk.h"
#include "Scale.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> Notes(const Scale& s, int tonic, int degree, int mode)
{
  std::vector<int> out;
  for (int p = 0; p < 5; ++p) out.push_back(s.getNote(tonic, degree, mode, p));
  return out;
}

TEST(Scale, ChordTonesFollowShapeScaleModeAndDegree)
{
  Scale s;
  EXPECT_EQ(Notes(s, 60, 0, 0), (std::vector<int>{60, 67, 72, 79, 84}));  // Fifths, Major
  s.mShapeIdx = 1;                                                         // Triad
  EXPECT_EQ(Notes(s, 60, 0, 0), (std::vector<int>{60, 64, 67, 72, 79}));
  s.mScaleIdx = 2;                                                         // Blues wraps after 5
  EXPECT_EQ(Notes(s, 60, 0, 0), (std::vector<int>{60, 65, 70, 77, 87}));
  // Mode and chord degree shift along the same scale.
  s.mScaleIdx = 0;
  EXPECT_EQ(Notes(s, 60, 0, 1), Notes(s, 60, 1, 0));
  EXPECT_EQ(Notes(s, 60, 0, 3), Notes(s, 60, 3, 0));
}

TEST(Scale, ExtremeIndicesAndTonics)
{
  Scale s;
  EXPECT_EQ(s.getNote(0, 0, 0, 0), 0);
  // Locrian, degree 7, Fifths top tone: index 26 = octave 3, step 5 of Major.
  EXPECT_EQ(s.getNote(60, 6, 6, 4), 9 + 36 + 60);
  // A five-step scale's index 5 is its root an octave up.
  s.mScaleIdx = 6;
  s.mShapeIdx = 6; // Whole (n): 1..5
  EXPECT_EQ(s.getNote(60, 1, 0, 4), 72);
  // The result is not clamped: callers deal with keys above 127.
  s.mScaleIdx = 2;
  s.mShapeIdx = 0;
  EXPECT_GT(s.getNote(128, 6, 6, 4), 127);
}

TEST(ScaleDeathTest, BrokenPreconditionsReportTheirTextAndGiveNoNote)
{
  Scale s;
  int note = 0;
  EXPECT_CHECK_FAILS(note = s.getNote(60, 0, 7, 0), note == Scale::NO_NOTE, "0 <= mode && mode < 7, file src.Scale, line ");
  EXPECT_CHECK_FAILS(note = s.getNote(129, 0, 0, 0), note == Scale::NO_NOTE, "0 <= rootNote && rootNote <= 128");
  EXPECT_CHECK_FAILS(note = s.getNote(60, 0, 0, 5), note == Scale::NO_NOTE, "0 <= pitchDegree && pitchDegree < 5");
}

TEST(MwcRandom, SequenceFromConstructionWordsAndSeed)
{
  MwcRandom r;
  // z = 36969 * 0xEDCB + 0xFFFF, w = 18000 * 0x1234 + 0.
  uint32_t z = 36969u * 0xEDCBu + 0xFFFFu;
  uint32_t w = 18000u * 0x1234u;
  EXPECT_EQ(r.nextRaw(), (z << 16) + w);
  MwcRandom a, b;
  a.seed(7);
  EXPECT_EQ(a.mW, 49u);
  EXPECT_EQ(a.mZ, ~49u);
  b.seed(7);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(a.nextRaw(), b.nextRaw());
  double lo = 1, hi = 0;
  int small = 0;
  for (int i = 0; i < 20000; ++i) {
    double u = r.nextUnit();
    lo = std::min(lo, u);
    hi = std::max(hi, u);
    double j = r.nextJitterFactor();
    ASSERT_GE(j, 0.0);
    ASSERT_LE(j, 2.0);
    if (j <= 0.5) ++small;
  }
  EXPECT_GE(lo, 0.0);
  EXPECT_LE(hi, 1.0);
  // Half the draws land in 0..0.5 from the lower branch, an eighth more from the upper.
  EXPECT_NEAR(small / 20000.0, 0.625, 0.02);
  // From the construction words: 0xBD41E840 / (2^32 - 1), then the jitter
  // branches x > 0 (2x) and x <= 0 (-x / 2) on the first two draws.
  MwcRandom u, j;
  EXPECT_DOUBLE_EQ(u.nextUnit(), 0.7392869146399402);
  EXPECT_DOUBLE_EQ(j.nextJitterFactor(), 0.9571476585597609);
  EXPECT_DOUBLE_EQ(j.nextJitterFactor(), 0.027342260006662067);
}

TEST(StateChunk, ReadsPastTheEndYieldMinusOneAndPropagate)
{
  IStateChunk c;
  EXPECT_EQ(c.Size(), 0);
  EXPECT_EQ(c.Append(1.5), 8);
  EXPECT_EQ(c.Append(int32_t(-7)), 12);
  EXPECT_EQ(c.Append(true), 13);
  EXPECT_EQ(c.Capacity(), IStateChunk::GROWTH);
  double d = 0;
  int32_t i = 99;
  bool b = false;
  int pos = c.Read(d, 0);
  pos = c.Read(i, pos);
  pos = c.Read(b, pos);
  EXPECT_EQ(pos, 13);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(i, -7);
  EXPECT_TRUE(b);
  i = 99;
  EXPECT_EQ(c.Read(i, c.Size() - 3), -1);
  EXPECT_EQ(i, 99);
  EXPECT_EQ(c.Read(i, c.Size() - 4), c.Size());
  pos = c.Read(i, -1);
  pos = c.Read(d, pos);
  pos = c.Read(b, pos);
  EXPECT_EQ(pos, -1);
  // Growth comes in whole steps.
  std::vector<uint8_t> big(5000, 1);
  c.AppendBytes(big.data(), int(big.size()));
  EXPECT_EQ(c.Capacity(), 2 * IStateChunk::GROWTH);
}

TEST(MidiMessage, MakersAndStatusKind)
{
  IMidiMessage m;
  m.SetNoteOn(60, 100, 17, 3);
  EXPECT_EQ(m.mStatus, 0x93);
  EXPECT_EQ(m.StatusKind(), 9);
  EXPECT_EQ(m.mOffset, 17);
  m.SetNoteOff(61, 5);
  EXPECT_EQ(m.mStatus, 0x80);
  EXPECT_EQ(m.mData2, 0);
  EXPECT_EQ(m.StatusKind(), 8);
  EXPECT_EQ(m.NoteNumber(), 61);
  IMidiMessage clock(0, 0xF8, 0, 0);
  EXPECT_EQ(clock.StatusKind(), 0);
}

} // namespace
