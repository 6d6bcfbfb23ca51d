#include "TavrinelEngine.h"

#include "Assert.h"
#include "TavrinelGui.h"

#include <cmath>
#include <cstdint>

#define TAVRINEL_FILE "src\\Tavrinel"

namespace {

// Melody 0 of each step strikes pulse 0 and pulse 2 with one chord tone each.
struct DefaultStrikes {
  int32_t mPulse0;
  int32_t mPulse2;
};
constexpr DefaultStrikes defaultPattern[MAX_STEPS] = {
  {4, 16}, {1, 2}, {16, 8}, {4, 2}, {1, 2}, {4, 8}, {16, 8}, {4, 16}, {4, 16}, {4, 16}, {4, 16}, {4, 16}};

// Moves a modifier sequencer on by one clock tick, its published cursor with
// it. Returns the step to apply, or null when the cursor did not
// move or the step's probability said no.
template <class SEQUENCER>
auto TickSequencer(SEQUENCER& seq, TavrinelEngine& engine, int which) -> decltype(&seq.currentStep())
{
  engine.MoveSequencerMarker(which, seq.mCursor, false);
  const bool moved = seq.clockTick();
  engine.MoveSequencerMarker(which, seq.mCursor, true);
  if (moved && seq.rollProbability()) return &seq.currentStep();
  return nullptr;
}

} // namespace

int TruncateSamples(double samples)
{
  if (!(samples < static_cast<double>(PulseClock::MAX_PULSE_LENGTH))) return PulseClock::MAX_PULSE_LENGTH;
  if (!(samples > 0.0)) return 0;
  return static_cast<int>(samples);
}

TavrinelEngine::TavrinelEngine(Tavrinel* pPlug) : mClock(mRandom), mPlayer(mProgression)
{
  mClock.SetSampleRate(44100.0);
  BuildDefaultPattern();

  // What the parameter pass of the host's open call gives these two: one
  // eighth note at the clock's current tempo, and no permanence swaps.
  mNoteLengthBeats = beatDivisionParamsTable[3];
  FollowNoteLength();
  mPermanenceThreshold = 1.0;

  mpGui.reset(new TavrinelGui(pPlug, mProgression, mMelodyClipboard));
}

TavrinelEngine::~TavrinelEngine() = default;

void TavrinelEngine::BuildDefaultPattern()
{
  mProgression.setBeginStepIdx(0);
  mProgression.setNumSteps(MAX_STEPS);
  mProgression.setNumPulses(MAX_PULSES_PER_MELODY);
  for (int s = 0; s < MAX_STEPS; ++s) {
    ChordStep& step = mProgression.step(s);
    for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
      Melody& m = step.mMelodies[r];
      for (PitchSet& p : m.mPulses) {
        p.setMask(0);
        p.mSavedMask = 0;
        p.mSavedValid = false;
      }
      m.mEnabled = (r == 0);
      m.mTempBackupValid = false;
    }
    Melody& m0 = step.mMelodies[0];
    m0.mPulses[0].setMask(defaultPattern[s].mPulse0);
    m0.mPulses[2].setMask(defaultPattern[s].mPulse2);
    for (Melody& m : step.mMelodies) m.captureOriginal();
  }

  mNumPulses = MAX_PULSES_PER_MELODY;
  mPlayer.attach(mProgression);
  mPlayer.setNumPulses(MAX_PULSES_PER_MELODY);
  mPlayer.reset();
}

const ParamChangeDesc* TavrinelEngine::GetParamChangeDesc(int paramIdx) const
{
  if (paramIdx < 0 || paramIdx >= kNumParams) return nullptr;
  return mpParamChangeDesc[paramIdx];
}

void TavrinelEngine::RegisterParamDesc(const ParamChangeDesc* pDesc)
{
  TAV_ASSERT(pDesc && pDesc->mParamIdx >= 0 && pDesc->mParamIdx < kNumParams, TAVRINEL_FILE);
  TAV_ASSERT(mpParamChangeDesc[ pDesc->mParamIdx ] == 0, TAVRINEL_FILE);
  mpParamChangeDesc[pDesc->mParamIdx] = pDesc;
}

void TavrinelEngine::RunHandler(int paramIdx, double v, bool fromEditor)
{
  if (paramIdx < 0 || paramIdx >= kNumParams) return;
  mTouched = true;
  if (paramIdx >= kGrooveLock0 && paramIdx < kGrooveLock0 + GROOVE_STEPS) {
    mGroove.mGrooveLock[paramIdx - kGrooveLock0] = (v >= 0.5);
  } else if (paramIdx >= kGrooveMute0 && paramIdx < kGrooveMute0 + GROOVE_STEPS) {
    mGroove.mGrooveMute[paramIdx - kGrooveMute0] = (v >= 0.5);
    mpGui->MarkGrooveDirty();
  } else if (const ParamChangeDesc* pDesc = mpParamChangeDesc[paramIdx]) {
    struct EditorChange {
      int& mIdx;
      const int mOuter;
      EditorChange(int& idx, int now) : mIdx(idx), mOuter(idx) { mIdx = now; }
      ~EditorChange() { mIdx = mOuter; }
    } change(mHandlerEditorIdx, fromEditor ? paramIdx : -1);
    pDesc->mHandler(*this, *pDesc, v);
  }
}

