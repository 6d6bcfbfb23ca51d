#include "TavrinelTestRig.h"

#include "AllocCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <map>
#include <mutex>
#include <random>

namespace {

// At 120 bpm and 44.1 kHz an eighth-note pulse is 11025 samples.
constexpr int PULSE = 11025;

std::vector<int> Keys(const std::vector<IMidiMessage>& ev)
{
  std::vector<int> keys;
  for (const IMidiMessage& m : ev) keys.push_back(m.NoteNumber());
  return keys;
}

TEST(Engine, FirstBlockPlaysPulseZeroWithoutMovingOn)
{
  TavrinelRig r;
  std::vector<IMidiMessage> ev = r.Take(512);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0], IMidiMessage(0, 0x90, 72, 100));  // tone 2 of step 0's chord
  EXPECT_EQ(r.plug->mPlayer.mCurrentPulse, 0);
  EXPECT_EQ(r.plug->mNoteLength, PULSE);
}

TEST(Engine, GrooveScalesVelocityAndMutesToZero)
{
  for (int groove : {64, 128, -1}) {
    TavrinelRig r;
    if (groove < 0) r.Set(kGrooveMute0, 1);  // a muted step sends nothing (velocity 0 reads as note-off)
    else r.plug->mGroove.mGrooveValues[0] = groove;
    std::vector<IMidiMessage> ev = r.Take(512);
    ASSERT_EQ(ev.size(), groove < 0 ? 0u : 1u);
    if (groove > 0) {
      EXPECT_EQ(ev[0].Velocity(), groove == 64 ? 50 : 100);
    }
  }
}

TEST(Engine, MaskPlaysItsTonesInOrder)
{
  TavrinelRig r;
  r.Pulse(0, 0, 0).setMask(21);
  std::vector<IMidiMessage> ev = r.Take(512);
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(Keys(ev), (std::vector<int>{60, 72, 84}));
  for (const IMidiMessage& m : ev) EXPECT_EQ(m.mOffset, 0);
}

TEST(Engine, StoppedTransportReleasesEveryNote)
{
  TavrinelRig r;
  r.Pulse(0, 0, 0).setMask(3);
  ASSERT_EQ(r.Take(512).size(), 2u);
  r.SetPlaying(false);
  std::vector<IMidiMessage> ev = r.Take(512);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0], IMidiMessage(0, 0x80, 60, 0));
  EXPECT_EQ(ev[1], IMidiMessage(0, 0x80, 67, 0));
  // Stopped blocks make no pulses, even across a pulse boundary.
  EXPECT_TRUE(r.Take(2 * PULSE).empty());
}

// A suspension (mains off and on again) ends every note that sounded at it at
// offset 0 of the next block, ahead of anything else; then the MIDI rules hold
// as before. The plug-in's own engine, driven directly (the wrappers' audio
// path: tests/wrappers/test_host_contract.cpp).
TEST(Engine, ResumeEndsWhatSoundedAtTheSuspension)
{
  TavrinelRig r;
  r.Dispatch(effSetBlockSize, 0, 512);
  r.Set(kTimeUnits, 5);    // "1/32"
  r.Set(kLengthUnits, 1);  // "1/2": notes outlast many pulses
  for (int s = 0; s < MAX_STEPS; ++s) r.Pulse(s, 0, s % 4).setMask(31 >> (s % 3));
  r.Commit();
  std::map<int, bool> sounding;
  auto play = [&](const std::vector<IMidiMessage>& ev, size_t from) {
    for (size_t i = from; i < ev.size(); ++i) {
      bool& sounds = sounding[ev[i].Channel() * 128 + ev[i].NoteNumber()];
      const bool on = ev[i].StatusKind() == IMidiMessage::kNoteOn;
      ASSERT_NE(sounds, on) << "event " << i;
      sounds = on;
    }
  };
  for (int b = 0; b < 30; ++b) play(r.Take(512), 0);
  std::vector<int> heard;
  for (const auto& k : sounding)
    if (k.second) heard.push_back(k.first);
  ASSERT_GE(heard.size(), 3u);

  r.Dispatch(effMainsChanged, 0, 0);
  r.Dispatch(effMainsChanged, 0, 1);
  const std::vector<IMidiMessage> ev = r.Take(512);
  ASSERT_GE(ev.size(), heard.size());
  std::vector<int> ended;
  for (size_t i = 0; i < heard.size(); ++i) {
    EXPECT_TRUE(ev[i].StatusKind() == IMidiMessage::kNoteOff && ev[i].mOffset == 0) << "event " << i;
    ended.push_back(ev[i].Channel() * 128 + ev[i].NoteNumber());
    sounding[ended.back()] = false;
  }
  std::sort(ended.begin(), ended.end());
  EXPECT_EQ(ended, heard);
  play(ev, heard.size());
  for (int b = 0; b < 30; ++b) play(r.Take(512), 0);
}

