// Cost of one process call of the plug-in: the default pattern, and a dense
// setting (1/32 pulses, every row on with all five tones, jitter and
// humanising on); and the copies of the grid the editor draws from. The host
// answers the time request and accepts every MIDI event; the transport moves
// on by one block per call.

#include "IPlugVST.h"
#include "Tavrinel.h"
#include "TavrinelGui.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int BLOCK = 512;

VstTimeInfo gTime;
int64_t gEvents = 0;

intptr_t TAV_VSTCALL HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
  if (opcode == audioMasterGetTime) return reinterpret_cast<intptr_t>(&gTime);
  if (opcode == audioMasterProcessEvents && ptr) {
    gEvents += static_cast<const VstEvents*>(ptr)->numEvents;
    return 1;
  }
  return 0;
}

void ResetHost()
{
  gTime = VstTimeInfo();
  gTime.sampleRate = 44100.0;
  gTime.tempo = 120.0;
  gTime.timeSigNumerator = 4;
  gTime.timeSigDenominator = 4;
  gTime.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
  gEvents = 0;
}

void SetParam(Tavrinel& plug, int idx, double v)
{
  plug.GetParam(idx)->SetClamped(v);
  plug.OnParamChanged(idx);
}

// The transport moves on by one block; it starts over (a jump, so a
// re-position) long before the host's 32-bit sample position would run out.
void NextBlockPosition()
{
  gTime.samplePos += BLOCK;
  if (gTime.samplePos >= 1e9) gTime.samplePos = 0.0;
}

void RunBlocks(benchmark::State& state, Tavrinel& plug)
{
  for (int i = 0; i < 64; ++i) {  // warm-up: the note stream reaches its working size
    plug.ProcessBlock(nullptr, nullptr, BLOCK);
    NextBlockPosition();
  }
  gEvents = 0;
  for (auto _ : state) {
    plug.ProcessBlock(nullptr, nullptr, BLOCK);
    NextBlockPosition();
  }
  state.counters["events/block"] =
    benchmark::Counter(static_cast<double>(gEvents) / static_cast<double>(state.iterations()));
}

void BM_ProcessDefaultPattern(benchmark::State& state)
{
  ResetHost();
  IPlugVSTInstance<Tavrinel> vst(&HostCallback);
  Tavrinel& plug = vst.Plug();
  vst.Dispatch(effOpen);
  RunBlocks(state, plug);
}
BENCHMARK(BM_ProcessDefaultPattern);

void BM_ProcessDense(benchmark::State& state)
{
  ResetHost();
  IPlugVSTInstance<Tavrinel> vst(&HostCallback);
  Tavrinel& plug = vst.Plug();
  vst.Dispatch(effOpen);
  SetParam(plug, kTimeUnits, 5);  // 1/32
  SetParam(plug, kVelJitt, 1.0);
  SetParam(plug, kLenJitt, 1.0);
  SetParam(plug, kHuman, 0.5);
  for (int s = 0; s < MAX_STEPS; ++s)
    for (Melody& m : plug.mProgression.step(s).mMelodies) {
      m.mEnabled = true;
      for (PitchSet& p : m.mPulses) p.setMask(31);
    }
  RunBlocks(state, plug);
}
BENCHMARK(BM_ProcessDense);

// What the editor copies under the plug-in mutex to draw the grid: one snapshot
// per cell, each taking and releasing the mutex (the longest the audio thread
// can wait for a draw is one of these).
void BM_GridSnapshots(benchmark::State& state)
{
  ResetHost();
  IPlugVSTInstance<Tavrinel> vst(&HostCallback);
  TavrinelGui& grid = *vst.Plug().GetGui();
  for (auto _ : state)
    for (int s = 0; s < MAX_STEPS; ++s)
      for (int v = 0; v < MAX_VARIATIONS_PER_CHORD; ++v) benchmark::DoNotOptimize(grid.GetCell(s, v)->Snapshot());
  state.SetItemsProcessed(state.iterations() * MAX_STEPS * MAX_VARIATIONS_PER_CHORD);
}
BENCHMARK(BM_GridSnapshots);

} // namespace
