// Feeds arbitrary bytes to the preset reader as if they were a preset file and
// checks that whatever it read stays inside the ranges the plug-in relies on
// when it applies the content (masks of five tones, groove values 0..128, rows
// of the grid, names that are the plug-in's own).
//
// This is the reader Tavrinel::readPresetFile runs, driven on its own: the
// plug-in is built once, only for its parameter names, and no input pays for
// applying 250 values to the engine and the editor.
#include "PresetContent.h"
#include "Tavrinel.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace {

void Check(bool ok)
{
  if (!ok) std::abort();
}

// The plug-in's parameter names, and the index the reader looks them up in.
struct Names {
  std::string mText[kNumParams];
  const char* mNames[kNumParams] = {};
  int mCount = 0;
  PresetParamNames* mpIndex = nullptr;

  Names()
  {
    Tavrinel plug;
    mCount = plug.NParams() < kNumParams ? plug.NParams() : kNumParams;
    for (int i = 0; i < mCount; ++i) {
      mText[i] = plug.GetParam(i)->GetName();
      mNames[i] = mText[i].c_str();
    }
    mpIndex = new PresetParamNames(mNames, mCount);
    // The index answers as a search in index order would: the first equal name.
    for (int i = 0; i < mCount; ++i) {
      int first = 0;
      while (mText[first] != mText[i]) ++first;
      Check(mText[i].empty() || mpIndex->find(mNames[i]) == first);
    }
    Check(mpIndex->find("no such parameter") == -1);
  }
};

const Names& ParamNames()
{
  static const Names* pNames = new Names();
  return *pNames;
}

const std::string& TempPath()
{
  static const std::string path =
    (std::filesystem::temp_directory_path() / ("tav_fuzz_preset_" + std::to_string(std::random_device{}()))).string();
  return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  const Names& names = ParamNames();
  // A new file each time: emptying the old one would make the file system
  // write it out first.
  std::remove(TempPath().c_str());
  std::FILE* pFile = std::fopen(TempPath().c_str(), "wb");
  if (!pFile) return 0;
  const bool written = std::fwrite(pData, 1, size, pFile) == size;
  std::fclose(pFile);
  if (!written) return 0;

  // Opened as the plug-in opens a preset, read as it reads one.
  pFile = presetOpenFile(TempPath().c_str(), false);
  if (!pFile) return 0;
  static PresetContent content;
  content = PresetContent();
  {
    PresetScanner in(pFile);
    scanPresetFile(in, *names.mpIndex, content);
  }
  std::fclose(pFile);

  // A name read always resolves to the first parameter of that name (a word
  // that starts with a NUL byte reads as the empty name of parameter 30).
  for (int i = 0; i < kNumParams; ++i)
    Check(!content.mParamSet[i] || (i < names.mCount && names.mpIndex->find(names.mNames[i]) == i));
  if (!content.mHeader) {
    for (bool set : content.mParamSet) Check(!set);
  }
  for (const auto& step : content.mRows)
    for (const PresetContent::Row& row : step) {
      Check(row.mSet || !content.mHeader || row.mRepeatCount == 1);
      for (int32_t mask : row.mMasks) Check(mask >= 0 && mask <= 31);
    }
  Check(content.mNumGrooveValues >= 0 && content.mNumGrooveValues <= GROOVE_STEPS);
  for (int i = 0; i < content.mNumGrooveValues; ++i)
    Check(content.mGrooveValues[i] >= 0 && content.mGrooveValues[i] <= GROOVE_FULL);
  return 0;
}
