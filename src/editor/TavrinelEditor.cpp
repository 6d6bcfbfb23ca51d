#include "TavrinelEditor.h"

#include "Assert.h"
#include "GrooveMakerGui.h"
#include "IGraphics.h"
#include "IPlugParam.h"
#include "PresetMenu.h"
#include "SizeMenu.h"
#include "UserSettings.h"
#include "Tavrinel.h"
#include "TavrinelGui.h"
#include "TavrinelGuiControls.h"

#include <cstdio>
#include <cstring>

#define EDITOR_FILE "src\\TavrinelGui"

// ---- value read-outs ----

void ValueReadOutBase::Update()
{
  if (!mpKnob || !mpText) return;
  mpText->Hide(mpKnob->IsHidden());
  mpText->GrayOut(mpKnob->IsGrayed());
  char text[64];
  text[0] = '\0';
  {
    // The parameter is written under the plug-in mutex by the host's thread.
    IPlugBase* pPlug = mpKnob->GetPlug();
    if (pPlug) pPlug->GetMutex().lock();
    Format(text, sizeof(text));
    if (pPlug) pPlug->GetMutex().unlock();
  }
  mpText->SetTextFromPlug(text);
}

void ValueReadOut::Format(char* out, int size) const
{
  if (const IPlugParam* pParam = mpKnob->GetParam()) std::snprintf(out, static_cast<size_t>(size), "%.2f", pParam->Value());
}

void ValueReadOutBool::Format(char* out, int size) const
{
  if (const IPlugParam* pParam = mpKnob->GetParam())
    std::snprintf(out, static_cast<size_t>(size), "%s", pParam->Value() >= 0.5 ? "true" : "false");
}

void ValueReadOutInt::Format(char* out, int size) const
{
  if (const IPlugParam* pParam = mpKnob->GetParam()) std::snprintf(out, static_cast<size_t>(size), "%d", pParam->Int());
}

void ValueReadOutEnum::Format(char* out, int size) const
{
  if (const IPlugParam* pParam = mpKnob->GetParam()) {
    const char* text = pParam->GetDisplayText(pParam->Int());
    std::snprintf(out, static_cast<size_t>(size), "%s", text[0] ? text : "???");
  }
}

// ---- construction ----

