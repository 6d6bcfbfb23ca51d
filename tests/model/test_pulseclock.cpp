#include "PulseClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Positions = std::vector<long long>;

// A clock as the engine sets it up: sample rate, then unit and tempo.
struct Clock {
  MwcRandom random;
  PulseClock c{random};
  Clock(double tempo, double unitBeats, double rate = 44100.0)
  {
    c.SetSampleRate(rate);
    c.SetTimeUnit(unitBeats);
    c.SetTempo(tempo, 4, 4);
  }
  // Drives the clock as the block processor does; absolute pulse positions.
  Positions Run(long long startPos, int blockLen, long long blocks)
  {
    Positions at;
    c.Locate(startPos);
    for (long long start = startPos; blocks-- > 0; start += blockLen) {
      c.BeginBlock(blockLen);
      while (c.mSamplesLeft >= c.mSamplesToPulse) at.push_back(start + c.NextPulse());
    }
    return at;
  }
  Positions Intervals(int blockLen, int blocks, size_t count)
  {
    Positions at = Run(0, blockLen, blocks), d;
    for (size_t i = 1; i <= count && i < at.size(); ++i) d.push_back(at[i] - at[i - 1]);
    return d;
  }
};

TEST(PulseClock, WholeUnitsAndSwing)
{
  Clock k(120.0, 0.5);  // "1/8"
  EXPECT_EQ(k.c.mSamplesPerBeat, 22050.0);
  EXPECT_EQ(k.c.mFraction, 0.0);
  EXPECT_EQ(k.Run(0, 512, 100), (Positions{0, 11025, 22050, 33075, 44100}));
  k.c.SetSwing(1.0);
  EXPECT_EQ(k.c.mLongPulse, 16537);
  EXPECT_EQ(k.c.mShortPulse, 5513);
  EXPECT_EQ(k.Run(0, 512, 100), (Positions{0, 16537, 22050, 38587, 44100}));
  EXPECT_EQ(k.Run(11025, 512, 50), (Positions{16537, 22050}));  // between pulses: the swung grid goes on
}

TEST(PulseClock, FractionIsPaidOnlyWhenTheSumExceedsOne)
{
  Clock k(110.0, 0.25);
  EXPECT_EQ(k.c.mPulseLength, 6013);
  EXPECT_EQ(k.Intervals(1024, 90, 14),
            (Positions{6013, 6014, 6013, 6014, 6014, 6013, 6014, 6014, 6013, 6014, 6014, 6013, 6014, 6013}));
  // A fraction of exactly one half reaches 1.0 every second pulse without exceeding it.
  Clock h(60.0, 1.0, 1000.5);
  EXPECT_EQ(h.c.mFraction, 0.5);
  EXPECT_EQ(h.Intervals(256, 30, 6), (Positions{1000, 1000, 1001, 1000, 1001, 1000}));
}

TEST(PulseClock, RecomputationRoundingAndFractionSum)
{
  Clock k(110.0, 0.25, 44100.1);
  EXPECT_EQ(k.c.mSampleRate, double(44100.1f));  // through single precision
  for (int num : {3, 11})
    for (int den : {2, 16}) {
      k.c.SetTempo(93.7, num, den);
      EXPECT_EQ(k.c.mSamplesPerBeat, k.c.mSampleRate * 60 / 93.7 * 4 * num / den / num * den * 0.25);
    }
  k.Run(0, 4096, 1);
  const double sum = k.c.mFractionSum;
  ASSERT_GT(sum, 0.0);
  k.c.SetTempo(93.7, 11, 16);  // unchanged
  k.c.SetSwing(0.3);
  EXPECT_EQ(k.c.mFractionSum, sum);
  const double paid = double(k.c.Locate(12345)) * k.c.mFraction;
  EXPECT_EQ(k.c.mFractionSum, paid - std::floor(paid));  // the carry continuous playback has there
  k.c.SetTempo(93.7, 3, 4);
  EXPECT_EQ(k.c.mFractionSum, 0.0);
}

TEST(PulseClock, LocateAndTheBlockEnd)
{
  Clock k(120.0, 0.5);
  EXPECT_EQ(k.c.Locate(0), 0);
  EXPECT_EQ(k.c.mSamplesToPulse, 0);
  EXPECT_TRUE(k.c.mLongNext);
  EXPECT_EQ(k.c.Locate(11026), 1);  // due one sample before: counts as due now
  EXPECT_EQ(k.c.mSamplesToPulse, 0);
  EXPECT_FALSE(k.c.mLongNext);
  EXPECT_EQ(k.c.Locate(11027), 2);
  EXPECT_EQ(k.c.mSamplesToPulse, 22050 - 11027);
  EXPECT_TRUE(k.c.mLongNext);
  EXPECT_EQ(k.c.Locate(33075), 3);  // on the grid
  EXPECT_EQ(k.c.mSamplesToPulse, 0);

  // A pulse due exactly at the block end belongs to that block.
  k.c.Locate(11025 - 512);
  k.c.BeginBlock(512);
  EXPECT_EQ(k.c.NextPulse(), 512);
  EXPECT_LT(k.c.mSamplesLeft, k.c.mSamplesToPulse);
  k.c.BeginBlock(512);
  EXPECT_EQ(k.c.mSamplesToPulse, 11025);

  // With a fraction the grid pays out floor(n * fraction); the long interval
  // follows an even pulse number.
  Clock f(110.0, 0.25);
  EXPECT_EQ(f.c.GridPosition(10), 60136);
  EXPECT_EQ(f.c.GridPosition(11), 66150);
  EXPECT_EQ(f.c.Locate(60140), 11);
  EXPECT_EQ(f.c.mSamplesToPulse, 66150 - 60140);
  EXPECT_EQ(f.c.Locate(12030), 3);
  EXPECT_EQ(f.c.mSamplesToPulse, 18040 - 12030);
  EXPECT_FALSE(f.c.mLongNext);
}

