#pragma once
// The plug-in's editor: built when the host opens it, on the platform's
// graphics object, in a fixed order that is also the drawing order (knobs with
// their value read-outs, sequencer switch, spinners, the pattern grid, the
// groove editor, the edit buttons, the two modifier panels, the preset name,
// the chord span, the name plate with its size menu), then connected to the
// pattern grid and handed to the
// plug-in base; freed when the host closes it.
//
// The value read-outs observe their knobs and show the bound parameter's value
// as text whenever the knob changes.
//
// Thread: everything runs on the GUI thread (building with the editor mutex
// held and the plug-in mutex free; Connect and Disconnect with both held).
// At the start of every dirty check of the redraw
// timer (X11: the host's idle call; Win32: the window's timer) TakeChanges
// takes what the plug-in's threads published in the grid (TavrinelGui: the
// groove, the row switches, the sequencer strips) and marks
// the editor's own controls; the grid cells' controls, the row handles and
// the chord span take their changes themselves. The read-outs copy their parameter's value under the plug-in
// mutex. The undo keys act on the plug-in's history, which takes the plug-in
// mutex itself. No lock of its own.

#include "Chord.h"
#include "IControls.h"
#include "ISubject.h"
#include "ModifierPanels.h"

#include <cstdint>
#include <memory>
#include <vector>

class ChordSequencerSpanControl;
class IGraphics;
class IGrooveMakerCanvas;
class IGrooveMakerStepMarker;
class LogoControl;
class PresetNameControl;
class Tavrinel;

// A knob's value as text: copies the knob's hidden and grayed state to the
// text control, then sets its text from the knob's parameter.
class ValueReadOutBase : public IObserverInterface {
public:
  ValueReadOutBase(IControl* pKnob, ITextControl* pText) : mpKnob(pKnob), mpText(pText) {}
  void Update() override;
  // The text for the knob's parameter as it is now.
  virtual void Format(char* out, int size) const = 0;
  ITextControl* GetTextControl() const { return mpText; }
  IControl* GetKnob() const { return mpKnob; }

protected:
  IControl* mpKnob;     // not owned (the editor owns its controls)
  ITextControl* mpText; // not owned
};

// "%.2f" of the value.
class ValueReadOut : public ValueReadOutBase {
public:
  using ValueReadOutBase::ValueReadOutBase;
  void Format(char* out, int size) const override;
};

// "true" from 0.5 up, else "false".
class ValueReadOutBool : public ValueReadOutBase {
public:
  using ValueReadOutBase::ValueReadOutBase;
  void Format(char* out, int size) const override;
};

// "%d" of the value.
class ValueReadOutInt : public ValueReadOutBase {
public:
  using ValueReadOutBase::ValueReadOutBase;
  void Format(char* out, int size) const override;
};

// The parameter's display text for its value, "???" when it has none.
class ValueReadOutEnum : public ValueReadOutBase {
public:
  using ValueReadOutBase::ValueReadOutBase;
  void Format(char* out, int size) const override;
};

class TavrinelEditor {
public:
  static constexpr int WIDTH = 720;
  static constexpr int HEIGHT = 650;
  static constexpr int NUM_KNOBS = 14;
  static constexpr int NUM_EDIT_BUTTONS = 15;

  explicit TavrinelEditor(Tavrinel* pPlug);
  ~TavrinelEditor();
  TavrinelEditor(const TavrinelEditor&) = delete;
  TavrinelEditor& operator=(const TavrinelEditor&) = delete;

  // Loads the images and attaches the background and every control to an empty
  // pGraphics. Reads nothing of the plug-in that changes after its
  // construction; does not attach pGraphics to the plug-in.
  void Build(IGraphics* pGraphics);
  // Fills the grid's control slots (cells, row handles and switches, groove,
  // chord span) with the built controls. Plug-in mutex held.
  void Connect();
  // Empties the grid's control slots (the controls are about to go with their
  // graphics object). Plug-in mutex held.
  void Disconnect();
  // GUI thread: marks the controls whose published state changed since the
  // last call (run by the graphics object's frame task).
  void TakeChanges();

  // The text style of the editor's texts, at size 14 (16 for the preset name).
  static IText TextStyle(int size = 14);

  IKnobMultiControl* GetKnob(int i) const { return mKnobs[static_cast<size_t>(i)]; }
  ValueReadOutBase* GetReadOut(int i) const { return mReadOuts[static_cast<size_t>(i)].get(); }
  IControl* GetEditButton(int i) const { return mEditButtons[i]; }
  PresetNameControl* GetPresetNameControl() const { return mpPresetName; }
  LogoControl* GetLogo() const { return mpLogo; }
  ChordSequencerSpanControl* GetChordSpan() const { return mpChordSpan; }
  IGrooveMakerCanvas* GetGrooveCanvas() const { return mpGrooveCanvas; }
  IGrooveMakerStepMarker* GetGrooveStepMarker() const { return mpGrooveStepMarker; }
  StrikeModifierSequencerControl& GetStrikePanel() { return mStrikePanel; }
  MelodyModifierSequencerControl& GetMelodyPanel() { return mMelodyPanel; }
  // Panel of a modifier sequencer (SEQ_STRIKE, SEQ_MELODY): its step record.
  ModifierStepView& GetStepView(int which, int stepIdx);

private:
  int ParamIdx(const char* name) const;
  const IBitmap& Image(int id) const;
  // The knob and, in readOut, its value read-out.
  void AddKnob(IGraphics* pGraphics, const char* name, int x, int y, int frames, const IRECT& readOut);
  void AddSpinner(IGraphics* pGraphics, int paramIdx, int x, int y);
  void BuildGrid(IGraphics* pGraphics);

  static void FrameTask(void* pEditor) { static_cast<TavrinelEditor*>(pEditor)->TakeChanges(); }
  // Control+Z undoes, Control+Shift+Z and Control+Y redo (the plug-in's history).
  static bool UndoKeys(void* pEditor, int key, const IMouseMod& mod);

  Tavrinel* mpPlug;
  // What Connect puts into the grid's slots.
  struct CellControls {
    IControl* mCanvas = nullptr;
    IControl* mEnable = nullptr;
    IControl* mMarker = nullptr;
    IControl* mCounter = nullptr;
  };
  struct RowControls {
    IControl* mHandle = nullptr;
    IControl* mSolo = nullptr;
    IControl* mMute = nullptr;
  };
  CellControls mCells[MAX_STEPS][MAX_VARIATIONS_PER_CHORD];
  RowControls mRows[MAX_VARIATIONS_PER_CHORD];
  // Change counters of the grid as last taken (GUI thread).
  uint32_t mSeenGroove = 0, mSeenSwitches = 0;
  uint32_t mSeenSequencer[2] = {0, 0};
  std::vector<IBitmap> mImages;  // in the loading order of the image table
  IBitmap mKnob8, mKnob16, mKnob17, mKnob101, mKnob128;
  std::vector<IKnobMultiControl*> mKnobs;
  std::vector<std::unique_ptr<ValueReadOutBase>> mReadOuts;
  IControl* mEditButtons[NUM_EDIT_BUTTONS] = {};
  PresetNameControl* mpPresetName = nullptr;
  LogoControl* mpLogo = nullptr;
  ChordSequencerSpanControl* mpChordSpan = nullptr;
  IGrooveMakerCanvas* mpGrooveCanvas = nullptr;
  IGrooveMakerStepMarker* mpGrooveStepMarker = nullptr;
  StrikeModifierSequencerControl mStrikePanel;
  MelodyModifierSequencerControl mMelodyPanel;
};