TEST(Engine, BackwardJumpRepositions)
{
  TavrinelRig r;
  for (int i = 0; i < 100; ++i) r.Block(512);  // past pulse 4
  r.host.mTime.samplePos = 2 * PULSE;
  std::vector<IMidiMessage> ev = r.NoteOns(r.Take(512));
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0], IMidiMessage(0, 0x90, 84, 100));  // pulse 2 of step 0, not moved on
  EXPECT_EQ(r.plug->mPlayer.mCursor, 2);
  EXPECT_EQ(r.plug->mStrikeSequencer.mCursor, 2);
  EXPECT_EQ(r.plug->mMelodySequencer.mCursor, 2);
  EXPECT_EQ(r.plug->mGroove.mGrooveStep, 2);
}

TEST(Engine, UnhandledChannelAlternatesBetweenTwoChannels)
{
  TavrinelRig r(false);  // no open pass: "Chan" never handled, pulses a beat long
  r.Pulse(0, 0, 1).setMask(1);
  std::vector<IMidiMessage> ev = r.NoteOns(r.Take(4 * PULSE + 1));
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].mStatus, 0x90);
  EXPECT_EQ(ev[1].mStatus, 0x91);
  EXPECT_EQ(ev[2].mStatus, 0x90);
}

// Draws from the shared source, per pulse: humanise, melody permanence,
// strike permanence, velocity jitter, length jitter. A silent pulse draws no
// jitter. The default modifier steps (" -- ") fire with probability 1, so
// their permanence draws happen too.
TEST(Engine, RandomDrawOrder)
{
  TavrinelRig r;
  r.Set(kVelJitt, 1);
  r.Set(kLenJitt, 1);
  std::vector<IMidiMessage> ev = r.Take(4 * PULSE);  // pulses 0..4, the last at the block end
  const std::vector<IMidiMessage> next = r.NoteOns(r.Take(1));  // which goes out first in the next block

  MwcRandom ref;
  auto jitter = [&](int& vel, int& len) {
    vel = static_cast<int>((2.0 * ref.nextUnit() - 1.0) * 40.0 * 1.0 + 100);
    vel = vel < 0 ? 0 : (vel > 127 ? 127 : vel);
    len = static_cast<int>(ref.nextJitterFactor() * PULSE);
    if (len < 1378) len = 1378;
  };
  auto skip = [&](int n) { while (n-- > 0) ref.nextUnit(); };
  int vel[3], len[3];
  skip(1);  // pulse 0: humanise
  jitter(vel[0], len[0]);
  skip(3);  // pulse 1: humanise, melody, strike; silent
  skip(2);  // pulse 2: humanise, strike
  jitter(vel[1], len[1]);
  skip(2);  // pulse 3: humanise, strike; silent
  skip(2);  // pulse 4: humanise, strike
  jitter(vel[2], len[2]);

  std::vector<IMidiMessage> ons = r.NoteOns(ev);
  ASSERT_EQ(ons.size(), 2u);
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(ons[0], IMidiMessage(0, 0x90, 72, uint8_t(vel[0])));
  EXPECT_EQ(ons[1], IMidiMessage(2 * PULSE, 0x90, 84, uint8_t(vel[1])));
  EXPECT_EQ(next[0], IMidiMessage(0, 0x90, 64, uint8_t(vel[2])));
  EXPECT_NE(std::find(ev.begin(), ev.end(), IMidiMessage(len[0], 0x80, 72, 0)), ev.end());
}

