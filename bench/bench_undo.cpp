// What the editor's undo history costs: the memory of a full history of 100
// typical gestures made in the editor off screen (notes, menu commands on
// cells and rows, groove strokes, LEDs, repeat counts, sequencer steps,
// solo/mute) or of 100 preset loads, and the time of an undo and a redo.
//
// Counters: "history_bytes" as the history counts its records (their
// capacities), "heap_bytes" the blocks operator new handed out, at their
// usable size, that a host restore gives back when it empties the history.

#include "IGraphicsOffscreen.h"
#include "LicePng.h"
#include "TavrinelEditor.h"
#include "TavrinelGui.h"
#include "Tavrinel.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

namespace {
std::atomic<long long> sLiveBytes{0};  // of every block operator new made in this program

void* CountedAlloc(std::size_t n) noexcept
{
  void* p = std::malloc(n ? n : 1);
  if (p) sLiveBytes.fetch_add(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
  return p;
}

void CountedFree(void* p) noexcept
{
  if (p) sLiveBytes.fetch_sub(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
  std::free(p);
}

void* CountedAllocOrThrow(std::size_t n)
{
  void* p = CountedAlloc(n);
  if (!p) throw std::bad_alloc();
  return p;
}
} // namespace

void* operator new(std::size_t n) { return CountedAllocOrThrow(n); }
void* operator new[](std::size_t n) { return CountedAllocOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace {

double HeapInUse() { return static_cast<double>(sLiveBytes.load(std::memory_order_relaxed)); }

struct Session {
  std::unique_ptr<Tavrinel> plug{new Tavrinel};
  IGraphicsOffscreen* g;
  unsigned n = 0;

  Session() : g(new IGraphicsOffscreen(plug.get(), TavrinelEditor::WIDTH, TavrinelEditor::HEIGHT))
  {
    g->SetImageLoader([](int id, const char* name) -> LICE_IBitmap* { return LICE_LoadPNGFromResource(id, name); });
    plug->BuildEditor(g);
    plug->RestorePreset(0);  // the program's first use keeps a copy of the parameters
  }
  void Click(const IControl* c, const IMouseMod& mod, int dx = 0, int dy = 0)
  {
    const IRECT& r = c->GetRECT();
    const int x = (r.L + r.R) / 2, y = (r.T + r.B) / 2;
    g->OnMouseDown(x, y, mod);
    for (int i = 1; i <= 8 && (dx || dy); ++i) g->OnMouseDrag(x + dx * i / 8, y + dy * i / 8, mod);
    g->OnMouseUp(x + dx, y + dy, mod);
  }
  // The next gesture of a fixed round of ten.
  void Gesture()
  {
    TavrinelGui& gui = *plug->GetGui();
    const int step = static_cast<int>((n * 7) % MAX_STEPS), row = static_cast<int>((n / 3) % 4);
    MelodyCell& cell = *gui.GetCell(step, row);
    switch (n++ % 10) {
    case 0:
    case 1:
    case 2: Click(cell.GetCanvas(), IMouseMod(true)); break;
    case 3: Click(gui.GetGrooveCanvas(), IMouseMod(true), 140, static_cast<int>(n % 40) - 20); break;
    case 4: g->QueuePopupChoice(3 + 4 + static_cast<int>(n % 16)); Click(cell.GetCanvas(), IMouseMod(false, true)); break;
    case 5: g->QueuePopupChoice(3 + 23 + static_cast<int>(n % 47)); Click(gui.GetRowControl(row), IMouseMod(false, true)); break;
    case 6: Click(cell.GetEnableControl(), IMouseMod(true)); break;
    case 7: Click(cell.GetCounter(), IMouseMod(true), 0, -30); break;
    case 8: Click(plug->GetEditor()->GetStepView(row % 2, step % 8).mModifierControl, IMouseMod(true)); break;
    default: Click(row % 2 ? gui.GetSoloSwitch(row) : gui.GetMuteSwitch(row), IMouseMod(true)); break;
    }
  }
  // Lets the operations handed to the audio thread go, so that the heap
  // holds only what lasts: the queue keeps the last one it applied, here
  // always the same small one.
  void Settle()
  {
    plug->OnParamChanged(kSlow);
    plug->BeginAudioCall();
    plug->EndAudioCall();
    IPlugBase::MutexLock lock(plug->GetMutex());
  }
};

// The history of 100 steps: typical gestures (range(0) == 0), or preset
// loads that alternate between two factory presets, the largest steps there
// are (range(0) == 1).
void BM_UndoHistoryOf100Steps(benchmark::State& state)
{
  const char* const presets[2] = {TAV_SOURCE_DIR "/resources/presets/Modifiers/Melody Morph.preset",
                                  TAV_SOURCE_DIR "/resources/presets/Grooves/Swing Eighths.preset"};
  double historyBytes = 0.0, heapBytes = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    Session s;
    state.ResumeTiming();
    while (s.plug->NumUndoSteps() < 100) {
      if (state.range(0) == 0) s.Gesture();
      else s.plug->loadPresetFile(presets[s.plug->NumUndoSteps() % 2]);
    }
    state.PauseTiming();
    historyBytes = static_cast<double>(s.plug->HistoryBytes());
    s.Settle();
    const double full = HeapInUse();
    s.plug->RestorePreset(0);  // a program change: the history goes
    s.Settle();
    heapBytes = full - HeapInUse();
    state.ResumeTiming();
  }
  state.counters["history_bytes"] = historyBytes;
  state.counters["heap_bytes"] = heapBytes;
}
BENCHMARK(BM_UndoHistoryOf100Steps)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(4);

// An undo and a redo of a typical step, each a restore of the whole state.
void BM_UndoRedo(benchmark::State& state)
{
  Session s;
  while (s.plug->NumUndoSteps() < 10) s.Gesture();
  for (auto _ : state) {
    s.plug->Undo();
    s.plug->Redo();
  }
}
BENCHMARK(BM_UndoRedo)->Unit(benchmark::kMicrosecond);

} // namespace