namespace {

// Where a knob's value read-out sits, from the knob's corner.
struct ReadOutPlace {
  int mDX, mDY, mW, mH;
};
// Below right of a 32-pixel knob.
constexpr ReadOutPlace READOUT_BELOW_RIGHT{40, 17, 30, 12};
// Right beside a small modifier-panel knob, level with it: below right it would
// lie under the panel's step switches.
constexpr ReadOutPlace READOUT_BESIDE{18, 1, 20, 14};

struct KnobPlace {
  const char* mName;
  int mX, mY, mFrames;
  ReadOutPlace mReadOut;
};

constexpr KnobPlace knobTable[TavrinelEditor::NUM_KNOBS] = {
  {"TimeUnits", 330, 10, 16, READOUT_BELOW_RIGHT},  {"LengthUnits", 530, 10, 16, READOUT_BELOW_RIGHT},
  {"LenJitt", 530, 50, 101, READOUT_BELOW_RIGHT},   {"Vel", 626, 10, 128, READOUT_BELOW_RIGHT},
  {"VelJitt", 626, 50, 128, READOUT_BELOW_RIGHT},   {"Swing", 426, 10, 101, READOUT_BELOW_RIGHT},
  {"Human", 426, 50, 101, READOUT_BELOW_RIGHT},     {"NumPulse", 234, 10, 128, READOUT_BELOW_RIGHT},
  {"SeqSteps", 42, 506, 128, READOUT_BELOW_RIGHT},  {"LifeProb", 314, 443, 101, READOUT_BELOW_RIGHT},
  {"StkBegin", 130, 390, 8, READOUT_BESIDE},        {"StkLen", 185, 390, 8, READOUT_BESIDE},
  {"MelBegin", 546, 390, 8, READOUT_BESIDE},        {"MelLen", 601, 390, 8, READOUT_BESIDE}};

struct SpinnerPlace {
  const char* mName;
  int mX, mY;
};

// "ival1" .. "ival12" follow "mode" (see BuildSpinners).
constexpr SpinnerPlace spinnersBeforeDegrees[] = {{"Tonic", 47, 6}, {"Chan", 179, 6}, {"mode", 47, 29}};
constexpr SpinnerPlace spinnersAfterDegrees[] = {{"StepDir", 644, 109}, {"SMDir", 20, 390},   {"StkCount", 80, 390},
                                                 {"StkProb", 235, 390}, {"MelDir", 436, 390},  {"MelCount", 496, 390},
                                                 {"MelProb", 651, 390}, {"Interval", 122, 53}, {"Scale", 47, 53}};

struct EditButtonPlace {
  int mX;
  int mBitmapId;
  int mParamIdx;
};

constexpr EditButtonPlace editButtons[TavrinelEditor::NUM_EDIT_BUTTONS] = {
  {146, 111, kEditCmdFirst + 0},  {170, 112, kEditCmdFirst + 1},  {194, 113, kEditCmdFirst + 2},
  {218, 114, kEditCmdFirst + 3},  {242, 115, kEditCmdFirst + 4},  {266, 116, kEditCmdFirst + 5},
  {306, 111, kEditCmdFirst + 9},  {330, 112, kEditCmdFirst + 10}, {354, 113, kEditCmdFirst + 11},
  {378, 114, kEditCmdFirst + 12}, {402, 115, kEditCmdFirst + 13}, {426, 116, kEditCmdFirst + 14},
  {466, 111, kEditCmdFirst + 18}, {490, 112, kEditCmdFirst + 19}, {514, 115, kEditCmdFirst + 20}};

struct ImageDef {
  int mId;
  const char* mName;
  int mFrames;
};

// Every image the editor loads, in loading order.
constexpr ImageDef images[] = {
  {104, "img/on-off-led.png", 2},          {105, "img/silver-knob128.png", 128},
  {106, "img/silver-knob101.png", 101},    {107, "img/silver-knob17.png", 17},
  {108, "img/silver-knob16.png", 16},      {121, "img/knob16x16-8.png", 8},
  {109, "img/lock-button.png", 2},         {110, "img/mute-button.png", 2},
  {111, "img/shift-left-button.png", 2},   {112, "img/shift-right-button.png", 2},
  {113, "img/shift-up-button.png", 2},     {114, "img/shift-down-button.png", 2},
  {115, "img/swap-LR-button.png", 2},      {116, "img/swap-TB-button.png", 2},
  {122, "img/mute-button-15x15.png", 2},   {123, "img/solo-button-15x15.png", 2},
  {124, "img/down-triangle.png", 1},       {125, "img/tape-play-button.png", 2},
  {117, "img/pin-14x14.png", 2},           {118, "img/strike-mod-button.png", 13},
  {119, "img/melody-mod-button.png", 19}};

constexpr int NUM_IMAGES = static_cast<int>(sizeof(images) / sizeof(images[0]));

// Grid geometry.
constexpr int COLUMN_X0 = 20, COLUMN_PITCH = 52;
constexpr int CELL_Y0 = 128, CELL_PITCH = 63;
constexpr int ROW_Y0 = 138;

} // namespace

TavrinelEditor::TavrinelEditor(Tavrinel* pPlug) : mpPlug(pPlug)
{
  TAV_ASSERT(pPlug != 0, EDITOR_FILE);
}

TavrinelEditor::~TavrinelEditor() = default;

IText TavrinelEditor::TextStyle(int size)
{
  return IText("Arial", size, IColor(255, 255, 255, 255), IText::kStyleNormal, IText::kAlignCenter, 0);
}

int TavrinelEditor::ParamIdx(const char* name) const
{
  for (int i = 0; i < mpPlug->NParams(); ++i)
    if (std::strcmp(mpPlug->GetParam(i)->GetName(), name) == 0) return i;
  const bool paramFound = false;
  TAV_ASSERT(paramFound, EDITOR_FILE);
  return -1;
}

const IBitmap& TavrinelEditor::Image(int id) const
{
  for (int i = 0; i < NUM_IMAGES && i < static_cast<int>(mImages.size()); ++i)
    if (images[i].mId == id) return mImages[static_cast<size_t>(i)];
  const bool imageLoaded = false;
  TAV_ASSERT(imageLoaded, EDITOR_FILE);
  return mImages.front();
}

