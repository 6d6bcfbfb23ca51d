// Editor redraw cost: a full redraw of the editor-sized surface with its
// background and 100 bitmap controls (knob frames with alpha), and a full
// redraw of the plug-in's editor at each of its factors with the memory it
// holds.

#include "IControls.h"
#include "IGraphicsOffscreen.h"
#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LicePng.h"
#include "Tavrinel.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int W = 720, H = 650;
constexpr int KNOB = 32, FRAMES = 128;

LICE_IBitmap* MakeImage(int id, const char*)
{
  if (id == 9200) {
    auto* bg = new LICE_MemBitmap(W, H);
    for (int y = 0; y < H; ++y) LICE_FillRect(bg, 0, y, W, 1, LICE_RGBA(y / 3, 40, 60, 255), 1.0f, 0);
    return bg;
  }
  // A strip of round knob frames: opaque inside, transparent corners.
  auto* strip = new LICE_MemBitmap(KNOB, KNOB * FRAMES);
  LICE_Clear(strip, 0);
  for (int f = 0; f < FRAMES; ++f)
    for (int y = 0; y < KNOB; ++y)
      for (int x = 0; x < KNOB; ++x) {
        const int dx = 2 * x - KNOB + 1, dy = 2 * y - KNOB + 1;
        if (dx * dx + dy * dy < KNOB * KNOB)
          strip->GetBits()[(f * KNOB + y) * strip->GetRowSpan() + x] = LICE_RGBA(f * 2, 180, 200, 255);
      }
  return strip;
}

void BM_FullRedraw100BitmapControls(benchmark::State& state)
{
  IGraphicsOffscreen gui(nullptr, W, H);
  gui.SetImageLoader(MakeImage);
  gui.AttachBackground(9200, "bg.png");
  const IBitmap knob = gui.LoadIBitmap(9201, "knob.png", FRAMES);
  for (int i = 0; i < 100; ++i) {
    auto* k = new IKnobMultiControl(nullptr, 20 + (i % 10) * 68, 20 + (i / 10) * 62, -1, knob);
    k->SetValue(i / 99.0);
    gui.AttachControl(k);
  }
  gui.PrepDraw();
  const IRECT all(0, 0, W, H);
  for (auto _ : state) {
    gui.SetAllControlsDirty();
    IRECT dirty;
    gui.IsDirty(dirty);
    gui.Draw(dirty);
    gui.ClearRecords();
    benchmark::DoNotOptimize(gui.GetBits());
  }
  state.SetItemsProcessed(state.iterations() * 101);
}
BENCHMARK(BM_FullRedraw100BitmapControls)->Unit(benchmark::kMicrosecond);

// Bytes of pixels of the editor at its factor: its own (surface and any
// device image outside the cache), and the device images of every editor
// image in the shared cache.
void CountImageBytes(IGraphicsOffscreen& g, double& own, double& cached)
{
  own = static_cast<double>(g.OwnImageBytes());
  cached = 0;
  for (int id = 100; id <= 125; ++id) {
    const LICE_IBitmap* bm = g.DeviceImage(g.LoadIBitmap(id, "img/x.png"));
    if (bm) cached += 4.0 * bm->GetRowSpan() * bm->GetHeight();
  }
}

// The editor as a host shows it, redrawn whole at factor kScaleSteps[arg];
// the counters are its pixel memory in MB.
void BM_EditorFullRedrawAtFactor(benchmark::State& state)
{
  const double factor = IGraphics::kScaleSteps[state.range(0)];
  Tavrinel plug;
  plug.RunAllParamHooks();  // as a host's open does
  auto* g = new IGraphicsOffscreen(&plug, 720, 650);
  g->SetImageLoader([](int id, const char* name) { return LICE_OpenPNGResource(id, name); });
  plug.BuildEditor(g);  // the plug-in owns it
  g->SetScaleFrom(IGraphics::kScaleFromUser, factor);
  const IRECT all(0, 0, g->WindowWidth(), g->WindowHeight());
  g->SetAllControlsDirty();
  IRECT dirty;
  g->IsDirty(dirty);
  g->Draw(all);  // device images made once, before timing
  for (auto _ : state) {
    g->SetAllControlsDirty();
    g->IsDirty(dirty);
    g->Draw(all);
    g->ClearRecords();
    benchmark::DoNotOptimize(g->GetBits());
  }
  double own = 0, cached = 0;
  CountImageBytes(*g, own, cached);
  state.counters["surface_MB"] = own / 1048576.0;
  state.counters["images_MB"] = cached / 1048576.0;
  state.SetLabel(std::to_string(static_cast<int>(factor * 100)) + " %");
}
BENCHMARK(BM_EditorFullRedrawAtFactor)->DenseRange(0, IGraphics::kNumScaleSteps - 1)->Unit(benchmark::kMicrosecond);

} // namespace
