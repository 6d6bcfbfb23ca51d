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

int PulseClock::Locate(int samplePos)
{
  // The length is at least 1 once computed; a clock located before its first
  // recomputation counts it as 1 rather than dividing by zero.
  const int32_t length = mPulseLength < 1 ? 1 : mPulseLength;
  const int n = samplePos / length;
  // Grid position of pulse n with the fractions paid out.
  const long long g = static_cast<long long>(std::floor(n * mFraction) + static_cast<double>(length) * n);
  if (g == samplePos) {
    mSamplesToPulse = 0;
  } else {
    long long to = length + g - samplePos;
    if (to > MAX_PULSE_LENGTH) to = MAX_PULSE_LENGTH;
    if (to < -MAX_PULSE_LENGTH) to = -MAX_PULSE_LENGTH;
    mSamplesToPulse = static_cast<int32_t>(to);
  }
  mSamplesLeft = 0;
  mJitter = 0.0;
  mLongNext = (g % 2) == 0;
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