void SetRate(TavrinelRig& r, double rate)
{
  AEffect* e = r.effect;
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, float(rate));
}

// After a jump anywhere (random rates, tempi, all 17 note values, swing, every
// pulse playing) the notes are those continuous playback from 0 plays there:
// the same keys, each within a sample.
TEST(Engine, JumpPlaysWhatContinuousPlaybackPlays)
{
  std::mt19937 g(2024);
  const double rates[] = {44100, 48000, 88200, 96000}, tempi[] = {97, 110, 133.3, 174, 299, 120, 61.5, 240};
  int cases = 0, disagree = 0;
  for (int unit = 0; unit < NUM_BEAT_DIVISIONS; ++unit)
    for (int rep = 0; rep < 7; ++rep, ++cases) {
      const double rate = rates[g() % 4], tempo = tempi[g() % 8], swing = (g() % 3) * 0.5;
      const long long jump = g() % 100000001;
      auto setUp = [&](TavrinelRig& r) {
        SetRate(r, rate);
        r.host.mTime.tempo = tempo;
        r.Set(kTimeUnits, unit);
        r.Set(kSwing, swing);
        for (int k = 0; k < 48; ++k) r.Pulse(k / 4, 0, k % 4).setMask(1 << (k % 5));
      };
      // Continuous playback: pulse positions from a clock run from 0, keys of
      // the 48-pulse cycle from the plug-in playing it from 0.
      MwcRandom random;
      PulseClock clock(random);
      clock.SetSampleRate(rate);
      clock.SetTimeUnit(beatDivisionParamsTable[unit]);
      clock.SetTempo(tempo, 4, 4);
      clock.SetSwing(swing);
      clock.Locate(0);
      long long cycleEnd = 0, number = 0;
      std::vector<std::pair<long long, long long>> after;  // pulse number, position
      for (long long start = 0; after.size() < 2 || number <= 48; start += 1 << 24) {
        clock.BeginBlock(1 << 24);
        for (; clock.mSamplesLeft >= clock.mSamplesToPulse; ++number) {
          const long long p = start + clock.NextPulse();
          if (number == 48) cycleEnd = p;
          if (p >= jump - 1 && after.size() < 2) after.push_back({number, p});
        }
      }
      std::vector<IMidiMessage> keys;
      {
        TavrinelRig whole;  // one rig at a time: the fake host is process-wide
        setUp(whole);
        keys = whole.NoteOns(whole.Take(int(cycleEnd)));
      }
      ASSERT_GE(keys.size(), 48u);
      TavrinelRig jumped;
      setUp(jumped);
      jumped.host.mTime.samplePos = double(jump);
      const std::vector<IMidiMessage> got = jumped.NoteOns(jumped.Take(int(3 * clock.mLongPulse + 2)));
      bool same = got.size() >= 2;
      for (size_t i = 0; same && i < 2; ++i)
        same = std::llabs(jump + got[i].mOffset - std::max(after[i].second, jump)) <= 1 &&
               got[i].NoteNumber() == keys[size_t(after[i].first % 48)].NoteNumber();
      if (!same) ++disagree;
    }
  std::printf("%d of %d jumps disagree with continuous playback\n", disagree, cases);
  EXPECT_EQ(disagree, 0);
}

// Opened before the host tells its rate: "1/8" at 48 kHz and 96 bpm is 15000
// samples from the first block on, and a tempo change reaches the next note.
// The host is asked for its time info once per block.
TEST(Engine, NoteLengthFollowsTheClock)
{
  TavrinelRig r;
  SetRate(r, 48000);
  r.host.mTime.tempo = 96.0;
  std::vector<IMidiMessage> ev = r.Take(16000);
  EXPECT_EQ(r.host.Count(audioMasterGetTime), 1);
  EXPECT_EQ(ev, (std::vector<IMidiMessage>{IMidiMessage(0, 0x90, 72, 100), IMidiMessage(15000, 0x80, 72, 0)}));
  r.host.mTime.tempo = 120.0;  // pulse 2 stays at 30000, its note is 12000 long
  ev = r.Take(30000);
  EXPECT_EQ(ev, (std::vector<IMidiMessage>{IMidiMessage(14000, 0x90, 84, 100), IMidiMessage(26000, 0x80, 84, 0)}));
}

