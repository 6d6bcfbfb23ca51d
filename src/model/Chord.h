#pragma once
// The pattern: a progression of up to 12 chord steps, each with up to four
// melody rows of up to four pulses; a pulse is a 5-bit mask of the chord tones
// that sound. Also the strike and melody modifiers (temporary or permanent),
// the per-step row choice (Chord / advanceMelody) and the serialised form.
//
// Everything here is fixed-size: nothing allocates after construction.
//
// Threads: a pattern belongs to one engine and is used by one thread at a time:
// the plug-in's own (parameter handlers, state restore, the editor's edit
// commands, all with the plug-in's recursive mutex held) or the audio
// thread's (modifiers, restores, advanceMelody; no lock). Trivially copyable:
// the plug-in compares and copies patterns as bytes. Nothing here takes a
// lock of its own.

#include "Scale.h"

#include <cstdint>

class IStateChunk;

constexpr int MAX_STEPS = 12;
constexpr int MAX_VARIATIONS_PER_CHORD = 4;
constexpr int MAX_PULSES_PER_MELODY = 4;
constexpr int NUM_CHORD_TONES = 5;

// Serialised sizes in bytes.
constexpr int PITCH_SET_BYTES = 12;
constexpr int MELODY_BYTES = 4 + MAX_PULSES_PER_MELODY * PITCH_SET_BYTES + 16 + 1 + 4;  // 73
constexpr int CHORD_STEP_BYTES = 9 + MAX_VARIATIONS_PER_CHORD * MELODY_BYTES;         // 301
constexpr int PROGRESSION_BYTES = 12 + MAX_STEPS * CHORD_STEP_BYTES;                  // 3624

// Modifier applied to one pulse. The names are the display texts.
enum EStrikeModifier {
  eStrikeUp1 = 0,   // "^ 1": rotate the mask up by 1..4
  eStrikeUp2,
  eStrikeUp3,
  eStrikeUp4,
  eStrikeDown1,     // "v 1": rotate down by 1..4
  eStrikeDown2,
  eStrikeDown3,
  eStrikeDown4,
  eStrikeFlip,      // "Flip": mirror the mask
  eStrikeRand,      // "Rand": one random tone
  eStrikeMute,      // "Mute": mask unchanged
  eStrikeNone,      // " -- ": nothing, drops a pending restore
  eStrikeOrig,      // "Orig": back to the base mask, drops a pending restore
  NUM_STRIKE_MODIFIERS
};

// Modifier applied to one melody row (all four stored pulses). The values are
// also the codes of the editor's melody commands 0..18.
enum EMelodyModifier {
  eMelodyLR = 0,    // "L/R": reverse the pulse order
  eMelodyTB,        // "T/B": mirror every playing mask
  eMelodyLeft1,     // "< 1".."< 3": rotate the pulses left
  eMelodyLeft2,
  eMelodyLeft3,
  eMelodyRight1,    // "> 1".."> 3": rotate the pulses right
  eMelodyRight2,
  eMelodyRight3,
  eMelodyUp1,       // "^ 1".."^ 4": rotate every playing mask up
  eMelodyUp2,
  eMelodyUp3,
  eMelodyUp4,
  eMelodyDown1,     // "v 1".."v 4": rotate every playing mask down
  eMelodyDown2,
  eMelodyDown3,
  eMelodyDown4,
  eMelodyNone,      // " -- ": nothing, drops a pending restore
  eMelodyRand,      // "Rand": one random tone per pulse
  eMelodyOrig,      // "Orig": back to the original pulses, drops a pending restore
  NUM_MELODY_MODIFIERS
};

// Display texts, indexed by the enumeration value.
extern const char* const strikeModifierNames[NUM_STRIKE_MODIFIERS];
extern const char* const melodyModifierNames[NUM_MELODY_MODIFIERS];

// 5-bit mask operations; results are always 0..31.
int rotateUp(int m);
int rotateDown(int m);
int rotateUp(int m, int n);
int rotateDown(int m, int n);
// Bit i to bit 4 - i. The argument must be 0..31 (asserted).
int reverseBits(int mPlayingMask);

// One pulse of a melody row.
struct PitchSet {
  int32_t mBaseMask = 0;     // as edited or loaded; strike "Orig" returns to it
  int32_t mPlayingMask = 0;  // what plays, 0..31
  int32_t mSavedMask = 0;    // playing mask before a temporary strike modifier
  bool mSavedValid = false;  // a temporary strike modifier is pending restore
  MwcRandom mRandom;         // own generator for strike and melody "Rand"

  // Sets base and playing mask together (a hand edit or an initial pattern).
  void setMask(int mask)
  {
    mBaseMask = mask;
    mPlayingMask = mask;
  }

