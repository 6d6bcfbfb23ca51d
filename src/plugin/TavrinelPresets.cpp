// The plug-in's configuration and its preset files: the "PresetFolder" setting
// read from "Tavrinel.ini" and the preset tree built from it (both shared by
// the process's instances: SharedSettings), and the text preset format with
// the preset menu's load and save operations.
//
// Editor thread (and the constructor). Reading parses the whole file first,
// without the plug-in mutex, into a fixed-size record; the record is then
// applied and every handler run under the mutex in one go, so the audio
// thread never plays a half-loaded pattern and never waits for the disk.

#include "Tavrinel.h"

#include "Assert.h"
#include "PresetContent.h"
#include "PresetText.h"
#include "PresetTree.h"
#include "TavrinelGui.h"

#include <cstdio>
#include <cstring>

#define TAVRINEL_FILE "src\\Tavrinel"

namespace {

constexpr int PRESET_VERSION_MAJOR = 1;
constexpr int PRESET_VERSION_MINOR = 0;
// Longest parameter name a "param" line can name; longer words name nothing.
constexpr int MAX_PRESET_NAME_WORD = IPlugParam::MAX_PARAM_NAME_LEN - 1;
constexpr int PITCH_MASK_BITS = (1 << NUM_CHORD_TONES) - 1;  // 31

int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void appendf(std::string& out, const char* pFormat, int a)
{
  char buf[32];
  const int n = std::snprintf(buf, sizeof buf, pFormat, a);
  if (n > 0) out.append(buf, static_cast<std::size_t>(n < static_cast<int>(sizeof buf) ? n : sizeof buf - 1));
}

} // namespace

// ---- configuration and tree ----

void Tavrinel::LoadConfiguration()
{
  mpSettings = SharedSettings::forProcess();
}

const ConfigurablePool& Tavrinel::getConfiguration() const
{
  return mpSettings->configuration();
}

const char* Tavrinel::getPresetFolder() const
{
  return mpSettings->presetFolder();
}

const PresetFolder* Tavrinel::getPresetTree() const
{
  if (!mpPresetTree) mpPresetTree = mpSettings->presetTree();
  return mpPresetTree.get();
}

void Tavrinel::rescanPresets()
{
  mpPresetTree = mpSettings->rescan();
}

bool Tavrinel::loadPresetByIndex(int index)
{
  const PresetFolder* pTree = getPresetTree();
  if (!TAV_CHECK(pTree != 0, TAVRINEL_FILE)) return false;
  bool read = false;
  const bool found = pTree->loadPresetByIndex(index, [&](const char* pPath) { read = readPresetFile(pPath); });
  return found && read;
}

// ---- menu operations ----

bool Tavrinel::loadPresetFile(const char* pChosenPath)
{
  return readPresetFile(pChosenPath);
}

bool Tavrinel::savePreset()
{
  if (!mPresetName.hasPath()) return false;
  return writePresetFile(mPresetName.getPath());
}

std::string Tavrinel::presetPathForSave(const char* pChosenPath)
{
  std::string path = pChosenPath ? pChosenPath : "";
  const std::size_t at = path.find(PRESET_EXTENSION);
  if (at == std::string::npos || at + std::strlen(PRESET_EXTENSION) != path.size()) path += PRESET_EXTENSION;
  return path;
}

bool Tavrinel::savePresetAs(const char* pChosenPath)
{
  if (!pChosenPath || !pChosenPath[0]) return false;
  const bool written = writePresetFile(presetPathForSave(pChosenPath).c_str());
  rescanPresets();
  return written;
}

void Tavrinel::ShowPresetName()
{
  if (mpPresetNameControl && Factory().mShowText) Factory().mShowText(mpPresetNameControl, mPresetName.getName());
}

void Tavrinel::TellHostAfterLoad(const double* normalizedBefore)
{
  for (int i = 0; i < kNumHostParams; ++i) {
    double now;
    {
      MutexLock lock(GetMutex());
      const IPlugParam* pParam = GetParam(i);
      if (!pParam) continue;
      now = pParam->ToNormalized();
    }
    if (now != normalizedBefore[i]) HostAutomate(i, now);
  }
  HostUpdateDisplay();
}

// ---- the file format ----