int TavrinelEngine::ResolvePermanence(int lifetime)
{
  const double u = mRandom.nextUnit();
  if (u > mPermanenceThreshold) return lifetime == 0 ? 1 : 0;
  return lifetime;
}

void TavrinelEngine::ShowSequencerCursor(int which)
{
  SequencerBase& seq = (which == SEQ_STRIKE) ? static_cast<SequencerBase&>(mStrikeSequencer)
                                             : static_cast<SequencerBase&>(mMelodySequencer);
  for (int i = 0; i < MODIFIER_SEQUENCER_STEPS; ++i) MoveSequencerMarker(which, i, i == seq.mCursor);
  mpGui->MarkSequencerStepsDirty(which);
}

void TavrinelEngine::MoveSequencerMarker(int which, int stepIdx, bool on)
{
  if (which >= 0 && which < 2 && stepIdx >= 0 && stepIdx < 32) {
    const uint32_t bit = 1u << stepIdx;
    uint32_t& steps = mMarkers.mSequencerSteps[which];
    steps = on ? (steps | bit) : (steps & ~bit);
  }
  mpGui->SetSequencerMarker(which, stepIdx, on);
}

void TavrinelEngine::SetPulseMarker(int stepIdx, int variationIdx, int pulse)
{
  if (pulse >= 0) {
    mMarkers.mStep = stepIdx;
    mMarkers.mRow = variationIdx;
    mMarkers.mPulse = pulse;
  } else if (mMarkers.mStep == stepIdx && mMarkers.mRow == variationIdx) {
    mMarkers.mPulse = -1;
  }
  mpGui->SetPulseMarker(stepIdx, variationIdx, pulse);
}

void TavrinelEngine::SetChordSpan(int firstStep, int numSteps)
{
  mTouched = true;
  mProgression.setNumSteps(numSteps);
  mPlayer.updateRange();
  mProgression.setBeginStepIdx(firstStep);
  mPlayer.updateRange();
}

void TavrinelEngine::ResetProgressionForLoad()
{
  mTouched = true;
  mProgression.numPositions = PLAYER_POSITIONS;
  mProgression.numSteps = MAX_STEPS;
  mProgression.beginStepIdx = 0;
  mProgression.updateActiveFlags();
  mPlayer.reset();
}

void TavrinelEngine::SetClockRate(double sampleRate)
{
  mClock.SetSampleRate(sampleRate);
  FollowNoteLength();
}

void TavrinelEngine::FollowNoteLength()
{
  if (mClock.mSamplesPerBeat == mNoteLengthSamplesPerBeat) return;
  mNoteLengthSamplesPerBeat = mClock.mSamplesPerBeat;
  mNoteLength = TruncateSamples(mNoteLengthBeats * mClock.mSamplesPerBeat);
}

// ---- block processing ----

void TavrinelEngine::RunBlock(const IPlugBase::HostTime& time, int nFrames, std::vector<IMidiMessage>& out)
{
  if (nFrames < 0) nFrames = 0;

  int num = time.numerator, den = time.denominator;
  if (num < 1 || den < 1) {
    num = 4;
    den = 4;
  }
  double tempo = time.tempo;
  if (!(tempo > 0.0)) tempo = 120.0;
  mClock.SetTempo(tempo, num, den);
  FollowNoteLength();

  const int64_t pos = time.samplePos;
  const bool playing = time.playing;

  if (mReloadPending) {
    mReloadPending = false;
    mAdvanceArmed = false;
  }
  if (pos != mExpectedPos) Reposition(pos);
  mExpectedPos = pos + nFrames;

  out.clear();
  if (mReleaseSounding) {
    mReleaseSounding = false;
    mNoteStream.releaseSounding(out);
  }
  if (!playing) {
    mNoteStream.allNotesOff(out);
    return;
  }

  mClock.BeginBlock(nFrames);
  while (mClock.mSamplesLeft >= mClock.mSamplesToPulse) HandlePulse();

  mNoteStream.render(out, nFrames);
}

