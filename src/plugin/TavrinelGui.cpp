#include "TavrinelGui.h"

#include "Assert.h"
#include "Tavrinel.h"

#define GUI_FILE "src\\TavrinelGui"

const char* const rowCommandNames[NUM_ROW_COMMANDS] = {
  "Enable", "Disable", "Copy", "Paste", "Clear",
  "Reverse (chord)", "Reverse (pulse)", "Flip T/B",
  "Shift Left (pulse)", "Shift Right (pulse)", "Shift Up", "Shift Down",
  "Shift Left (chord)", "Shift Right (chord)", "Random (pulse)", "Scramble (chord)"};

namespace {

constexpr int ROW_PULSES = MAX_STEPS * MAX_PULSES_PER_MELODY;  // 48

// A change for whoever draws: bumps a counter the editor's controls compare
// with what they last took. Lock-free, any thread.
void Publish(std::atomic<uint32_t>& serial) { serial.fetch_add(1, std::memory_order_acq_rel); }

// The mirror is only defined for 5-bit masks.
bool CheckMirrorable(const Melody& m)
{
  bool ok = true;
  for (const PitchSet& p : m.mPulses) {
    const int mPlayingMask = p.mPlayingMask;
    ok = TAV_CHECK(mPlayingMask >= 0 && mPlayingMask < 32, GUI_FILE) && ok;
  }
  return ok;
}

// Receives another melody's movable content. The pulse count is a setting of
// the whole pattern ("NumPulse"), not of one cell: a clipboard filled under
// another pulse count must not leave one melody with a count of its own.
void PasteMovableContent(Melody& to, const Melody& from)
{
  const int32_t numPulses = to.numPulses;
  to.copyFrom(from);
  to.numPulses = numPulses;
}

void SwapMovableContent(Melody& a, Melody& b)
{
  Melody t;
  t.copyFrom(a);
  a.copyFrom(b);
  b.copyFrom(t);
}

// One melody command on a melody, without any redraw.
void ApplyMelodyCode(Melody& m, int code, bool permanent, Melody& clipboard)
{
  if (code < eMelodyCmdEnable) {
    // 0..18 are the melody modifiers; 19 and unknown codes below 20 only
    // take the temporary backup.
    if (code == eMelodyTB && !CheckMirrorable(m)) return;
    applyMelodyModifier(m, code, permanent);
    return;
  }
  switch (code) {
  case eMelodyCmdEnable:
    m.mEnabled = true;
    m.mTempBackupValid = false;
    break;
  case eMelodyCmdDisable:
    m.mEnabled = false;
    m.mTempBackupValid = false;
    break;
  case eMelodyCmdCopy:
    clipboard.copyFrom(m);
    break;
  case eMelodyCmdPaste:
    PasteMovableContent(m, clipboard);
    m.captureOriginal();
    m.mTempBackupValid = false;
    break;
  case eMelodyCmdClear:
    for (PitchSet& p : m.mPulses) {
      p.mBaseMask = 0;
      p.mPlayingMask = 0;
      p.mSavedMask = 0;
      p.mSavedValid = false;
    }
    m.captureOriginal();
    m.mTempBackupValid = false;
    break;
  default:
    break;
  }
}

} // namespace

// ---- MelodyCell ----

void MelodyCell::Init(StepColumn* pColumn, int stepIdx, int variationIdx, Melody* pMelody)
{
  TAV_ASSERT(stepIdx >= 0 && stepIdx < MAX_STEPS, GUI_FILE);
  TAV_ASSERT(variationIdx >= 0 && variationIdx < MAX_VARIATIONS_PER_CHORD, GUI_FILE);
  mpColumn = pColumn;
  mStepIdx = stepIdx;
  mVariationIdx = variationIdx;
  mpMelody = pMelody;
}

TavrinelGui& MelodyCell::Gui()
{
  return mpColumn->GetGui();
}

void MelodyCell::ApplyMelodyCommand(int code, bool permanent)
{
  ApplyMelodyCode(*mpMelody, code, permanent, Gui().GetMelodyClipboard());
  MarkDirty();
}

