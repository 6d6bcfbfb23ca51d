#pragma once
// Cursor engine shared by the progression player and the two eight-step
// modifier sequencers: a cursor over a range of positions, moved every n-th
// clock tick in one of five directions, and the step sequencers on top of it.
//
// Threads: each engine's sequencers are used by one thread at a time: the
// audio thread (ticks and the handlers it replays, no lock) or, for the
// plug-in's own engine, a thread holding the plug-in mutex. No lock of its
// own; nothing allocates.

#include "Chord.h"
#include "Scale.h"
#include "Assert.h"

#include <cstdint>

#define SEQUENCER_FILE "src\\Sequencer"

enum EDirection {
  eDirFwd = 0,
  eDirBack,
  eDirFwdBack,
  eDirBackFwd,
  eDirRandom,
  NUM_DIRECTIONS
};

enum ELifetime {
  eLifetimeTemp = 0,
  eLifetimePerm,
  NUM_LIFETIMES
};

// Display texts: "Fwd" .. "Random" and "Temp", "Perm".
extern const char* const directionNames[NUM_DIRECTIONS];
extern const char* const lifetimeNames[NUM_LIFETIMES];

class SequencerBase {
public:
  // Cursor to the start (or to the end, descending, for "Back"/"BackFwd");
  // the countdown starts over.
  virtual void reset();
  // Places the cursor for an absolute tick count n (the host's pulse number).
  virtual void setPosition(int n);

  // Moves the cursor once by the direction; returns it.
  int advance();
  // Counts one tick; moves and reports true every mDivider-th tick.
  bool clockTick();

  // v is the 1-based "Begin" value; values outside 1..size are ignored.
  void setStart(int v);
  // Values outside 1..size are ignored.
  void setLength(int n);
  // Divider and countdown both; values below 1 become 1.
  void setDivider(int n);
  // Takes effect at the next move or reset; unknown values keep the cursor still.
  void setDirection(int d) { mDirection = d; }

  int getSize() const { return mSize; }
  int getCursor() const { return mCursor; }
  int numActivePositions() const { return mEndPosition - mStartPosition + 1; }

  const int32_t mSize;
  int32_t mStartPosition = 0;
  int32_t mLength;
  int32_t mEndPosition;
  int32_t mCursor = 0;
  bool mAscending = true;
  int32_t mDirection = eDirFwd;
  MwcRandom mRandom;         // for "Random"
  int32_t mDivider = 1;
  int32_t mCountdown = 1;

protected:
  // Range 0..size-1, requested length = size.
  explicit SequencerBase(int size);
  // Members of the plug-in object; never deleted through this base.
  ~SequencerBase() = default;
};

// One step of a modifier sequencer: a value of E and its lifetime.
template <class E>
struct EnumStep {
  int32_t mLifetime = eLifetimeTemp;
  int32_t mValue = 0;
};

template <class STEP, int SIZE>
class StepSequencer : public SequencerBase {
public:
  StepSequencer() : SequencerBase(SIZE) {}

  STEP& currentStep()
  {
    const int idx = mCursor;
    return mSteps[TAV_CHECK(idx >= 0 && idx < SIZE, SEQUENCER_FILE) ? idx : 0];
  }
  STEP& getStep(int idx)
  {
    return mSteps[TAV_CHECK(0 <= idx && idx < SIZE, SEQUENCER_FILE) ? idx : 0];
  }
  void setStepValue(int idx, int v)
  {
    if (TAV_CHECK(0 <= idx && idx < SIZE, SEQUENCER_FILE)) mSteps[idx].mValue = v;
  }
  void setStepLifetime(int idx, int t)
  {
    if (TAV_CHECK(0 <= idx && idx < SIZE, SEQUENCER_FILE)) mSteps[idx].mLifetime = t;
  }

  bool mRunning = true;
  STEP mSteps[SIZE];
};

template <class STEP, int SIZE>
class ProbabilityStepSequencer : public StepSequencer<STEP, SIZE> {
public:
  ProbabilityStepSequencer()
  {
    for (double& p : mProbabilities) p = 1.0;
  }

  // Whether the step under the cursor fires: probability >= a draw in 0..1.
  bool rollProbability()
  {
    const int idx = this->mCursor;
    if (!TAV_CHECK(idx >= 0 && idx < SIZE, SEQUENCER_FILE)) return false;
    double u = mProbabilityRandom.nextUnit();
    return mProbabilities[idx] >= u;
  }
  void setProbability(double v)
  {
    for (double& p : mProbabilities) p = v;
  }

  MwcRandom mProbabilityRandom;
  double mProbabilities[SIZE];
};

template <class E, int SIZE>
class EnumProbabilityStepSequencer : public ProbabilityStepSequencer<EnumStep<E>, SIZE> {
public:
  // Every step starts with value v, lifetime "Temp".
  explicit EnumProbabilityStepSequencer(int v)
  {
    for (EnumStep<E>& s : this->mSteps) {
      s.mValue = v;
      s.mLifetime = eLifetimeTemp;
    }
  }
};

constexpr int MODIFIER_SEQUENCER_STEPS = 8;

// Strike modifiers, applied by the engine to the pulse being played.
class StrikeModifierSequencer
  : public EnumProbabilityStepSequencer<EStrikeModifier, MODIFIER_SEQUENCER_STEPS> {
public:
  StrikeModifierSequencer() : EnumProbabilityStepSequencer(eStrikeNone) {}
};

// Melody modifiers, applied by the engine to the row being played.
class MelodyModifierSequencer
  : public EnumProbabilityStepSequencer<EMelodyModifier, MODIFIER_SEQUENCER_STEPS> {
public:
  MelodyModifierSequencer() : EnumProbabilityStepSequencer(eMelodyNone) {}
};