ModifierStepView& TavrinelEditor::GetStepView(int which, int stepIdx)
{
  return which == SEQ_STRIKE ? mStrikePanel.GetStep(stepIdx) : mMelodyPanel.GetStep(stepIdx);
}

void TavrinelEditor::AddKnob(IGraphics* pGraphics, const char* name, int x, int y, int frames, const IRECT& readOut)
{
  const IBitmap* pBitmap = &mKnob101;
  switch (frames) {
  case 8: pBitmap = &mKnob8; break;
  case 16: pBitmap = &mKnob16; break;
  case 17: pBitmap = &mKnob17; break;
  case 128: pBitmap = &mKnob128; break;
  default: break;
  }
  const int paramIdx = ParamIdx(name);
  IKnobMultiControl* pKnob = new IKnobMultiControl(mpPlug, x, y, paramIdx, *pBitmap, IKnobControl::kVertical, 8.0);
  pGraphics->AttachControl(pKnob);
  mKnobs.push_back(pKnob);

  ITextControl* pText = new ITextControl(mpPlug, readOut, TextStyle(), "");
  pGraphics->AttachControl(pText);
  ValueReadOutBase* pReadOut = nullptr;
  switch (mpPlug->GetParam(paramIdx)->Type()) {
  case IPlugParam::kTypeBool: pReadOut = new ValueReadOutBool(pKnob, pText); break;
  case IPlugParam::kTypeInt: pReadOut = new ValueReadOutInt(pKnob, pText); break;
  case IPlugParam::kTypeEnum: pReadOut = new ValueReadOutEnum(pKnob, pText); break;
  default: pReadOut = new ValueReadOut(pKnob, pText); break;
  }
  mReadOuts.emplace_back(pReadOut);
  pKnob->Attach(pReadOut);
}

void TavrinelEditor::AddSpinner(IGraphics* pGraphics, int paramIdx, int x, int y)
{
  pGraphics->AttachControl(new ISpinnerControl(mpPlug, IRECT(x + 2, y, x + 48, y + 16), paramIdx, TextStyle(),
                                               nullptr, true, false, ISpinnerControl::kVertical, 8.0));
}

void TavrinelEditor::BuildGrid(IGraphics* pGraphics)
{
  TavrinelGui* pGui = mpPlug->GetGui();
  for (int s = 0; s < MAX_STEPS; ++s) {
    const int x = COLUMN_X0 + COLUMN_PITCH * s;
    for (int v = 0; v < MAX_VARIATIONS_PER_CHORD; ++v) {
      const int y = CELL_Y0 + CELL_PITCH * v;
      MelodyCell* pCell = pGui->GetCell(s, v);
      IControl* pEnable = new EnableControl(mpPlug, IRECT(x, y, x + 8, y + 8), pCell);
      IControl* pCounter = new CounterControl(mpPlug, IRECT(x + 24, y - 3, x + 40, y + 9), pCell);
      IControl* pCanvas = new MelodyCanvas(mpPlug, IRECT(x, y + 10, x + 40, y + 50), pCell, MELODY_CANVAS_PARAM);
      IControl* pMarker = new PlayMarkerCanvas(mpPlug, IRECT(x, y + 53, x + 40, y + 55), pCell);
      pGraphics->AttachControl(pCanvas);
      pGraphics->AttachControl(pEnable);
      pGraphics->AttachControl(pMarker);
      pGraphics->AttachControl(pCounter);
      mCells[s][v] = CellControls{pCanvas, pEnable, pMarker, pCounter};
    }
  }

  const IBitmap& solo = Image(123);
  const IBitmap& mute = Image(122);
  for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
    const int y = ROW_Y0 + CELL_PITCH * r;
    IControl* pRow = new MelodyRowControl(mpPlug, IRECT(2, y, 16, y + 14), pGui, r, ROW_CONTROL_PARAM);
    pRow->SetValue(1.0);
    pGraphics->AttachControl(pRow);
    IControl* pSolo = new ISwitchControl(mpPlug, 644, y, kRowSolo1 + r, solo);
    pGraphics->AttachControl(pSolo);
    IControl* pMute = new ISwitchControl(mpPlug, 661, y, kRowMute1 + r, mute);
    pGraphics->AttachControl(pMute);
    mRows[r] = RowControls{pRow, pSolo, pMute};
  }
}

