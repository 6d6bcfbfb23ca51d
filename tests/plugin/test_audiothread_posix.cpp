// The audio thread's promise: a process call takes no lock, waits for nothing
// and allocates nothing once warm (the waits are counted through the C
// library's entry points, the allocations through operator new).
#include "AllocCounter.h"
#include "TavrinelTestRig.h"

#include "LockRecorder.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(AudioThread, ProcessCallsNeitherLockNorAllocate)
{
  TavrinelRig r;
  AEffect* e = r.effect;
  r.Dispatch(effSetSampleRate, 0, 0, nullptr);
  r.Dispatch(effSetBlockSize, 0, 512);
  r.Dispatch(effMainsChanged, 0, 1);

  // A busy pattern: short pulses, every tone, jitter, and both modifier
  // sequencers applying temporary and permanent changes on every move.
  r.Set(kTimeUnits, 5);
  r.Set(kVelJitt, 1);
  r.Set(kLenJitt, 1);
  r.Set(kHuman, 1);
  r.Set(kLifeProb, 0.5);
  for (int i = 0; i < 8; ++i) {
    r.Set(kStkMod1 + i, i % 12);
    r.Set(kMelMod1 + i, (i * 3) % 19);
    r.Set(kStkModT1 + i, i & 1);
    r.Set(kMekModT1 + i, (i >> 1) & 1);
  }
  for (int s = 0; s < MAX_STEPS; ++s)
    for (int m = 0; m < MAX_VARIATIONS_PER_CHORD; ++m) {
      r.plug->mProgression.step(s).mMelodies[m].mEnabled = true;
      for (int p = 0; p < 4; ++p) r.Pulse(s, m, p).setMask(1 + (s + m + p) % 31);
    }
  r.Commit();

  float left[512] = {}, right[512] = {};
  float* io[2] = {left, right};
  auto run = [&](int blocks) {
    for (int i = 0; i < blocks; ++i) {
      r.ClearHost();
      if (i % 50 == 49) r.SetPlaying(false);  // stop and restart: all-notes-off path
      if (i % 50 == 0) r.SetPlaying(true);
      e->processReplacing(e, io, io, 512);
      if (r.host.mTime.flags & kVstTransportPlaying) r.host.mTime.samplePos += 512;
    }
  };
  run(300);  // warm-up

  lockrecord::Scope waits;
  alloccount::Scope allocations;
  run(1000);

  EXPECT_EQ(allocations.Allocations() + allocations.Frees(), 0u);
  if (lockrecord::Available()) {
    EXPECT_EQ(waits.Count(), 0u) << "last: " << waits.Last();
  }
}

// The densest setting ("1/32t" at 300 bpm, every row and tone on) in host
// blocks of 8192 and 65536 frames, and dense, long, swung and humanised notes
// at 999 bpm in small and large blocks, at 8 kHz too: the pool is sized when the host announces its block
// size and rate, so no process call allocates and no note is dropped.
TEST(AudioThread, LargeBlocksAndFastTempiNeitherAllocateNorDropNotes)
{
  struct Setting {
    int block;
    double rate, tempo;
    int lengthUnits;
  } settings[] = {{8192, 44100, 300, 3}, {65536, 44100, 300, 3}, {65536, 192000, 300, 0}, {4096, 8000, 999, 6}, {64, 44100, 999, 6}, {256, 8000, 999, 6}};
  for (const Setting& st : settings) {
    TavrinelRig r;
    AEffect* e = r.effect;
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, float(st.rate));
    r.Dispatch(effSetBlockSize, 0, st.block);
    r.Dispatch(effMainsChanged, 0, 1);
    r.host.mTime.tempo = st.tempo;
    r.Set(kTimeUnits, 16);  // 1/32t
    r.Set(kLengthUnits, st.lengthUnits);
    r.Set(kLenJitt, 1);
    r.Set(kSwing, 1);
    r.Set(kHuman, 1);
    for (int s = 0; s < MAX_STEPS; ++s)
      for (int m = 0; m < MAX_VARIATIONS_PER_CHORD; ++m) {
        r.plug->mProgression.step(s).mMelodies[m].mEnabled = true;
        for (int p = 0; p < 4; ++p) r.Pulse(s, m, p).setMask(31);
      }
    r.Commit();
    std::vector<float> left(size_t(st.block)), right(size_t(st.block));
    float* io[2] = {left.data(), right.data()};
    alloccount::Scope allocations;
    // At least 40 blocks and 12 beats of 999 bpm, so the longest notes pile up.
    const int blocks = std::max(40, int(12 * 60 * st.rate / 999 / st.block) + 1);
    for (int i = 0; i < blocks; ++i) {
      r.ClearHost();
      e->processReplacing(e, io, io, st.block);
      r.host.mTime.samplePos += st.block;
    }
    EXPECT_EQ(allocations.Allocations(), 0u) << st.block << " " << st.rate;
    EXPECT_EQ(r.plug->AudioEngine().mNoteStream.droppedNotes(), 0) << st.block << " " << st.rate;
  }
}

} // namespace