// Dense random settings (Swing and Human up to 1, 1/32 units, 300 bpm, muted
// groove steps, random block sizes, jumps and stops): every event lies inside
// its block, no note-on is silent, and note-on and note-off alternate for every
// key and channel, also at a rate so low that note lengths truncate to 0. A
// song started just before 2^31 samples plays on past it.
TEST(Engine, DenseOutputKeepsTheMidiRules)
{
  std::mt19937 g(77);
  for (int run = 0; run < 11; ++run) {
    TavrinelRig r;
    if (run == 10) SetRate(r, 50.0);
    r.host.mTime.tempo = run == 0 ? 300.0 : 150.0 + g() % 151;
    r.Set(kTimeUnits, run % 2 ? 16 : 5);
    r.Set(kLengthUnits, g() % 17);
    r.Set(kSwing, run % 3 == 0 ? 1.0 : (g() % 101) / 100.0);
    r.Set(kHuman, run % 3 == 0 ? 1.0 : (g() % 101) / 100.0);
    r.Set(kVel, run % 4 == 3 ? 0 : 1 + g() % 127);
    r.Set(kVelJitt, (g() % 3) / 2.0);
    r.Set(kLenJitt, (g() % 3) / 2.0);
    for (int k = 0; k < 48 && run > 0; ++k) r.Set(kGrooveMute0 + k, g() % 4 == 0);
    for (int s = 0; s < MAX_STEPS; ++s)
      for (int m = 0; m < MAX_VARIATIONS_PER_CHORD; ++m) {
        r.plug->mProgression.step(s).mMelodies[m].mEnabled = true;
        for (int p = 0; p < 4; ++p) r.Pulse(s, m, p).setMask(31);
      }
    const double start = run == 0 ? 2147483648.0 - 100000 : double(g() % 100000000);
    r.host.mTime.samplePos = start;
    std::map<int, bool> sounding;
    int onsPast = 0;
    // At 50 Hz every sample is a pulse: fewer blocks fill the pool as well.
    for (int b = 0; b < (run == 10 ? 100 : 600); ++b) {
      if (run > 0 && g() % 40 == 0) r.host.mTime.samplePos = double(g() % 100000000);
      if (run > 0 && g() % 60 == 0) r.SetPlaying(!(r.host.mTime.flags & kVstTransportPlaying));
      const int n = 1 + int(g() % 2048);
      const double at = r.host.mTime.samplePos;
      for (const IMidiMessage& m : r.Take(n)) {
        ASSERT_GE(m.mOffset, 0);
        ASSERT_LT(m.mOffset, n);
        const bool on = m.StatusKind() == IMidiMessage::kNoteOn;
        ASSERT_TRUE(!on || m.Velocity() > 0);
        bool& sounds = sounding[m.Channel() * 128 + m.NoteNumber()];
        ASSERT_NE(sounds, on) << "run " << run << " block " << b;
        sounds = on;
        onsPast += on && at + m.mOffset > 2147483648.0;
      }
    }
    if (run == 0) {
      EXPECT_GT(onsPast, 1000);
    }
  }
}

// "LifeProb" 1 turns every "Temp" step into "Perm" (any draw above 0 swaps).
TEST(Engine, TemporaryStrikeModifierLastsOnePulse)
{
  for (int lifeProb : {0, 1}) {
    TavrinelRig r;
    r.Set(kLifeProb, lifeProb);
    for (int i = 0; i < 8; ++i) r.Set(kStkMod1 + i, eStrikeUp1);
    std::vector<IMidiMessage> ev = r.NoteOns(r.Take(3 * PULSE + 1));
    // Pulse 0 plays as stored; pulse 2 (16) is rotated up to tone 0 as it plays.
    EXPECT_EQ(Keys(ev), (std::vector<int>{72, 60}));
    // Left at pulse 3: restored when temporary, kept when swapped to permanent.
    EXPECT_EQ(r.Pulse(0, 0, 2).mPlayingMask, lifeProb ? 1 : 16);
    EXPECT_EQ(r.Pulse(0, 0, 2).mBaseMask, 16);
  }
}

