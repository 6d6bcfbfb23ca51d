#include "BrokenInvariant.h"
#include "Chord.h"
#include "GrooveMaker.h"
#include "IStateChunk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Masks 1, 3, 4, 24 and a pending temporary strike on pulse 1.
Melody makeMelody()
{
  Melody m;
  const int masks[4] = {1, 3, 4, 24};
  for (int i = 0; i < 4; ++i) m.mPulses[i].setMask(masks[i]);
  m.mPulses[1].mSavedMask = 7;
  m.mPulses[1].mSavedValid = true;
  m.captureOriginal();
  return m;
}

TEST(ChordDeathTest, MirrorOfAnInvalidMaskIsABrokenInvariant)
{
  int mirrored = -1;
  EXPECT_CHECK_FAILS(mirrored = reverseBits(32), mirrored == 0, "mPlayingMask >= 0 && mPlayingMask < 32, file src\\\\Chord");
}

TEST(StrikeModifier, EffectsTemporaryRestoreNoneAndOrig)
{
  PitchSet p;
  p.setMask(3);
  applyStrikeModifier(p, eStrikeUp2, true);
  applyStrikeModifier(p, eStrikeFlip, true);
  EXPECT_EQ(p.mPlayingMask, 6);
  // First draw 0xBD41E840: (r >> 11) mod 5 = 2.
  applyStrikeModifier(p, eStrikeRand, true);
  EXPECT_EQ(p.mPlayingMask, 4);
  applyStrikeModifier(p, eStrikeDown4, false);  // same as "^ 1"
  EXPECT_EQ(p.mPlayingMask, rotateUp(p.mSavedMask));
  restoreTemporaryStrike(p);
  applyStrikeModifier(p, eStrikeOrig, true);
  EXPECT_EQ(p.mPlayingMask, 3);
  // A temporary change followed by " -- " leaves nothing to restore.
  applyStrikeModifier(p, eStrikeDown1, false);
  applyStrikeModifier(p, eStrikeNone, false);
  restoreTemporaryStrike(p);
  EXPECT_EQ(p.mPlayingMask, 17);
  // Temporary "Orig" ends on the base mask with nothing saved.
  applyStrikeModifier(p, eStrikeOrig, false);
  EXPECT_FALSE(p.mSavedValid || p.mPlayingMask != 3);
  EXPECT_STREQ(strikeModifierNames[eStrikeNone], " -- ");
}

TEST(MelodyModifier, PulseMovesCarryMasksNotGenerators)
{
  Melody m = makeMelody();
  m.numPulses = 3;  // all four stored pulses move anyway
  m.mPulses[0].mRandom.seed(9);
  applyMelodyModifier(m, eMelodyLeft1, true);
  EXPECT_TRUE(m.mPulses[0].mSavedValid && m.mPulses[3].mBaseMask == 1);
  EXPECT_EQ(m.mPulses[0].mRandom.mW, 81u);
  applyMelodyModifier(m, eMelodyRight1, true);
  applyMelodyModifier(m, eMelodyLR, true);
  const int reversed[4] = {24, 4, 3, 1};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m.mPulses[i].mPlayingMask, reversed[i]);
  applyMelodyModifier(m, eMelodyTB, true);
  EXPECT_TRUE(m.mPulses[2].mPlayingMask == 24 && m.mPulses[2].mBaseMask == 3);
}

TEST(MelodyModifier, TemporaryBackupNoneAndOrig)
{
  Melody m = makeMelody();
  // Each pulse draws from its own generator: pulse 3's is one draw ahead, so
  // it gets the second draw 0x790018FF ((r >> 11) mod 5 = 0), the others the first.
  m.mPulses[3].mRandom.nextRaw();
  applyMelodyModifier(m, eMelodyRand, false);
  const int first = m.mPulses[3].mPlayingMask;
  EXPECT_TRUE(first == 1 && m.mPulses[0].mPlayingMask == 4 && m.mPulses[2].mPlayingMask == 4);
  restoreTemporaryMelody(m);
  EXPECT_EQ(m.mPulses[3].mPlayingMask, 24);
  // The backup holds the generators too: the same draw comes again.
  applyMelodyModifier(m, eMelodyRand, false);
  EXPECT_EQ(m.mPulses[3].mPlayingMask, first);
  applyMelodyModifier(m, eMelodyNone, false);
  restoreTemporaryMelody(m);
  EXPECT_EQ(m.mPulses[3].mPlayingMask, first);
  applyMelodyModifier(m, eMelodyOrig, false);
  EXPECT_FALSE(m.mTempBackupValid || m.mPulses[3].mPlayingMask != 24);
}

