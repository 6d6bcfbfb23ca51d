// The parameter table: descriptor records in five tables (int, bool, enum,
// double, command), their handlers, and the parameter objects they define.
// Each handler receives its own descriptor and finds its element (step,
// sequencer step, row) from the descriptor's parameter index.
//
// Handlers run on the engine they are given: the plug-in's own (inside
// OnParamChanged, plug-in mutex held) or the audio thread's (no lock).

#include "Tavrinel.h"

#include "Assert.h"
#include "TavrinelGui.h"

#include <charconv>

#define TAVRINEL_FILE "src\\Tavrinel"
#define NUM_ENTRIES(a) (static_cast<int>(sizeof(a) / sizeof((a)[0])))

const double beatDivisionParamsTable[NUM_BEAT_DIVISIONS] = {
  4.0, 2.0, 1.0, 0.5, 0.25, 0.125,                               // plain
  2.0 * 1.5, 1.0 * 1.5, 0.5 * 1.5, 0.25 * 1.5, 0.125 * 1.5,      // dotted
  4.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0, 0.5 / 3.0, 0.25 / 3.0, 0.125 / 3.0  // triplets: a third of the plain value
};

const char* const beatDivisionNames[NUM_BEAT_DIVISIONS] = {
  "1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/2d", "1/4d", "1/8d", "1/16d", "1/32d",
  "1/1t", "1/2t", "1/4t", "1/8t", "1/16t", "1/32t"};

