#include "Chord.h"

#include "Assert.h"
#include "IStateChunk.h"

#define CHORD_FILE "src\\Chord"

const char* const strikeModifierNames[NUM_STRIKE_MODIFIERS] = {
  "^ 1", "^ 2", "^ 3", "^ 4", "v 1", "v 2", "v 3", "v 4",
  "Flip", "Rand", "Mute", " -- ", "Orig"};

const char* const melodyModifierNames[NUM_MELODY_MODIFIERS] = {
  "L/R", "T/B", "< 1", "< 2", "< 3", "> 1", "> 2", "> 3",
  "^ 1", "^ 2", "^ 3", "^ 4", "v 1", "v 2", "v 3", "v 4",
  " -- ", "Rand", "Orig"};

// ---- mask operations ----

int rotateUp(int m)
{
  return ((m & 15) << 1) | ((m >> 4) & 1);
}

int rotateDown(int m)
{
  return ((m >> 1) & 15) | ((m & 1) << 4);
}

int rotateUp(int m, int n)
{
  for (int i = 0; i < n; ++i) m = rotateUp(m);
  return m;
}

int rotateDown(int m, int n)
{
  for (int i = 0; i < n; ++i) m = rotateDown(m);
  return m;
}

int reverseBits(int mPlayingMask)
{
  static const int table[32] = {0, 16, 8, 24, 4, 20, 12, 28, 2, 18, 10, 26, 6, 22, 14, 30,
                                1, 17, 9, 25, 5, 21, 13, 29, 3, 19, 11, 27, 7, 23, 15, 31};
  return TAV_CHECK(mPlayingMask >= 0 && mPlayingMask < 32, CHORD_FILE) ? table[mPlayingMask] : 0;
}

// One random chord tone from the pulse's own generator.
static int randomTone(PitchSet& p)
{
  uint32_t r = p.mRandom.nextRaw();
  return 1 << ((r >> 11) % 5u);
}

// ---- serialised form ----

namespace {

bool appendAll(IStateChunk& chunk, int32_t v) { return chunk.Append(v) > 0; }
bool appendAll(IStateChunk& chunk, bool v) { return chunk.Append(v) > 0; }

// A mask from outside may be anything; keep its five tone bits so that no
// later mirror or table lookup sees a value outside 0..31.
int readMask(const IStateChunk& chunk, int32_t& mask, int pos)
{
  int32_t v = 0;
  pos = chunk.Read(v, pos);
  if (pos >= 0) mask = v & 31;
  return pos;
}

} // namespace

bool PitchSet::serialize(IStateChunk& chunk) const
{
  bool ok = appendAll(chunk, mPlayingMask);
  ok = appendAll(chunk, mBaseMask) && ok;
  ok = appendAll(chunk, mSavedMask) && ok;
  return ok;
}

int PitchSet::unserialize(const IStateChunk& chunk, int pos)
{
  if (pos < 0) return -1;
  pos = readMask(chunk, mPlayingMask, pos);
  pos = readMask(chunk, mBaseMask, pos);
  pos = readMask(chunk, mSavedMask, pos);
  mSavedValid = false;
  return pos;
}

bool Melody::serialize(IStateChunk& chunk) const
{
  bool ok = appendAll(chunk, numPulses);
  for (const PitchSet& p : mPulses) ok = p.serialize(chunk) && ok;
  for (int32_t r : mReserved) ok = appendAll(chunk, r) && ok;
  ok = appendAll(chunk, mEnabled) && ok;
  ok = appendAll(chunk, mRepeatCount) && ok;
  return ok;
}

int Melody::unserialize(const IStateChunk& chunk, int pos)
{
  if (pos < 0) return -1;
  pos = chunk.Read(numPulses, pos);
  for (PitchSet& p : mPulses) pos = p.unserialize(chunk, pos);
  for (int32_t& r : mReserved) pos = chunk.Read(r, pos);
  pos = chunk.Read(mEnabled, pos);
  pos = chunk.Read(mRepeatCount, pos);
  mTempBackupValid = false;
  mMuted = false;
  captureOriginal();
  return pos;
}

bool ChordStep::serialize(IStateChunk& chunk) const
{
  bool ok = appendAll(chunk, mChordDegree);
  ok = appendAll(chunk, mActive) && ok;
  ok = appendAll(chunk, mReserved) && ok;
  for (const Melody& m : mMelodies) ok = m.serialize(chunk) && ok;
  return ok;
}

int ChordStep::unserialize(const IStateChunk& chunk, int pos)
{
  if (pos < 0) return -1;
  pos = chunk.Read(mChordDegree, pos);
  pos = chunk.Read(mActive, pos);
  pos = chunk.Read(mReserved, pos);
  for (Melody& m : mMelodies) pos = m.unserialize(chunk, pos);
  return pos;
}

