#pragma once
// The chord progression player (a cursor over the pulses of the whole
// progression, position = step x pulses per chord + pulse) and the groove
// maker (a second cursor over up to 48 velocity factors).
//
// Threads: each engine's groove is used by one thread at a time: the plug-in's
// (parameter handlers, the editor's groove canvas, with the plug-in's mutex
// held) or the audio thread's (ticks, no lock). No allocation.

#include "Chord.h"
#include "Sequencer.h"

#include <cstdint>

class IStateChunk;

constexpr int PLAYER_POSITIONS = MAX_STEPS * MAX_PULSES_PER_MELODY;  // 48

class ChordProgressionPlayer : public SequencerBase {
public:
  // Size 48, range 0..47, "Fwd", divider 1, 4 pulses; not yet linked.
  ChordProgressionPlayer();
  // Links to the progression: chord i plays step i from row 0; the pulses per
  // chord are taken from the progression; the range is then recomputed.
  explicit ChordProgressionPlayer(ChordProgression& progression);
  void attach(ChordProgression& progression);

  // Recomputes the position range from the progression's first step, step
  // count and mNumPulses. The range never passes the last pulse of step 11
  // (12 x pulses - 1), so the cursor always names an existing step.
  void updateRange();
  // Writes p into every melody of the progression and into the player, then
  // updateRange. Values outside 1..4 are ignored.
  void setNumPulses(int p);

  // Places the cursor, step and pulse for an absolute tick count; every chord
  // goes back to row 0 (play counts stay).
  void setPosition(int n) override;

  // One clock pulse: clockTick, then step and pulse from the cursor; when the
  // step changed, advanceMelody on its chord. Returns whether it changed.
  bool tick();

  Chord& chord(int step);
  // The row that plays in the current step, and its current pulse.
  Melody& currentMelody();
  PitchSet& currentPitchSet();

  ChordProgression* mpProgression = nullptr;
  int32_t mCurrentStep = 0;
  int32_t mCurrentPulse = 0;
  Chord mChords[MAX_STEPS];
  int32_t mNumPulses = MAX_PULSES_PER_MELODY;
};

constexpr int GROOVE_STEPS = 48;
constexpr int GROOVE_FULL = 128;  // velocity factor for full velocity
constexpr int GROOVE_BYTES = 4 + GROOVE_STEPS;

class GrooveMaker {
public:
  GrooveMaker();

  // mGrooveStep = p mod mNumStepsActive.
  void position(int p);
  // One pulse: when enabled, the next step, back to 0 at (or past) the count.
  void advance();
  // 0 when the current step is muted, else its value (0..128).
  int grooveVelocity() const;
  // "SeqSteps": clamps to 1..48; returns whether the count changed.
  bool setNumStepsActive(int v);

  // int32 count, then one byte per step value.
  bool serialize(IStateChunk& chunk) const;
  // Returns the position after the record or -1. Steps after the end of the
  // data take the last step byte read; with no step byte at all they keep
  // their values. A stored count outside 1..48 is clamped.
  int unserialize(const IStateChunk& chunk, int pos);

  bool mEnabled = true;
  int32_t mNumStepsActive = GROOVE_STEPS;
  int32_t mGrooveValues[GROOVE_STEPS];
  bool mGrooveMute[GROOVE_STEPS];
  bool mGrooveLock[GROOVE_STEPS];
  int32_t mGrooveStep = 0;
};
