#include "TavrinelGuiControls.h"

#include "IGraphics.h"
#include "IPlugBase.h"
#include "IPopupMenu.h"
#include "Tavrinel.h"
#include "TavrinelGui.h"

#include <cstdio>
#include <string>

namespace GridColors {
const IColor kGrey(255, 127, 127, 127);
const IColor kWhite(255, 255, 255, 255);
const IColor kBlack(255, 0, 0, 0);
const IColor kOrange(255, 255, 127, 0);
const IColor kYellow(255, 255, 255, 0);
const IColor kDarkYellow(255, 145, 145, 0);
const IColor kGreen(255, 0, 255, 0);
const IColor kDarkGreen(255, 0, 145, 0);
const IColor kRed(255, 255, 0, 0);
const IColor kDarkRed(255, 145, 0, 0);
const IColor kSelection(75, 127, 127, 127);
const IColor kGrooveBar(255, 235, 101, 20);
const IColor kGrooveBeyond(255, 200, 12, 12);
const IColor kSpanBar(255, 0, 64, 96);
} // namespace GridColors

using namespace GridColors;

namespace {

// Pulse columns for 2, 3 and 4 pulses: first and last x offset.
const int kColumns[3][4][2] = {
  {{1, 19}, {21, 39}, {0, 0}, {0, 0}},
  {{1, 12}, {14, 26}, {28, 39}, {0, 0}},
  {{1, 9}, {11, 19}, {21, 29}, {31, 39}},
};
// Note rows 0..4 (bit 0 at the bottom): first and last y offset.
const int kRows[5][2] = {{33, 40}, {25, 32}, {17, 24}, {9, 16}, {1, 8}};
const int kHorizontalLines[4] = {32, 24, 16, 8};

// A change counter moved on since the control last took it.
bool TakeChange(uint32_t now, uint32_t& seen)
{
  if (now == seen) return false;
  seen = now;
  return true;
}

// The plug-in mutex around a pattern edit; nothing without a plug-in.
class PatternLock {
public:
  explicit PatternLock(IPlugBase* pPlug) : mpPlug(pPlug)
  {
    if (mpPlug) mpPlug->GetMutex().lock();
  }
  ~PatternLock()
  {
    if (mpPlug) mpPlug->GetMutex().unlock();
  }
  PatternLock(const PatternLock&) = delete;
  PatternLock& operator=(const PatternLock&) = delete;

private:
  IPlugBase* mpPlug;
};

// An inclusive x and y range as a rectangle (right and bottom exclusive).
IRECT InclusiveRect(int x0, int y0, int x1, int y1) { return IRECT(x0, y0, x1 + 1, y1 + 1); }

IPopupMenu* MakeSubmenu(const char* prefix, int code, int n, bool rowTags, int columnEvery)
{
  IPopupMenu* pSub = new IPopupMenu();
  for (int i = 1; i <= n; ++i) {
    char text[16];
    std::snprintf(text, sizeof(text), "%s %d", prefix, i);
    int flags = IPopupMenu::Item::kNoFlags;
    if (columnEvery > 0 && i > 1 && (i - 1) % columnEvery == 0) flags |= IPopupMenu::Item::kBreak;
    IPopupMenu::Item* pItem = pSub->AddItem(text, -1, flags);
    pItem->SetTag(rowTags ? MelodyRowControl::RowMenuTag(code, i) : code + i - 1);
  }
  return pSub;
}

void AddTagged(IPopupMenu& menu, const char* text, int tag) { menu.AddItem(text)->SetTag(tag); }

// The tag of the item chosen at depth-first position index, or -1.
int ChosenTag(IPopupMenu* pMenu, int index)
{
  if (!pMenu) return -1;
  const IPopupMenu::Item* pItem = pMenu->GetItem(index);
  if (!pItem || pItem->GetIsSeparator()) return -1;
  return pItem->GetTag();
}

// The undo and redo entries at the top of the grid's menus.
constexpr int UNDO_TAG = -10, REDO_TAG = -11;

void AddUndoItems(IPopupMenu& menu)
{
  AddTagged(menu, "Undo", UNDO_TAG);
  AddTagged(menu, "Redo", REDO_TAG);
  menu.AddSeparator();
}

// Each names the step it would take, greyed out when there is none.
void ShowUndoItems(IPopupMenu& menu, const Tavrinel* pPlug)
{
  const struct {
    int mTag;
    const char* mVerb;
    std::string mStep;
  } items[2] = {{UNDO_TAG, "Undo", pPlug ? pPlug->UndoName() : ""}, {REDO_TAG, "Redo", pPlug ? pPlug->RedoName() : ""}};
  for (const auto& item : items) {
    if (IPopupMenu::Item* pItem = menu.GetItemWithTag(item.mTag))
      pItem->SetText(item.mStep.empty() ? item.mVerb : (std::string(item.mVerb) + " " + item.mStep).c_str());
    menu.SetItemEnabled(item.mTag, !item.mStep.empty());
  }
}

// Runs an undo or redo chosen from a menu (plug-in mutex free); false for
// any other item.
bool TakeUndoChoice(int tag, Tavrinel* pPlug)
{
  if (tag != UNDO_TAG && tag != REDO_TAG) return false;
  if (pPlug && tag == UNDO_TAG) pPlug->Undo();
  if (pPlug && tag == REDO_TAG) pPlug->Redo();
  return true;
}

// The chosen item's text; an item of a sub-menu is named by the sub-menu and
// its number there ("Shift Up 2").
std::string ChoiceText(const IPopupMenu& menu, int index)
{
  int first = 0;
  for (int i = 0; i < menu.NItems(); ++i) {
    const IPopupMenu::Item* pItem = menu.GetItemAtLevel(i);
    const int n = pItem->Count();
    if (index < first + n) {
      if (!pItem->GetSubmenu()) return pItem->GetText();
      return std::string(pItem->GetText()) + " " + std::to_string(index - first + 1);
    }
    first += n;
  }
  return std::string();
}

// Where a cell's edit happened, for the step's name.
std::string CellPlace(const MelodyCell& cell)
{
  return " at chord " + std::to_string(cell.GetStepIdx() + 1) + ", row " + std::to_string(cell.GetVariationIdx() + 1);
}

Tavrinel* PlugOf(MelodyCell& cell) { return cell.GetColumn().GetGui().GetPlug(); }

const char* const kCountTexts[64] = {
  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13", "14", "15", "16",
  "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31", "32",
  "33", "34", "35", "36", "37", "38", "39", "40", "41", "42", "43", "44", "45", "46", "47", "48",
  "49", "50", "51", "52", "53", "54", "55", "56", "57", "58", "59", "60", "61", "62", "63", "64"};

} // namespace