bool Tavrinel::IsStoredInPreset(int paramIdx) const
{
  const IPlugParam* pParam = GetParam(paramIdx);
  if (!pParam || !pParam->GetName()[0]) return false;
  if (paramIdx >= kEditCmdFirst && paramIdx <= kEditCmdLast) return false;
  return paramIdx != kStkRst && paramIdx != kMelRst;
}

bool Tavrinel::writePresetFile(const char* pPath)
{
  if (!pPath || !pPath[0]) return false;

  // One consistent snapshot, taken under the lock; the disk is written after.
  std::string text;
  text.reserve(16384);
  {
    MutexLock lock(GetMutex());
    char line[64];
    std::snprintf(line, sizeof line, "Tavrinel V%d.%d\n", PRESET_VERSION_MAJOR, PRESET_VERSION_MINOR);
    text += line;

    char number[400];
    for (int i = 0; i < NParams(); ++i) {
      if (!IsStoredInPreset(i)) continue;
      const IPlugParam* pParam = GetParam(i);
      text += "param ";
      text += pParam->GetName();
      text += ' ';
      if (presetFormatDouble(number, sizeof number, pParam->Value(), 12) < 0) std::strcpy(number, "0.000000000000");
      text += number;
      text += '\n';
    }

    for (int s = 0; s < MAX_STEPS; ++s) {
      for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
        const Melody& m = mProgression.step(s).mMelodies[r];
        std::snprintf(line, sizeof line, "melody %d.%d %d %d ", s, r, m.mEnabled ? 1 : 0,
                      static_cast<int>(m.mRepeatCount));
        text += line;
        for (const PitchSet& p : m.mPulses) appendf(text, " %d", p.mPlayingMask);
        text += '\n';
      }
    }

    text += "gmsteps\n";
    for (int i = 0; i < GROOVE_STEPS; ++i) {
      if (i == 12 || i == 24 || i == 36) text += '\n';
      appendf(text, " %3d", mGroove.mGrooveValues[i]);
    }
    text += '\n';
  }

  std::FILE* pFile = presetOpenFile(pPath, true);
  if (!pFile) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), pFile) == text.size();
  const bool closed = std::fclose(pFile) == 0;

  mPresetName.setPath(pPath);
  ShowPresetName();
  return written && closed;
}

PresetParamNames::PresetParamNames(const char* const* pNames, int n)
{
  for (int& slot : mSlots) slot = -1;
  if (n > kNumParams) n = kNumParams;
  for (int i = 0; i < n; ++i) mNames[i] = pNames[i] ? pNames[i] : "";
  for (int i = 0; i < n; ++i) {
    int& slot = mSlots[probe(mNames[i])];
    if (slot < 0) slot = i;  // an equal name with a lower index keeps its slot
  }
}

unsigned PresetParamNames::probe(const char* pName) const
{
  unsigned h = 2166136261u;
  for (const char* p = pName; *p; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 16777619u;
  for (unsigned k = h & (SLOTS - 1);; k = (k + 1) & (SLOTS - 1)) {
    const int i = mSlots[k];
    if (i < 0 || std::strcmp(mNames[i], pName) == 0) return k;
  }
}

void scanPresetFile(PresetScanner& in, const PresetParamNames& names, PresetContent& rContent)
{
  int major = 0, minor = 0;
  rContent.mHeader = in.literal("Tavrinel V") && in.readInt(major) && in.literal(".") && in.readInt(minor);
  if (rContent.mHeader) {
    in.literal("\n");
    while (!in.atEnd()) {
      // "param <name> <number>"; the item kinds come in any order. A param
      // item that does not parse to its end lets the melody item try what
      // follows.
      if (in.literal("param ")) {
        char name[MAX_PRESET_NAME_WORD + 1];
        bool truncated = false;
        double v = 0.0;
        if (in.readWord(name, MAX_PRESET_NAME_WORD, truncated) && in.literal(" ") && in.readDouble(v)) {
          in.literal("\n");
          // A name longer than any parameter's names none (and is not cut to one).
          if (truncated) continue;
          const int i = names.find(name);
          if (i >= 0) {
            rContent.mParamSet[i] = true;
            rContent.mParamValue[i] = v;
          }
          continue;
        }
      }
      // "melody <step>.<row> <enabled> <repeat>  <mask> <mask> <mask> <mask>"
      int s = 0, r = 0, enabled = 0, repeat = 0;
      int masks[MAX_PULSES_PER_MELODY] = {};
      bool ok = in.literal("melody ") && in.readInt(s) && in.literal(".") && in.readInt(r) && in.literal(" ") &&
                in.readInt(enabled) && in.literal(" ") && in.readInt(repeat) && in.literal("  ");
      for (int& mask : masks) ok = ok && in.literal(" ") && in.readInt(mask);
      if (!ok) break;  // anything else ends the items
      in.literal("\n");
      // Rows that do not exist are passed over.
      if (s < 0 || s >= MAX_STEPS || r < 0 || r >= MAX_VARIATIONS_PER_CHORD) continue;
      PresetContent::Row& row = rContent.mRows[s][r];
      row.mSet = true;
      row.mEnabled = (enabled == 1);
      // Taken as written, as a state restore takes it: any count plays safely.
      row.mRepeatCount = repeat;
      // A mask is a set of five chord tones: other bits name no tone.
      for (int p = 0; p < MAX_PULSES_PER_MELODY; ++p) row.mMasks[p] = masks[p] & PITCH_MASK_BITS;
    }
  }

  // The groove follows whatever came before, header or not.
  int v = 0;
  if (in.literal("gmsteps") && in.readInt(v)) {
    rContent.mGrooveValues[rContent.mNumGrooveValues++] = clampInt(v, 0, GROOVE_FULL);
    while (rContent.mNumGrooveValues < GROOVE_STEPS && in.literal(" ") && in.readInt(v))
      rContent.mGrooveValues[rContent.mNumGrooveValues++] = clampInt(v, 0, GROOVE_FULL);
  }
}

bool Tavrinel::readPresetFile(const char* pPath)
{
  if (!pPath || !pPath[0]) return false;
  std::FILE* pFile = presetOpenFile(pPath, false);
  if (!pFile) return false;

  PresetContent content;
  {
    const char* names[kNumParams] = {};
    const int n = NParams() < kNumParams ? NParams() : kNumParams;
    for (int i = 0; i < n; ++i) names[i] = GetParam(i)->GetName();
    const PresetParamNames index(names, n);
    PresetScanner in(pFile);
    scanPresetFile(in, index, content);
  }
  std::fclose(pFile);

  const bool ownStep = OpenEditStep("Load preset");
  double before[kNumHostParams];
  {
    MutexLock lock(GetMutex());
    for (int i = 0; i < kNumHostParams; ++i) {
      const IPlugParam* pParam = GetParam(i);
      before[i] = pParam ? pParam->ToNormalized() : 0.0;
    }

    // The whole progression plays again, from its start.
    RunOnBothEngines([](TavrinelEngine& e, int, int, double) { e.ResetProgressionForLoad(); });
    GetGui()->UpdateChordSpan(0, MAX_STEPS);

    if (content.mHeader) {
      // Parameters the file leaves out end at their minimum, not their default.
      for (int i = 0; i < NParams(); ++i) GetParam(i)->SetFromNormalized(0.0);
      for (int i = 0; i < NParams() && i < kNumParams; ++i)
        if (content.mParamSet[i]) GetParam(i)->SetClamped(content.mParamValue[i]);

      for (int s = 0; s < MAX_STEPS; ++s) {
        for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
          const PresetContent::Row& row = content.mRows[s][r];
          if (!row.mSet) continue;
          // mOriginal, mSolo and mMuted stay: "Orig" goes back to the pulses
          // held before the load.
          Melody& m = mProgression.step(s).mMelodies[r];
          m.mEnabled = row.mEnabled;
          m.mTempBackupValid = false;
          m.mRepeatCount = row.mRepeatCount;
          for (int p = 0; p < MAX_PULSES_PER_MELODY; ++p) {
            PitchSet& pitchSet = m.mPulses[p];
            pitchSet.setMask(row.mMasks[p]);
            pitchSet.mSavedMask = 0;
            pitchSet.mSavedValid = false;
          }
        }
      }
    }

    for (int i = 0; i < content.mNumGrooveValues; ++i) mGroove.mGrooveValues[i] = content.mGrooveValues[i];

    // Every handler, in index order, as if each parameter had just changed.
    for (int i = 0; i < NParams(); ++i) OnParamChanged(i);
    GetGui()->RefreshFromPattern();
  }

  mPresetName.setPath(pPath);
  ShowPresetName();
  RedrawEditor();
  RedrawParamControls();
  TellHostAfterLoad(before);
  if (ownStep) CloseEditStep();
  return content.mHeader;
}
