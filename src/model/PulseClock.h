#pragma once
// Host time to pulses: one pulse per time unit (a note value in quarter-note
// beats). Keeps whole samples per pulse and carries the fractional remainder
// from pulse to pulse, alternates long and short intervals for swing, displaces
// each pulse at random for humanising (the following interval takes the
// displacement back, so the grid holds on average) and re-aligns on the host's
// grid when the host position jumps.
//
// The block processor drives the fields directly: at a block start
// mSamplesToPulse -= mSamplesLeft, mSamplesLeft = block length, mPulseOffset = 0
// (BeginBlock does exactly that), then NextPulse while
// mSamplesLeft >= mSamplesToPulse.
//
// Thread: the thread that owns its engine: the audio thread (SetTempo, Locate,
// BeginBlock, NextPulse, and the setters through the handlers it replays) or,
// for the plug-in's own engine, a thread holding the plug-in mutex. Allocates
// nothing.

#include "Scale.h"

#include <cstdint>

class PulseClock {
public:
  // Longest pulse kept, in samples (about 100 minutes at 44.1 kHz): long and
  // short swing intervals and their sum stay inside 32 bits.
  static constexpr int32_t MAX_PULSE_LENGTH = 1 << 28;
  static constexpr double DEFAULT_TEMPO = 120.0;
  static constexpr double DEFAULT_SAMPLE_RATE = 44100.0;

  // The random source is the engine's shared generator; it must outlive the clock.
  explicit PulseClock(MwcRandom& random) : mpRandom(&random) {}

  // Stores tempo and time signature and recomputes the lengths, unless all three
  // equal the stored values exactly (then the fraction sum is kept). A tempo
  // that is not above 0 counts as 120, a signature value below 1 as 4/4.
  void SetTempo(double tempo, int beatsPerBar, int beatUnit);
  // The rate is rounded to single precision. A rate that is not above 0 (or not
  // a number) counts as 44100.
  void SetSampleRate(double rate);
  void SetTimeUnit(double beats);
  // swing 0..1: the first interval of a pair grows by up to half a pulse.
  void SetSwing(double swing);

  // Re-aligns on the host grid for the sample position at the block start:
  // the next pulse is the first one due at or after samplePos - 1 (hosts round
  // positions either way), and the clock's phase (swing pair, fraction carry)
  // is the one continuous playback from 0 has at that pulse. A position before
  // 0 places pulse 0 at position 0. Returns the pulse number the pattern should
  // be placed at. O(1).
  int64_t Locate(int64_t samplePos);

  // Position of pulse k (k >= 0) on the grid continuous playback from 0 walks
  // without humanising: k pulse lengths (the swing pair's long interval for odd
  // k) plus the fractions paid out, floor(k * mFraction).
  int64_t GridPosition(int64_t k) const;

  // mSamplesToPulse -= mSamplesLeft; mSamplesLeft = nFrames; mPulseOffset = 0.
  void BeginBlock(int nFrames);

  // Consumes the next pulse (call while mSamplesLeft >= mSamplesToPulse) and
  // returns its offset in the current block. Draws one random number, whatever
  // mHumanise is.
  int NextPulse();

  double mSwingFactor = 1.0;     // 1 + swing / 2
  int32_t mPulseLength = 0;      // whole samples per time unit, at least 1 once computed
  int32_t mLongPulse = 0;        // first interval of a swung pair
  int32_t mShortPulse = 0;       // second interval of a swung pair
  int32_t mSamplesToPulse = 0;   // from the current point to the next pulse
  bool mLongNext = true;         // the interval after the next consumed pulse is the long one
  int32_t mSamplesLeft = 0;      // samples of the block after the last consumed pulse
  int32_t mPulseOffset = 0;      // offset in the block of the pulse last consumed
  double mFraction = 0.0;        // fractional samples per time unit, 0 <= f < 1
  double mFractionSum = 0.0;     // fractions not yet paid out
  double mJitter = 0.0;          // displacement given to the last scheduled interval
  double mHumanise = 0.0;        // "Human", 0..1 (written by its handler)
  MwcRandom* mpRandom;
  double mTempo = DEFAULT_TEMPO;
  int32_t mBeatsPerBar = 4;
  int32_t mBeatUnit = 4;
  double mSampleRate = DEFAULT_SAMPLE_RATE;
  double mSamplesPerBeat = 22100.0;  // quarter-note length; set by the first recomputation
  double mUnitBeats = 1.0;           // time unit in quarter-note beats

private:
  void Recompute();
  void UpdateSwingPulses();
};