// ---- PulseLayout ----

int PulseLayout::Clamp(int numPulses)
{
  if (numPulses < 2) return 2;
  if (numPulses > 4) return 4;
  return numPulses;
}

void PulseLayout::Column(int numPulses, int k, int& x0, int& x1)
{
  const int p = Clamp(numPulses);
  x0 = kColumns[p - 2][k][0];
  x1 = kColumns[p - 2][k][1];
}

void PulseLayout::Row(int j, int& y0, int& y1)
{
  y0 = kRows[j][0];
  y1 = kRows[j][1];
}

int PulseLayout::Separators(int numPulses, int xs[3])
{
  switch (Clamp(numPulses)) {
  case 2:
    xs[0] = 20;
    return 1;
  case 3:
    xs[0] = 13;
    xs[1] = 27;
    return 2;
  default:
    xs[0] = 10;
    xs[1] = 20;
    xs[2] = 30;
    return 3;
  }
}

// ---- MelodyCanvas ----

MelodyCanvas::MelodyCanvas(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell, int paramIdx)
  : IControl(pPlug, rect, paramIdx), mpCell(pCell)
{
  Layout(2);
}

MelodyCanvas::~MelodyCanvas() = default;

void MelodyCanvas::Layout(int numPulses)
{
  mLayoutPulses = numPulses;
  const int p = PulseLayout::Clamp(numPulses);
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < PulseLayout::NUM_ROWS; ++j) {
      if (k >= p) {
        mNoteRects[k][j] = IRECT();
        continue;
      }
      int x0, x1, y0, y1;
      PulseLayout::Column(p, k, x0, x1);
      PulseLayout::Row(j, y0, y1);
      mNoteRects[k][j] = InclusiveRect(mRECT.L + x0, mRECT.T + y0, mRECT.L + x1, mRECT.T + y1);
    }
}

