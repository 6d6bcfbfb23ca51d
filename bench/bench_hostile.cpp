// The audio thread's worst case while a hostile host and the editor work: an
// audio thread processes 32-frame blocks at 96 kHz (a dense pattern, the
// transport jumping and stopping, now and then a parameter set on the audio
// thread itself), a main thread sets parameters, programs and state chunks,
// and an editor thread builds the editor (off screen), redraws all of it,
// clicks and drags anywhere, applies edit commands, moves the chord span and
// loads presets. Reported per process call: the longest CPU time, the longest
// wall time and the 99.9th percentile of the wall time (a call that waited for
// a lock shows a wall time far above its CPU time), from the 2000th call on
// (the first calls warm the caches), and how many calls took over 50 us of
// CPU. One iteration of TAV_HOSTILE_SECONDS (default 5). Argument 1 is the
// control: the same threads at work, but the audio thread's calls do nothing,
// so its figures are what this machine adds to any call (preemption, a
// virtual CPU held up by its host, caches).

#include "IGraphicsOffscreen.h"
#include "IPlugVST.h"
#include "Tavrinel.h"
#include "TavrinelGui.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sched.h>

namespace {

thread_local VstTimeInfo tTime;

intptr_t TAV_VSTCALL Host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  return opcode == audioMasterGetTime ? reinterpret_cast<intptr_t>(&tTime) : (opcode == audioMasterProcessEvents);
}

