// Cost of the host's process entries around one block of the default pattern:
// buffer matching, silencing the outputs, the closing check and the exception
// guard, on top of what ProcessBlock itself costs (bench_process.cpp).

#include "IPlugVST.h"
#include "Tavrinel.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int BLOCK = 512;
VstTimeInfo gEntryTime;

intptr_t TAV_VSTCALL EntryHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  if (opcode == audioMasterGetTime) return reinterpret_cast<intptr_t>(&gEntryTime);
  return opcode == audioMasterProcessEvents ? 1 : 0;
}

template <class TSample>
void RunEntry(benchmark::State& state, void (*call)(AEffect*, TSample**, TSample**, int32_t))
{
  gEntryTime = VstTimeInfo();
  gEntryTime.sampleRate = 44100.0;
  gEntryTime.tempo = 120.0;
  gEntryTime.flags = kVstTransportPlaying | kVstTempoValid;
  IPlugVSTInstance<Tavrinel> vst(&EntryHost);
  AEffect* e = vst.Effect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetBlockSize, 0, BLOCK, nullptr, 0.0f);
  std::vector<TSample> buf(4 * BLOCK, TSample(0.25));
  TSample* ins[2] = {buf.data(), buf.data() + BLOCK};
  TSample* outs[2] = {buf.data() + 2 * BLOCK, buf.data() + 3 * BLOCK};
  for (auto _ : state) {
    call(e, ins, outs, BLOCK);
    gEntryTime.samplePos += BLOCK;
    if (gEntryTime.samplePos >= 1e9) gEntryTime.samplePos = 0.0;
  }
}

void BM_EntryProcessReplacing(benchmark::State& state)
{
  RunEntry<float>(state, [](AEffect* e, float** i, float** o, int32_t n) { e->processReplacing(e, i, o, n); });
}
BENCHMARK(BM_EntryProcessReplacing);

void BM_EntryProcessDoubleReplacing(benchmark::State& state)
{
  RunEntry<double>(state,
                   [](AEffect* e, double** i, double** o, int32_t n) { e->processDoubleReplacing(e, i, o, n); });
}
BENCHMARK(BM_EntryProcessDoubleReplacing);

} // namespace