namespace {

// Note names with the octave, note 0 being "C0".
#define TAV_OCTAVE(n) \
  "C" #n, "C#" #n, "D" #n, "D#" #n, "E" #n, "F" #n, "F#" #n, "G" #n, "G#" #n, "A" #n, "A#" #n, "B" #n
const char* const tonicNames[128] = {
  TAV_OCTAVE(0), TAV_OCTAVE(1), TAV_OCTAVE(2), TAV_OCTAVE(3), TAV_OCTAVE(4), TAV_OCTAVE(5), TAV_OCTAVE(6),
  TAV_OCTAVE(7), TAV_OCTAVE(8), TAV_OCTAVE(9), "C10", "C#10", "D10", "D#10", "E10", "F10", "F#10", "G10"};
#undef TAV_OCTAVE

const char* const chordDegreeNames[7] = {"1", "2", "3", "4", "5", "6", "7"};

// ---- definition records, one kind per table ----

struct IntParamDef {
  ParamChangeDesc mDesc;
  int32_t mDefault, mMin, mMax;
};
struct BoolParamDef {
  ParamChangeDesc mDesc;
  uint8_t mDefault;
};
struct EnumParamDef {
  ParamChangeDesc mDesc;
  int32_t mDefault, mCount;
  const char* const* mTexts;
};
struct DoubleParamDef {
  ParamChangeDesc mDesc;
  double mDefault, mMin, mMax, mStep;
};
struct CommandParamDef {
  ParamChangeDesc mDesc;
};

// Plain value to an integer, truncating toward zero.
int ToInt(double v) { return static_cast<int>(v); }

int BeatDivisionIdx(double v)
{
  const int idx = ToInt(v);
  if (TAV_CHECK(idx >= 0 && idx < NUM_ENTRIES(beatDivisionParamsTable), TAVRINEL_FILE)) return idx;
  return idx < 0 ? 0 : NUM_ENTRIES(beatDivisionParamsTable) - 1;
}

// ---- handlers ----

void OnNothing(TavrinelEngine&, const ParamChangeDesc&, double) {}

void OnTimeUnits(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  p.mClock.SetTimeUnit(beatDivisionParamsTable[BeatDivisionIdx(v)]);
}

// A note value: the length in samples follows the clock from here on (the
// block processing recomputes it whenever the samples per beat change).
void OnLengthUnits(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  p.mNoteLengthBeats = beatDivisionParamsTable[BeatDivisionIdx(v)];
  p.mNoteLength = TruncateSamples(p.mNoteLengthBeats * p.mClock.mSamplesPerBeat);
}

void OnSlow(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mSlow = v; }
void OnSwing(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mClock.SetSwing(v); }

void OnChan(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  const int ch = ToInt(v) - 1;
  for (int32_t& slot : p.mChannelSlot) slot = ch;
}

void OnVel(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mVelocity = ToInt(v); }
void OnVelJitt(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mVelJitter = v; }
void OnLenJitt(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mLenJitter = v; }
void OnHuman(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mClock.mHumanise = v; }
void OnTonic(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mTonic = ToInt(v); }

void UpdateChordSpan(TavrinelEngine& p)
{
  TavrinelGui* pGui = p.GetGui();
  pGui->UpdateChordSpan(p.mProgression.beginStepIdx, p.mProgression.numSteps);
  pGui->RefreshGrid();
}

void OnNumStep(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  p.mProgression.setNumSteps(ToInt(v));
  p.mPlayer.updateRange();
  UpdateChordSpan(p);
}

void OnStepOne(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  p.mProgression.setBeginStepIdx(ToInt(v) - 1);
  p.mPlayer.updateRange();
  UpdateChordSpan(p);
}

void OnNumPulse(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  p.mNumPulses = ToInt(v);
  p.mPlayer.setNumPulses(p.mNumPulses);
  p.GetGui()->RefreshGrid();
}

void OnIval(TavrinelEngine& p, const ParamChangeDesc& d, double v)
{
  p.mProgression.step(d.mParamIdx - kIval1).mChordDegree = ToInt(v);
}

void OnSeqSteps(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  if (p.mGroove.setNumStepsActive(ToInt(v))) p.GetGui()->MarkGrooveDirty();
}

void OnSeqEnab(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mGroove.mEnabled = (v >= 0.5); }
void OnMode(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mMode = ToInt(v); }
void OnLifeProb(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mPermanenceThreshold = 1.0 - v; }
void OnStepDir(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mPlayer.setDirection(ToInt(v)); }
void OnInterval(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mScale.mShapeIdx = ToInt(v); }
void OnScale(TavrinelEngine& p, const ParamChangeDesc&, double v) { p.mScale.mScaleIdx = ToInt(v); }

// ---- the two modifier sequencers ----
// One handler family for both, keyed by the sequencer's number.

template <int SEQ>
auto& Sequencer(TavrinelEngine& p)
{
  static_assert(SEQ == SEQ_STRIKE || SEQ == SEQ_MELODY, "modifier sequencer");
  if constexpr (SEQ == SEQ_STRIKE)
    return p.mStrikeSequencer;
  else
    return p.mMelodySequencer;
}

// First step value and step lifetime parameter of each sequencer.
constexpr int firstStepValueParam[2] = {kStkMod1, kMelMod1};
constexpr int firstStepLifetimeParam[2] = {kStkModT1, kMekModT1};

template <int SEQ>
void OnModStep(TavrinelEngine& p, const ParamChangeDesc& d, double v)
{
  Sequencer<SEQ>(p).setStepValue(d.mParamIdx - firstStepValueParam[SEQ], ToInt(v));
  p.GetGui()->MarkSequencerStepsDirty(SEQ);
}
template <int SEQ>
void OnModLifetime(TavrinelEngine& p, const ParamChangeDesc& d, double v)
{
  Sequencer<SEQ>(p).setStepLifetime(d.mParamIdx - firstStepLifetimeParam[SEQ], ToInt(v));
  p.GetGui()->MarkSequencerStepsDirty(SEQ);
}

template <int SEQ>
void OnModRun(TavrinelEngine& p, const ParamChangeDesc&, double v) { Sequencer<SEQ>(p).mRunning = (v > 0.5); }
template <int SEQ>
void OnModDir(TavrinelEngine& p, const ParamChangeDesc&, double v) { Sequencer<SEQ>(p).setDirection(ToInt(v)); }
template <int SEQ>
void OnModCount(TavrinelEngine& p, const ParamChangeDesc&, double v) { Sequencer<SEQ>(p).setDivider(ToInt(v)); }
template <int SEQ>
void OnModProb(TavrinelEngine& p, const ParamChangeDesc&, double v) { Sequencer<SEQ>(p).setProbability(v); }

// Resets fire on every change, whatever the value.
template <int SEQ>
void OnModReset(TavrinelEngine& p, const ParamChangeDesc&, double)
{
  Sequencer<SEQ>(p).reset();
  p.ShowSequencerCursor(SEQ);
}

// Window start and length; values outside 1..8 leave the window as it is.
template <int SEQ>
void OnModBegin(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  Sequencer<SEQ>(p).setStart(ToInt(v));
  p.ShowSequencerCursor(SEQ);
}
template <int SEQ>
void OnModLen(TavrinelEngine& p, const ParamChangeDesc&, double v)
{
  Sequencer<SEQ>(p).setLength(ToInt(v));
  p.ShowSequencerCursor(SEQ);
}

// ---- edit commands and rows ----

// Command code of each edit parameter "M L" .. "R LRp"; the first nine act on
// the selected melodies, the rest on the selected rows.
constexpr int NUM_MELODY_EDIT_CMDS = 9;
constexpr int editCommandCodes[kEditCmdLast - kEditCmdFirst + 1] = {
  eMelodyLeft1, eMelodyRight1, eMelodyUp1, eMelodyDown1, eMelodyLR, eMelodyTB,
  eMelodyCmdClear, eMelodyCmdEnable, eMelodyCmdDisable,
  eRowShiftLeftChord, eRowShiftRightChord, eRowShiftUp, eRowShiftDown, eRowReverseChord, eRowFlipTB,
  eRowClear, eRowEnable, eRowDisable, eRowShiftLeftPulse, eRowShiftRightPulse, eRowReversePulse};

// Fires only above 0.5 (a button going back to 0 does nothing), and only for a
// press in the editor: these edit the selection the user sees, so a restored
// state or program, the host's open pass or a host value must never replay one.
// The host cannot show them anyway (they lie past the announced parameters).
// The edit buttons' names for the undo history: their menu commands'.
const char* const melodyEditNames[NUM_MELODY_EDIT_CMDS] = {
  "Shift Left", "Shift Right", "Shift Up", "Shift Down", "Flip L/R", "Flip T/B", "Clear", "Enable", "Disable"};

void OnEditCommand(TavrinelEngine& p, const ParamChangeDesc& d, double v)
{
  if (!(v > 0.5) || !p.HandlerFromEditor(d.mParamIdx)) return;
  const int i = d.mParamIdx - kEditCmdFirst;
  if (Tavrinel* pPlug = p.GetGui()->GetPlug())
    pPlug->NameEdit(i < NUM_MELODY_EDIT_CMDS ? std::string(melodyEditNames[i]) + " selected melodies"
                                             : std::string(rowCommandNames[editCommandCodes[i]]) + " selected rows");
  if (i < NUM_MELODY_EDIT_CMDS)
    p.GetGui()->ApplyToSelectedMelodies(editCommandCodes[i]);
  else
    p.GetGui()->ApplyToSelectedRows(editCommandCodes[i]);
}

void OnRowSolo(TavrinelEngine& p, const ParamChangeDesc& d, double v)
{
  p.GetGui()->SetRowSolo(d.mParamIdx - kRowSolo1, v > 0.5);
}
void OnRowMute(TavrinelEngine& p, const ParamChangeDesc& d, double v)
{
  p.GetGui()->SetRowMute(d.mParamIdx - kRowMute1, v > 0.5);
}

// ---- the five tables ----

#define DESC(name, idx, handler) {name, "", idx, handler}

const IntParamDef intParams[] = {
  {DESC("Chan", kChan, OnChan), 1, 1, 16},
  {DESC("Vel", kVel, OnVel), 100, 0, 127},
  {DESC("NumStep", kNumStep, OnNumStep), 12, 1, 12},
  {DESC("NumPulse", kNumPulse, OnNumPulse), 4, 2, 4},
  {DESC("SeqSteps", kSeqSteps, OnSeqSteps), 48, 1, 48},
  {DESC("StepOne", kStepOne, OnStepOne), 1, 1, 12},
  {DESC("StkCount", kStkCount, OnModCount<SEQ_STRIKE>), 1, 1, 64},
  {DESC("StkBegin", kStkBegin, OnModBegin<SEQ_STRIKE>), 1, 1, 8},
  {DESC("StkLen", kStkLen, OnModLen<SEQ_STRIKE>), 8, 1, 8},
  {DESC("MelCount", kMelCount, OnModCount<SEQ_MELODY>), 1, 1, 64},
  {DESC("MelBegin", kMelBegin, OnModBegin<SEQ_MELODY>), 1, 1, 8},
  {DESC("MelLen", kMelLen, OnModLen<SEQ_MELODY>), 8, 1, 8},
};

const BoolParamDef boolParams[] = {
  {DESC("SeqEnab", kSeqEnab, OnSeqEnab), 1},
  {DESC("StkRun", kStkRun, OnModRun<SEQ_STRIKE>), 1},
  {DESC("MelRun", kMelRun, OnModRun<SEQ_MELODY>), 1},
  {DESC("RowSolo1", kRowSolo1 + 0, OnRowSolo), 0},
  {DESC("RowSolo2", kRowSolo1 + 1, OnRowSolo), 0},
  {DESC("RowSolo3", kRowSolo1 + 2, OnRowSolo), 0},
  {DESC("RowSolo4", kRowSolo1 + 3, OnRowSolo), 0},
  {DESC("RowMute1", kRowMute1 + 0, OnRowMute), 0},
  {DESC("RowMute2", kRowMute1 + 1, OnRowMute), 0},
  {DESC("RowMute3", kRowMute1 + 2, OnRowMute), 0},
  {DESC("RowMute4", kRowMute1 + 3, OnRowMute), 0},
};

#define IVAL(n, def) {DESC("ival" #n, kIval1 + (n) - 1, OnIval), def, 7, chordDegreeNames}
#define STKMOD(n) {DESC("stkMod" #n, kStkMod1 + (n) - 1, OnModStep<SEQ_STRIKE>), \
  eStrikeNone, NUM_STRIKE_MODIFIERS, strikeModifierNames}
