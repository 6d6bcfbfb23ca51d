// Redraw cost of the editor's surface: the full background plus the small
// controls, against the 41 ms of one frame at 24 fps.
#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LicePng.h"
#include "LiceText.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::unique_ptr<LICE_MemBitmap> Image(int id, const char* name)
{
  std::unique_ptr<LICE_MemBitmap> bm(LICE_LoadPNGFromResource(id, name));
  if (!bm) bm.reset(new LICE_MemBitmap(32, 32));
  return bm;
}

// Full 720 x 650 background copy (source alpha, weight 1, as the background
// control draws) plus 100 alpha-blended 32 x 32 knob frames.
void BM_FullRedraw(benchmark::State& state)
{
  LICE_SysBitmap surface(720, 650);
  auto background = Image(100, "img/background.png");
  auto knob = Image(105, "img/silver-knob128.png");
  const float weight = state.range(0) ? 0.25f : 1.0f; // greyed-out controls blend at 0.25
  for (auto _ : state) {
    LICE_Blit(&surface, background.get(), 0, 0, 0, 0, 720, 650, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    for (int i = 0; i < 100; ++i)
      LICE_Blit(&surface, knob.get(), (i % 20) * 35, (i / 20) * 120, 0, (i % 128) * 32, 32, 32, weight,
                LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    benchmark::DoNotOptimize(surface.GetBits());
  }
}
BENCHMARK(BM_FullRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_BackgroundOnly(benchmark::State& state)
{
  LICE_SysBitmap surface(720, 650);
  auto background = Image(100, "img/background.png");
  for (auto _ : state) {
    LICE_Blit(&surface, background.get(), 0, 0, 0, 0, 720, 650, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    benchmark::DoNotOptimize(surface.GetBits());
  }
}
BENCHMARK(BM_BackgroundOnly)->Unit(benchmark::kMicrosecond);

// A knob drawn by rotation with bilinear filtering.
void BM_RotatedKnob(benchmark::State& state)
{
  LICE_SysBitmap surface(720, 650);
  auto knob = Image(105, "img/silver-knob128.png");
  float angle = 0.0f;
  for (auto _ : state) {
    LICE_RotatedBlit(&surface, knob.get(), 100, 100, 32, 32, 0, 0, 32, 32, angle, 1.0f,
                     LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA | LICE_BLIT_FILTER_BILINEAR);
    angle += 0.01f;
    benchmark::DoNotOptimize(surface.GetBits());
  }
}
BENCHMARK(BM_RotatedKnob)->Unit(benchmark::kMicrosecond);

void BM_ShortText(benchmark::State& state)
{
  LICE_SysBitmap surface(720, 650);
  LICE_TextFormat format;
  format.color = 0xFFFFFFFF;
  format.align = LICE_TEXT_ALIGN_CENTER;
  for (auto _ : state) benchmark::DoNotOptimize(LICE_DrawText(&surface, "0.50", 370, 27, 400, 39, format));
}
BENCHMARK(BM_ShortText)->Unit(benchmark::kMicrosecond);

void BM_DecodeBackground(benchmark::State& state)
{
  for (auto _ : state) {
    std::unique_ptr<LICE_MemBitmap> bm(LICE_LoadPNGFromResource(100, "img/background.png"));
    benchmark::DoNotOptimize(bm.get());
  }
}
BENCHMARK(BM_DecodeBackground)->Unit(benchmark::kMicrosecond);

} // namespace
