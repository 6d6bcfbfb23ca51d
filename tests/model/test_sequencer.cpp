#include "AllocCounter.h"
#include "Sequencer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> moves(SequencerBase& s, int n)
{
  std::vector<int> out;
  for (int i = 0; i < n; ++i) out.push_back(s.advance());
  return out;
}

TEST(Sequencer, DirectionsWrapAndTurnInsideTheWindow)
{
  StrikeModifierSequencer s;
  EXPECT_EQ(s.mSteps[7].mValue, eStrikeNone);
  s.setStart(3);   // start 2
  s.setLength(4);  // end 5
  s.reset();
  EXPECT_EQ(moves(s, 5), (std::vector<int>{3, 4, 5, 2, 3}));
  s.setDirection(eDirBack);
  EXPECT_EQ(moves(s, 3), (std::vector<int>{2, 5, 4}));
  s.setStart(1);
  s.setLength(8);
  s.setDirection(eDirFwdBack);
  s.reset();
  EXPECT_EQ(moves(s, 16), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2}));
  s.setDirection(eDirBackFwd);
  s.reset();
  EXPECT_EQ(moves(s, 9), (std::vector<int>{6, 5, 4, 3, 2, 1, 0, 1, 2}));
  for (int d = 0; d < NUM_DIRECTIONS; ++d) {  // a window of one holds
    s.setDirection(d);
    s.setStart(5);
    s.setLength(1);
    EXPECT_EQ(moves(s, 3), (std::vector<int>{4, 4, 4})) << d;
  }
}

TEST(Sequencer, WindowSettersMoveTheCursorOnlyAsTheyMust)
{
  StrikeModifierSequencer s;
  s.setStart(7);  // 6..7
  s.mCursor = 7;
  s.setLength(3);  // clipped to 7, the cursor stays
  s.setStart(9);   // ignored
  s.setLength(0);  // ignored
  EXPECT_TRUE(s.mStartPosition == 6 && s.mEndPosition == 7 && s.mCursor == 7);
  // Moving the start down leaves a cursor past the new end where it is:
  // "Back" walks down into the window, "Fwd" wraps to the start at once.
  s.setStart(1);  // 0..2
  EXPECT_EQ(s.mCursor, 7);
  s.setDirection(eDirBack);
  EXPECT_EQ(moves(s, 7), (std::vector<int>{6, 5, 4, 3, 2, 1, 0}));
  s.mCursor = 7;
  s.setDirection(eDirFwd);
  EXPECT_EQ(moves(s, 2), (std::vector<int>{0, 1}));
}

TEST(Sequencer, DividerAndAbsolutePosition)
{
  StrikeModifierSequencer s;
  s.setDivider(3);
  s.reset();
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(s.clockTick(), i % 3 == 0);
  s.setPosition(7);
  EXPECT_TRUE(s.mCountdown == 1 && s.mCursor == 2);
  s.setStart(3);
  s.setLength(4);  // window 2..5
  s.setPosition(3 * 9);
  EXPECT_EQ(s.mCursor, 2 + 9 % 4);
  s.setDivider(0);
  EXPECT_EQ(s.mDivider, 1);
}

TEST(Sequencer, RandomMovesAndRollsDrawFromSeparateGenerators)
{
  StrikeModifierSequencer s;
  s.setStart(3);
  s.setLength(3);  // 2..4
  s.setDirection(eDirRandom);
  // Draws 0xBD41E840, 0x790018FF, 0x45F4C97A, 0x280B58FD; mod 3: 1, 1, 0, 2.
  EXPECT_EQ(moves(s, 4), (std::vector<int>{3, 3, 2, 4}));
  // The rolls start from the construction words all the same:
  // 0.7393, 0.4727, 0.2733, each fired when probability >= draw.
  s.setProbability(0.74);
  EXPECT_TRUE(s.rollProbability());
  s.setProbability(0.47);
  EXPECT_FALSE(s.rollProbability());
  s.setProbability(0.28);
  EXPECT_TRUE(s.rollProbability());
}

TEST(Sequencer, ProbabilitiesRandomAndNoAllocation)
{
  MelodyModifierSequencer s;
  s.setStart(3);
  s.setLength(3);
  int fired[3] = {}, counts[8] = {};
  alloccount::Scope scope;
  for (int i = 0; i < 4000; ++i) fired[0] += s.rollProbability();
  s.setProbability(0.0);
  for (int i = 0; i < 4000; ++i) fired[1] += s.rollProbability();
  s.setProbability(0.5);
  s.setDirection(eDirRandom);
  for (int i = 0; i < 4000; ++i) {
    fired[2] += s.clockTick() && s.rollProbability();
    ++counts[s.mCursor];
  }
  EXPECT_EQ(scope.Allocations(), 0u);
  EXPECT_EQ(counts[2] + counts[3] + counts[4], 4000);
  EXPECT_TRUE(fired[0] == 4000 && fired[1] == 0);
  EXPECT_NEAR(fired[2], 2000, 200);
}

} // namespace