void TavrinelEngine::Reposition(int64_t pos)
{
  const int64_t pulse = mClock.Locate(pos);
  // A sequencer places itself from the pulse number modulo (divider x its
  // positions), the player also modulo (steps x pulses per step): a pulse
  // number past the int range is reduced by a multiple of those periods.
  auto placeAt = [pulse](SequencerBase& seq, int64_t otherPeriod) {
    int64_t n = pulse;
    if (n > INT32_MAX) {
      const int64_t divider = seq.mDivider > 0 ? seq.mDivider : 1;
      const int64_t positions = seq.numActivePositions() > 0 ? seq.numActivePositions() : 1;
      n %= divider * positions * (otherPeriod > 0 ? otherPeriod : 1);
    }
    seq.setPosition(static_cast<int>(n));
  };
  {
    const int s = mPlayer.mCurrentStep;
    SetPulseMarker(s, mPlayer.chord(s).mCurrentMelody, -1);
  }
  placeAt(mPlayer, static_cast<int64_t>(mProgression.numSteps) * mProgression.getNumPulses());
  placeAt(mStrikeSequencer, 1);
  placeAt(mMelodySequencer, 1);
  mMelodyCountdown = 0;
  mGroove.position(mPlayer.mCurrentPulse);
  mpGui->MarkGrooveDirty();
  {
    const int s = mPlayer.mCurrentStep;
    SetPulseMarker(s, mPlayer.chord(s).mCurrentMelody, mPlayer.mCurrentPulse);
  }
  ShowSequencerCursor(SEQ_STRIKE);
  ShowSequencerCursor(SEQ_MELODY);
  mAdvanceArmed = false;
}

void TavrinelEngine::HandlePulse()
{
  const int offset = mClock.NextPulse();
  auto changed = [this](int step, int row) {
    mChangedCells |= uint64_t(1) << (step * MAX_VARIATIONS_PER_CHORD + row);
  };

  int channel;
  if (mChannelToggle == 0) {
    channel = mChannelSlot[0];
    mChannelToggle = 1;
  } else {
    channel = mChannelSlot[1];
    mChannelToggle = 0;
  }

  if (mAdvanceArmed) {
    // Leave the pulse just played: undo its temporary modifiers.
    int s = mPlayer.mCurrentStep;
    int k = mPlayer.chord(s).mCurrentMelody;
    changed(s, k);
    restoreTemporaryStrike(mPlayer.currentPitchSet());
    if (mPlayer.mCurrentPulse >= mNumPulses - 1) {
      restoreTemporaryMelody(mPlayer.currentMelody());
      mpGui->MarkCellDirty(s, k);
    }
    SetPulseMarker(s, k, -1);

    mPlayer.tick();
    s = mPlayer.mCurrentStep;
    k = mPlayer.chord(s).mCurrentMelody;
    changed(s, k);
    SetPulseMarker(s, k, mPlayer.mCurrentPulse);

    mMelodyCountdown -= 1;
    if (mMelodyCountdown < 1) {
      if (mMelodySequencer.mRunning) {
        if (const EnumStep<EMelodyModifier>* pStep = TickSequencer(mMelodySequencer, *this, SEQ_MELODY)) {
          const bool permanent = ResolvePermanence(pStep->mLifetime) != 0;
          mpGui->GetCell(s, k)->ApplyMelodyCommand(pStep->mValue, permanent);
        }
      }
      mMelodyCountdown = mNumPulses;
    }

    if (mStrikeSequencer.mRunning) {
      if (const EnumStep<EStrikeModifier>* pStep = TickSequencer(mStrikeSequencer, *this, SEQ_STRIKE)) {
        const bool permanent = ResolvePermanence(pStep->mLifetime) != 0;
        applyStrikeModifier(mPlayer.currentPitchSet(), pStep->mValue, permanent);
        mpGui->MarkCellDirty(s, k);
      }
    }

    if (mGroove.mEnabled) {
      mGroove.advance();
      mpGui->MarkGrooveDirty();
    }
  }
  mAdvanceArmed = true;

  PlayCurrentPulse(offset, channel);
}

void TavrinelEngine::PlayCurrentPulse(int offset, int channel)
{
  const Melody& row = mPlayer.currentMelody();
  const int mask = mPlayer.currentPitchSet().mPlayingMask;
  if (!row.mEnabled || mask == 0) return;

  const int g = mGroove.grooveVelocity();
  int vel = (mVelocity * g) / 128;
  if (mVelJitter > 0.0) {
    const double u = mRandom.nextUnit();
    vel = static_cast<int>((2.0 * u - 1.0) * 40.0 * mVelJitter + vel);
  }
  if (vel < 0) vel = 0;
  if (vel > 127) vel = 127;

  int len = mNoteLength;
  if (mLenJitter > 0.0) {
    const double f = mRandom.nextJitterFactor();
    len = static_cast<int>(f * len);
    const int minLen = TruncateSamples(mClock.mSamplesPerBeat * 0.0625);
    if (len < minLen) len = minLen;
  }
  // Every note ends: at a sample rate so low that the length truncates to 0,
  // a note without a note-off would be struck again while it still sounds.
  if (len < 1) len = 1;

  const int chordDegree = mProgression.step(mPlayer.mCurrentStep).mChordDegree;
  for (int i = 0; i < NUM_CHORD_TONES; ++i) {
    if (!(mask & (1 << i))) continue;
    const int pitch = mScale.getNote(mTonic, chordDegree, mMode, i);
    mNoteStream.addNote(offset, channel, pitch, vel, len);
  }
}