bool ChordProgression::serialize(IStateChunk& chunk) const
{
  bool ok = appendAll(chunk, numSteps);
  ok = appendAll(chunk, numPositions) && ok;
  ok = appendAll(chunk, beginStepIdx) && ok;
  for (const ChordStep& s : mSteps) ok = s.serialize(chunk) && ok;
  return ok;
}

int ChordProgression::unserialize(const IStateChunk& chunk, int pos)
{
  if (pos < 0) return -1;
  pos = chunk.Read(numSteps, pos);
  pos = chunk.Read(numPositions, pos);
  pos = chunk.Read(beginStepIdx, pos);
  // A damaged chunk must not leave a window the player and the active flags
  // cannot compute with; the "NumStep"/"StepOne" handlers set both again
  // right after a restore, so valid data is never changed by this.
  if (numSteps < 1 || numSteps > MAX_STEPS) numSteps = MAX_STEPS;
  if (beginStepIdx < 0 || beginStepIdx >= MAX_STEPS) beginStepIdx = 0;
  for (ChordStep& s : mSteps) pos = s.unserialize(chunk, pos);
  return pos;
}

// ---- melody ----

void Melody::copyFrom(const Melody& o)
{
  if (&o == this) return;
  numPulses = o.numPulses;
  for (int i = 0; i < MAX_PULSES_PER_MELODY; ++i) {
    mPulses[i].takeMasksFrom(o.mPulses[i]);
    mReserved[i] = o.mReserved[i];
    mTempBackup[i] = o.mTempBackup[i];
  }
  mEnabled = o.mEnabled;
  mMuted = o.mMuted;
  mRepeatCount = o.mRepeatCount;
  mTempBackupValid = o.mTempBackupValid;
}

void Melody::captureOriginal()
{
  for (int i = 0; i < MAX_PULSES_PER_MELODY; ++i) mOriginal[i] = mPulses[i];
}

// ---- progression ----

ChordProgression::ChordProgression()
{
  for (int s = 0; s < MAX_STEPS; ++s) {
    for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
      Melody& m = mSteps[s].mMelodies[r];
      for (int p = 0; p < MAX_PULSES_PER_MELODY; ++p) m.mPulses[p].mRandom.seed(pulseSeed(s, r, p));
      m.captureOriginal();
    }
  }
  updateActiveFlags();
}

uint32_t ChordProgression::pulseSeed(int step, int row, int pulse)
{
  return 1u + 16u * static_cast<uint32_t>(step) + 4u * static_cast<uint32_t>(row) +
         static_cast<uint32_t>(pulse);
}

ChordStep& ChordProgression::step(int idx)
{
  return mSteps[TAV_CHECK(0 <= idx && idx < MAX_STEPS, CHORD_FILE) ? idx : 0];
}

const ChordStep& ChordProgression::step(int idx) const
{
  return mSteps[TAV_CHECK(0 <= idx && idx < MAX_STEPS, CHORD_FILE) ? idx : 0];
}

void ChordProgression::setNumSteps(int numSteps)
{
  if (!TAV_CHECK(1 <= numSteps && numSteps <= MAX_STEPS, CHORD_FILE)) return;
  this->numSteps = numSteps;
  updateActiveFlags();
}

void ChordProgression::setBeginStepIdx(int beginStepIdx)
{
  if (!TAV_CHECK(0 <= beginStepIdx && beginStepIdx < MAX_STEPS, CHORD_FILE)) return;
  this->beginStepIdx = beginStepIdx;
  updateActiveFlags();
}

void ChordProgression::updateActiveFlags()
{
  for (int i = 0; i < MAX_STEPS; ++i)
    mSteps[i].mActive = (i >= beginStepIdx) && (i <= beginStepIdx + numSteps - 1);
}

void ChordProgression::setNumPulses(int p)
{
  for (ChordStep& s : mSteps)
    for (Melody& m : s.mMelodies) m.numPulses = p;
}

// ---- playback ----

Melody& Chord::currentMelody()
{
  ChordStep* mpMelodySet = this->mpMelodySet;
  TAV_ASSERT(mpMelodySet, CHORD_FILE);
  if (!TAV_CHECK(0 <= mCurrentMelody && mCurrentMelody < MAX_VARIATIONS_PER_CHORD, CHORD_FILE)) mCurrentMelody = 0;
  return mpMelodySet->mMelodies[mCurrentMelody];
}