#define STKMODT(n) {DESC("stkModT" #n, kStkModT1 + (n) - 1, OnModLifetime<SEQ_STRIKE>), \
  eLifetimeTemp, NUM_LIFETIMES, lifetimeNames}
#define MELMOD(n) {DESC("melMod" #n, kMelMod1 + (n) - 1, OnModStep<SEQ_MELODY>), \
  eMelodyNone, NUM_MELODY_MODIFIERS, melodyModifierNames}
#define MEKMODT(n) {DESC("MekModT" #n, kMekModT1 + (n) - 1, OnModLifetime<SEQ_MELODY>), \
  eLifetimeTemp, NUM_LIFETIMES, lifetimeNames}

const EnumParamDef enumParams[] = {
  {DESC("TimeUnits", kTimeUnits, OnTimeUnits), 3, NUM_BEAT_DIVISIONS, beatDivisionNames},
  {DESC("LengthUnits", kLengthUnits, OnLengthUnits), 3, NUM_BEAT_DIVISIONS, beatDivisionNames},
  {DESC("Tonic", kTonic, OnTonic), 60, 128, tonicNames},
  IVAL(1, 0), IVAL(2, 2), IVAL(3, 4), IVAL(4, 0), IVAL(5, 2), IVAL(6, 5),
  IVAL(7, 0), IVAL(8, 3), IVAL(9, 5), IVAL(10, 1), IVAL(11, 3), IVAL(12, 5),
  {DESC("mode", kMode, OnMode), 0, NUM_MODES, modeNames},
  {DESC("StepDir", kStepDir, OnStepDir), eDirFwd, NUM_DIRECTIONS, directionNames},
  STKMOD(1), STKMOD(2), STKMOD(3), STKMOD(4), STKMOD(5), STKMOD(6), STKMOD(7), STKMOD(8),
  STKMODT(1), STKMODT(2), STKMODT(3), STKMODT(4), STKMODT(5), STKMODT(6), STKMODT(7), STKMODT(8),
  {DESC("SMDir", kSMDir, OnModDir<SEQ_STRIKE>), eDirFwd, NUM_DIRECTIONS, directionNames},
  MELMOD(1), MELMOD(2), MELMOD(3), MELMOD(4), MELMOD(5), MELMOD(6), MELMOD(7), MELMOD(8),
  MEKMODT(1), MEKMODT(2), MEKMODT(3), MEKMODT(4), MEKMODT(5), MEKMODT(6), MEKMODT(7), MEKMODT(8),
  {DESC("MelDir", kMelDir, OnModDir<SEQ_MELODY>), eDirFwd, NUM_DIRECTIONS, directionNames},
  {DESC("Interval", kInterval, OnInterval), 0, NUM_CHORD_SHAPES, chordShapeNames},
  {DESC("Scale", kScale, OnScale), 0, NUM_SCALES, scaleNames},
};

