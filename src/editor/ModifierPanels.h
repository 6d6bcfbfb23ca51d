#pragma once
// The two modifier sequencer panels of the editor: per step a modifier button,
// a lifetime switch and a marker strip that shows whether the step is the
// sequencer's current one or outside its start..end window.
//
// ModifierStepView::mIsCurrent follows the cursor the plug-in publishes
// (TavrinelGui's sequencer markers); the editor marks the strips dirty when the
// published cursor moved, and the strips copy the sequencer's window under the
// plug-in mutex when they draw.
//
// Threads: everything here runs on the GUI thread (clicks push values through
// SetParameterFromGUI, which takes the plug-in mutex); no control field is
// written by another thread. Nothing here allocates after construction except
// the popup menus, built on the GUI thread on the first right-click.

#include "IControls.h"
#include "Sequencer.h"

#include <atomic>
#include <memory>

class IPopupMenu;
class SequencerBase;
struct ModifierStepView;

// The strip under a step: red outside the sequencer's window, white on the
// current step, grey otherwise. Not bound to a parameter.
class StepMarkerCanvas : public IControl {
public:
  StepMarkerCanvas(IPlugBase* pPlug, const IRECT& rect, ModifierStepView* pView);
  bool Draw(IGraphics* pGraphics) override;
  ModifierStepView* GetView() const { return mpView; }

  static IColor ColorFor(const ModifierStepView& view);

private:
  ModifierStepView* mpView;  // not owned
};

// One step of a panel: its three controls, the sequencer and the step index.
// Whether a step is the sequencer's current one: the plug-in's published flag
// once the editor binds it (read lock-free on the GUI thread), else a value of
// its own.
class StepCurrentFlag {
public:
  void Follow(const std::atomic<bool>* pFlag) { mpFlag = pFlag; }
  operator bool() const { return mpFlag ? mpFlag->load(std::memory_order_relaxed) : mOwn; }
  StepCurrentFlag& operator=(bool on)
  {
    mOwn = on;
    return *this;
  }

private:
  const std::atomic<bool>* mpFlag = nullptr;
  bool mOwn = false;
};

struct ModifierStepView {
  IControl* mModifierControl = nullptr;
  IControl* mLifetimeControl = nullptr;
  StepMarkerCanvas* mMarker = nullptr;
  StepCurrentFlag mIsCurrent;
  SequencerBase* mSequencer = nullptr;
  int mPosition = 0;

  // Moves the "current" mark here or away and asks for a redraw of the strip.
  void SetCurrent(bool on);
};

// The lifetime switch: frames "Temp" (0) and "Perm" (1).
class StepPermanentControl : public ISwitchControl {
public:
  using ISwitchControl::ISwitchControl;
};

// Modifier button: a click steps to the next modifier (wrapping), a right-click
// opens a menu of the modifiers grouped by kind with the step's current one
// checked. The menu is made on the first right-click and kept.
class StrikeModifierControl : public ISwitchControl {
public:
  StrikeModifierControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                        StrikeModifierSequencer* pSequencer, int idx);
  ~StrikeModifierControl() override;
  IPopupMenu* CreateParamPopup() override;
  void FreeParamPopup(IPopupMenu* pMenu) override;  // the kept menu is not freed
  void OnParamPopupChoice(IPopupMenu* pMenu, int index) override;

private:
  std::unique_ptr<IPopupMenu> mpMenu;
  StrikeModifierSequencer* mpSequencer;
  int mIdx;
};

class MelodyModifierControl : public ISwitchControl {
public:
  MelodyModifierControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                        MelodyModifierSequencer* pSequencer, int idx);
  ~MelodyModifierControl() override;
  IPopupMenu* CreateParamPopup() override;
  void FreeParamPopup(IPopupMenu* pMenu) override;
  void OnParamPopupChoice(IPopupMenu* pMenu, int index) override;

private:
  std::unique_ptr<IPopupMenu> mpMenu;
  MelodyModifierSequencer* mpSequencer;
  int mIdx;
};

// The step records of one panel, in step order; owns them.
template <class SEQUENCER>
class StepSequencerControl {
public:
  static constexpr int SIZE = MODIFIER_SEQUENCER_STEPS;

  StepSequencerControl() = default;
  StepSequencerControl(const StepSequencerControl&) = delete;
  StepSequencerControl& operator=(const StepSequencerControl&) = delete;
  virtual ~StepSequencerControl() = default;

  ModifierStepView& GetStep(int idx);
  ModifierStepView mSteps[SIZE];
};

// idx, or 0 when it is outside the steps (a broken invariant).
int CheckedModifierStepIndex(int idx);

template <class SEQUENCER>
ModifierStepView& StepSequencerControl<SEQUENCER>::GetStep(int idx)
{
  return mSteps[CheckedModifierStepIndex(idx)];
}

using StrikeModifierSequencerControl = StepSequencerControl<StrikeModifierSequencer>;
using MelodyModifierSequencerControl = StepSequencerControl<MelodyModifierSequencer>;

// Builds a panel's controls onto the editor in the panel order (run switch,
// then per step: modifier button, lifetime switch, marker strip) and fills the
// panel's step records. Bitmaps: run 125, lifetime 117, modifier 118 or 119,
// already loaded by the caller.
struct ModifierPanelBitmaps {
  IBitmap mRun;
  IBitmap mLifetime;
  IBitmap mModifier;
};
void BuildStrikeModifierPanel(IGraphics* pGraphics, IPlugBase* pPlug, StrikeModifierSequencer* pStrikeModifierSequencer,
                              const ModifierPanelBitmaps& bitmaps, StrikeModifierSequencerControl& panel);
void BuildMelodyModifierPanel(IGraphics* pGraphics, IPlugBase* pPlug, MelodyModifierSequencer* pMelodyModifierSequencer,
                              const ModifierPanelBitmaps& bitmaps, MelodyModifierSequencerControl& panel);