void MelodyCell::SelectMelody(bool controlKey)
{
  TavrinelGui& gui = Gui();
  if (controlKey) {
    gui.SetCellSelected(mStepIdx, mVariationIdx, !IsSelected());
    return;
  }
  gui.DeselectAll();
  gui.SetCellSelected(mStepIdx, mVariationIdx, true);
}

void MelodyCell::MarkDirty()
{
  Publish(mContentSerial);
  Publish(mMarkerSerial);
}

MelodyCellView MelodyCell::Snapshot() const
{
  MelodyCellView v;
  Tavrinel* pPlug = mpColumn->GetGui().GetPlug();
  if (pPlug) pPlug->GetMutex().lock();
  v.mNumPulses = mpMelody->numPulses;
  v.mRepeatCount = mpMelody->mRepeatCount;
  for (int k = 0; k < MAX_PULSES_PER_MELODY; ++k) v.mPlayingMask[k] = mpMelody->mPulses[k].mPlayingMask;
  v.mAudible = IsAudible();
  v.mActive = mpColumn->GetChordStep().mActive;
  if (pPlug) pPlug->GetMutex().unlock();
  v.mSelected = IsSelected();
  return v;
}

bool MelodyCell::IsAudible() const
{
  return mpMelody->mEnabled && (mpMelody->mSolo || !mpMelody->mMuted);
}

bool MelodyCell::IsLive() const
{
  return IsAudible() && mpColumn->GetChordStep().mActive;
}

void MelodyCell::SetControls(IControl* pCanvas, IControl* pEnable, IControl* pPlayMarker,
                             IControl* pCounter)
{
  mpCanvas = pCanvas;
  mpEnable = pEnable;
  mpPlayMarker = pPlayMarker;
  mpCounter = pCounter;
}

// ---- StepColumn ----

void StepColumn::Init(TavrinelGui* pGui, ChordStep* pChordStep, int stepIdx)
{
  mpGui = pGui;
  mpChordStep = pChordStep;
  for (int v = 0; v < MAX_VARIATIONS_PER_CHORD; ++v)
    mCells[v].Init(this, stepIdx, v, &pChordStep->mMelodies[v]);
}

MelodyCell& StepColumn::GetCell(int variationIdx)
{
  return mCells[TAV_CHECK(variationIdx >= 0 && variationIdx < MAX_VARIATIONS_PER_CHORD, GUI_FILE) ? variationIdx : 0];
}

// ---- TavrinelGui: construction and access ----

TavrinelGui::TavrinelGui(Tavrinel* pPlug, ChordProgression& progression, Melody& melodyClipboard)
  : mpPlug(pPlug), mProgression(progression), mMelodyClipboard(melodyClipboard)
{
  for (int s = 0; s < MAX_STEPS; ++s) mColumns[s].Init(this, &progression.mSteps[s], s);
}

MelodyCell* TavrinelGui::GetCell(int stepIdx, int variationIdx)
{
  if (!TAV_CHECK(stepIdx >= 0 && stepIdx < MAX_STEPS, GUI_FILE)) stepIdx = 0;
  if (!TAV_CHECK(variationIdx >= 0 && variationIdx < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) variationIdx = 0;
  return &mColumns[stepIdx].mCells[variationIdx];
}

StepColumn& TavrinelGui::GetColumn(int stepIdx)
{
  return mColumns[TAV_CHECK(stepIdx >= 0 && stepIdx < MAX_STEPS, GUI_FILE) ? stepIdx : 0];
}

Melody& TavrinelGui::RowMelody(int rowNumber, int stepIdx)
{
  return mProgression.mSteps[stepIdx].mMelodies[rowNumber];
}

// ---- commands ----

void TavrinelGui::ApplyToSelectedMelodies(int code)
{
  for (StepColumn& column : mColumns)
    for (MelodyCell& cell : column.mCells)
      if (cell.mSelected) cell.ApplyMelodyCommand(code, true);
}

void TavrinelGui::ApplyToSelectedRows(int code)
{
  for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r)
    if (IsRowFullySelected(r)) ApplyRowCommand(r, code, 1);
}

