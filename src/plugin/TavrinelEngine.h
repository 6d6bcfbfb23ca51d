#pragma once
// The generator itself: the pattern, the step sequencers, the groove and the
// engine's settings, the parameters' change handlers and the block processing
// that turns pulses into MIDI notes. A plug-in holds two: its own (the copy the
// host's main thread and the editor read and edit, under the plug-in mutex) and
// the audio thread's, which only the audio thread touches and which follows the
// first through the operations the plug-in hands over (Tavrinel.h).
//
// Threads: every method runs on the one thread that owns the engine at the
// time (for the plug-in's own copy: any thread holding the plug-in mutex).
// Nothing here takes a lock; after SizeNoteStream the block processing
// allocates nothing (the note stream drops a note rather than grow).

#include "Chord.h"
#include "GrooveMaker.h"
#include "IPlugBase.h"
#include "NoteStream.h"
#include "PulseClock.h"
#include "Scale.h"
#include "Sequencer.h"

#include <cstdint>
#include <memory>
#include <vector>

class Tavrinel;
class TavrinelEngine;
class TavrinelGui;
struct ParamChangeDesc;

// Called on every change of a described parameter with its plain value.
using ParamChangeHandler = void (*)(TavrinelEngine& engine, const ParamChangeDesc& desc, double value);

// Static, read-only record of one described parameter. The kind-specific
// definition (default, range, display texts) lives in the record that embeds it.
struct ParamChangeDesc {
  const char* mName;
  const char* mLabel;
  int32_t mParamIdx;
  ParamChangeHandler mHandler;
};

// Parameter indices. Ranges of families are given by their first index.
enum EParamIdx {
  kTimeUnits = 0,
  kLengthUnits = 1,
  kSlow = 2,
  kSwing = 3,
  kChan = 4,
  kVel = 5,
  kVelJitt = 6,
  kLenJitt = 7,
  kHuman = 8,
  kTonic = 9,
  kNumStep = 10,
  kNumPulse = 11,
  kIval1 = 12,       // .. 23
  kSeqSteps = 24,
  kSeqEnab = 25,
  kMode = 26,
  kLifeProb = 27,
  kStepOne = 28,
  kStepDir = 29,
  kNumHostParams = 60,
  kGrooveLock0 = 62,   // .. 109
  kGrooveMute0 = 111,  // .. 158
  kUnnamedCommand = 160,
  kStkMod1 = 162,      // .. 169
  kStkModT1 = 171,     // .. 178
  kStkRun = 180,
  kSMDir = 181,
  kStkRst = 182,
  kStkCount = 183,
  kStkProb = 184,
  kStkBegin = 185,
  kStkLen = 186,
  kMelMod1 = 187,      // .. 194
  kMekModT1 = 196,     // .. 203
  kMelRun = 205,
  kMelDir = 206,
  kMelRst = 207,
  kMelCount = 208,
  kMelProb = 209,
  kMelBegin = 210,
  kMelLen = 211,
  kEditCmdFirst = 212, // "M L" .. "R LRp"
  kEditCmdLast = 232,
  kInterval = 233,
  kScale = 234,
  kRowSel1 = 235,      // .. 238
  kRowSolo1 = 240,     // .. 243
  kRowMute1 = 245,     // .. 248
  kNumParams = 250
};

// A length in samples truncated to an int. An absurd host tempo can make it
// larger than any int; such lengths are held at the clock's longest pulse.
int TruncateSamples(double samples);

// Quarter-note beats of the 17 note values shared by "TimeUnits" and "LengthUnits".
constexpr int NUM_BEAT_DIVISIONS = 17;
extern const double beatDivisionParamsTable[NUM_BEAT_DIVISIONS];
extern const char* const beatDivisionNames[NUM_BEAT_DIVISIONS];

// Numbers of the two modifier sequencers, as the editor's panels take them.
constexpr int SEQ_STRIKE = 0;
constexpr int SEQ_MELODY = 1;

// Where the play marker stands and which sequencer steps are current: what the
// editor shows of the playing engine.
struct PlayMarkers {
  int32_t mStep = -1;
  int32_t mRow = -1;
  int32_t mPulse = -1;  // -1: no pulse marked
  uint32_t mSequencerSteps[2] = {0, 0};  // bit i: step i is current
  bool operator==(const PlayMarkers& o) const
  {
    return mStep == o.mStep && mRow == o.mRow && mPulse == o.mPulse &&
           mSequencerSteps[0] == o.mSequencerSteps[0] && mSequencerSteps[1] == o.mSequencerSteps[1];
  }
  bool operator!=(const PlayMarkers& o) const { return !(*this == o); }
};

