#include "GrooveMaker.h"
#include "IStateChunk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Rig {
  ChordProgression prog;
  ChordProgressionPlayer player{prog};

  // The order the step-span handlers use.
  void span(int begin, int steps, int pulses)
  {
    player.setNumPulses(pulses);
    prog.setNumSteps(steps);
    player.updateRange();
    prog.setBeginStepIdx(begin);
    player.updateRange();
  }
};

TEST(Player, ForwardWalksEveryPulseAndEntersEachStepOnce)
{
  Rig r;
  r.player.setPosition(0);
  for (int i = 1; i < 96; ++i) {
    bool changed = r.player.tick();
    ASSERT_EQ(r.player.mCurrentStep * 4 + r.player.mCurrentPulse, i % 48);
    ASSERT_EQ(changed, i % 4 == 0);
  }
  // Step 5 was entered twice and moved on to row 1 after one pass of row 0.
  EXPECT_TRUE(r.player.chord(5).mCurrentMelody == 1 && r.player.chord(0).mCurrentMelody == 0);
  // "Back" from reset: step 11's pulses in reverse, then step 10 entered a third time.
  r.player.setDirection(eDirBack);
  r.player.reset();
  EXPECT_EQ(r.player.mCursor, 47);
  for (int pulse : {2, 1, 0}) {
    ASSERT_FALSE(r.player.tick());
    ASSERT_TRUE(r.player.mCurrentStep == 11 && r.player.mCurrentPulse == pulse);
  }
  EXPECT_TRUE(r.player.tick());
  EXPECT_TRUE(r.player.mCurrentStep == 10 && r.player.mCurrentPulse == 3);
  EXPECT_EQ(r.player.chord(10).mCurrentMelody, 2);
}

TEST(Player, WindowAndPositionFromStepsAndPulses)
{
  Rig r;
  r.span(2, 3, 4);
  EXPECT_TRUE(r.player.mStartPosition == 8 && r.player.mEndPosition == 19);
  r.player.chord(3).mCurrentMelody = 2;
  r.player.setPosition(13);
  EXPECT_EQ(r.player.mCursor, 9);
  EXPECT_TRUE(r.player.mCurrentStep == 2 && r.player.mCurrentPulse == 1);
  EXPECT_EQ(r.player.chord(3).mCurrentMelody, 0);
  r.span(0, 12, 4);
  r.player.mCursor = 40;
  r.player.setNumPulses(3);  // 0..35 pulls the cursor back
  EXPECT_EQ(r.prog.mSteps[7].mMelodies[2].numPulses, 3);
  EXPECT_EQ(r.player.mCursor, 35);
}

// 3 pulses, first step 10, 12 steps: the window must stop at the last pulse
// of step 11 (35), not at 47 where "steps" 12..15 would play.
TEST(Player, ClippedWindowNeverNamesAStepPastEleven)
{
  Rig r;
  r.span(10, 12, 3);
  EXPECT_TRUE(r.player.mStartPosition == 30 && r.player.mEndPosition == 35);
  for (int d = 0; d < NUM_DIRECTIONS; ++d) {
    r.player.setDirection(d);
    r.player.reset();
    for (int i = 0; i < 100; ++i) {
      r.player.tick();
      ASSERT_TRUE(r.player.mCurrentStep == 10 || r.player.mCurrentStep == 11);
    }
  }
  for (int n = 0; n < 100; ++n) {
    r.player.setPosition(n);
    ASSERT_EQ(r.player.mCurrentStep, r.player.mCursor / 3) << n;
  }
  r.span(10, 12, 4);  // with 4 pulses the window ends at 47 as before
  EXPECT_EQ(r.player.mEndPosition, 47);
}

TEST(Groove, StepsVelocityAndShrinkingCount)
{
  GrooveMaker g;
  EXPECT_TRUE(g.setNumStepsActive(5));
  for (int i = 1; i <= 6; ++i) {
    g.advance();
    EXPECT_EQ(g.mGrooveStep, i % 5);
  }
  g.mGrooveValues[1] = 64;
  EXPECT_EQ(g.grooveVelocity(), 64);
  g.mGrooveMute[1] = true;
  EXPECT_EQ(g.grooveVelocity(), 0);
  // Shrinking the count below the current step wraps on the next pulse
  // instead of running past the 48 entries.
  g.setNumStepsActive(48);
  g.position(40);
  g.setNumStepsActive(10);
  g.advance();
  EXPECT_EQ(g.mGrooveStep, 0);
}

TEST(Groove, SerialisedFormAndShortData)
{
  GrooveMaker g, back;
  g.setNumStepsActive(17);
  for (int i = 0; i < GROOVE_STEPS; ++i) g.mGrooveValues[i] = (i * 37) % 129;
  IStateChunk chunk, cut;
  ASSERT_TRUE(g.serialize(chunk));
  ASSERT_EQ(chunk.Size(), 52);
  EXPECT_EQ(back.unserialize(chunk, 0), 52);
  EXPECT_EQ(back.mNumStepsActive, 17);
  EXPECT_EQ(0, std::memcmp(back.mGrooveValues, g.mGrooveValues, sizeof g.mGrooveValues));
  cut.Assign(chunk.GetBytes(), 4 + 10);  // the rest take step 9's value
  GrooveMaker part;
  EXPECT_EQ(part.unserialize(cut, 0), -1);
  EXPECT_EQ(part.mGrooveValues[47], g.mGrooveValues[9]);
  int32_t bad = 1000;  // a damaged count cannot index past the rows
  std::memcpy(chunk.GetBytes(), &bad, 4);
  back.unserialize(chunk, 0);
  EXPECT_EQ(back.mNumStepsActive, 48);
}

} // namespace