TEST(AdvanceMelody, RepeatCountsAndUnplayableRows)
{
  ChordStep step;
  Chord c{&step, 0, 0};
  for (int r = 1; r < 4; ++r) step.mMelodies[r].mEnabled = false;
  advanceMelody(c);
  advanceMelody(c);
  EXPECT_EQ(c.mCurrentMelody, 0);  // the search wraps back to the only row
  step.mMelodies[1].mEnabled = true;
  step.mMelodies[0].mRepeatCount = 2;
  int seen = 0;
  for (int i = 0; i < 4; ++i, seen = seen * 10 + c.mCurrentMelody) advanceMelody(c);
  EXPECT_EQ(seen, 100);  // rows 0, 1, 0, 0
  for (Melody& m : step.mMelodies) m.mMuted = true;
  c = Chord{&step, 0, 2};
  advanceMelody(c);  // nothing playable: one row on
  EXPECT_TRUE(c.mCurrentMelody == 3 && c.mPlayCount == 1);
}

TEST(Serialize, RoundTripLayoutTruncationAndDamage)
{
  ChordProgression a, b, c;
  a.setBeginStepIdx(3);
  int v = 0;
  for (ChordStep& s : a.mSteps)
    for (Melody& m : s.mMelodies) {
      for (PitchSet& p : m.mPulses) p.mPlayingMask = v++ % 32, p.mBaseMask = v++ % 32;
      m.mRepeatCount = 1 + v++ % 64;
      m.mTempBackupValid = m.mMuted = true;
    }
  IStateChunk chunk, again, cut;
  ASSERT_TRUE(a.serialize(chunk));
  ASSERT_EQ(chunk.Size(), 3624);
  int32_t at;
  std::memcpy(&at, chunk.GetBytes() + 12 + 301 + 9 + 2 * 73 + 69, 4);  // step 1, row 2
  EXPECT_EQ(at, a.mSteps[1].mMelodies[2].mRepeatCount);
  EXPECT_EQ(b.unserialize(chunk, 0), 3624);
  ASSERT_TRUE(b.serialize(again));
  EXPECT_EQ(0, std::memcmp(chunk.GetBytes(), again.GetBytes(), 3624));
  const Melody& r = b.mSteps[4].mMelodies[1];
  EXPECT_FALSE(r.mTempBackupValid || r.mMuted);
  EXPECT_EQ(r.mOriginal[3].mPlayingMask, r.mPulses[3].mPlayingMask);

  cut.Assign(chunk.GetBytes(), 12 + 9 + 73 + 10);  // into step 0, row 1
  EXPECT_EQ(c.unserialize(cut, 0), -1);
  EXPECT_EQ(c.mSteps[0].mMelodies[0].mRepeatCount, a.mSteps[0].mMelodies[0].mRepeatCount);
  EXPECT_EQ(c.mSteps[0].mMelodies[1].mRepeatCount, 1);  // past the end: old value
  EXPECT_EQ(c.unserialize(chunk, -1), -1);
  // A mask from a damaged chunk keeps its five tone bits: no mirror can fail.
  int32_t huge = 0x7FFFFFE3;
  std::memcpy(chunk.GetBytes() + 12 + 9 + 4, &huge, 4);
  EXPECT_EQ(c.unserialize(chunk, 0), 3624);
  EXPECT_EQ(c.mSteps[0].mMelodies[0].mPulses[0].mPlayingMask, 3);
  // A window header no setter could have made falls back to the full window,
  // so the active flags and the player's range stay computable.
  const int32_t badHeader[3] = {0x7FFFFFFF, 48, 0x66666666};
  std::memcpy(chunk.GetBytes(), badHeader, sizeof badHeader);
  EXPECT_EQ(c.unserialize(chunk, 0), 3624);
  EXPECT_EQ(c.numSteps, 12);
  EXPECT_EQ(c.beginStepIdx, 0);
  c.setNumSteps(5);
  ChordProgressionPlayer player(c);
  player.setNumPulses(3);
  EXPECT_EQ(player.mEndPosition, 14);
}

TEST(Melody, CopyAndActiveFlags)
{
  Melody src = makeMelody(), dst;
  src.mRepeatCount = 5;
  src.mSolo = true;
  applyMelodyModifier(src, eMelodyUp1, false);
  dst.copyFrom(src);
  EXPECT_TRUE(dst.mPulses[3].mPlayingMask == rotateUp(24) && dst.mPulses[3].mBaseMask == 24);
  EXPECT_TRUE(dst.mPulses[1].mSavedValid && dst.mTempBackupValid && dst.mRepeatCount == 5);
  EXPECT_FALSE(dst.mSolo || dst.mOriginal[3].mPlayingMask != 0);
  ChordProgression prog;
  prog.setBeginStepIdx(8);
  prog.setNumSteps(2);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(prog.mSteps[i].mActive, i == 8 || i == 9) << i;
}

} // namespace
