// What an instance costs that the host never shows: a plug-in scan, or a
// project of many instances with their editors closed. Construction and
// destruction, warm (an earlier instance paid for what is done once per
// process), and the heap an instance holds while it lives.

#include "Tavrinel.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <vector>

namespace {

// Bytes in use on the heap, including blocks malloc maps by themselves.
double HeapInUse()
{
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks) + static_cast<double>(info.hblkhd);
}

void BM_InstanceNeverShown(benchmark::State& state)
{
  { Tavrinel warm; }
  for (auto _ : state) {
    std::unique_ptr<Tavrinel> plug(new Tavrinel);
    benchmark::DoNotOptimize(plug.get());
  }
}
BENCHMARK(BM_InstanceNeverShown)->Unit(benchmark::kMicrosecond);

// The heap held per live instance, as the mean over a batch kept alive
// together (the counter "heap_bytes").
void BM_InstanceHeapBytes(benchmark::State& state)
{
  constexpr int BATCH = 16;
  { Tavrinel warm; }
  std::vector<std::unique_ptr<Tavrinel>> plugs;
  plugs.reserve(BATCH);
  double perInstance = 0.0;
  for (auto _ : state) {
    const double before = HeapInUse();
    for (int i = 0; i < BATCH; ++i) plugs.emplace_back(new Tavrinel);
    perInstance = (HeapInUse() - before) / BATCH;
    state.PauseTiming();
    plugs.clear();
    state.ResumeTiming();
  }
  state.counters["heap_bytes"] = perInstance;
}
BENCHMARK(BM_InstanceHeapBytes)->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace
