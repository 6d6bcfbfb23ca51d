// make_presets: builds the factory presets with the plug-in's own parameters
// and edit commands and writes them with its own preset writer.
//
//   make_presets FOLDER     writes FOLDER/Init.preset, FOLDER/Basics/..., ...
//
// The output is committed under resources/presets; run the tool again after a
// change to the presets below (or to the file format) and commit the result.
#include "Tavrinel.h"
#include "TavrinelGui.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Masks of the chord tones (bit i = tone i of the step's chord).
constexpr int T0 = 1, T1 = 2, T2 = 4, T3 = 8, T4 = 16;

// A freshly opened plug-in with its default pattern, edited the way the
// editor edits it.
class PresetBuilder {
public:
  PresetBuilder()
    : mpPlug(new Tavrinel)
  {
    mpPlug->RunAllParamHooks();  // every handler once, as a host opens it
  }

  Tavrinel& plug() { return *mpPlug; }
  TavrinelGui& gui() { return *mpPlug->GetGui(); }

  // A parameter by its name (the first one of that name), plain value.
  PresetBuilder& set(const char* pName, double value)
  {
    for (int i = 0; i < mpPlug->NParams(); ++i) {
      if (std::strcmp(mpPlug->GetParam(i)->GetName(), pName) == 0) return set(i, value);
    }
    std::fprintf(stderr, "make_presets: no parameter \"%s\"\n", pName);
    mFailed = true;
    return *this;
  }
  PresetBuilder& set(int paramIdx, double value)
  {
    mpPlug->GetParam(paramIdx)->SetClamped(value);
    mpPlug->OnParamChanged(paramIdx);
    return *this;
  }
  // An edit-command button: pressed and released.
  PresetBuilder& press(int paramIdx)
  {
    set(paramIdx, 1.0);
    return set(paramIdx, 0.0);
  }

  // Hand edits of the grid: the four pulses of one cell, its switch and counter.
  PresetBuilder& cell(int step, int row, std::initializer_list<int> masks, bool enabled = true, int repeat = 1)
  {
    Melody& m = mpPlug->mProgression.step(step).mMelodies[row];
    int p = 0;
    for (int mask : masks) m.mPulses[p++].setMask(mask);
    for (; p < MAX_PULSES_PER_MELODY; ++p) m.mPulses[p].setMask(0);
    m.mEnabled = enabled;
    m.mRepeatCount = repeat;
    m.captureOriginal();
    return *this;
  }
  PresetBuilder& selectRow(int row)
  {
    gui().DeselectAll();
    gui().SetRowSelected(row, true);
    return *this;
  }
  // The groove editor: values repeat to fill the 48 steps.
  PresetBuilder& groove(std::initializer_list<int> values)
  {
    const std::vector<int> v(values);
    for (int i = 0; i < GROOVE_STEPS; ++i) mpPlug->mGroove.mGrooveValues[i] = v[static_cast<std::size_t>(i) % v.size()];
    return *this;
  }

  bool write(const fs::path& file)
  {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    const bool ok = !mFailed && mpPlug->writePresetFile(file.u8string().c_str());
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.u8string().c_str());
    return ok;
  }

private:
  std::unique_ptr<Tavrinel> mpPlug;
  bool mFailed = false;
};

// Parameter indices of the edit buttons, in their table order.
constexpr int R_UP = kEditCmdFirst + 11;       // "R U": row shift up
constexpr int R_LEFT_PULSE = kEditCmdFirst + 18;  // "R Lp"
constexpr int R_REVERSE = kEditCmdFirst + 13;  // "R LR": reverse (chord)
constexpr int M_FLIP_TB = kEditCmdFirst + 5;   // "M TB"

void initPreset(PresetBuilder&) {}

// I-vi-IV-V twice over eight steps, a rising triad on every step.
void majorWalk(PresetBuilder& b)
{
  b.set("Tonic", 48).set("Interval", 1).set("Scale", 0).set("mode", 0).set("NumStep", 8);
  const int degrees[8] = {0, 5, 3, 4, 0, 5, 1, 4};
  for (int s = 0; s < 8; ++s) {
    b.set(kIval1 + s, degrees[s]);
    b.cell(s, 0, {T0, T1, T2, T1 | T2});
  }
}

// Dorian sixteenths in minor: row 0 plays, row 1 is row 0 a tone higher and
// takes over every other pass.
void dorianSixteenths(PresetBuilder& b)
{
  b.set("Tonic", 50).set("mode", 1).set("Scale", 1).set("Interval", 2);
  b.set("TimeUnits", 4).set("LengthUnits", 4).set("NumStep", 4).set("Vel", 96);
  const int degrees[4] = {0, 3, 4, 2};
  for (int s = 0; s < 4; ++s) {
    b.set(kIval1 + s, degrees[s]);
    b.cell(s, 0, {T0 | T2, T1, T3, T1}, true, 2);
  }
  b.gui().ApplyRowCommand(0, eRowCopy, 1);
  b.gui().ApplyRowCommand(1, eRowPaste, 1);
  b.selectRow(1).press(R_UP).press(R_LEFT_PULSE);
  for (int s = 0; s < 4; ++s) b.plug().mProgression.step(s).mMelodies[1].mRepeatCount = 1;
  b.gui().DeselectAll();
}

// Swung eighths with an accent groove and a little life in velocity and timing.
void swingEighths(PresetBuilder& b)
{
  b.set("Tonic", 55).set("Scale", 4).set("Interval", 4).set("Swing", 0.35);
  b.set("VelJitt", 0.2).set("Human", 0.1).set("SeqSteps", 8).set("NumStep", 6);
  b.groove({128, 70, 100, 60, 118, 64, 96, 84});
  for (int s = 0; s < 6; ++s) b.cell(s, 0, {T0 | T4, T2, T1, T3 | T1});
}

// Triplet eighths, three pulses a step; the groove's middle step is muted.
void tripletShuffle(PresetBuilder& b)
{
  b.set("Tonic", 45).set("Scale", 2).set("mode", 4).set("Interval", 0);
  b.set("TimeUnits", 14).set("LengthUnits", 15).set("NumPulse", 3).set("SeqSteps", 3).set("gmMute1", 1);
  b.groove({128, 100, 92});
  const int degrees[12] = {0, 0, 3, 0, 4, 3, 0, 4, 0, 3, 4, 4};
  for (int s = 0; s < 12; ++s) {
    b.set(kIval1 + s, degrees[s]);
    b.cell(s, 0, {T0 | T1, T2, T1 | T3});
  }
}

// A strike-modifier sequence over a pentatonic pattern, with some changes
// kept for good.
void strikeVariations(PresetBuilder& b)
{
  b.set("Tonic", 60).set("Scale", 6).set("Interval", 5).set("TimeUnits", 4).set("NumStep", 8);
  const int mods[8] = {0, 11, 5, 8, 11, 9, 11, 12};  // "^ 1", " -- ", "v 2", "Flip", " -- ", "Rand", " -- ", "Orig"
  for (int i = 0; i < 8; ++i) b.set(kStkMod1 + i, mods[i]);
  b.set(kStkModT1 + 2, 1).set(kStkModT1 + 5, 1);
  b.set("StkProb", 0.6).set("StkCount", 2).set("SMDir", 2).set("LifeProb", 0.1);
  for (int s = 0; s < 8; ++s) b.cell(s, 0, {T0, T2, T4, T2});
}

// Three rows taking turns while the melody sequencer reshapes them.
void melodyMorph(PresetBuilder& b)
{
  b.set("Tonic", 57).set("mode", 5).set("Scale", 7).set("Interval", 3).set("NumStep", 6);
  const int mods[8] = {0, 16, 5, 8, 16, 1, 17, 18};  // "L/R", " -- ", "> 1", "^ 1", " -- ", "T/B", "Rand", "Orig"
  for (int i = 0; i < 8; ++i) b.set(kMelMod1 + i, mods[i]);
  b.set("MelLen", 6).set("MelProb", 0.8).set(kMekModT1 + 6, 1);
  for (int s = 0; s < 6; ++s) {
    b.cell(s, 0, {T0, T1, T2, T3}, true, 2);
    b.cell(s, 1, {T4, T2, T0, 0}, true, 1);
    b.cell(s, 2, {T0 | T2, 0, T1 | T3, 0}, true, 1);
  }
  b.gui().DeselectAll();
  b.gui().SetCellSelected(2, 1, true);
  b.gui().SetCellSelected(4, 2, true);
  b.press(M_FLIP_TB);
  b.gui().DeselectAll();
}

// Random walks: the progression, both sequencers and the timing all wander.
void randomWalk(PresetBuilder& b)
{
  b.set("Tonic", 52).set("mode", 3).set("Scale", 5).set("Interval", 6);
  b.set("StepDir", 4).set("SMDir", 4).set("MelDir", 3).set("Human", 0.25).set("LenJitt", 0.5);
  b.set(kStkMod1 + 1, 9).set(kMelMod1 + 3, 17).set("MelCount", 4);
  b.gui().ApplyRowCommand(1, eRowEnable, 1);
  b.gui().ApplyRowCommand(1, eRowRandomPulse, 1);
  b.selectRow(1).press(R_REVERSE);
  b.gui().DeselectAll();
  b.groove({128, 90, 110, 75});
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_presets FOLDER\n");
    return 2;
  }
  const fs::path root = fs::u8path(argv[1]);
  const struct {
    const char* mFile;
    void (*mBuild)(PresetBuilder&);
  } presets[] = {
    {"Init.preset", initPreset},
    {"Basics/Major Walk.preset", majorWalk},
    {"Basics/Dorian Sixteenths.preset", dorianSixteenths},
    {"Grooves/Swing Eighths.preset", swingEighths},
    {"Grooves/Triplet Shuffle.preset", tripletShuffle},
    {"Modifiers/Strike Variations.preset", strikeVariations},
    {"Modifiers/Melody Morph.preset", melodyMorph},
    {"Modifiers/Random Walk.preset", randomWalk},
  };
  bool ok = true;
  for (const auto& p : presets) {
    PresetBuilder b;
    p.mBuild(b);
    ok = b.write(root / fs::u8path(p.mFile)) && ok;
  }
  return ok ? 0 : 1;
}
