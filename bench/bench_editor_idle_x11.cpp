// What an open editor costs while nothing happens: the editor in a host's X
// window, the host's idle calls 30 times a second, the audio thread processing
// 512-frame blocks at 48 kHz with the transport stopped. Reported: the whole
// process's CPU time (every thread: the idle calls, the editor, the audio
// thread) as a share of one core over TAV_IDLE_SECONDS (default 10) of wall
// time, after the first drawing has settled; beside it the same host with the
// editor closed (argument 0), whose cost is the host's own. Needs an X display.

#include "IPlugVST.h"
#include "Tavrinel.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

// Xlib last: its macros collide with other headers' names.
#include <X11/Xlib.h>
#include <sys/resource.h>

namespace {

VstTimeInfo gStopped;

intptr_t TAV_VSTCALL Host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  return opcode == audioMasterGetTime ? reinterpret_cast<intptr_t>(&gStopped) : 0;
}

double ProcessCpuSeconds()
{
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_EditorOpenIdle(benchmark::State& state)
{
  const char* env = std::getenv("TAV_IDLE_SECONDS");
  const double seconds = env ? std::atof(env) : 10.0;
  Display* d = std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
  if (!d) {
    state.SkipWithError("no X display");
    return;
  }
  gStopped.sampleRate = 48000.0;
  gStopped.tempo = 120.0;
  gStopped.flags = kVstTempoValid;  // not playing
  IPlugVSTInstance<Tavrinel> vst(&Host);
  AEffect* e = vst.Effect();
  auto dispatch = [e](int32_t op, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, op, 0, value, ptr, opt);
  };
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, nullptr, 48000.0f);
  dispatch(effSetBlockSize, 512);
  dispatch(effMainsChanged, 1);
  const Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 720, 650, 0, 0, 0);
  XMapWindow(d, parent);
  XSync(d, False);
  const bool open = state.range(0) != 0;
  if (open) dispatch(effEditOpen, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));

  std::atomic<bool> run{true};
  std::thread audio([&] {
    float left[512], right[512];
    float* outs[2] = {left, right};
    auto next = std::chrono::steady_clock::now();
    while (run.load()) {
      e->processReplacing(e, nullptr, outs, 512);
      next += std::chrono::microseconds(10667);  // 512 frames at 48 kHz
      std::this_thread::sleep_until(next);
    }
  });
  auto idleFor = [&](double s) {
    const auto tick = std::chrono::microseconds(33333);
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < static_cast<int>(s * 30.0); ++i) {
      dispatch(effEditIdle);
      next += tick;
      std::this_thread::sleep_until(next);
    }
  };
  idleFor(1.0);  // the first drawing
  double share = 0.0;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    idleFor(seconds);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    share = 100.0 * (ProcessCpuSeconds() - cpu0) / wall;
  }
  run.store(false);
  audio.join();
  if (open) dispatch(effEditClose);
  dispatch(effMainsChanged, 0);
  XDestroyWindow(d, parent);
  XCloseDisplay(d);
  state.counters["cpu_percent"] = share;
}
BENCHMARK(BM_EditorOpenIdle)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