#undef IVAL
#undef STKMOD
#undef STKMODT
#undef MELMOD
#undef MEKMODT

const DoubleParamDef doubleParams[] = {
  {DESC("Slow", kSlow, OnSlow), 1.0, 0.1, 4.0, 0.01},
  {DESC("Swing", kSwing, OnSwing), 0.0, 0.0, 1.0, 0.01},
  {DESC("VelJitt", kVelJitt, OnVelJitt), 0.0, 0.0, 1.0, 0.01},
  {DESC("LenJitt", kLenJitt, OnLenJitt), 0.0, 0.0, 1.0, 0.01},
  {DESC("Human", kHuman, OnHuman), 0.0, 0.0, 1.0, 0.01},
  {DESC("LifeProb", kLifeProb, OnLifeProb), 0.0, 0.0, 1.0, 0.01},
  {DESC("StkProb", kStkProb, OnModProb<SEQ_STRIKE>), 1.0, 0.0, 1.0, 0.01},
  {DESC("MelProb", kMelProb, OnModProb<SEQ_MELODY>), 1.0, 0.0, 1.0, 0.01},
};

#define EDIT(name, n) {DESC(name, kEditCmdFirst + (n), OnEditCommand)}

const CommandParamDef commandParams[] = {
  {DESC("", kUnnamedCommand, OnNothing)},
  {DESC("StkRst", kStkRst, OnModReset<SEQ_STRIKE>)},
  {DESC("MelRst", kMelRst, OnModReset<SEQ_MELODY>)},
  EDIT("M L", 0), EDIT("M R", 1), EDIT("M U", 2), EDIT("M D", 3), EDIT("M LR", 4), EDIT("M TB", 5),
  EDIT("M C", 6), EDIT("M E", 7), EDIT("M D", 8),
  EDIT("R L", 9), EDIT("R R", 10), EDIT("R U", 11), EDIT("R D", 12), EDIT("R LR", 13), EDIT("R TB", 14),
  EDIT("R C", 15), EDIT("R E", 16), EDIT("R D", 17), EDIT("R Lp", 18), EDIT("R Rp", 19), EDIT("R LRp", 20),
  {DESC("RowSel1", kRowSel1 + 0, OnNothing)},
  {DESC("RowSel2", kRowSel1 + 1, OnNothing)},
  {DESC("RowSel3", kRowSel1 + 2, OnNothing)},
  {DESC("RowSel4", kRowSel1 + 3, OnNothing)},
};