void TavrinelEditor::Build(IGraphics* pGraphics)
{
  TAV_ASSERT(pGraphics != 0, EDITOR_FILE);
  pGraphics->AttachBackground(100, "img/background.png");
  mImages.clear();
  for (const ImageDef& def : images) mImages.push_back(pGraphics->LoadIBitmap(def.mId, def.mName, def.mFrames));
  auto image = [this](int id) -> const IBitmap& { return Image(id); };
  mKnob128 = image(105);
  mKnob101 = image(106);
  mKnob17 = image(107);
  mKnob16 = image(108);
  mKnob8 = image(121);

  // 1, 2: knobs and their read-outs.
  for (const KnobPlace& k : knobTable) {
    const ReadOutPlace& r = k.mReadOut;
    AddKnob(pGraphics, k.mName, k.mX, k.mY, k.mFrames,
            IRECT(k.mX + r.mDX, k.mY + r.mDY, k.mX + r.mDX + r.mW, k.mY + r.mDY + r.mH));
  }

  // 3: sequencer enable.
  pGraphics->AttachControl(new ISwitchControl(mpPlug, 19, 509, ParamIdx("SeqEnab"), image(104)));

  // 4: spinners.
  for (const SpinnerPlace& s : spinnersBeforeDegrees) AddSpinner(pGraphics, ParamIdx(s.mName), s.mX, s.mY);
  for (int n = 1; n <= 12; ++n) {
    char name[8];
    std::snprintf(name, sizeof(name), "ival%d", n);
    AddSpinner(pGraphics, ParamIdx(name), 20 + 52 * (n - 1), 93);
  }
  for (const SpinnerPlace& s : spinnersAfterDegrees) AddSpinner(pGraphics, ParamIdx(s.mName), s.mX, s.mY);

  // 5: the pattern grid and its row controls.
  BuildGrid(pGraphics);

  // 6: groove editor.
  mpGrooveCanvas = new IGrooveMakerCanvas(mpPlug, IRECT(20, 550, 690, 614), &mpPlug->mGroove, 2, 14);
  pGraphics->AttachControl(mpGrooveCanvas);
  mpGrooveStepMarker = new IGrooveMakerStepMarker(mpPlug, IRECT(20, 616, 690, 618), &mpPlug->mGroove);
  pGraphics->AttachControl(mpGrooveStepMarker);

  // 7: groove lock and mute switches.
  for (int k = 0; k < GROOVE_STEPS; ++k) {
    const int x = 20 + 14 * k;
    pGraphics->AttachControl(new ISwitchControl(mpPlug, x, 618, kGrooveLock0 + k, image(109)));
    pGraphics->AttachControl(new ISwitchControl(mpPlug, x, 632, kGrooveMute0 + k, image(110)));
  }

  // 8: edit buttons; a quick second click fires the command again.
  for (int i = 0; i < NUM_EDIT_BUTTONS; ++i) {
    const EditButtonPlace& b = editButtons[i];
    IControl* pButton = new IContactControl(mpPlug, b.mX, 512, b.mParamIdx, image(b.mBitmapId));
    pButton->SetDblAsSingleClick(true);
    pGraphics->AttachControl(pButton);
    mEditButtons[i] = pButton;
  }

  // 9: modifier panels.
  const ModifierPanelBitmaps strikeBitmaps{image(125), image(117), image(118)};
  BuildStrikeModifierPanel(pGraphics, mpPlug, &mpPlug->mStrikeSequencer, strikeBitmaps, mStrikePanel);
  const ModifierPanelBitmaps melodyBitmaps{image(125), image(117), image(119)};
  BuildMelodyModifierPanel(pGraphics, mpPlug, &mpPlug->mMelodySequencer, melodyBitmaps, mMelodyPanel);

  // 10: preset name.
  mpPresetName = new PresetNameControl(mpPlug, IRECT(555, 516, 712, 532), TextStyle(16));
  pGraphics->AttachControl(mpPresetName);

  // 11: chord span; the thumb's frame height centres the first thumb on x = 20.
  const IBitmap& thumb = image(124);
  const int h = thumb.H / thumb.N;
  mpChordSpan = new ChordSequencerSpanControl(mpPlug, IRECT(20 - h / 2, 111, 20 - h / 2 + h + 613, 126), thumb,
                                              mpPlug->GetGui());
  pGraphics->AttachControl(mpChordSpan);

  // 12: the name plate with the size menu, and the size saved for this user.
  mpLogo = new LogoControl(mpPlug);
  pGraphics->AttachControl(mpLogo);
  LogoControl::ApplySavedScale(
    pGraphics, UserSettings::parseScale(mpPlug->getConfiguration().get(SharedSettings::EDITOR_SCALE)->getString()));

  // The strips follow the plug-in's published sequencer cursors.
  for (int which = SEQ_STRIKE; which <= SEQ_MELODY; ++which)
    for (int i = 0; i < MODIFIER_SEQUENCER_STEPS; ++i)
      GetStepView(which, i).mIsCurrent.Follow(mpPlug->GetGui()->SequencerMarkerFlag(which, i));
  mSeenGroove = mSeenSwitches = mSeenSequencer[0] = mSeenSequencer[1] = ~0u;
  pGraphics->SetFrameTask(&TavrinelEditor::FrameTask, this);
  pGraphics->SetKeyHandler(&TavrinelEditor::UndoKeys, this);
}