// After a jump the melody sequencer is asked on the first advancing pulse, then
// every "NumPulse" advancing pulses, whatever the step boundaries.
TEST(Engine, MelodySequencerCadenceFollowsTheJump)
{
  TavrinelRig r;
  for (int i = 0; i < 8; ++i) {
    r.Set(kMelMod1 + i, eMelodyUp1);
    r.Set(kMekModT1 + i, 1);  // "Perm"
  }
  r.Take(PULSE + 1);                    // pulses 0, 1: asked at 1
  EXPECT_EQ(r.Pulse(0, 0, 0).mPlayingMask, 8);
  r.host.mTime.samplePos = 6 * PULSE;  // step 1, pulse 2
  r.Take(6 * PULSE + 1);                // pulses 6..12
  // The jump starts the count over: asked at pulse 7 (step 1) and pulse 11
  // (step 2), not at 10 or 12.
  EXPECT_EQ(r.Pulse(1, 0, 0).mPlayingMask, 2);
  EXPECT_EQ(r.Pulse(1, 0, 2).mPlayingMask, 4);
  EXPECT_EQ(r.Pulse(2, 0, 0).mPlayingMask, 1);
  EXPECT_EQ(r.Pulse(2, 0, 2).mPlayingMask, 16);
  EXPECT_EQ(r.Pulse(3, 0, 0).mPlayingMask, 4);
}

TEST(Engine, TemporaryMelodyModifierLastsUntilTheRowEnds)
{
  TavrinelRig r;
  for (int i = 0; i < 8; ++i) r.Set(kMelMod1 + i, eMelodyLeft1);
  // Applied on the first advancing pulse, before pulse 1 plays: the row
  // becomes 0, 16, 0, 4.
  std::vector<IMidiMessage> ev = r.NoteOns(r.Take(3 * PULSE + 1));
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0], IMidiMessage(0, 0x90, 72, 100));
  EXPECT_EQ(ev[1], IMidiMessage(PULSE, 0x90, 84, 100));
  EXPECT_EQ(ev[2], IMidiMessage(3 * PULSE, 0x90, 72, 100));
  EXPECT_EQ(r.Pulse(0, 0, 1).mPlayingMask, 16);
  r.Take(PULSE);  // leaving the row's last pulse restores it
  EXPECT_EQ(r.Pulse(0, 0, 0).mPlayingMask, 4);
  EXPECT_EQ(r.Pulse(0, 0, 1).mPlayingMask, 0);
}

// The host's sample rate reaches the clock through OnReset.
TEST(Engine, SampleRateChangeResetsTheClock)
{
  TavrinelRig r;
  AEffect* e = r.effect;
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(r.plug->mClock.mSamplesPerBeat, 24000.0);
  EXPECT_EQ(r.plug->mClock.mPulseLength, 12000);
  r.Pulse(0, 0, 1).setMask(1);
  std::vector<IMidiMessage> ev = r.NoteOns(r.Take(12001));
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[1], IMidiMessage(12000, 0x90, 60, 100));
}

TEST(Engine, MidiInput)
{
  TavrinelRig r;
  r.ClearHost();
  r.plug->ProcessMidiMessage(IMidiMessage(3, 0x90, 60, 100));
  r.plug->ProcessMidiMessage(IMidiMessage(3, 0x80, 60, 0));
  r.plug->ProcessMidiMessage(IMidiMessage(3, 0xB0, 7, 100));
  r.plug->ProcessMidiMessage(IMidiMessage(5, 0xE0, 0, 64));
  ASSERT_EQ(r.host.mMidiOut.size(), 1u);
  EXPECT_EQ(uint8_t(r.host.mMidiOut[0].midiData[0]), 0xE0);
  EXPECT_EQ(r.host.mMidiOut[0].deltaFrames, 5);
}