TEST(PulseClock, HumaniseTakesOneDrawPerPulseAndKeepsTheGrid)
{
  Clock k(120.0, 0.5);
  MwcRandom expected;
  for (size_t i = k.Run(0, 512, 200).size(); i > 0; --i) expected.nextRaw();
  EXPECT_EQ(k.random.mW, expected.mW);  // drawn even at amount 0
  EXPECT_EQ(k.random.mZ, expected.mZ);

  Clock h(120.0, 0.5);
  h.c.mHumanise = 1.0;
  const Positions at = h.Run(0, 512, 2000);
  // First draw 0.73928...: +2638.14 samples; the next interval takes it back.
  ASSERT_GE(at.size(), 90u);
  EXPECT_EQ(at[1], 13663);
  EXPECT_EQ(at[2], 21819);
  for (long long i = 0; i < (long long)at.size(); ++i)
    EXPECT_LE(std::llabs(at[i] - i * 11025), 11025 * 3 / 4 + 2 * i + 1) << i;  // truncations lose < 2 per pulse
}

// A jump lands on the pulses continuous playback from 0 has there, within a
// sample: far into a song with a fraction (299 bpm "1/32t" after 27 s, 120 bpm
// "1/16" after 23 minutes) and on an even pulse length with swing.
TEST(PulseClock, LocateJoinsContinuousPlayback)
{
  struct Case {
    double tempo, beats, rate, swing;
    long long start;
  } cases[] = {{299, 1.0 / 24, 44100, 0, 27 * 44100LL + 77},
               {120, 0.25, 44100, 0, 23 * 60 * 44100LL + 5},
               {120, 0.5, 48000, 1, 36000},
               {133.3, 1.0 / 6, 96000, 0.5, 9876543}};
  for (const Case& cs : cases) {
    Clock whole(cs.tempo, cs.beats, cs.rate), jumped(cs.tempo, cs.beats, cs.rate);
    whole.c.SetSwing(cs.swing);
    jumped.c.SetSwing(cs.swing);
    const int block = 4096;
    const long long span = 4 * whole.c.mLongPulse;
    Positions want;
    for (long long p : whole.Run(0, block, (cs.start + span) / block))
      if (p >= cs.start - 1 && want.size() < 3) want.push_back(p);
    const Positions got = jumped.Run(cs.start, block, span / block + 1);
    ASSERT_GE(got.size(), 3u) << cs.start;
    for (size_t i = 0; i < want.size(); ++i) EXPECT_LE(std::llabs(got[i] - want[i]), 1) << cs.start << " " << i;
  }
  // 48 kHz, 120 bpm, "1/8", Swing 1: started at 36000 the pulses stay where
  // continuous playback has them (the long interval follows an even pulse).
  Clock k(120.0, 0.5, 48000.0);
  k.c.SetSwing(1.0);
  EXPECT_EQ(k.Run(36000, 500, 80), (Positions{42000, 48000, 66000, 72000}));
}

// Pulses shorter than a sample are kept at one sample: the pulse loop moves on
// and Locate never divides by zero.
TEST(PulseClock, DegenerateSettingsStaySafe)
{
  MwcRandom r;
  PulseClock fresh(r);
  EXPECT_EQ(fresh.Locate(777), 776);  // before any recomputation: a grid of one sample per pulse

  Clock k(1.0e9, 1.0 / 24.0);
  EXPECT_EQ(k.c.mPulseLength, 1);
  EXPECT_EQ(k.Run(0, 64, 1).size(), 65u);
  k.c.SetTimeUnit(0.0);
  EXPECT_EQ(k.c.mPulseLength, 1);
  for (double bad : {0.0, -48000.0, std::nan("")}) {
    k.c.SetSampleRate(bad);
    EXPECT_EQ(k.c.mSampleRate, 44100.0);
  }
  k.c.SetTempo(-5.0, 0, 4);  // counts as 120, 4/4
  k.c.SetTimeUnit(0.5);
  EXPECT_EQ(k.c.mPulseLength, 11025);
  k.c.SetTempo(1.0e-6, 4, 4);
  k.c.SetSwing(1.0);
  EXPECT_EQ(k.c.mPulseLength, PulseClock::MAX_PULSE_LENGTH);
  EXPECT_EQ(k.c.mLongPulse + k.c.mShortPulse, 2 * PulseClock::MAX_PULSE_LENGTH);
}

} // namespace