bool MelodyCanvas::IsDirty()
{
  if (mpCell->GetCanvas() == this && TakeChange(mpCell->ContentSerial(), mSeen)) SetDirty(false);
  return IControl::IsDirty();
}

bool MelodyCanvas::Draw(IGraphics* pGraphics)
{
  const MelodyCellView m = mpCell->Snapshot();
  const int numPulses = m.mNumPulses;
  if (numPulses != mLayoutPulses) Layout(numPulses);
  const int p = PulseLayout::Clamp(numPulses);
  const bool live = m.mAudible && m.mActive;
  const IColor& line = live ? kOrange : kGrey;

  pGraphics->DrawRect(line, mRECT);
  if (m.mSelected) pGraphics->FillIRect(kSelection, mRECT);
  for (int y : kHorizontalLines) pGraphics->DrawHorizontalLine(line, mRECT.T + y, mRECT.L, mRECT.R);
  int xs[3];
  const int nSeparators = PulseLayout::Separators(p, xs);
  for (int i = 0; i < nSeparators; ++i) pGraphics->DrawVerticalLine(line, mRECT.L + xs[i], mRECT.T, mRECT.B);

  const IColor& note = live ? kYellow : kDarkYellow;
  for (int k = 0; k < p; ++k) {
    const int mask = m.mPlayingMask[k];
    for (int j = 0; j < PulseLayout::NUM_ROWS; ++j) {
      if (!(mask & (1 << j))) continue;
      const IRECT& r = mNoteRects[k][j];
      pGraphics->FillIRect(note, IRECT(r.L + 1, r.T + 1, r.R - 1, r.B - 1));
    }
  }
  return true;
}

void MelodyCanvas::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (mod.R) {
    PromptUserInput();
    return;
  }
  PatternLock lock(mPlug);
  mpCell->SelectMelody(mod.C);
  if (mod.C) return;

  Melody& m = mpCell->GetMelody();
  const int p = PulseLayout::Clamp(m.numPulses);
  const int dx = x - mRECT.L, dy = y - mRECT.T;
  int k = -1, j = -1;
  for (int i = 0; i < p && k < 0; ++i) {
    int x0, x1;
    PulseLayout::Column(p, i, x0, x1);
    if (x0 <= dx && dx <= x1) k = i;
  }
  for (int i = 0; i < PulseLayout::NUM_ROWS && j < 0; ++i) {
    int y0, y1;
    PulseLayout::Row(i, y0, y1);
    if (y0 <= dy && dy <= y1) j = i;
  }
  if (k < 0 || j < 0) return;

  if (mod.L) {
    // A hand edit: the toggle is decided by the base mask, applied to what
    // plays, and what plays becomes the new base.
    if (Tavrinel* pPlug = PlugOf(*mpCell)) pPlug->NameEdit("Edit melody");
    PitchSet& ps = m.mPulses[k];
    ps.mSavedMask = 0;
    ps.mSavedValid = false;
    const int bit = 1 << j;
    if (ps.mBaseMask & bit)
      ps.mPlayingMask &= ~bit;
    else
      ps.mPlayingMask |= bit;
    ps.mBaseMask = ps.mPlayingMask;
    m.captureOriginal();
    m.mTempBackupValid = false;
  }
  SetDirty(false);
}