class TavrinelEngine {
public:
  // pPlug: the plug-in whose editor may attach to this engine's grid (null
  // for the audio thread's copy, whose grid never meets an editor).
  explicit TavrinelEngine(Tavrinel* pPlug);
  virtual ~TavrinelEngine();
  TavrinelEngine(const TavrinelEngine&) = delete;
  TavrinelEngine& operator=(const TavrinelEngine&) = delete;

  // ---- the musical model and the engine's settings ----
  ChordProgression mProgression;
  Melody mMelodyClipboard;
  MwcRandom mRandom;  // shared by humanising, permanence and jitter draws
  PulseClock mClock;
  ChordProgressionPlayer mPlayer;
  StrikeModifierSequencer mStrikeSequencer;
  MelodyModifierSequencer mMelodySequencer;
  GrooveMaker mGroove;
  Scale mScale;
  NoteStream mNoteStream;

  int32_t mTonic = 48;
  int32_t mMode = 0;
  int32_t mVelocity = 100;
  int32_t mNumPulses = MAX_PULSES_PER_MELODY;  // pulses per step, engine copy
  double mSlow = 1.0;                          // kept; nothing reads it
  double mVelJitter = 0.0;
  double mLenJitter = 0.0;
  int32_t mNoteLength = 0;                     // samples, follows mNoteLengthBeats at the clock's tempo
  double mNoteLengthBeats = 0.5;               // "LengthUnits" in quarter-note beats
  int32_t mChannelSlot[2] = {0, 1};
  int32_t mChannelToggle = 0;
  double mPermanenceThreshold = 1.0;
  int32_t mMelodyCountdown = 0;
  bool mAdvanceArmed = false;
  bool mReloadPending = false;
  bool mReleaseSounding = false;  // suspended: the next block first ends every sounding note
  int64_t mExpectedPos = -1;

  TavrinelGui* GetGui() { return mpGui.get(); }

  // ---- parameter handlers ----
  // The descriptor registered for a parameter index; null for none.
  const ParamChangeDesc* GetParamChangeDesc(int paramIdx) const;
  void RegisterParamDesc(const ParamChangeDesc* pDesc);
  // Runs the change handler of paramIdx for its new plain value. fromEditor:
  // a gesture in the editor asked for it (the edit commands act only then).
  void RunHandler(int paramIdx, double value, bool fromEditor);
  // True while the handler runs for an editor gesture on paramIdx.
  bool HandlerFromEditor(int paramIdx) const { return mHandlerEditorIdx == paramIdx; }

  // Temp (0) and Perm (1) swap when a draw from the shared source exceeds
  // mPermanenceThreshold.
  int ResolvePermanence(int lifetime);
  // Publishes the cursor of one modifier sequencer (SEQ_STRIKE, SEQ_MELODY)
  // for its editor panel and asks for the panel's steps to be redrawn.
  void ShowSequencerCursor(int which);
  // Publishes step stepIdx of a modifier sequencer as current (or not).
  void MoveSequencerMarker(int which, int stepIdx, bool on);
  const PlayMarkers& GetMarkers() const { return mMarkers; }

  // The chord span dragged in the editor: count first, then first step, the
  // player's range after each.
  void SetChordSpan(int firstStep, int numSteps);
  // What a preset load does before its handlers run: the whole progression
  // plays again, from its start.
  void ResetProgressionForLoad();

  // ---- block processing ----
  // One block of nFrames at the host's time; the notes go into out (cleared first).
  void RunBlock(const IPlugBase::HostTime& time, int nFrames, std::vector<IMidiMessage>& out);
  // Sample rate changed: the clock and the note length follow.
  void SetClockRate(double sampleRate);
  // Recomputes mNoteLength from mNoteLengthBeats when the samples per beat changed.
  void FollowNoteLength();
  // Sizes the note pool (its owner's thread, before playing).
  void SizeNoteStream(int events, int notes) { mNoteStream.setCapacity(events, notes); }
  // The host suspended processing: no note may sound on past the resume.
  void Suspend() { mReleaseSounding = true; }

  // What may have changed in the pattern or the groove since the owner last
  // published them (it clears both then): anything (an operation, a handler),
  // or only the melodies of these cells (a pulse: bit 4 * step + row). A jump
  // moves only markers.
  bool mTouched = false;
  uint64_t mChangedCells = 0;

private:
  void Reposition(int64_t pos);
  void HandlePulse();
  void PlayCurrentPulse(int offset, int channel);
  void SetPulseMarker(int stepIdx, int variationIdx, int pulse);
  void BuildDefaultPattern();

  std::unique_ptr<TavrinelGui> mpGui;
  const ParamChangeDesc* mpParamChangeDesc[kNumParams] = {};
  int mHandlerEditorIdx = -1;
  double mNoteLengthSamplesPerBeat = 0.0;  // what mNoteLength was computed with
  PlayMarkers mMarkers;
};
