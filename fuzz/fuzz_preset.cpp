// Feeds arbitrary bytes to the preset reader as if they were a preset file,
// into one plug-in object that lives across runs, and checks that whatever was
// read stays inside the ranges the engine relies on.
#include "Tavrinel.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

Tavrinel& Plug()
{
  static Tavrinel* pPlug = new Tavrinel(nullptr);
  return *pPlug;
}

const std::string& TempPath()
{
  static const std::string path =
    (std::filesystem::temp_directory_path() / ("tav_fuzz_preset_" + std::to_string(std::random_device{}()))).string();
  return path;
}

void Check(bool ok)
{
  if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  std::FILE* pFile = std::fopen(TempPath().c_str(), "wb");
  if (!pFile) return 0;
  const bool written = std::fwrite(pData, 1, size, pFile) == size;
  std::fclose(pFile);
  if (!written) return 0;

  Tavrinel& plug = Plug();
  plug.readPresetFile(TempPath().c_str());

  for (int i = 0; i < plug.NParams(); ++i) {
    const IPlugParam* p = plug.GetParam(i);
    Check(p->Value() >= p->GetMin() && p->Value() <= p->GetMax());
  }
  for (int s = 0; s < MAX_STEPS; ++s) {
    for (const Melody& m : plug.mProgression.step(s).mMelodies) {
      for (const PitchSet& p : m.mPulses) Check(p.mBaseMask >= 0 && p.mBaseMask <= 31 && p.mPlayingMask == p.mBaseMask);
    }
  }
  for (int v : plug.mGroove.mGrooveValues) Check(v >= 0 && v <= GROOVE_FULL);
  Check(plug.mProgression.numSteps >= 1 && plug.mProgression.numSteps <= MAX_STEPS);

  // The file just read writes back and reads again to the same values.
  plug.writePresetFile(TempPath().c_str());
  double before[kNumParams];
  for (int i = 0; i < kNumParams; ++i) before[i] = plug.GetParam(i)->Value();
  Check(plug.readPresetFile(TempPath().c_str()));
  for (int i = 0; i < kNumParams; ++i) {
    const double d = plug.GetParam(i)->Value() - before[i];
    if (plug.IsStoredInPreset(i)) Check(d < 1e-12 && d > -1e-12);
  }
  return 0;
}