void TavrinelGui::ApplyRowCommand(int rowNumber, int code, int count)
{
  if (!TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) return;
  switch (code) {
  case eRowEnable:
  case eRowDisable:
    for (int k = 0; k < MAX_STEPS; ++k) {
      Melody& m = RowMelody(rowNumber, k);
      m.mEnabled = (code == eRowEnable);
      m.mTempBackupValid = false;
    }
    break;
  case eRowCopy:
    for (int k = 0; k < MAX_STEPS; ++k) mRowClipboard[k].copyFrom(RowMelody(rowNumber, k));
    mRowClipboardEmpty = false;
    break;
  case eRowPaste:
    if (mRowClipboardEmpty) break;
    for (int k = 0; k < MAX_STEPS; ++k) PasteMovableContent(RowMelody(rowNumber, k), mRowClipboard[k]);
    break;
  case eRowClear:
    for (int k = 0; k < MAX_STEPS; ++k)
      ApplyMelodyCode(RowMelody(rowNumber, k), eMelodyCmdClear, true, mMelodyClipboard);
    break;
  case eRowReverseChord:
  case eRowReversePulse:
    for (int k = 0; k < MAX_STEPS / 2; ++k)
      SwapMovableContent(RowMelody(rowNumber, k), RowMelody(rowNumber, MAX_STEPS - 1 - k));
    if (code == eRowReversePulse)
      for (int k = 0; k < MAX_STEPS; ++k)
        ApplyMelodyCode(RowMelody(rowNumber, k), eMelodyLR, true, mMelodyClipboard);
    break;
  case eRowFlipTB:
    for (int k = 0; k < MAX_STEPS; ++k)
      ApplyMelodyCode(RowMelody(rowNumber, k), eMelodyTB, true, mMelodyClipboard);
    break;
  case eRowShiftLeftPulse:
  case eRowShiftRightPulse:
    ShiftRowPulses(rowNumber, count, code == eRowShiftLeftPulse);
    break;
  case eRowShiftUp:
  case eRowShiftDown: {
    // Five rotations are the identity.
    const int n = count > 0 ? count % NUM_CHORD_TONES : 0;
    for (int k = 0; k < MAX_STEPS; ++k)
      for (PitchSet& p : RowMelody(rowNumber, k).mPulses)
        p.mPlayingMask = code == eRowShiftUp ? rotateUp(p.mPlayingMask, n) : rotateDown(p.mPlayingMask, n);
    break;
  }
  case eRowShiftLeftChord:
  case eRowShiftRightChord:
    ShiftRowChords(rowNumber, count, code == eRowShiftLeftChord);
    break;
  case eRowRandomPulse:
    for (int k = 0; k < MAX_STEPS; ++k)
      ApplyMelodyCode(RowMelody(rowNumber, k), eMelodyRand, true, mMelodyClipboard);
    break;
  case eRowScrambleChord:
    ScrambleRow(rowNumber);
    break;
  default:
    break;
  }
  for (StepColumn& column : mColumns)
    for (MelodyCell& cell : column.mCells) cell.MarkDirty();
}

// The row's 48 pulses in play order, rotated by one position `count` times:
// masks and saved state move, each pulse's generator stays.
void TavrinelGui::ShiftRowPulses(int rowNumber, int count, bool left)
{
  if (count <= 0) return;
  auto pulse = [&](int i) -> PitchSet& {
    return RowMelody(rowNumber, i / MAX_PULSES_PER_MELODY).mPulses[i % MAX_PULSES_PER_MELODY];
  };
  const int n = count % ROW_PULSES;
  for (int t = 0; t < n; ++t) {
    if (left) {
      const PitchSet first = pulse(0);
      for (int i = 0; i < ROW_PULSES - 1; ++i) pulse(i).takeMasksFrom(pulse(i + 1));
      pulse(ROW_PULSES - 1).takeMasksFrom(first);
    } else {
      const PitchSet last = pulse(ROW_PULSES - 1);
      for (int i = ROW_PULSES - 1; i > 0; --i) pulse(i).takeMasksFrom(pulse(i - 1));
      pulse(0).takeMasksFrom(last);
    }
  }
}

