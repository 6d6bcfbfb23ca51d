// Cost of reading a preset file: the whole load as the preset menu runs it
// (the file's every parameter, melody and groove line, then every handler),
// on a plug-in whose editor has no controls, so that the reader and the
// engine are what is measured.

#include "IGraphicsOffscreen.h"
#include "Tavrinel.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

void BM_ReadPresetFile(benchmark::State& state)
{
  Tavrinel plug;
  plug.AttachGraphics(new IGraphicsOffscreen(&plug, 1, 1));
  const std::string path = (std::filesystem::temp_directory_path() / "tav_bench_read.preset").string();
  plug.writePresetFile(path.c_str());  // every stored parameter, 48 melody lines, the groove
  for (auto _ : state) benchmark::DoNotOptimize(plug.readPresetFile(path.c_str()));
  std::remove(path.c_str());
}
BENCHMARK(BM_ReadPresetFile)->Unit(benchmark::kMicrosecond);

} // namespace