  // Moves the masks and the saved state, not the generator (pulse moves).
  void takeMasksFrom(const PitchSet& o)
  {
    mBaseMask = o.mBaseMask;
    mPlayingMask = o.mPlayingMask;
    mSavedMask = o.mSavedMask;
    mSavedValid = o.mSavedValid;
  }

  bool serialize(IStateChunk& chunk) const;
  // Returns the position after the record or -1 (a -1 passed in stays -1).
  // Clears mSavedValid. Masks are limited to their 5 bits.
  int unserialize(const IStateChunk& chunk, int pos);
};

// One melody row of one chord step.
struct Melody {
  int32_t numPulses = MAX_PULSES_PER_MELODY;  // 2..4, the same in every melody
  PitchSet mPulses[MAX_PULSES_PER_MELODY];
  int32_t mReserved[MAX_PULSES_PER_MELODY] = {0, 0, 0, 0};
  int32_t mRepeatCount = 1;  // passes before the step moves to another row
  bool mEnabled = true;
  bool mSolo = false;
  bool mMuted = false;
  PitchSet mTempBackup[MAX_PULSES_PER_MELODY];  // pulses before a temporary modifier
  bool mTempBackupValid = false;
  PitchSet mOriginal[MAX_PULSES_PER_MELODY];    // restored by melody "Orig"

  // Switched on and not silenced.
  bool isPlayable() const { return mEnabled && !mMuted; }

  // The melody copy used by copy and paste: numPulses, the pulses' masks and
  // saved state, the reserved values, mEnabled, mMuted, mRepeatCount,
  // mTempBackup and mTempBackupValid. Not mSolo, mOriginal or the pulses'
  // generators. (Plain assignment copies everything; use this instead.)
  void copyFrom(const Melody& o);

  // mOriginal = the pulses as they are now (after an edit, load, paste, clear).
  void captureOriginal();

  bool serialize(IStateChunk& chunk) const;
  // Clears mTempBackupValid and mMuted and captures mOriginal.
  int unserialize(const IStateChunk& chunk, int pos);
};

// One chord step: its chord degree and its melody rows.
struct ChordStep {
  int32_t mChordDegree = 0;  // 0..6, the step's "ival" parameter
  bool mActive = true;       // inside the progression's active span
  int32_t mReserved = 1;     // stored, not used for playing
  Melody mMelodies[MAX_VARIATIONS_PER_CHORD];

  bool serialize(IStateChunk& chunk) const;
  int unserialize(const IStateChunk& chunk, int pos);
};

// The whole pattern. Each pulse generator is seeded with a value unique within
// the pattern (see the constructor), so renders are reproducible.
struct ChordProgression {
  int32_t beginStepIdx = 0;                        // first active step, 0..11
  int32_t numSteps = MAX_STEPS;                    // active steps, 1..12
  int32_t numPositions = MAX_STEPS * MAX_PULSES_PER_MELODY;  // always 48
  ChordStep mSteps[MAX_STEPS];

  ChordProgression();

  // Seed of the generator of pulse p of row r of step s: 1 + 16 s + 4 r + p.
  static uint32_t pulseSeed(int step, int row, int pulse);

  ChordStep& step(int idx);
  const ChordStep& step(int idx) const;

  // Both assert their range and recompute every step's active flag.
  void setNumSteps(int numSteps);
  void setBeginStepIdx(int beginStepIdx);
  void updateActiveFlags();
  // Writes p into numPulses of all 48 melodies.
  void setNumPulses(int p);
  // The pulses per chord as the first melody holds it.
  int getNumPulses() const { return mSteps[0].mMelodies[0].numPulses; }

  // Appends the 3624-byte form; true when every append succeeded.
  bool serialize(IStateChunk& chunk) const;
  // Reads from pos; returns the position after the record or -1 when the
  // chunk ends too early (fields read so far keep their new values).
  int unserialize(const IStateChunk& chunk, int pos);
};

// Playback record of one step: which row plays and how often it has played.
struct Chord {
  ChordStep* mpMelodySet = nullptr;
  int32_t mPlayCount = 0;
  int32_t mCurrentMelody = 0;

  Melody& currentMelody();
};

// Strike modifier on one pulse. Temporary (not permanent) saves the playing
// mask first. Values outside 0..12 change nothing beyond that.
void applyStrikeModifier(PitchSet& p, int modifier, bool permanent);
// Melody modifier on one row. Temporary saves all four pulses first. Values
// outside 0..18 change nothing beyond that.
void applyMelodyModifier(Melody& m, int modifier, bool permanent);
// Undo a pending temporary modifier, if any.
void restoreTemporaryStrike(PitchSet& p);
void restoreTemporaryMelody(Melody& m);
// Called when playback enters the chord's step: picks the row that plays.
void advanceMelody(Chord& chord);