// The row's 12 melodies rotated by one step `count` times (movable content only).
void TavrinelGui::ShiftRowChords(int rowNumber, int count, bool left)
{
  if (count <= 0) return;
  const int n = count % MAX_STEPS;
  Melody t;
  for (int i = 0; i < n; ++i) {
    if (left) {
      t.copyFrom(RowMelody(rowNumber, 0));
      for (int k = 0; k < MAX_STEPS - 1; ++k) RowMelody(rowNumber, k).copyFrom(RowMelody(rowNumber, k + 1));
      RowMelody(rowNumber, MAX_STEPS - 1).copyFrom(t);
    } else {
      t.copyFrom(RowMelody(rowNumber, MAX_STEPS - 1));
      for (int k = MAX_STEPS - 1; k > 0; --k) RowMelody(rowNumber, k).copyFrom(RowMelody(rowNumber, k - 1));
      RowMelody(rowNumber, 0).copyFrom(t);
    }
  }
}

// A random permutation of the row's melodies from the editor's own generator:
// each source step i takes a random free slot, probing up or down from a
// taken one.
void TavrinelGui::ScrambleRow(int rowNumber)
{
  bool taken[MAX_STEPS] = {};
  int slot[MAX_STEPS] = {};
  for (int i = 0; i < MAX_STEPS; ++i) {
    const uint32_t first = mRandom.nextRaw();
    int d = static_cast<int>((first >> 14) % static_cast<uint32_t>(MAX_STEPS));
    const uint32_t second = mRandom.nextRaw();
    const uint32_t b = (second >> 11) & 1u;
    while (taken[d]) d = (b == 0) ? (d + 1) % MAX_STEPS : (d + MAX_STEPS - 1) % MAX_STEPS;
    taken[d] = true;
    slot[d] = i;
  }
  Melody copy[MAX_STEPS];
  for (int k = 0; k < MAX_STEPS; ++k) copy[k].copyFrom(RowMelody(rowNumber, k));
  for (int j = 0; j < MAX_STEPS; ++j) RowMelody(rowNumber, j).copyFrom(copy[slot[j]]);
}

// ---- selection ----

void TavrinelGui::SetCellSelected(int stepIdx, int variationIdx, bool on)
{
  MelodyCell& cell = *GetCell(stepIdx, variationIdx);
  cell.mSelected = on;
  cell.MarkDirty();
}

void TavrinelGui::SetRowSelected(int rowNumber, bool on)
{
  if (!TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) return;
  for (StepColumn& column : mColumns) {
    MelodyCell& cell = column.mCells[rowNumber];
    cell.mSelected = on;
    cell.MarkDirty();
  }
}

void TavrinelGui::DeselectAll()
{
  for (StepColumn& column : mColumns)
    for (MelodyCell& cell : column.mCells) {
      cell.mSelected = false;
      cell.MarkDirty();
    }
}

bool TavrinelGui::IsRowFullySelected(int rowNumber) const
{
  if (!TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) return false;
  for (const StepColumn& column : mColumns)
    if (!column.mCells[rowNumber].mSelected) return false;
  return true;
}

void TavrinelGui::SelectRow(int rowNumber, bool controlKey)
{
  if (controlKey) {
    SetRowSelected(rowNumber, !IsRowFullySelected(rowNumber));
    return;
  }
  DeselectAll();
  SetRowSelected(rowNumber, true);
}

// ---- row solo and mute ----

void TavrinelGui::MarkRowDirty(int rowNumber)
{
  for (StepColumn& column : mColumns) column.mCells[rowNumber].MarkDirty();
}

void TavrinelGui::SetRowMuted(int rowNumber, bool muted)
{
  for (int k = 0; k < MAX_STEPS; ++k) RowMelody(rowNumber, k).mMuted = muted;
  MarkRowDirty(rowNumber);
}

void TavrinelGui::SetRowSoloFlags(int rowNumber, bool solo)
{
  for (int k = 0; k < MAX_STEPS; ++k) RowMelody(rowNumber, k).mSolo = solo;
  MarkRowDirty(rowNumber);
}