#undef EDIT
#undef DESC

static_assert(NUM_ENTRIES(intParams) == 12, "int descriptors");
static_assert(NUM_ENTRIES(boolParams) == 11, "bool descriptors");
static_assert(NUM_ENTRIES(enumParams) == 53, "enum descriptors");
static_assert(NUM_ENTRIES(doubleParams) == 8, "double descriptors");
static_assert(NUM_ENTRIES(commandParams) == 28, "command descriptors");
static_assert(NUM_ENTRIES(editCommandCodes) == 21, "edit commands");

// The definitions of every parameter, built once per process and shared by
// every instance (thread-safe static initialisation).
const std::vector<IPlugParamDef>& ParamDefinitions()
{
  static const std::vector<IPlugParamDef> sDefs = [] {
    std::vector<IPlugParamDef> defs(kNumParams);
    for (const IntParamDef& def : intParams)
      defs[def.mDesc.mParamIdx].DefineInt(def.mDesc.mName, def.mDefault, def.mMin, def.mMax, def.mDesc.mLabel);
    for (const BoolParamDef& def : boolParams)
      defs[def.mDesc.mParamIdx].DefineBool(def.mDesc.mName, def.mDefault != 0, def.mDesc.mLabel);
    for (const EnumParamDef& def : enumParams) {
      IPlugParamDef& d = defs[def.mDesc.mParamIdx];
      d.DefineEnum(def.mDesc.mName, def.mDefault, def.mCount);
      for (int i = 0; i < def.mCount; ++i) d.AddDisplayText(i, def.mTexts[i]);
    }
    for (const DoubleParamDef& def : doubleParams)
      defs[def.mDesc.mParamIdx].DefineDouble(def.mDesc.mName, def.mDefault, def.mMin, def.mMax, def.mStep,
                                             def.mDesc.mLabel);
    for (const CommandParamDef& def : commandParams)
      defs[def.mDesc.mParamIdx].DefineDouble(def.mDesc.mName, 0.0, 0.0, 1.0, 1.0, def.mDesc.mLabel);
    // The groove's lock and mute flags have no descriptor: OnParamChanged
    // routes them by index range.
    char lock[16] = "gmLock", mute[16] = "gmMute";  // and the step number
    for (int k = 0; k < GROOVE_STEPS; ++k) {
      *std::to_chars(lock + 6, lock + sizeof(lock) - 1, k).ptr = '\0';
      *std::to_chars(mute + 6, mute + sizeof(mute) - 1, k).ptr = '\0';
      defs[kGrooveLock0 + k].DefineInt(lock, 0, 0, 1, "");
      defs[kGrooveMute0 + k].DefineInt(mute, 0, 0, 1, "");
    }
    return defs;
  }();
  return sDefs;
}

} // namespace

void Tavrinel::DefineParameters()
{
  // The base made the host parameters; the rest are internal.
  while (NParams() < kNumParams) AppendParam();
  const std::vector<IPlugParamDef>& defs = ParamDefinitions();
  for (int i = 0; i < kNumParams; ++i) GetParam(i)->Share(defs[static_cast<std::size_t>(i)]);

  for (const IntParamDef& def : intParams) RegisterParamDesc(&def.mDesc);
  for (const BoolParamDef& def : boolParams) RegisterParamDesc(&def.mDesc);
  for (const EnumParamDef& def : enumParams) RegisterParamDesc(&def.mDesc);
  for (const DoubleParamDef& def : doubleParams) RegisterParamDesc(&def.mDesc);
  for (const CommandParamDef& def : commandParams) RegisterParamDesc(&def.mDesc);
}