void advanceMelody(Chord& chord)
{
  ChordStep* mpMelodySet = chord.mpMelodySet;
  TAV_ASSERT(mpMelodySet, CHORD_FILE);
  int k = chord.mCurrentMelody;
  if (!TAV_CHECK(0 <= k && k < MAX_VARIATIONS_PER_CHORD, CHORD_FILE)) k = chord.mCurrentMelody = 0;
  const Melody& row = mpMelodySet->mMelodies[k];
  if (chord.mPlayCount >= row.mRepeatCount || !row.isPlayable()) {
    // Four checked moves reach every row; a fifth, unchecked one ends one row
    // on from the start when none is playable.
    for (int tries = 0; tries < 5; ++tries) {
      k = (k + 1) % MAX_VARIATIONS_PER_CHORD;
      if (tries < 4 && mpMelodySet->mMelodies[k].isPlayable()) break;
    }
    chord.mCurrentMelody = k;
    chord.mPlayCount = 0;
  }
  chord.mPlayCount += 1;
}

// ---- modifiers ----

void applyStrikeModifier(PitchSet& p, int modifier, bool permanent)
{
  if (!permanent) {
    p.mSavedMask = p.mPlayingMask;
    p.mSavedValid = true;
  }
  switch (modifier) {
  case eStrikeUp1: case eStrikeUp2: case eStrikeUp3: case eStrikeUp4:
    p.mPlayingMask = rotateUp(p.mPlayingMask, modifier - eStrikeUp1 + 1);
    break;
  case eStrikeDown1: case eStrikeDown2: case eStrikeDown3: case eStrikeDown4:
    p.mPlayingMask = rotateDown(p.mPlayingMask, modifier - eStrikeDown1 + 1);
    break;
  case eStrikeFlip:
    p.mPlayingMask = reverseBits(p.mPlayingMask);
    break;
  case eStrikeRand:
    p.mPlayingMask = randomTone(p);
    break;
  case eStrikeMute:
    break;
  case eStrikeNone:
    p.mSavedMask = 0;
    p.mSavedValid = false;
    break;
  case eStrikeOrig:
    p.mPlayingMask = p.mBaseMask;
    p.mSavedMask = 0;
    p.mSavedValid = false;
    break;
  default:
    break;
  }
}

// Pulse k takes the masks that pulse (k + shift) mod 4 held; generators stay.
static void rotatePulses(Melody& m, int shift)
{
  PitchSet old[MAX_PULSES_PER_MELODY];
  for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k) old[k] = m.mPulses[k];
  for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k)
    m.mPulses[k].takeMasksFrom(old[(k + shift) % MAX_PULSES_PER_MELODY]);
}

void applyMelodyModifier(Melody& m, int modifier, bool permanent)
{
  if (!permanent) {
    for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k) m.mTempBackup[k] = m.mPulses[k];
    m.mTempBackupValid = true;
  }
  switch (modifier) {
  case eMelodyLR: {
    PitchSet old[MAX_PULSES_PER_MELODY];
    for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k) old[k] = m.mPulses[k];
    for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k)
      m.mPulses[k].takeMasksFrom(old[MAX_PULSES_PER_MELODY - 1 - k]);
    break;
  }
  case eMelodyTB:
    for (PitchSet& p : m.mPulses) p.mPlayingMask = reverseBits(p.mPlayingMask);
    break;
  case eMelodyLeft1: case eMelodyLeft2: case eMelodyLeft3:
    rotatePulses(m, modifier - eMelodyLeft1 + 1);
    break;
  case eMelodyRight1: case eMelodyRight2: case eMelodyRight3:
    rotatePulses(m, MAX_PULSES_PER_MELODY - (modifier - eMelodyRight1 + 1));
    break;
  case eMelodyUp1: case eMelodyUp2: case eMelodyUp3: case eMelodyUp4:
    for (PitchSet& p : m.mPulses) p.mPlayingMask = rotateUp(p.mPlayingMask, modifier - eMelodyUp1 + 1);
    break;
  case eMelodyDown1: case eMelodyDown2: case eMelodyDown3: case eMelodyDown4:
    for (PitchSet& p : m.mPulses)
      p.mPlayingMask = rotateDown(p.mPlayingMask, modifier - eMelodyDown1 + 1);
    break;
  case eMelodyNone:
    m.mTempBackupValid = false;
    break;
  case eMelodyRand:
    for (PitchSet& p : m.mPulses) p.mPlayingMask = randomTone(p);
    break;
  case eMelodyOrig:
    for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k) m.mPulses[k] = m.mOriginal[k];
    m.mTempBackupValid = false;
    break;
  default:
    break;
  }
}

void restoreTemporaryStrike(PitchSet& p)
{
  if (!p.mSavedValid) return;
  p.mPlayingMask = p.mSavedMask;
  p.mSavedMask = 0;
  p.mSavedValid = false;
}

void restoreTemporaryMelody(Melody& m)
{
  if (!m.mTempBackupValid) return;
  for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k) m.mPulses[k] = m.mTempBackup[k];
  m.mTempBackupValid = false;
}