void TavrinelGui::SetRowSolo(int rowNumber, bool on)
{
  if (!TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) return;
  int numSoloed = 0;
  for (const RowState& s : mRowState)
    if (s.mSoloed) ++numSoloed;

  if (on) {
    if (numSoloed == 0) {
      for (int q = 0; q < MAX_VARIATIONS_PER_CHORD; ++q) {
        if (q == rowNumber) continue;
        mRowState[q].mMutedBySolo = true;
        SetRowMuted(q, true);
      }
    }
    mRowState[rowNumber].mSoloed = true;
    SetRowSoloFlags(rowNumber, true);
  } else {
    if (numSoloed > 1) {
      mRowState[rowNumber].mMutedBySolo = true;
      SetRowMuted(rowNumber, true);
    } else {
      for (int q = 0; q < MAX_VARIATIONS_PER_CHORD; ++q) {
        if (q == rowNumber) continue;
        mRowState[q].mMutedBySolo = false;
        SetRowMuted(q, mRowState[q].mUserMuted);
      }
    }
    mRowState[rowNumber].mSoloed = false;
    SetRowSoloFlags(rowNumber, false);
  }
  RefreshRowSwitches();
}

void TavrinelGui::SetRowMute(int rowNumber, bool on)
{
  if (!TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) return;
  RowState& s = mRowState[rowNumber];
  if (on) {
    s.mUserMuted = true;
    SetRowMuted(rowNumber, true);
  } else {
    if (s.mMutedBySolo) {
      s.mMutedBySolo = false;
      s.mSoloed = true;
      SetRowSoloFlags(rowNumber, false);
    }
    s.mUserMuted = false;
    SetRowMuted(rowNumber, false);
  }
  RefreshRowSwitches();
}

void TavrinelGui::RefreshRowSwitches()
{
  for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
    const RowState& s = mRowState[r];
    mMuteSwitchValue[r] = (s.mUserMuted || s.mMutedBySolo) ? 1 : 0;
    mSoloSwitchValue[r] = s.mSoloed ? 1 : 0;
  }
  Publish(mSwitchSerial);
}

const RowState& TavrinelGui::GetRowState(int rowNumber) const
{
  return mRowState[TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE) ? rowNumber : 0];
}

int TavrinelGui::GetSoloSwitchValue(int rowNumber) const
{
  if (!TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) return 0;
  return mSoloSwitchValue[rowNumber];
}

int TavrinelGui::GetMuteSwitchValue(int rowNumber) const
{
  if (!TAV_CHECK(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE)) return 0;
  return mMuteSwitchValue[rowNumber];
}

// ---- editor feedback from the engine ----

void TavrinelGui::SetPulseMarker(int stepIdx, int variationIdx, int pulse)
{
  MelodyCell& cell = *GetCell(stepIdx, variationIdx);
  cell.mMarkedPulse.store((pulse >= 0 && pulse < MAX_PULSES_PER_MELODY) ? pulse : -1, std::memory_order_relaxed);
  Publish(cell.mMarkerSerial);
}

void TavrinelGui::MarkCellDirty(int stepIdx, int variationIdx)
{
  GetCell(stepIdx, variationIdx)->MarkDirty();
}

void TavrinelGui::MarkGrooveDirty() { Publish(mGrooveSerial); }

void TavrinelGui::SetSequencerMarker(int which, int stepIdx, bool on)
{
  if (which < 0 || which >= NUM_SEQUENCERS || stepIdx < 0 || stepIdx >= SEQUENCER_STEPS) return;
  if (mSequencerMarker[which][stepIdx].exchange(on, std::memory_order_relaxed) != on)
    Publish(mSequencerSerial[which]);
}

const std::atomic<bool>* TavrinelGui::SequencerMarkerFlag(int which, int stepIdx) const
{
  if (which < 0 || which >= NUM_SEQUENCERS || stepIdx < 0 || stepIdx >= SEQUENCER_STEPS) return nullptr;
  return &mSequencerMarker[which][stepIdx];
}

uint32_t TavrinelGui::SequencerSerial(int which) const
{
  if (which < 0 || which >= NUM_SEQUENCERS) return 0;
  return mSequencerSerial[which].load(std::memory_order_acquire);
}

bool TavrinelGui::GetSequencerMarker(int which, int stepIdx) const
{
  if (which < 0 || which >= NUM_SEQUENCERS || stepIdx < 0 || stepIdx >= SEQUENCER_STEPS) return false;
  return mSequencerMarker[which][stepIdx].load(std::memory_order_relaxed);
}

void TavrinelGui::MarkSequencerStepsDirty(int which)
{
  if (which >= 0 && which < NUM_SEQUENCERS) Publish(mSequencerSerial[which]);
}