IPopupMenu* MelodyCanvas::CreateParamPopup()
{
  if (!mpMenu) {
    IPopupMenu* pMenu = new IPopupMenu();
    mpMenu.reset(pMenu);
    AddUndoItems(*pMenu);
    AddTagged(*pMenu, "Enable", eMelodyCmdEnable);
    AddTagged(*pMenu, "Disable", eMelodyCmdDisable);
    pMenu->AddSeparator();
    AddTagged(*pMenu, "Flip L/R", eMelodyLR);
    AddTagged(*pMenu, "Flip T/B", eMelodyTB);
    pMenu->AddItem("Shift Left", MakeSubmenu("<", 2, 3, false, 0));
    pMenu->AddItem("Shift Right", MakeSubmenu(">", 5, 3, false, 0));
    pMenu->AddItem("Shift Up", MakeSubmenu("^", 8, 4, false, 0));
    pMenu->AddItem("Shift Down", MakeSubmenu("v", 12, 4, false, 0));
    AddTagged(*pMenu, "Rand", eMelodyRand);
    pMenu->AddSeparator();
    AddTagged(*pMenu, "Copy", eMelodyCmdCopy);
    AddTagged(*pMenu, "Paste", eMelodyCmdPaste);
    pMenu->AddSeparator();
    AddTagged(*pMenu, "Clear", eMelodyCmdClear);
  }
  IPopupMenu* pMenu = mpMenu.get();
  pMenu->CheckAllItems(false);
  pMenu->EnableAllItems(true);
  const bool audible = mpCell->IsAudible();
  pMenu->SetItemChecked(eMelodyCmdEnable, audible);
  pMenu->SetItemEnabled(eMelodyCmdEnable, !audible);
  pMenu->SetItemChecked(eMelodyCmdDisable, !audible);
  pMenu->SetItemEnabled(eMelodyCmdDisable, audible);
  ShowUndoItems(*pMenu, PlugOf(*mpCell));
  return pMenu;
}

void MelodyCanvas::FreeParamPopup(IPopupMenu*) {}

void MelodyCanvas::OnParamPopupChoice(IPopupMenu* pMenu, int index)
{
  const int code = ChosenTag(pMenu, index);
  Tavrinel* pPlug = PlugOf(*mpCell);
  if (TakeUndoChoice(code, pPlug) || code < 0) return;
  PatternLock lock(mPlug);
  if (pPlug && code != eMelodyCmdCopy) pPlug->NameEdit(ChoiceText(*pMenu, index) + CellPlace(*mpCell));
  mpCell->ApplyMelodyCommand(code, true);
}

// ---- EnableControl ----

EnableControl::EnableControl(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell)
  : IControl(pPlug, rect), mpCell(pCell)
{
}

bool EnableControl::IsDirty()
{
  if (mpCell->GetEnableControl() == this && TakeChange(mpCell->ContentSerial(), mSeen)) SetDirty(false);
  return IControl::IsDirty();
}

bool EnableControl::Draw(IGraphics* pGraphics)
{
  const MelodyCellView v = mpCell->Snapshot();
  const bool audible = v.mAudible;
  const bool active = v.mActive;
  const IColor& fill = audible ? (active ? kGreen : kDarkGreen) : (active ? kRed : kDarkRed);
  pGraphics->DrawRect(kGrey, mRECT);
  pGraphics->FillIRect(fill, mRECT);
  return true;
}

void EnableControl::OnMouseDown(int, int, const IMouseMod&)
{
  PatternLock lock(mPlug);
  if (Tavrinel* pPlug = PlugOf(*mpCell))
    pPlug->NameEdit((mpCell->IsAudible() ? "Disable" : "Enable") + CellPlace(*mpCell));
  Melody& m = mpCell->GetMelody();
  m.mEnabled = !mpCell->IsAudible();
  m.mTempBackupValid = false;
  mpCell->MarkDirty();
  SetDirty(false);
}

// ---- CounterControl ----

CounterControl::CounterControl(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell)
  : ISpinnerControl(pPlug, rect, -1, IText("Arial", 14, kWhite), nullptr, false, false, kVertical, 12.0),
    mpCell(pCell)
{
  mStr = kCountTexts[0];
}

CounterControl::~CounterControl() = default;

int CounterControl::CountForValue(double value)
{
  int count = static_cast<int>(value * 63.0) + 1;
  if (count < 1) count = 1;
  if (count > 64) count = 64;
  return count;
}

double CounterControl::ValueForCount(int count) { return static_cast<double>(count - 1) / 63.0; }

void CounterControl::WriteCount()
{
  if (Tavrinel* pPlug = PlugOf(*mpCell)) pPlug->NameEdit("Repeat count" + CellPlace(*mpCell));
  mShownCount = CountForValue(mValue);
  mpCell->GetMelody().mRepeatCount = mShownCount;
}

