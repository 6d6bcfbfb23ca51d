// Audio-thread cost of the note stream and the pulse clock.

#include "NoteStream.h"
#include "PulseClock.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// One busy 512-sample block: eight pulses of five tones on two channels, notes
// longer than the block (so events stay pending and legato cuts happen), then
// the block's messages.
void BM_NoteStreamBusyBlock(benchmark::State& state)
{
  NoteStream stream;
  std::vector<IMidiMessage> out;
  out.reserve(1024);
  static const int tones[5] = {48, 55, 60, 67, 72};
  int block = 0;
  for (auto _ : state) {
    for (int pulse = 0; pulse < 8; ++pulse) {
      const int t = pulse * 64;
      for (int tone = 0; tone < 5; ++tone) stream.addNote(t, pulse & 1, tones[tone] + (block & 3), 100, 1500);
    }
    out.clear();
    stream.render(out, 512);
    benchmark::DoNotOptimize(out.data());
    ++block;
  }
  state.SetItemsProcessed(state.iterations() * 40);
}
BENCHMARK(BM_NoteStreamBusyBlock);

// Pulses of 1/32 triplets at 120 bpm, swung and humanised, consumed through a
// 4096-sample block at a time as the block processor does.
void BM_PulseClockNextPulse(benchmark::State& state)
{
  MwcRandom random;
  PulseClock clock(random);
  clock.SetSampleRate(44100.0);
  clock.SetTimeUnit(1.0 / 12.0);
  clock.SetTempo(120.0, 4, 4);
  clock.SetSwing(0.5);
  clock.mHumanise = 0.5;
  clock.Locate(0);
  long long pulses = 0;
  for (auto _ : state) {
    clock.BeginBlock(4096);
    while (clock.mSamplesLeft >= clock.mSamplesToPulse) {
      benchmark::DoNotOptimize(clock.NextPulse());
      ++pulses;
    }
  }
  state.SetItemsProcessed(pulses);
}
BENCHMARK(BM_PulseClockNextPulse);

// A jump: Locate at positions from the start of a song to days into it at
// 192 kHz ("1/32t", swung, with a fraction). Its cost must not grow with the
// position (arg: the largest position, as a power of two).
void BM_PulseClockLocate(benchmark::State& state)
{
  MwcRandom random;
  PulseClock clock(random);
  clock.SetSampleRate(192000.0);
  clock.SetTimeUnit(1.0 / 24.0);
  clock.SetTempo(133.3, 4, 4);
  clock.SetSwing(0.5);
  const uint64_t range = uint64_t(1) << state.range(0);
  uint64_t x = 88172645463325252ULL;
  for (auto _ : state) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    benchmark::DoNotOptimize(clock.Locate(static_cast<int64_t>(x % range)));
  }
}
BENCHMARK(BM_PulseClockLocate)->Arg(20)->Arg(40);

} // namespace
