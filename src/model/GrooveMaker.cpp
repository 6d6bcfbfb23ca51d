#include "GrooveMaker.h"

#include "Assert.h"
#include "IStateChunk.h"

// The player's position checks carry the chord family's name.
#define PLAYER_FILE "src\\Chord"
#define GROOVE_FILE "src\\GrooveMaker"

namespace {

int wrapMod(int n, int d)
{
  int r = n % d;
  return r < 0 ? r + d : r;
}

} // namespace

// ---- ChordProgressionPlayer ----

ChordProgressionPlayer::ChordProgressionPlayer() : SequencerBase(PLAYER_POSITIONS) {}

ChordProgressionPlayer::ChordProgressionPlayer(ChordProgression& progression)
  : SequencerBase(PLAYER_POSITIONS)
{
  attach(progression);
}

void ChordProgressionPlayer::attach(ChordProgression& progression)
{
  mpProgression = &progression;
  for (int i = 0; i < MAX_STEPS; ++i) {
    mChords[i].mpMelodySet = &progression.mSteps[i];
    mChords[i].mCurrentMelody = 0;
  }
  const int p = progression.getNumPulses();
  if (p >= 1 && p <= MAX_PULSES_PER_MELODY) mNumPulses = p;
  updateRange();
}

void ChordProgressionPlayer::updateRange()
{
  TAV_ASSERT(mpProgression, PLAYER_FILE);
  const int P = mNumPulses;
  // Last pulse of step 11. With fewer than 4 pulses a window running past
  // step 11 must stop here, not at position 47, or the cursor would name
  // steps that do not exist.
  const int last = MAX_STEPS * P - 1;
  const int s = P * mpProgression->beginStepIdx;
  if (0 <= s && s <= last) {
    mStartPosition = s;
    mEndPosition = s + mLength - 1;
    if (mEndPosition > last) mEndPosition = last;
    if (mCursor < s) mCursor = s;
  }
  const int L = P * mpProgression->numSteps;
  if (1 <= L && L <= mSize) {
    mLength = L;
    mEndPosition = mStartPosition + L - 1;
    if (mEndPosition > last) mEndPosition = last;
    if (mCursor > mEndPosition) mCursor = mEndPosition;
  }
  if (mCursor > mEndPosition) mCursor = mEndPosition;
}

void ChordProgressionPlayer::setNumPulses(int p)
{
  if (p < 1 || p > MAX_PULSES_PER_MELODY) return;
  TAV_ASSERT(mpProgression, PLAYER_FILE);
  mpProgression->setNumPulses(p);
  mNumPulses = p;
  updateRange();
}

void ChordProgressionPlayer::setPosition(int n)
{
  TAV_ASSERT(mpProgression, PLAYER_FILE);
  const int numActiveSteps = mpProgression->numSteps;
  const int numPulsesPerChord = mpProgression->getNumPulses();
  if (!TAV_CHECK(numActiveSteps > 0, PLAYER_FILE) || !TAV_CHECK(numPulsesPerChord > 0, PLAYER_FILE)) return;

  const int r = wrapMod(n, numActiveSteps * numPulsesPerChord);
  mCurrentPulse = r % numPulsesPerChord;
  mCurrentStep = r / numPulsesPerChord + mpProgression->beginStepIdx;

  SequencerBase::setPosition(n);

  // A window that runs past step 11 is clipped; the step count then no longer
  // describes it, so the step is the one under the cursor.
  if (mpProgression->beginStepIdx + numActiveSteps > MAX_STEPS || mCurrentStep < 0 ||
      mCurrentStep >= MAX_STEPS)
    mCurrentStep = mCursor / mNumPulses;

  for (Chord& c : mChords) c.mCurrentMelody = 0;
}

bool ChordProgressionPlayer::tick()
{
  clockTick();
  const int before = mCurrentStep;
  mCurrentStep = mCursor / mNumPulses;
  mCurrentPulse = mCursor % mNumPulses;
  if (mCurrentStep == before) return false;
  advanceMelody(chord(mCurrentStep));
  return true;
}

Chord& ChordProgressionPlayer::chord(int step)
{
  return mChords[TAV_CHECK(0 <= step && step < MAX_STEPS, PLAYER_FILE) ? step : 0];
}

Melody& ChordProgressionPlayer::currentMelody()
{
  return chord(mCurrentStep).currentMelody();
}

PitchSet& ChordProgressionPlayer::currentPitchSet()
{
  if (!TAV_CHECK(0 <= mCurrentPulse && mCurrentPulse < MAX_PULSES_PER_MELODY, PLAYER_FILE)) mCurrentPulse = 0;
  return currentMelody().mPulses[mCurrentPulse];
}

// ---- GrooveMaker ----

GrooveMaker::GrooveMaker()
{
  for (int i = 0; i < GROOVE_STEPS; ++i) {
    mGrooveValues[i] = GROOVE_FULL;
    mGrooveMute[i] = false;
    mGrooveLock[i] = false;
  }
}

void GrooveMaker::position(int p)
{
  mGrooveStep = TAV_CHECK(mNumStepsActive > 0, GROOVE_FILE) ? wrapMod(p, mNumStepsActive) : 0;
}

void GrooveMaker::advance()
{
  if (!mEnabled) return;
  mGrooveStep += 1;
  // The count may have shrunk below the step since the last pulse.
  if (mGrooveStep >= mNumStepsActive) mGrooveStep = 0;
}

int GrooveMaker::grooveVelocity() const
{
  if (!TAV_CHECK(mGrooveStep >= 0 && mGrooveStep < GROOVE_STEPS, GROOVE_FILE)) return 0;
  return mGrooveMute[mGrooveStep] ? 0 : mGrooveValues[mGrooveStep];
}

bool GrooveMaker::setNumStepsActive(int v)
{
  if (v < 1) v = 1;
  if (v > GROOVE_STEPS) v = GROOVE_STEPS;
  if (v == mNumStepsActive) return false;
  mNumStepsActive = v;
  return true;
}

bool GrooveMaker::serialize(IStateChunk& chunk) const
{
  bool ok = chunk.Append(mNumStepsActive) > 0;
  uint8_t bytes[GROOVE_STEPS];
  for (int i = 0; i < GROOVE_STEPS; ++i) bytes[i] = static_cast<uint8_t>(mGrooveValues[i] & 0xFF);
  ok = chunk.AppendBytes(bytes, GROOVE_STEPS) > 0 && ok;
  return ok;
}

int GrooveMaker::unserialize(const IStateChunk& chunk, int pos)
{
  int32_t count = 0;
  pos = chunk.Read(count, pos);
  if (pos >= 0) {
    if (count < 1) count = 1;
    if (count > GROOVE_STEPS) count = GROOVE_STEPS;
    mNumStepsActive = count;
  }
  bool anyRead = false;
  int32_t last = 0;
  for (int i = 0; i < GROOVE_STEPS; ++i) {
    uint8_t b = 0;
    if (pos >= 0) pos = chunk.ReadBytes(&b, 1, pos);
    if (pos >= 0) {
      last = b;
      anyRead = true;
      mGrooveValues[i] = b;
    } else if (anyRead) {
      mGrooveValues[i] = last;
    }
  }
  return pos;
}
