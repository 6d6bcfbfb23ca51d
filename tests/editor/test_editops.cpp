#include "AllocCounter.h"
#include "BrokenInvariant.h"
#include "Chord.h"
#include "TavrinelGui.h"

#include <gtest/gtest.h>

#include <bitset>

namespace {

class EditOps : public ::testing::Test {
protected:
  ChordProgression prog;
  Melody clip;
  TavrinelGui gui{nullptr, prog, clip};

  Melody& M(int step, int row) { return prog.mSteps[step].mMelodies[row]; }
  MelodyCell& Cell(int step, int row) { return *gui.GetCell(step, row); }

  // Row `row` gets a distinct mask per pulse and distinct per-melody fields.
  void Craft(int row)
  {
    for (int k = 0; k < MAX_STEPS; ++k) {
      Melody& m = M(k, row);
      for (int p = 0; p < 4; ++p) m.mPulses[p].setMask((k * 4 + p) % 31 + 1);
      m.mPulses[1].mSavedValid = (k % 2) != 0;
      m.mReserved[2] = 100 + k;
      m.mRepeatCount = k + 1;
      m.mEnabled = (k % 3) != 0;
      m.captureOriginal();
    }
  }
};

bool SameMovable(const Melody& a, const Melody& b)
{
  for (int p = 0; p < 4; ++p) {
    const PitchSet &x = a.mPulses[p], &y = b.mPulses[p];
    if (x.mBaseMask != y.mBaseMask || x.mPlayingMask != y.mPlayingMask || x.mSavedMask != y.mSavedMask ||
        x.mSavedValid != y.mSavedValid || a.mReserved[p] != b.mReserved[p] ||
        a.mTempBackup[p].mPlayingMask != b.mTempBackup[p].mPlayingMask)
      return false;
  }
  return a.numPulses == b.numPulses && a.mRepeatCount == b.mRepeatCount && a.mEnabled == b.mEnabled &&
         a.mMuted == b.mMuted && a.mTempBackupValid == b.mTempBackupValid;
}

size_t PopCount(int m) { return std::bitset<5>(static_cast<unsigned>(m)).count(); }

TEST_F(EditOps, MaskCommandsTouchOnlyPlayingMasksOfAllFourPulses)
{
  Melody& m = M(0, 0);
  m.numPulses = 3;
  int masks[4] = {0b00011, 0b00100, 0b10000, 0b01001};
  for (int p = 0; p < 4; ++p) m.mPulses[p].setMask(masks[p]);
  Cell(0, 0).ApplyMelodyCommand(eMelodyTB, true);
  EXPECT_EQ(m.mPulses[0].mPlayingMask, 0b11000);
  EXPECT_EQ(m.mPulses[3].mPlayingMask, 0b10010);  // beyond numPulses too
  EXPECT_EQ(m.mPulses[0].mBaseMask, 0b00011);
  Cell(0, 0).ApplyMelodyCommand(eMelodyLeft1, true);  // pulse 2 takes pulse 3
  EXPECT_EQ(m.mPulses[2].mPlayingMask, 0b10010);
  EXPECT_EQ(m.mPulses[3].mPlayingMask, 0b11000);
}

TEST_F(EditOps, RandDrawsOneToneFromEachPulsesOwnGenerator)
{
  Melody& m = M(5, 2);
  m.mPulses[0].setMask(31);
  MwcRandom expect = m.mPulses[3].mRandom;
  Cell(5, 2).ApplyMelodyCommand(eMelodyRand, true);
  EXPECT_EQ(m.mPulses[3].mPlayingMask, 1 << ((expect.nextRaw() >> 11) % 5));
  EXPECT_EQ(PopCount(m.mPulses[0].mPlayingMask), 1u);
  EXPECT_EQ(m.mPulses[0].mBaseMask, 31);
}

TEST_F(EditOps, TemporaryCommandsBackUpFirstEditorCommandsIgnoreTheFlag)
{
  Melody& m = M(1, 0);
  for (int p = 0; p < 4; ++p) m.mPulses[p].setMask(1 << p);
  Cell(1, 0).ApplyMelodyCommand(eMelodyDown1, false);
  ASSERT_TRUE(m.mTempBackupValid);
  EXPECT_EQ(m.mTempBackup[0].mPlayingMask, 1);
  EXPECT_EQ(m.mPulses[0].mPlayingMask, 16);
  Cell(1, 0).ApplyMelodyCommand(eMelodyNone, false);  // " -- " ends with no backup
  Cell(1, 0).ApplyMelodyCommand(eMelodyCmdNothing, false);  // 19 only backs up
  EXPECT_TRUE(m.mTempBackupValid);
  Cell(1, 0).ApplyMelodyCommand(eMelodyCmdDisable, false);  // clears, never sets
  EXPECT_FALSE(m.mTempBackupValid);
  Cell(1, 0).ApplyMelodyCommand(99, false);  // unknown: nothing
  EXPECT_FALSE(m.mTempBackupValid);
}

TEST_F(EditOps, CopyPasteClearMoveContentButNotGridState)
{
  Craft(0);
  M(3, 0).mMuted = true;
  M(3, 0).mTempBackupValid = true;
  Cell(3, 0).ApplyMelodyCommand(eMelodyCmdCopy, true);
  EXPECT_TRUE(SameMovable(clip, M(3, 0)));

  prog.setNumPulses(3);  // the clipboard still holds 4
  Melody& to = M(7, 1);
  to.mSolo = true;
  const uint32_t gen = to.mPulses[0].mRandom.mW;
  Cell(7, 1).ApplyMelodyCommand(eMelodyCmdPaste, true);
  EXPECT_EQ(to.mPulses[2].mBaseMask, M(3, 0).mPulses[2].mBaseMask);
  EXPECT_TRUE(to.mRepeatCount == 4 && to.mMuted && to.mSolo);
  EXPECT_FALSE(to.mTempBackupValid);
  EXPECT_EQ(to.numPulses, 3);  // the pattern's pulse count stays
  EXPECT_EQ(to.mPulses[0].mRandom.mW, gen);
  EXPECT_EQ(to.mOriginal[2].mPlayingMask, to.mPulses[2].mPlayingMask);

  Cell(7, 1).ApplyMelodyCommand(eMelodyCmdClear, true);
  EXPECT_EQ(to.mPulses[1].mBaseMask | to.mPulses[1].mPlayingMask | to.mPulses[1].mSavedValid, 0);
  Cell(7, 1).ApplyMelodyCommand(eMelodyOrig, true);  // the clear became the original
  EXPECT_EQ(to.mPulses[2].mPlayingMask, 0);
}

TEST_F(EditOps, ChordShiftsReverseAndPasteOnARow)
{
  Craft(1);
  ChordProgression ref = prog;
  gui.ApplyRowCommand(1, eRowShiftLeftChord, 11);
  for (int k = 0; k < MAX_STEPS; ++k) EXPECT_TRUE(SameMovable(M(k, 1), ref.mSteps[(k + 11) % 12].mMelodies[1]));
  gui.ApplyRowCommand(1, eRowShiftLeftChord, 1);
  for (int k = 0; k < MAX_STEPS; ++k) EXPECT_TRUE(SameMovable(M(k, 1), ref.mSteps[k].mMelodies[1]));

  gui.ApplyRowCommand(1, eRowPaste, 1);  // before any row copy: nothing
  gui.ApplyRowCommand(2, eRowPaste, 1);
  for (int k = 0; k < MAX_STEPS; ++k) EXPECT_TRUE(SameMovable(M(k, 2), ref.mSteps[k].mMelodies[2]));
  EXPECT_TRUE(gui.IsRowClipboardEmpty());

  gui.ApplyRowCommand(1, eRowReverseChord, 1);
  for (int k = 0; k < MAX_STEPS; ++k) EXPECT_TRUE(SameMovable(M(k, 1), ref.mSteps[11 - k].mMelodies[1]));
  Cell(0, 1).ApplyMelodyCommand(eMelodyOrig, true);  // mOriginal stayed at step 0
  EXPECT_EQ(M(0, 1).mPulses[3].mPlayingMask, ref.mSteps[0].mMelodies[1].mPulses[3].mPlayingMask);
  EXPECT_EQ(M(0, 1).mRepeatCount, 12);

  gui.ApplyRowCommand(1, eRowCopy, 1);
  gui.ApplyRowCommand(3, eRowPaste, 1);
  for (int k = 0; k < MAX_STEPS; ++k) EXPECT_TRUE(SameMovable(M(k, 3), M(k, 1)));
}

TEST_F(EditOps, PulseShiftsMoveMasksOnly)
{
  Craft(0);
  ChordProgression ref = prog;
  gui.ApplyRowCommand(0, eRowShiftLeftPulse, 4);
  for (int k = 0; k < MAX_STEPS; ++k) {
    const Melody& from = ref.mSteps[(k + 1) % 12].mMelodies[0];
    for (int p = 0; p < 4; ++p) {
      EXPECT_EQ(M(k, 0).mPulses[p].mSavedValid, from.mPulses[p].mSavedValid);
      EXPECT_EQ(M(k, 0).mPulses[p].mPlayingMask, from.mPulses[p].mPlayingMask);
      EXPECT_EQ(M(k, 0).mPulses[p].mRandom.mW, ref.mSteps[k].mMelodies[0].mPulses[p].mRandom.mW);
    }
    EXPECT_EQ(M(k, 0).mRepeatCount, k + 1);  // per-melody fields stay
    EXPECT_EQ(M(k, 0).mEnabled, (k % 3) != 0);
  }
  gui.ApplyRowCommand(0, eRowShiftRightPulse, 5);  // net: right 1
  EXPECT_EQ(M(0, 0).mPulses[0].mBaseMask, ref.mSteps[11].mMelodies[0].mPulses[3].mBaseMask);

  prog = ref;
  gui.ApplyRowCommand(0, eRowReversePulse, 1);  // the 48 pulses in mirror order
  for (int i = 0; i < 48; ++i)
    EXPECT_EQ(M(i / 4, 0).mPulses[i % 4].mPlayingMask,
              ref.mSteps[(47 - i) / 4].mMelodies[0].mPulses[(47 - i) % 4].mPlayingMask);
}

TEST_F(EditOps, RowMaskCommandsEnableAndClear)
{
  M(2, 3).mPulses[0].setMask(0b10000);
  M(2, 3).mPulses[1].setMask(0b00011);
  gui.ApplyRowCommand(3, eRowShiftUp, 1);
  EXPECT_EQ(M(2, 3).mPulses[0].mPlayingMask, 0b00001);
  gui.ApplyRowCommand(3, eRowShiftDown, 3);  // net: down 2
  EXPECT_EQ(M(2, 3).mPulses[1].mPlayingMask, 0b11000);
  gui.ApplyRowCommand(3, eRowFlipTB, 1);
  EXPECT_EQ(M(2, 3).mPulses[1].mPlayingMask, 0b00011);
  gui.ApplyRowCommand(3, eRowDisable, 1);
  gui.ApplyRowCommand(3, eRowClear, 1);
  for (int k = 0; k < MAX_STEPS; ++k)
    EXPECT_TRUE(!M(k, 3).mEnabled && M(k, 3).mPulses[0].mPlayingMask == 0 && M(k, 3).mOriginal[0].mPlayingMask == 0);
  EXPECT_TRUE(M(0, 2).mEnabled);  // other rows untouched
}

TEST_F(EditOps, ScramblePermutesWithTheEditorsOwnGenerator)
{
  // Slot tables of the first two scrambles, worked out from the generator's
  // start words 0x1234 / 0xFFFFEDCB: two draws per source step, the second
  // scramble continuing where the first one stopped.
  const int slots[2][12] = {{10, 9, 8, 11, 3, 7, 5, 1, 2, 4, 6, 0},
                            {2, 6, 1, 5, 11, 9, 7, 8, 0, 4, 3, 10}};
  Craft(2);
  for (int pass = 0; pass < 2; ++pass) {
    ChordProgression ref = prog;
    gui.ApplyRowCommand(2, eRowScrambleChord, 1);
    for (int j = 0; j < 12; ++j) {
      EXPECT_TRUE(SameMovable(M(j, 2), ref.mSteps[slots[pass][j]].mMelodies[2])) << pass << " " << j;
      EXPECT_EQ(M(j, 2).mOriginal[0].mPlayingMask, ref.mSteps[j].mMelodies[2].mOriginal[0].mPlayingMask);
    }
  }
}

TEST_F(EditOps, SelectionRulesAndSelectedCommands)
{
  Cell(1, 1).SelectMelody(false);
  Cell(2, 1).SelectMelody(true);
  Cell(1, 1).SelectMelody(true);  // toggles off
  EXPECT_FALSE(Cell(1, 1).IsSelected());
  EXPECT_TRUE(Cell(2, 1).IsSelected());
  gui.SelectRow(0, false);  // replaces
  EXPECT_FALSE(Cell(2, 1).IsSelected());
  gui.SelectRow(2, true);
  gui.SetCellSelected(5, 1, true);
  gui.SelectRow(1, true);  // partial row: added
  gui.SetCellSelected(4, 1, false);  // row 1 now has 11 cells
  EXPECT_TRUE(gui.IsRowFullySelected(0) && gui.IsRowFullySelected(2));
  EXPECT_FALSE(gui.IsRowFullySelected(1));

  for (int r = 0; r < 3; ++r) Craft(r);
  ChordProgression ref = prog;
  gui.ApplyToSelectedRows(eRowShiftLeftChord);  // "R L"
  for (int k = 0; k < MAX_STEPS; ++k) {
    EXPECT_TRUE(SameMovable(M(k, 0), ref.mSteps[(k + 1) % 12].mMelodies[0]));
    EXPECT_TRUE(SameMovable(M(k, 1), ref.mSteps[k].mMelodies[1]));
    EXPECT_TRUE(SameMovable(M(k, 2), ref.mSteps[(k + 1) % 12].mMelodies[2]));
  }
  gui.ApplyToSelectedMelodies(eMelodyCmdDisable);  // "M D"
  EXPECT_TRUE(!M(4, 2).mEnabled && !M(5, 1).mEnabled && M(4, 1).mEnabled);

  gui.SelectRow(0, true);  // fully selected: removed
  EXPECT_FALSE(Cell(6, 0).IsSelected());
}

TEST_F(EditOps, SoloAndMuteSequences)
{
  gui.SetRowMute(2, true);
  gui.SetRowSolo(0, true);
  gui.SetRowSolo(1, true);
  EXPECT_TRUE(M(0, 1).mSolo && M(0, 1).mMuted);  // muted by row 0's solo, yet audible
  EXPECT_TRUE(Cell(0, 1).IsAudible());
  gui.SetRowSolo(0, false);  // another row still soloed: row 0 silenced by solo
  EXPECT_TRUE(gui.GetRowState(0).mMutedBySolo);
  EXPECT_FALSE(Cell(0, 0).IsAudible());
  gui.SetRowSolo(1, false);  // the others go back to their own mute
  EXPECT_TRUE(!M(0, 0).mMuted && M(0, 2).mMuted && !M(0, 3).mMuted);
  EXPECT_TRUE(gui.GetRowState(1).mMutedBySolo && M(0, 1).mMuted);  // row 1 itself is not released
  EXPECT_EQ(gui.GetMuteSwitchValue(1) * 4 + gui.GetMuteSwitchValue(2) * 2 + gui.GetMuteSwitchValue(0), 6);
  EXPECT_EQ(gui.GetSoloSwitchValue(1), 0);

  gui.SetRowMute(1, false);  // releasing a solo-silenced row turns its solo switch on
  EXPECT_TRUE(gui.GetRowState(1).mSoloed);
  EXPECT_EQ(gui.GetSoloSwitchValue(1), 1);
  EXPECT_FALSE(M(0, 1).mSolo);
  EXPECT_TRUE(Cell(0, 1).IsAudible());
}

TEST_F(EditOps, ChordSpanAndNoAllocationOnTheAudioThread)
{
  gui.UpdateChordSpan(2, 5);
  gui.UpdateChordSpan(8, 6);  // does not fit: kept
  EXPECT_EQ(gui.GetSpanHigh(), 7);

  alloccount::Scope scope;
  for (int code = 0; code < NUM_MELODY_MODIFIERS; ++code) Cell(0, 0).ApplyMelodyCommand(code, code % 2 == 0);
  gui.ApplyRowCommand(0, eRowScrambleChord, 1);
  EXPECT_EQ(scope.Allocations(), 0u);
}

TEST_F(EditOps, ContractViolationsReportTheirTextAndChangeNothingElse)
{
  EXPECT_CHECK_FAILS(gui.ApplyRowCommand(4, eRowEnable, 1), true,
                     "rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, file src\\\\TavrinelGui");
  EXPECT_CHECK_FAILS(gui.SetCellSelected(1, -1, true), Cell(1, 0).IsSelected() && !Cell(1, 1).IsSelected(),
                     "variationIdx >= 0 && variationIdx < MAX_VARIATIONS_PER_CHORD");
  MelodyCell* cell = nullptr;
  EXPECT_CHECK_FAILS(cell = gui.GetCell(12, 0), cell == &Cell(0, 0), "stepIdx >= 0 && stepIdx < MAX_STEPS");
  M(0, 0).mPulses[0].mPlayingMask = 1;
  M(0, 0).mPulses[2].mPlayingMask = 40;
  EXPECT_CHECK_FAILS(Cell(0, 0).ApplyMelodyCommand(eMelodyTB, true), M(0, 0).mPulses[0].mPlayingMask == 1,
                     "mPlayingMask >= 0 && mPlayingMask < 32, file src\\\\TavrinelGui");
}

} // namespace