void TavrinelGui::UpdateChordSpan(int firstStep, int numSteps)
{
  const int low = firstStep;
  const int high = firstStep + numSteps;
  if (0 <= low && low < high && high <= SPAN_MAXIMUM) {
    mSpan.store(low | (high << 8), std::memory_order_relaxed);
  }
  // Only shown: the progression already holds this span. The control takes
  // it without handing it back through its range hook.
  Publish(mSpanSerial);
}

void TavrinelGui::BeginSpanGesture()
{
  static const int spanParams[2] = {kStepOne, kNumStep};
  if (mpPlug) mpPlug->BeginEditsFromGUI(spanParams, 2);
}

void TavrinelGui::SetChordSpanFromEditor(int firstStep, int numSteps)
{
  if (!mpPlug) return;
  const int beginStep = firstStep;
  const int idx[2] = {kStepOne, kNumStep};
  double normalized[2] = {-1.0, -1.0};
  {
    IPlugBase::MutexLock lock(mpPlug->GetMutex());
    if (!TAV_CHECK(0 <= beginStep && beginStep < MAX_STEPS, "src\\Tavrinel") ||
        !TAV_CHECK(1 <= numSteps && numSteps <= MAX_STEPS, "src\\Tavrinel"))
      return;
    // The progression, the player's range and the two parameters, on the
    // plug-in's engine and (handed over) the audio thread's.
    mpPlug->NoteSpanMove();
    mpPlug->ApplyChordSpan(beginStep, numSteps);
    for (int i = 0; i < 2; ++i)
      if (const IPlugParam* pParam = mpPlug->GetParam(idx[i])) normalized[i] = pParam->ToNormalized();
    UpdateChordSpan(beginStep, numSteps);
    RefreshGrid();
  }
  // The host hears of both, with the mutex released.
  for (int i = 0; i < 2; ++i)
    if (normalized[i] >= 0.0) mpPlug->HostAutomate(idx[i], normalized[i]);
}

void TavrinelGui::RefreshFromPattern()
{
  RefreshGrid();
}

void TavrinelGui::RefreshGrid()
{
  for (StepColumn& column : mColumns)
    for (MelodyCell& cell : column.mCells) cell.MarkDirty();
  Publish(mRowsSerial);
  // What the attached row handles push when they redraw: their value 1. Set
  // here, where the plug-in mutex is held; the host never announced the index.
  bool handles = false;
  for (IControl* pRow : mpRowControl) handles = handles || pRow;
  if (handles && mpPlug) {
    if (IPlugParam* pParam = mpPlug->GetParam(ROW_CONTROL_PARAM)) {
      pParam->SetFromNormalized(1.0);
      mpPlug->OnParamChanged(ROW_CONTROL_PARAM);
    }
  }
}

// ---- control slots ----

void TavrinelGui::SetRowControls(int rowNumber, IControl* pRowControl, IControl* pSoloSwitch,
                                 IControl* pMuteSwitch)
{
  TAV_ASSERT(rowNumber >= 0 && rowNumber < MAX_VARIATIONS_PER_CHORD, GUI_FILE);
  mpRowControl[rowNumber] = pRowControl;
  mpSoloSwitch[rowNumber] = pSoloSwitch;
  mpMuteSwitch[rowNumber] = pMuteSwitch;
}

void TavrinelGui::SetGrooveControls(IControl* pCanvas, IControl* pStepMarker)
{
  mpGrooveCanvas = pCanvas;
  mpGrooveStepMarker = pStepMarker;
  Publish(mGrooveSerial);
}

void TavrinelGui::DetachControls()
{
  for (StepColumn& column : mColumns)
    for (MelodyCell& cell : column.mCells) cell.SetControls(nullptr, nullptr, nullptr, nullptr);
  for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) SetRowControls(r, nullptr, nullptr, nullptr);
  mpGrooveCanvas = nullptr;
  mpGrooveStepMarker = nullptr;
  mpChordSpan = nullptr;
}

void TavrinelGui::SetChordSpanControl(DoubleThumbFaderControl* pSpan)
{
  mpChordSpan = pSpan;
  Publish(mSpanSerial);
}