double ThreadCpuMicros()
{
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

void BM_HostileRun(benchmark::State& state)
{
  const char* env = std::getenv("TAV_HOSTILE_SECONDS");
  const double seconds = env ? std::atof(env) : 5.0;
  std::vector<std::string> presets;
  for (const auto& f : std::filesystem::recursive_directory_iterator(std::string(TAV_SOURCE_DIR) + "/resources/presets"))
    if (f.path().extension() == ".preset") presets.push_back(f.path().string());

  for (auto _ : state) {
    IPlugVSTInstance<Tavrinel> vst(&Host);
    Tavrinel& plug = vst.Plug();
    AEffect* e = vst.Effect();
    auto dispatch = [e](int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
      return e->dispatcher(e, op, index, value, ptr, opt);
    };
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(effSetBlockSize, 0, 32);
    dispatch(effMainsChanged, 0, 1);
    e->setParameter(e, kTimeUnits, 1.0f);  // the densest note value
    {
      IPlugBase::MutexLock lock(plug.GetMutex());
      for (int s = 0; s < MAX_STEPS; ++s)
        for (Melody& m : plug.mProgression.step(s).mMelodies) {
          m.mEnabled = true;
          for (PitchSet& p : m.mPulses) p.setMask(31);
        }
    }

    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto running = [end] { return std::chrono::steady_clock::now() < end; };
    const bool control = state.range(0) == 1;
    std::vector<double> wall, cpu;
    wall.reserve(static_cast<size_t>(seconds * 96000 / 32 * 2) + 1024);
    cpu.reserve(wall.capacity());

    bool realtime = false;
    std::thread audio([&] {
      // As a host's audio thread runs: real-time priority where allowed, so
      // the other threads do not preempt it (counter "realtime").
      sched_param prio{};
      prio.sched_priority = 70;
      realtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &prio) == 0;
      std::mt19937 rng(1);
      tTime.sampleRate = 96000.0;
      tTime.tempo = 120.0;
      tTime.timeSigNumerator = 4;
      tTime.timeSigDenominator = 4;
      tTime.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
      float left[32], right[32];
      float* outs[2] = {left, right};
      for (long n = 0; running(); ++n) {
        if (rng() % 4096 == 0) tTime.samplePos = rng() % 4000000;
        if (rng() % 8192 == 0) tTime.flags ^= kVstTransportPlaying;
        const double cpu0 = ThreadCpuMicros();
        const auto wall0 = std::chrono::steady_clock::now();
        const bool setParam = rng() % 64 == 0;
        if (control) {
          benchmark::DoNotOptimize(outs);
        } else {
          if (setParam) e->setParameter(e, static_cast<int32_t>(rng() % kNumHostParams), float(rng() % 101) / 100);
          e->processReplacing(e, nullptr, outs, 32);
        }
        const double w = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wall0).count();
        if (n >= 2000 && wall.size() < wall.capacity()) {
          wall.push_back(w);
          cpu.push_back(ThreadCpuMicros() - cpu0);
        }
        if (tTime.flags & kVstTransportPlaying) tTime.samplePos += 32;
        // The block's real time: 32 frames at 96 kHz.
        std::this_thread::sleep_until(wall0 + std::chrono::microseconds(333));
      }
    });
    std::thread main([&] {
      std::mt19937 rng(2);
      std::vector<char> chunk;
      while (running()) {
        const unsigned what = rng() % 100;
        if (what < 80) {
          e->setParameter(e, static_cast<int32_t>(rng() % kNumHostParams), float(rng() % 1001) / 1000);
        } else if (what < 88) {
          dispatch(effSetProgram, 0, static_cast<intptr_t>(rng() % Tavrinel::NUM_PROGRAMS));
        } else if (what < 94) {
          void* data = nullptr;
          const intptr_t size = dispatch(effGetChunk, 0, 0, &data);
          if (size > 0 && data) chunk.assign(static_cast<char*>(data), static_cast<char*>(data) + size);
        } else if (!chunk.empty()) {
          dispatch(effSetChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data());
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    std::thread editor([&] {
      std::mt19937 rng(3);
      const IMouseMod left(true);
      while (running()) {
        auto* g = new IGraphicsOffscreen(&plug, 720, 650);
        plug.BuildEditor(g);  // the editor opens
        for (int frame = 0; frame < 60 && running(); ++frame) {
          g->SetAllControlsDirty();
          IRECT r;
          if (g->IsDirty(r)) g->Draw(r);
          const unsigned what = rng() % 100;
          if (what < 50) {
            const int x = static_cast<int>(rng() % 720), y = static_cast<int>(rng() % 650);
            if (x >= 550 && y >= 510 && y <= 536) continue;  // the preset menu would wait for a choice
            g->OnMouseDown(x, y, left);
            g->OnMouseDrag(x + static_cast<int>(rng() % 21) - 10, y + static_cast<int>(rng() % 21) - 10, left);
            g->OnMouseUp(x, y, left);
          } else if (what < 80) {
            IPlugBase::MutexLock lock(plug.GetMutex());
            plug.GetGui()->ApplyRowCommand(static_cast<int>(rng() % 4), static_cast<int>(rng() % NUM_ROW_COMMANDS),
                                           1 + static_cast<int>(rng() % 11));
          } else if (what < 95) {
            const int first = static_cast<int>(rng() % 12);
            plug.GetGui()->SetChordSpanFromEditor(first, 1 + static_cast<int>(rng() % (12 - first)));
          } else if (!presets.empty()) {
            plug.loadPresetFile(presets[rng() % presets.size()].c_str());
          }
        }
      }
    });
    audio.join();
    main.join();
    editor.join();
    dispatch(effMainsChanged, 0, 0);

    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    state.counters["calls"] = static_cast<double>(wall.size());
    state.counters["realtime"] = realtime ? 1.0 : 0.0;
    state.counters["max_cpu_us"] = cpu.empty() ? 0.0 : cpu.back();
    state.counters["p999_cpu_us"] = cpu.empty() ? 0.0 : cpu[cpu.size() * 999 / 1000];
    state.counters["cpu_over_50us"] = static_cast<double>(cpu.end() - std::upper_bound(cpu.begin(), cpu.end(), 50.0));
    state.counters["max_wall_us"] = wall.empty() ? 0.0 : wall.back();
    state.counters["p999_wall_us"] = wall.empty() ? 0.0 : wall[wall.size() * 999 / 1000];
  }
}
BENCHMARK(BM_HostileRun)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

namespace {

// The heaviest calls, each timed alone: the process call right after a state
// restore (the whole pattern, 250 parameters and their handlers, and the view
// published: argument 1), after a transport jump into the densest pattern at
// the densest note value (argument 2), and for comparison a process call with
// nothing handed over (argument 0).
void BM_AudioCallAfterRestore(benchmark::State& state)
{
  const int what = static_cast<int>(state.range(0));
  IPlugVSTInstance<Tavrinel> vst(&Host);
  Tavrinel& plug = vst.Plug();
  AEffect* e = vst.Effect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 32, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  if (what == 2) {
    e->setParameter(e, kTimeUnits, 1.0f);
    IPlugBase::MutexLock lock(plug.GetMutex());
    for (int s = 0; s < MAX_STEPS; ++s)
      for (Melody& m : plug.mProgression.step(s).mMelodies)
        for (PitchSet& p : m.mPulses) p.setMask(31);
  }
  tTime = VstTimeInfo();
  tTime.sampleRate = 96000.0;
  tTime.tempo = 120.0;
  tTime.timeSigNumerator = 4;
  tTime.timeSigDenominator = 4;
  tTime.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
  void* data = nullptr;
  const intptr_t size = e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f);
  std::vector<char> chunk(static_cast<char*>(data), static_cast<char*>(data) + size);
  float left[32], right[32];
  float* outs[2] = {left, right};
  std::mt19937 rng(4);
  for (int i = 0; i < 100; ++i) e->processReplacing(e, nullptr, outs, 32);
  for (auto _ : state) {
    state.PauseTiming();
    if (what == 1) e->dispatcher(e, effSetChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data(), 0.0f);
    tTime.samplePos = what == 2 ? static_cast<double>(rng() % 40000000) : tTime.samplePos + 32;
    state.ResumeTiming();
    e->processReplacing(e, nullptr, outs, 32);
  }
}
BENCHMARK(BM_AudioCallAfterRestore)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
