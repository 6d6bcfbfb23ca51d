#include "ModifierPanels.h"

#include "Assert.h"
#include "IGraphics.h"
#include "IPlugParam.h"
#include "IPopupMenu.h"
#include "Tavrinel.h"

#define PANEL_FILE "src\\TavrinelGui"

namespace {

constexpr int SIZE = MODIFIER_SEQUENCER_STEPS;

// Strike menu: tags are EStrikeModifier values, -1 a separator.
constexpr int strikeMenuTags[] = {0, 1, 2, 3, -1, 4, 5, 6, 7, -1, 8, 9, 10, -1, 11, 12};
// Melody menu, grouped by kind rather than in tag order.
constexpr int melodyMenuTags[] = {8, 9, 10, 11, -1, 12, 13, 14, 15, -1, 2, 3, 4, -1,
                                  5, 6, 7, -1, 0, 1, 17, -1, 16, 18};

template <size_t N>
IPopupMenu* BuildModifierMenu(const int (&tags)[N], const char* const* names)
{
  IPopupMenu* pMenu = new IPopupMenu;
  for (int tag : tags) {
    if (tag < 0) {
      pMenu->AddSeparator();
    } else {
      pMenu->AddItem(names[tag])->SetTag(tag);
    }
  }
  return pMenu;
}

// Shown again: no check marks but the step's current modifier, everything enabled.
void PrepareMenu(IPopupMenu& menu, int currentModifier)
{
  menu.CheckAllItems(false);
  menu.EnableAllItems(true);
  menu.SetItemChecked(currentModifier, true);
}

// The chosen item's tag as the bound parameter's normalised value, pushed.
void TakeMenuChoice(IControl& control, IPopupMenu* pMenu, int index)
{
  const IPopupMenu::Item* pItem = pMenu ? pMenu->GetItem(index) : nullptr;
  const IPlugParam* pParam = control.GetParam();
  if (!pItem || pItem->GetIsSeparator() || !pParam) return;
  const double range = pParam->GetMax() - pParam->GetMin();
  if (range <= 0.0) return;
  control.SetValue(pItem->GetTag() * (pParam->GetStep() / range));
  control.SetDirty(true);
}

} // namespace

int CheckedModifierStepIndex(int idx)
{
  return TAV_CHECK(0 <= idx && idx < SIZE, PANEL_FILE) ? idx : 0;
}

// ---- ModifierStepView, StepMarkerCanvas ----

void ModifierStepView::SetCurrent(bool on)
{
  mIsCurrent = on;
  if (mMarker) mMarker->SetDirty(false);
}

StepMarkerCanvas::StepMarkerCanvas(IPlugBase* pPlug, const IRECT& rect, ModifierStepView* pView)
  : IControl(pPlug, rect), mpView(pView)
{
}

IColor StepMarkerCanvas::ColorFor(const ModifierStepView& view)
{
  const SequencerBase* pSeq = view.mSequencer;
  if (pSeq && (view.mPosition < pSeq->mStartPosition || view.mPosition > pSeq->mEndPosition))
    return IColor(255, 255, 0, 0);
  if (view.mIsCurrent) return IColor(255, 255, 255, 255);
  return IColor(255, 127, 127, 127);
}

bool StepMarkerCanvas::Draw(IGraphics* pGraphics)
{
  if (!mpView) return false;
  IColor color;
  {
    // The window is written by the host's thread under the plug-in mutex.
    if (mPlug) mPlug->GetMutex().lock();
    color = ColorFor(*mpView);
    if (mPlug) mPlug->GetMutex().unlock();
  }
  return pGraphics->FillIRect(color, mRECT);
}

// ---- modifier buttons ----

StrikeModifierControl::StrikeModifierControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                             StrikeModifierSequencer* pSequencer, int idx)
  : ISwitchControl(pPlug, x, y, paramIdx, bitmap), mpSequencer(pSequencer), mIdx(idx)
{
  StrikeModifierSequencer* pStrikeModifierSequencer = pSequencer;
  TAV_ASSERT(pStrikeModifierSequencer != 0, PANEL_FILE);
  TAV_ASSERT(0 <= idx && idx < SIZE, PANEL_FILE);
}

StrikeModifierControl::~StrikeModifierControl() = default;

IPopupMenu* StrikeModifierControl::CreateParamPopup()
{
  if (!mpMenu) mpMenu.reset(BuildModifierMenu(strikeMenuTags, strikeModifierNames));
  PrepareMenu(*mpMenu, mpSequencer->getStep(mIdx).mValue);
  return mpMenu.get();
}

void StrikeModifierControl::FreeParamPopup(IPopupMenu* pMenu)
{
  if (pMenu != mpMenu.get()) ISwitchControl::FreeParamPopup(pMenu);
}

