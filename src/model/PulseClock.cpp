#include "PulseClock.h"

#include <cfloat>
#include <cmath>

// Samples per quarter note and per pulse. The expression is evaluated left to
// right as written: the time signature cancels but still moves the last bits,
// and pulse positions depend on them.
void PulseClock::Recompute()
{
  mSamplesPerBeat = mSampleRate * 60.0 / mTempo * 4.0 * mBeatsPerBar / mBeatUnit / mBeatsPerBar * mBeatUnit * 0.25;
  const double x = mSamplesPerBeat * mUnitBeats;
  mFractionSum = 0.0;
  if (!(x >= 1.0)) {
    // Shorter than a sample (absurd tempo or rate): one pulse per sample, so that
    // the pulse loop always moves on and Locate never divides by zero.
    mPulseLength = 1;
    mFraction = 0.0;
  } else if (x >= static_cast<double>(MAX_PULSE_LENGTH)) {
    mPulseLength = MAX_PULSE_LENGTH;
    mFraction = 0.0;
  } else {
    const double whole = std::floor(x);
    mPulseLength = static_cast<int32_t>(whole);
    mFraction = x - whole;
  }
  UpdateSwingPulses();
}

// A swung pair always spans exactly two pulse lengths.
void PulseClock::UpdateSwingPulses()
{
  mLongPulse = static_cast<int32_t>(mPulseLength * mSwingFactor);
  mShortPulse = 2 * mPulseLength - mLongPulse;
}

void PulseClock::SetTempo(double tempo, int beatsPerBar, int beatUnit)
{
  if (!(tempo > 0.0) || !std::isfinite(tempo)) tempo = DEFAULT_TEMPO;
  if (beatsPerBar < 1 || beatUnit < 1) {
    beatsPerBar = 4;
    beatUnit = 4;
  }
  if (tempo == mTempo && beatsPerBar == mBeatsPerBar && beatUnit == mBeatUnit) return;
  mTempo = tempo;
  mBeatsPerBar = beatsPerBar;
  mBeatUnit = beatUnit;
  Recompute();
}

void PulseClock::SetSampleRate(double rate)
{
  if (!(rate > 0.0) || !(rate <= static_cast<double>(FLT_MAX))) rate = DEFAULT_SAMPLE_RATE;
  mSampleRate = static_cast<double>(static_cast<float>(rate));
  Recompute();
}

void PulseClock::SetTimeUnit(double beats)
{
  mUnitBeats = beats;
  Recompute();
}

void PulseClock::SetSwing(double swing)
{
  if (!(swing >= 0.0)) swing = 0.0;
  if (swing > 1.0) swing = 1.0;
  mSwingFactor = 1.0 + 0.5 * swing;
  UpdateSwingPulses();
}

int64_t PulseClock::GridPosition(int64_t k) const
{
  const int64_t whole = (k % 2 == 0) ? k * mPulseLength : (k - 1) * mPulseLength + mLongPulse;
  return whole + static_cast<int64_t>(std::floor(static_cast<double>(k) * mFraction));
}

int64_t PulseClock::Locate(int64_t samplePos)
{
  mSamplesLeft = 0;
  mJitter = 0.0;
  if (mPulseLength < 1) {
    // Not computed yet: a grid of one sample per pulse.
    const int64_t n = samplePos > 1 ? samplePos - 1 : 0;
    mSamplesToPulse = 0;
    mLongNext = (n % 2) == 0;
    mFractionSum = 0.0;
    return n;
  }
  // A pulse due one sample before the position counts as due at it. The grid
  // rises strictly (every interval is at least one sample) and stays within
  // half a pulse and a sample of k * (length + fraction), so the estimate is at
  // most a step or two away.
  const int64_t due = samplePos - 1;
  int64_t n = 0;
  if (due > 0) n = static_cast<int64_t>(static_cast<double>(due) / (mPulseLength + mFraction));
  while (n > 0 && GridPosition(n - 1) >= due) --n;
  while (GridPosition(n) < due) ++n;

  int64_t to = GridPosition(n) - samplePos;
  if (to < 0) to = 0;
  if (to > MAX_PULSE_LENGTH) to = MAX_PULSE_LENGTH;  // a count-in longer than any pulse
  mSamplesToPulse = static_cast<int32_t>(to);
  mLongNext = (n % 2) == 0;
  const double paid = static_cast<double>(n) * mFraction;
  mFractionSum = paid - std::floor(paid);
  return n;
}

void PulseClock::BeginBlock(int nFrames)
{
  mSamplesToPulse -= mSamplesLeft;
  mSamplesLeft = nFrames;
  mPulseOffset = 0;
}

int PulseClock::NextPulse()
{
  const int32_t a = mSamplesToPulse;
  mSamplesLeft -= a;
  mPulseOffset += a;

  const int32_t len = mLongNext ? mLongPulse : mShortPulse;
  // The interval after a displaced pulse takes the displacement back.
  mSamplesToPulse = static_cast<int32_t>(len - mJitter);

  // A carried sample is paid only when the sum exceeds 1, not when it reaches it.
  mFractionSum += mFraction;
  if (mFractionSum > 1.0) {
    mFractionSum -= 1.0;
    mSamplesToPulse += 1;
  }

  double human = mHumanise;
  if (!(human >= 0.0)) human = 0.0;
  if (human > 1.0) human = 1.0;
  const double u = mpRandom->nextUnit();
  mJitter = (2.0 * u - 1.0) * human * (mSamplesToPulse * 0.5);
  mSamplesToPulse = static_cast<int32_t>(mSamplesToPulse + mJitter);

  mLongNext = !mLongNext;
  return mPulseOffset;
}
