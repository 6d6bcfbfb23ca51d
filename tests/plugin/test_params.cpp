#include "BrokenInvariant.h"
#include "TavrinelTestRig.h"

#include "TavrinelGui.h"

#include <gtest/gtest.h>

namespace {

TEST(Params, ListNamesAndDescriptors)
{
  TavrinelRig r;
  Tavrinel& p = *r.plug;
  ASSERT_EQ(p.NParams(), 250);
  EXPECT_EQ(p.NParamsToSerialize(), 60);  // what a host sees
  EXPECT_STREQ(p.GetParam(158)->GetName(), "gmMute47");
  EXPECT_EQ(p.GetParamChangeDesc(158), nullptr);  // routed by index
  // Distinct parameters that share a name.
  EXPECT_STREQ(p.GetParam(215)->GetName(), "M D");
  EXPECT_STREQ(p.GetParam(220)->GetName(), "M D");
  for (int idx : {30, 61, 110, 159, 161, 170, 179, 195, 204, 239, 244, 249}) {
    EXPECT_EQ(p.GetParam(idx)->Type(), IPlugParam::kTypeNone) << idx;
    EXPECT_EQ(p.GetParamChangeDesc(idx), nullptr) << idx;
  }
  int described = 0;
  for (int i = 0; i < 250; ++i)
    if (const ParamChangeDesc* d = p.GetParamChangeDesc(i)) {
      EXPECT_EQ(d->mParamIdx, i);
      EXPECT_STREQ(d->mName, p.GetParam(i)->GetName());
      ++described;
    }
  EXPECT_EQ(described, 112);  // 160 is a nameless command
}

TEST(Params, DisplayTexts)
{
  TavrinelRig r;
  EXPECT_EQ(r.Display(kTimeUnits), "1/8");
  r.Set(kTimeUnits, 13);
  EXPECT_EQ(r.Display(kTimeUnits), "1/4t");
  EXPECT_EQ(r.Display(kTonic), "C5");
  r.Set(kTonic, 127);
  EXPECT_EQ(r.Display(kTonic), "G10");
  r.Set(kStepDir, 2);
  EXPECT_EQ(r.Display(kStepDir), "FwdBack");
  EXPECT_EQ(r.Display(kStkMod1), " -- ");
  EXPECT_EQ(r.Display(kMelMod1 + 7), " -- ");
  EXPECT_EQ(r.Display(kStkModT1), "Temp");
  r.Set(kMekModT1 + 7, 1);
  EXPECT_EQ(r.Display(kMekModT1 + 7), "Perm");
  EXPECT_EQ(r.Display(kSeqEnab), "on");
  EXPECT_EQ(r.Display(kRowSolo1), "off");
  r.Set(kStkProb, 0.25);
  EXPECT_EQ(r.Display(kStkProb), "0.25");
}

TEST(Params, ConstructionGivesWhatTheOpenPassGives)
{
  TavrinelRig fresh(false);
  EXPECT_EQ(fresh.plug->mNoteLength, 11025);
  EXPECT_EQ(fresh.plug->mPermanenceThreshold, 1.0);
  EXPECT_EQ(fresh.plug->mTonic, 48);  // until the open pass

  TavrinelRig opened;
  EXPECT_EQ(opened.plug->mNoteLength, 11025);
  EXPECT_EQ(opened.plug->mPermanenceThreshold, 1.0);
  EXPECT_EQ(opened.plug->mTonic, 60);
  EXPECT_EQ(opened.plug->mClock.mUnitBeats, 0.5);
  EXPECT_EQ(opened.plug->mProgression.step(9).mChordDegree, 1);
}

TEST(Params, NoteValues)
{
  TavrinelRig r;
  r.Set(kTimeUnits, 13);  // "1/4t": a third of a beat
  EXPECT_DOUBLE_EQ(r.plug->mClock.mUnitBeats, 1.0 / 3.0);
  r.Set(kTimeUnits, 11);  // "1/1t"
  EXPECT_DOUBLE_EQ(r.plug->mClock.mUnitBeats, 4.0 / 3.0);

  // The note length follows the tempo.
  r.Set(kLengthUnits, 2);  // a quarter at 120 bpm
  EXPECT_EQ(r.plug->mNoteLength, 22050);
  r.host.mTime.tempo = 60.0;
  r.Block(64);
  EXPECT_EQ(r.plug->mClock.mSamplesPerBeat, 44100.0);
  EXPECT_EQ(r.plug->mNoteLength, 44100);
  r.Set(kLengthUnits, 2);
  EXPECT_EQ(r.plug->mNoteLength, 44100);

  // A near-zero host tempo: the length is held at the longest pulse.
  r.host.mTime.tempo = 1e-6;
  r.Block(64);
  r.Set(kLengthUnits, 0);
  EXPECT_EQ(r.plug->mNoteLength, PulseClock::MAX_PULSE_LENGTH);
}

TEST(Params, Thresholds)
{
  TavrinelRig r;
  r.SetRaw(kGrooveMute0 + 5, 0.5);  // parameter 116
  EXPECT_TRUE(r.plug->mGroove.mGrooveMute[5]);

  r.SetRaw(kRowMute1, 0.5);
  EXPECT_FALSE(r.plug->mProgression.step(0).mMelodies[0].mMuted);
  r.Set(kRowMute1, 1);
  EXPECT_TRUE(r.plug->mProgression.step(3).mMelodies[0].mMuted);

  r.SetRaw(kStkRun, 0.5);
  EXPECT_FALSE(r.plug->mStrikeSequencer.mRunning);
  r.SetRaw(kSeqEnab, 0.5);
  EXPECT_TRUE(r.plug->mGroove.mEnabled);
}

TEST(Params, EditCommandsFireAboveHalfOnly)
{
  TavrinelRig r;
  r.plug->GetGui()->SetCellSelected(0, 0, true);
  PitchSet& p0 = r.Pulse(0, 0, 0);
  PitchSet& p1 = r.Pulse(0, 0, 1);
  ASSERT_EQ(p0.mPlayingMask, 4);
  // Pressed in the editor: the commands answer the user only.
  r.plug->SetParameterFromGUI(212, 1);  // "M L": pulses rotate left by one
  EXPECT_EQ(p0.mPlayingMask, 0);
  EXPECT_EQ(p1.mPlayingMask, 16);
  r.plug->SetParameterFromGUI(212, 0);
  r.plug->SetParameterFromGUI(212, 0.5);
  EXPECT_EQ(p1.mPlayingMask, 16);
  r.plug->SetParameterFromGUI(212, 1);
  EXPECT_EQ(p0.mPlayingMask, 16);
}

TEST(Params, SequencerResetAndWindow)
{
  TavrinelRig r;
  StrikeModifierSequencer& s = r.plug->mStrikeSequencer;
  s.mCursor = 5;
  r.Set(kStkRst, 0);  // a reset fires whatever the value
  EXPECT_EQ(s.mCursor, 0);

  r.SetRaw(kStkBegin, 9);
  r.SetRaw(kStkLen, 0);
  EXPECT_EQ(s.mStartPosition, 0);
  EXPECT_EQ(s.mEndPosition, 7);

  r.Set(kStkBegin, 6);  // start 5, length 8: end clipped to 7
  EXPECT_EQ(s.mStartPosition, 5);
  EXPECT_EQ(s.mEndPosition, 7);
  EXPECT_EQ(s.mCursor, 5);
  s.mCursor = 7;
  r.Set(kStkLen, 2);
  EXPECT_EQ(s.mEndPosition, 6);
  EXPECT_EQ(s.mCursor, 6);

  r.SetRaw(kMelCount, 0);
  EXPECT_EQ(r.plug->mMelodySequencer.mDivider, 1);
}

TEST(Params, SpanAndPulses)
{
  TavrinelRig r;
  Tavrinel& p = *r.plug;
  r.Set(kStepOne, 3);
  r.Set(kNumStep, 4);
  EXPECT_FALSE(p.mProgression.step(1).mActive);
  EXPECT_TRUE(p.mProgression.step(5).mActive);
  EXPECT_FALSE(p.mProgression.step(6).mActive);
  EXPECT_EQ(p.mPlayer.mStartPosition, 8);
  EXPECT_EQ(p.mPlayer.mEndPosition, 23);
  EXPECT_EQ(p.GetGui()->GetSpanLow(), 2);
  EXPECT_EQ(p.GetGui()->GetSpanHigh(), 6);

  r.Set(kNumPulse, 3);
  EXPECT_EQ(p.mNumPulses, 3);
  EXPECT_EQ(p.mProgression.step(11).mMelodies[3].numPulses, 3);
  EXPECT_EQ(p.mPlayer.mStartPosition, 6);
  EXPECT_EQ(p.mPlayer.mEndPosition, 17);
}

TEST(ParamsDeathTest, NoteValueOutsideTheTableIsClampedToIt)
{
  TavrinelRig r;
  const char* text = "idx >= 0 && idx < NUM_ENTRIES\\(beatDivisionParamsTable\\), file src\\\\Tavrinel";
  r.Set(kLengthUnits, 16);
  const double last = r.plug->mNoteLengthBeats;
  r.Set(kLengthUnits, 0);
  const double first = r.plug->mNoteLengthBeats;
  EXPECT_CHECK_FAILS(r.SetRaw(kLengthUnits, 17), r.plug->mNoteLengthBeats == last, text);
  r.Set(kLengthUnits, 16);
  EXPECT_CHECK_FAILS(r.SetRaw(kLengthUnits, -1), r.plug->mNoteLengthBeats == first, text);
}

} // namespace