bool TavrinelEditor::UndoKeys(void* pEditor, int key, const IMouseMod& mod)
{
  Tavrinel* pPlug = static_cast<TavrinelEditor*>(pEditor)->mpPlug;
  const bool undo = mod.C && !mod.S && key == kKeyZ;
  const bool redo = mod.C && ((mod.S && key == kKeyZ) || key == kKeyA + ('Y' - 'A'));
  if (!pPlug || !(undo || redo)) return false;
  if (undo) pPlug->Undo();
  else pPlug->Redo();
  return true;
}

void TavrinelEditor::TakeChanges()
{
  // What the audio thread played and changed reaches the grid first.
  mpPlug->TakeInAudioChanges();
  TavrinelGui& gui = *mpPlug->GetGui();
  auto take = [](uint32_t now, uint32_t& seen) {
    if (now == seen) return false;
    seen = now;
    return true;
  };
  if (take(gui.GrooveSerial(), mSeenGroove)) {
    if (IControl* pCanvas = gui.GetGrooveCanvas()) pCanvas->SetDirty(false);
    if (IControl* pMarker = gui.GetGrooveStepMarker()) pMarker->SetDirty(false);
  }
  if (take(gui.SwitchSerial(), mSeenSwitches)) {
    for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
      if (IControl* pMute = gui.GetMuteSwitch(r)) pMute->SetValueFromPlug(gui.GetMuteSwitchValue(r));
      if (IControl* pSolo = gui.GetSoloSwitch(r)) pSolo->SetValueFromPlug(gui.GetSoloSwitchValue(r));
    }
  }
  for (int which = SEQ_STRIKE; which <= SEQ_MELODY; ++which) {
    if (!take(gui.SequencerSerial(which), mSeenSequencer[which])) continue;
    for (int i = 0; i < MODIFIER_SEQUENCER_STEPS; ++i)
      if (StepMarkerCanvas* pMarker = GetStepView(which, i).mMarker) pMarker->SetDirty(false);
  }
}

void TavrinelEditor::Connect()
{
  TavrinelGui* pGui = mpPlug->GetGui();
  for (int s = 0; s < MAX_STEPS; ++s)
    for (int v = 0; v < MAX_VARIATIONS_PER_CHORD; ++v) {
      const CellControls& c = mCells[s][v];
      pGui->GetCell(s, v)->SetControls(c.mCanvas, c.mEnable, c.mMarker, c.mCounter);
    }
  for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) pGui->SetRowControls(r, mRows[r].mHandle, mRows[r].mSolo, mRows[r].mMute);
  pGui->SetGrooveControls(mpGrooveCanvas, mpGrooveStepMarker);
  pGui->SetChordSpanControl(mpChordSpan);
}

void TavrinelEditor::Disconnect()
{
  TavrinelGui* pGui = mpPlug->GetGui();
  for (int s = 0; s < MAX_STEPS; ++s)
    for (int v = 0; v < MAX_VARIATIONS_PER_CHORD; ++v) pGui->GetCell(s, v)->SetControls(nullptr, nullptr, nullptr, nullptr);
  for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) pGui->SetRowControls(r, nullptr, nullptr, nullptr);
  pGui->SetGrooveControls(nullptr, nullptr);
  pGui->SetChordSpanControl(nullptr);
}
