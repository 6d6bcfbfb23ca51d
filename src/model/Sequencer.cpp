#include "Sequencer.h"

const char* const directionNames[NUM_DIRECTIONS] = {"Fwd", "Back", "FwdBack", "BackFwd", "Random"};
const char* const lifetimeNames[NUM_LIFETIMES] = {"Temp", "Perm"};

namespace {

// Remainder in 0..d-1 for d > 0, also for a negative n (a host may report a
// position before zero during pre-roll).
int wrapMod(int n, int d)
{
  int r = n % d;
  return r < 0 ? r + d : r;
}

int floorDiv(int n, int d)
{
  int q = n / d;
  return (n % d < 0) ? q - 1 : q;
}

} // namespace

SequencerBase::SequencerBase(int size)
  : mSize(size), mLength(size), mEndPosition(size - 1)
{
}

void SequencerBase::reset()
{
  if (mDirection == eDirBack || mDirection == eDirBackFwd) {
    mCursor = mEndPosition;
    mAscending = false;
  } else {
    mCursor = mStartPosition;
    mAscending = true;
  }
  mCountdown = mDivider;
}

void SequencerBase::setPosition(int n)
{
  mCountdown = wrapMod(n, mDivider);
  mCursor = mStartPosition + wrapMod(floorDiv(n, mDivider), numActivePositions());
}

int SequencerBase::advance()
{
  switch (mDirection) {
  case eDirFwd:
    ++mCursor;
    if (mCursor > mEndPosition) mCursor = mStartPosition;
    break;
  case eDirBack:
    --mCursor;
    if (mCursor < mStartPosition) mCursor = mEndPosition;
    break;
  case eDirFwdBack:
  case eDirBackFwd:
    // The ends are played once per turn: ..., 6, 7, 6, 5, ...
    if (mAscending) {
      if (mCursor == mEndPosition) {
        mAscending = false;
        --mCursor;
        if (mCursor < mStartPosition) mCursor = mEndPosition;
      } else {
        ++mCursor;
        if (mCursor > mEndPosition) mCursor = mStartPosition;
      }
    } else {
      if (mCursor == mStartPosition) {
        mAscending = true;
        ++mCursor;
        if (mCursor > mEndPosition) mCursor = mStartPosition;
      } else {
        --mCursor;
        if (mCursor < mStartPosition) mCursor = mEndPosition;
      }
    }
    break;
  case eDirRandom: {
    const int numActivePositions = this->numActivePositions();
    if (!TAV_CHECK(numActivePositions > 0, SEQUENCER_FILE)) {
      mCursor = mStartPosition;
      break;
    }
    uint32_t r = mRandom.nextRaw();
    mCursor = mStartPosition + static_cast<int>(r % static_cast<uint32_t>(numActivePositions));
    if (!TAV_CHECK((mStartPosition <= mCursor) && (mCursor <= mEndPosition), SEQUENCER_FILE)) mCursor = mStartPosition;
    break;
  }
  default:
    break;
  }
  return mCursor;
}

bool SequencerBase::clockTick()
{
  mCountdown -= 1;
  if (mCountdown < 1) {
    advance();
    mCountdown = mDivider;
    return true;
  }
  return false;
}

void SequencerBase::setStart(int v)
{
  const int b = v - 1;
  if (b < 0 || b >= mSize) return;
  mStartPosition = b;
  mEndPosition = b + mLength - 1;
  if (mEndPosition > mSize - 1) mEndPosition = mSize - 1;
  // Only a cursor below the new start is moved. A start moved down can leave
  // the cursor past the new end: "Fwd" then wraps to the start on its next
  // move, "Back" walks down into the window.
  if (mCursor < b) mCursor = b;
}

void SequencerBase::setLength(int n)
{
  if (n <= 0 || n > mSize) return;
  mLength = n;
  mEndPosition = mStartPosition + n - 1;
  if (mEndPosition > mSize - 1) mEndPosition = mSize - 1;
  if (mCursor > mEndPosition) mCursor = mEndPosition;
}

void SequencerBase::setDivider(int n)
{
  if (n < 1) n = 1;
  mDivider = n;
  mCountdown = n;
}