void CounterControl::FollowMelody() { FollowCount(mpCell->GetMelody().mRepeatCount); }

void CounterControl::FollowCount(int count)
{
  if (count == mShownCount) return;
  if (count < 1) count = 1;
  if (count > 64) count = 64;
  mShownCount = count;
  mValue = ValueForCount(count);
}

void CounterControl::OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod)
{
  PatternLock lock(mPlug);
  FollowMelody();
  ISpinnerControl::OnMouseDrag(x, y, dX, dY, mod);
  WriteCount();
}

void CounterControl::OnMouseWheel(int x, int y, const IMouseMod& mod, int d)
{
  PatternLock lock(mPlug);
  FollowMelody();
  ISpinnerControl::OnMouseWheel(x, y, mod, d);
  WriteCount();
}

bool CounterControl::IsDirty()
{
  if (mpCell->GetCounter() == this && TakeChange(mpCell->ContentSerial(), mSeen)) SetDirty(false);
  return ISpinnerControl::IsDirty();
}

bool CounterControl::Draw(IGraphics* pGraphics)
{
  FollowCount(mpCell->Snapshot().mRepeatCount);
  mStr = kCountTexts[CountForValue(mValue) - 1];
  return ISpinnerControl::Draw(pGraphics);
}

// ---- PlayMarkerCanvas ----

PlayMarkerCanvas::PlayMarkerCanvas(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell)
  : IControl(pPlug, rect), mpCell(pCell)
{
  Layout(2);
}

void PlayMarkerCanvas::Layout(int numPulses)
{
  mLayoutPulses = numPulses;
  const int p = PulseLayout::Clamp(numPulses);
  for (int k = 0; k < 4; ++k) {
    if (k >= p) {
      mMarkerRects[k] = IRECT();
      continue;
    }
    int x0, x1;
    PulseLayout::Column(p, k, x0, x1);
    mMarkerRects[k] = IRECT(mRECT.L + x0, mRECT.T, mRECT.L + x1 + 1, mRECT.B);
  }
}

bool PlayMarkerCanvas::IsDirty()
{
  if (mpCell->GetPlayMarker() == this && TakeChange(mpCell->MarkerSerial(), mSeen)) SetDirty(false);
  return IControl::IsDirty();
}

bool PlayMarkerCanvas::Draw(IGraphics* pGraphics)
{
  const int numPulses = mpCell->Snapshot().mNumPulses;
  if (numPulses != mLayoutPulses) Layout(numPulses);
  const int k = mpCell->GetMarkedPulse();
  if (k >= 0 && k < PulseLayout::Clamp(numPulses)) pGraphics->FillIRect(kWhite, mMarkerRects[k]);
  return true;
}

// ---- MelodyRowControl ----

MelodyRowControl::MelodyRowControl(IPlugBase* pPlug, const IRECT& rect, TavrinelGui* pGui, int rowNumber,
                                   int paramIdx)
  : IControl(pPlug, rect, paramIdx), mpGui(pGui), mRowNumber(rowNumber)
{
  mValue = 1.0;
}

MelodyRowControl::~MelodyRowControl() = default;

void MelodyRowControl::SetValueFromPlug(double) {}

bool MelodyRowControl::IsDirty()
{
  if (mpGui->GetRowControl(mRowNumber) == this && TakeChange(mpGui->RowsSerial(), mSeen)) SetDirty(false);
  return IControl::IsDirty();
}

bool MelodyRowControl::Draw(IGraphics* pGraphics)
{
  pGraphics->DrawRect(kGrey, mRECT);
  pGraphics->FillIRect(kGrey, mRECT);
  return true;
}

void MelodyRowControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (mod.R) {
    PromptUserInput();
    return;
  }
  PatternLock lock(mPlug);
  mpGui->SelectRow(mRowNumber, mod.C);
}

