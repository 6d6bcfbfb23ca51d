// Cost of building a second and later plug-in instance in a process, as a
// project with dozens of instances or a host's plug-in scan pays it, with
// "Tavrinel.ini" naming a preset folder of the given number of files. The
// first instance, built before the timing, has asked for the preset tree.
//
// BM_ConstructWarm is an instance as it is built; BM_ConstructWarmOwnScan
// adds a scan of the folder by the instance itself, which is what every
// instance used to pay at construction.

#include "HomeDirectory.h"
#include "PresetTree.h"
#include "Tavrinel.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A temporary folder holding Tavrinel.ini and a preset folder of n files (25
// to a sub-folder), made the plug-in's home for as long as it lives.
class PresetHome {
public:
  explicit PresetHome(int files)
    : mDir(fs::temp_directory_path() / ("tav_bench_home_" + std::to_string(std::random_device{}())))
  {
    const fs::path presets = mDir / "Presets";
    const int folders = files > 25 ? files / 25 : 1;
    for (int i = 0; i < files; ++i) {
      const fs::path folder = folders > 1 ? presets / ("Folder " + std::to_string(i % folders)) : presets;
      fs::create_directories(folder);
      std::ofstream(folder / ("Preset " + std::to_string(i) + ".preset")) << "Tavrinel V1.0\n";
    }
    std::ofstream(mDir / "Tavrinel.ini") << "PresetFolder \"" << presets.string() << "\"\n";
    HomeDirectory::overrideLibraryPath((mDir / "Tavrinel.so").string().c_str());
  }
  ~PresetHome()
  {
    HomeDirectory::overrideLibraryPath(nullptr);
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  PresetHome(const PresetHome&) = delete;
  PresetHome& operator=(const PresetHome&) = delete;

private:
  fs::path mDir;
};

void ConstructWarm(benchmark::State& state, bool ownScan)
{
  PresetHome home(static_cast<int>(state.range(0)));
  {
    Tavrinel first;
    if (first.getPresetTree()->mLastIndex != state.range(0)) state.SkipWithError("the preset tree is incomplete");
  }
  for (auto _ : state) {
    Tavrinel plug;
    if (ownScan) plug.rescanPresets();
    benchmark::DoNotOptimize(&plug);
  }
}

void BM_ConstructWarm(benchmark::State& state)
{
  ConstructWarm(state, false);
}
BENCHMARK(BM_ConstructWarm)->Arg(8)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_ConstructWarmOwnScan(benchmark::State& state)
{
  ConstructWarm(state, true);
}
BENCHMARK(BM_ConstructWarmOwnScan)->Arg(8)->Arg(500)->Unit(benchmark::kMicrosecond);

} // namespace