void StrikeModifierControl::OnParamPopupChoice(IPopupMenu* pMenu, int index)
{
  TakeMenuChoice(*this, pMenu, index);
}

MelodyModifierControl::MelodyModifierControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                             MelodyModifierSequencer* pSequencer, int idx)
  : ISwitchControl(pPlug, x, y, paramIdx, bitmap), mpSequencer(pSequencer), mIdx(idx)
{
  MelodyModifierSequencer* pMelodyModifierSequencer = pSequencer;
  TAV_ASSERT(pMelodyModifierSequencer != 0, PANEL_FILE);
  TAV_ASSERT(0 <= idx && idx < SIZE, PANEL_FILE);
}

MelodyModifierControl::~MelodyModifierControl() = default;

IPopupMenu* MelodyModifierControl::CreateParamPopup()
{
  if (!mpMenu) mpMenu.reset(BuildModifierMenu(melodyMenuTags, melodyModifierNames));
  PrepareMenu(*mpMenu, mpSequencer->getStep(mIdx).mValue);
  return mpMenu.get();
}

void MelodyModifierControl::FreeParamPopup(IPopupMenu* pMenu)
{
  if (pMenu != mpMenu.get()) ISwitchControl::FreeParamPopup(pMenu);
}

void MelodyModifierControl::OnParamPopupChoice(IPopupMenu* pMenu, int index)
{
  TakeMenuChoice(*this, pMenu, index);
}

// ---- panel construction ----

namespace {

struct PanelPlace {
  int mRunX;
  int mRunParam;
  int mModifierTop;  // the modifier button sits this far above y + lifetime frame height
  int mModifierParam;
  int mLifetimeParam;
};

constexpr int PANEL_Y = 410;

template <class MODCONTROL, class SEQUENCER>
void BuildPanel(IGraphics* pGraphics, IPlugBase* pPlug, SEQUENCER* pSequencer, const ModifierPanelBitmaps& bitmaps,
                StepSequencerControl<SEQUENCER>& panel, const PanelPlace& place)
{
  pGraphics->AttachControl(new ISwitchControl(pPlug, place.mRunX, PANEL_Y, place.mRunParam, bitmaps.mRun));
  const int w = bitmaps.mRun.W;
  const int lifetimeFrameH = bitmaps.mLifetime.H / bitmaps.mLifetime.N;
  const int modifierY = place.mModifierTop + lifetimeFrameH;
  const int modifierFrameH = bitmaps.mModifier.H / bitmaps.mModifier.N;
  for (int i = 0; i < SIZE; ++i) {
    const int x = place.mRunX + w + 5 + 29 * i;
    ModifierStepView& view = panel.GetStep(i);
    view.mSequencer = pSequencer;
    view.mPosition = i;
    view.mIsCurrent = false;

    MODCONTROL* pModifier = new MODCONTROL(pPlug, x, modifierY, place.mModifierParam + i, bitmaps.mModifier,
                                           pSequencer, i);
    pGraphics->AttachControl(pModifier);
    IControl* pLifetime = new StepPermanentControl(pPlug, x, PANEL_Y, place.mLifetimeParam + i, bitmaps.mLifetime);
    pGraphics->AttachControl(pLifetime);
    const int markerY = modifierY + modifierFrameH + 1;
    StepMarkerCanvas* pMarker = new StepMarkerCanvas(pPlug, IRECT(x, markerY, x + 24, markerY + 6), &view);
    pGraphics->AttachControl(pMarker);

    view.mModifierControl = pModifier;
    view.mLifetimeControl = pLifetime;
    view.mMarker = pMarker;
  }
}

} // namespace

void BuildStrikeModifierPanel(IGraphics* pGraphics, IPlugBase* pPlug, StrikeModifierSequencer* pStrikeModifierSequencer,
                              const ModifierPanelBitmaps& bitmaps, StrikeModifierSequencerControl& panel)
{
  TAV_ASSERT(pStrikeModifierSequencer != 0, PANEL_FILE);
  BuildPanel<StrikeModifierControl>(pGraphics, pPlug, pStrikeModifierSequencer, bitmaps, panel,
                                    PanelPlace{20, kStkRun, 412, kStkMod1, kStkModT1});
}

void BuildMelodyModifierPanel(IGraphics* pGraphics, IPlugBase* pPlug, MelodyModifierSequencer* pMelodyModifierSequencer,
                              const ModifierPanelBitmaps& bitmaps, MelodyModifierSequencerControl& panel)
{
  TAV_ASSERT(pMelodyModifierSequencer != 0, PANEL_FILE);
  BuildPanel<MelodyModifierControl>(pGraphics, pPlug, pMelodyModifierSequencer, bitmaps, panel,
                                    PanelPlace{436, kMelRun, 411, kMelMod1, kMekModT1});
}