IPopupMenu* MelodyRowControl::CreateParamPopup()
{
  if (!mpMenu) {
    IPopupMenu* pMenu = new IPopupMenu();
    mpMenu.reset(pMenu);
    AddUndoItems(*pMenu);
    AddTagged(*pMenu, "Enable", eRowEnable);
    AddTagged(*pMenu, "Disable", eRowDisable);
    pMenu->AddSeparator();
    AddTagged(*pMenu, "Flip T/B", eRowFlipTB);
    pMenu->AddSeparator();
    pMenu->AddItem("Shift Up", MakeSubmenu("^", eRowShiftUp, 4, true, 0));
    pMenu->AddItem("Shift Down", MakeSubmenu("v", eRowShiftDown, 4, true, 0));
    pMenu->AddSeparator();
    pMenu->AddItem("Shift Left (chord)", MakeSubmenu("<", eRowShiftLeftChord, 11, true, 0));
    pMenu->AddItem("Shift Right (chord)", MakeSubmenu(">", eRowShiftRightChord, 11, true, 0));
    AddTagged(*pMenu, "Reverse (chord)", eRowReverseChord);
    AddTagged(*pMenu, "Scramble (chord)", eRowScrambleChord);
    pMenu->AddSeparator();
    pMenu->AddItem("Shift Left (pulse)", MakeSubmenu("<", eRowShiftLeftPulse, 47, true, 12));
    pMenu->AddItem("Shift Right (pulse)", MakeSubmenu(">", eRowShiftRightPulse, 47, true, 12));
    AddTagged(*pMenu, "Reverse (pulse)", eRowReversePulse);
    AddTagged(*pMenu, "Random (pulse)", eRowRandomPulse);
    pMenu->AddSeparator();
    AddTagged(*pMenu, "Clear", eRowClear);
    pMenu->AddSeparator();
    AddTagged(*pMenu, "Copy", eRowCopy);
    AddTagged(*pMenu, "Paste", eRowPaste);
  }
  IPopupMenu* pMenu = mpMenu.get();
  pMenu->CheckAllItems(false);
  pMenu->EnableAllItems(true);
  if (mpGui->IsRowClipboardEmpty()) pMenu->SetItemEnabled(eRowPaste, false);
  ShowUndoItems(*pMenu, mpGui->GetPlug());
  return pMenu;
}

void MelodyRowControl::FreeParamPopup(IPopupMenu*) {}

void MelodyRowControl::OnParamPopupChoice(IPopupMenu* pMenu, int index)
{
  const int tag = ChosenTag(pMenu, index);
  if (TakeUndoChoice(tag, mpGui->GetPlug()) || tag < 0) return;
  int code = tag, count = 1;
  if (tag >= 0x10000) {
    code = (tag - 0x10000) >> 8;
    count = (tag - 0x10000) & 0xFF;
  }
  PatternLock lock(mPlug);
  if (Tavrinel* pPlug = mpGui->GetPlug(); pPlug && code != eRowCopy)
    pPlug->NameEdit(ChoiceText(*pMenu, index) + " melody row " + std::to_string(mRowNumber + 1));
  mpGui->ApplyRowCommand(mRowNumber, code, count);
}

// ---- DoubleThumbFaderControl ----

DoubleThumbFaderControl::DoubleThumbFaderControl(IPlugBase* pPlug, const IRECT& rect, const IBitmap& thumb,
                                                 int paramIdx)
  : IControl(pPlug, rect, paramIdx), mThumb(thumb)
{
  mHalfThumb = mThumb.W / 2;
  mTrackStart = mRECT.L + mHalfThumb;
  mTrackEnd = mRECT.R - mThumb.W / 4;
  mPixelsPerUnit = (mTrackEnd - mHalfThumb - mRECT.L) / mMaximum;
  if (mPixelsPerUnit < 1) mPixelsPerUnit = 1; // a fader narrower than its units
  UpdateGeometry();
}

void DoubleThumbFaderControl::UpdateGeometry()
{
  const int lowL = mRECT.L + mPixelsPerUnit * mLow;
  const int highL = mRECT.L + mPixelsPerUnit * mHigh;
  mLowThumb = IRECT(lowL, mRECT.T, lowL + mThumb.W, mRECT.B);
  mHighThumb = IRECT(highL, mRECT.T, highL + mThumb.W, mRECT.B);
  mBar = IRECT(mLowThumb.R + 1, mRECT.T, mHighThumb.L - 1, mRECT.B);
}