TEST(Engine, NoAllocationAfterWarmUp)
{
  TavrinelRig r;
  r.Dispatch(effSetBlockSize, 0, 512);
  r.Set(kTimeUnits, 5);  // 1/32
  r.Set(kVelJitt, 1);
  r.Set(kLenJitt, 1);
  r.Set(kHuman, 1);
  for (int s = 0; s < MAX_STEPS; ++s)
    for (int m = 0; m < MAX_VARIATIONS_PER_CHORD; ++m) {
      r.plug->mProgression.step(s).mMelodies[m].mEnabled = true;
      for (int p = 0; p < 4; ++p) r.Pulse(s, m, p).setMask(31);
    }
  r.Commit();
  for (int i = 0; i < 400; ++i) r.AudioBlock(512);

  size_t events = 0;
  alloccount::Scope scope;
  for (int i = 0; i < 2000; ++i) {
    if (i == 1000) r.SetPlaying(false);
    if (i == 1010) r.SetPlaying(true);
    r.ClearHost();
    r.AudioBlock(512);
    events += r.host.mMidiOut.size();
  }
  EXPECT_EQ(scope.Allocations(), 0u);
  EXPECT_GT(events, 3000u);
}

} // namespace

namespace {
// Counts the host calls a block makes while another thread could not take the
// plug-in mutex: a host that takes a lock of its own there deadlocks against it.
Tavrinel* gWatched = nullptr;
int gCallsUnderMutex = 0;

intptr_t TAV_VSTCALL MutexWatchingHost(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  if (gWatched && opcode != audioMasterVersion) {
    IPlugBase::Mutex& m = gWatched->GetMutex();
    const bool free = std::async(std::launch::async, [&m] {
                        if (!m.try_lock()) return false;
                        m.unlock();
                        return true;
                      }).get();
    gCallsUnderMutex += free ? 0 : 1;
  }
  return FakeHost::Callback(e, opcode, index, value, ptr, opt);
}
} // namespace

// A block asks the host for the time and hands it its notes with the mutex free,
// also when a call longer than the block size runs in slices.
TEST(Engine, BlocksCallTheHostWithTheMutexFree)
{
  FakeHost host;
  host.mTime.sampleRate = 44100.0;
  host.mTime.tempo = 120.0;
  host.mTime.flags = kVstTempoValid | kVstTransportPlaying;
  IPlugVSTInstance<Tavrinel> vst(&MutexWatchingHost);
  Tavrinel& plug = vst.Plug();
  AEffect* e = vst.Effect();
  gWatched = &plug;
  gCallsUnderMutex = 0;
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f); // asks who the host is
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  // What the plug-in passes through goes back with the mutex free too.
  VstEvent dump = {};
  dump.type = kVstSysExType;
  dump.byteSize = sizeof(dump);
  VstMidiEvent program = {};
  program.type = kVstMidiType;
  program.byteSize = sizeof(program);
  program.midiData[0] = char(0xC0);
  program.midiData[1] = 5;
  VstEvents passed = {2, 0, {&dump, reinterpret_cast<VstEvent*>(&program)}};
  const size_t before = host.mMidiOut.size(), forwarded = host.mForwarded.size();
  e->dispatcher(e, effProcessEvents, 0, 0, &passed, 0.0f);
  EXPECT_EQ(host.mForwarded.size(), forwarded + 1);
  EXPECT_EQ(host.mMidiOut.size(), before + 1);
  std::vector<float> buf(4 * 1500);
  float* ins[2] = {&buf[0], &buf[1500]};
  float* outs[2] = {&buf[3000], &buf[4500]};
  for (int b = 0; b < 120; ++b) {
    const int n = b % 3 ? 512 : 1500;
    e->processReplacing(e, ins, outs, n);
    host.mTime.samplePos += n;
  }
  gWatched = nullptr;
  EXPECT_GE(host.mMidiOut.size(), 8u);
  EXPECT_EQ(gCallsUnderMutex, 0);
}