int DoubleThumbFaderControl::UnitAt(int x) const
{
  if (x < mTrackStart) return 0;
  const int px = x < mTrackEnd ? x : mTrackEnd;
  return (px - mTrackStart) / mPixelsPerUnit;
}

bool DoubleThumbFaderControl::Draw(IGraphics* pGraphics)
{
  const int lowC = mLowThumb.L + mHalfThumb;
  const int highC = mHighThumb.L + mHalfThumb;
  pGraphics->FillIRect(kSpanBar, IRECT(lowC, mRECT.T + 4, highC, mRECT.B - 8));
  pGraphics->DrawBitmap(mThumb, mLowThumb, 0, 0, &mBlend);
  pGraphics->DrawBitmap(mThumb, mHighThumb, 0, 0, &mBlend);
  return true;
}

void DoubleThumbFaderControl::OnMouseDown(int x, int y, const IMouseMod&)
{
  if (mLowThumb.Contains(x, y)) {
    mDrag = kDragLow;
  } else if (mHighThumb.Contains(x, y)) {
    mDrag = kDragHigh;
  } else if (mBar.Contains(x, y)) {
    mDrag = kDragBar;
    mGrabUnit = UnitAt(x);
    mGrabLow = mLow;
    mGrabHigh = mHigh;
  } else {
    mDrag = kDragNone;
  }
  SetDirty(false);
}

void DoubleThumbFaderControl::OnMouseUp(int, int, const IMouseMod&) { SetDirty(false); }

void DoubleThumbFaderControl::OnMouseDrag(int x, int, int, int, const IMouseMod&)
{
  const int d = UnitAt(x);
  bool changed = false;
  switch (mDrag) {
  case kDragLow:
    if (!(d == mLow || d < 0 || d >= mMaximum || d >= mHigh)) {
      mLow = d;
      changed = true;
    }
    break;
  case kDragHigh:
    if (!(d == mHigh || d <= mLow || d > mMaximum)) {
      mHigh = d;
      changed = true;
    }
    break;
  case kDragBar: {
    const int shift = d - mGrabUnit;
    const int newLow = mGrabLow + shift;
    const int newHigh = mGrabHigh + shift;
    if (0 <= newLow && newLow < mMaximum && newLow < newHigh && newHigh <= mMaximum) {
      mLow = newLow;
      mHigh = newHigh;
      changed = true;
    }
    break;
  }
  default:
    break;
  }
  if (changed) {
    OnRangeChanged(mLow, mHigh);
    UpdateGeometry();
  }
  SetDirty(false);
}

void DoubleThumbFaderControl::OnRangeChanged(int, int) {}

void DoubleThumbFaderControl::SetRange(int low, int high)
{
  if (0 <= low && low < high && high <= mMaximum) {
    mLow = low;
    mHigh = high;
    UpdateGeometry();
  }
  SetDirty(false);
}

// ---- ChordSequencerSpanControl ----

ChordSequencerSpanControl::ChordSequencerSpanControl(IPlugBase* pPlug, const IRECT& rect, const IBitmap& thumb,
                                                     TavrinelGui* pGui)
  : DoubleThumbFaderControl(pPlug, rect, thumb), mpGui(pGui)
{
}

void ChordSequencerSpanControl::TakePublishedSpan()
{
  if (mpGui && mpGui->GetChordSpanControl() == this && TakeChange(mpGui->SpanSerial(), mSeen))
    SetRange(mpGui->GetSpanLow(), mpGui->GetSpanHigh());
}

bool ChordSequencerSpanControl::IsDirty()
{
  TakePublishedSpan();
  return DoubleThumbFaderControl::IsDirty();
}

void ChordSequencerSpanControl::OnRangeChanged(int low, int high)
{
  if (mpGui) mpGui->SetChordSpanFromEditor(low, high - low);
}

void ChordSequencerSpanControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  DoubleThumbFaderControl::OnMouseDown(x, y, mod);
  if (GetDragMode() != kDragNone && mpGui) mpGui->BeginSpanGesture();
}
