#pragma once
// The pattern grid's own controls: the four controls of every melody cell
// (note canvas, enable LED, repeat counter, play marker), the row handles left
// of each grid row, and the chord span fader above the grid.
//
// A cell's controls draw from a snapshot of the cell (MelodyCell::Snapshot,
// copied under the plug-in mutex in a few hundred nanoseconds), never from the
// pattern itself. A change is published by the grid as a counter per cell; a
// control that still sits in its cell's slot compares it with the last one it
// took whenever the redraw timer asks whether it is dirty, so a change that
// lands during a draw is drawn by the next one. Their context menus are built
// on first use and kept by the control for its whole life; "Undo" and "Redo"
// at their top name the plug-in's next steps (greyed out when there is none).
// Each edit names the step it makes in the plug-in's undo history: a menu
// command by its text and place, a hand edit by its kind.
//
// Threads and lock: every method runs on the editor (GUI) thread; no field of
// these controls is written by another thread. A gesture that edits the
// pattern (a click on a canvas, LED, counter or row handle, a menu command, a
// span drag) takes the plug-in's recursive mutex around the whole edit; an
// undo or redo from a menu runs with it free. Nothing here allocates after
// the first menu has been opened, but the names of steps and undo entries.

#include "IControl.h"
#include "IControls.h"
#include "TavrinelGui.h"

#include <cstdint>
#include <memory>

class IPopupMenu;
class MelodyCell;
class TavrinelGui;


namespace GridColors {
extern const IColor kGrey, kWhite, kBlack, kOrange, kYellow, kDarkYellow, kGreen, kDarkGreen, kRed, kDarkRed,
  kSelection, kGrooveBar, kGrooveBeyond, kSpanBar;
}

// Pulse layout of a 40 x 40 melody canvas for 2, 3 or 4 pulses per chord. The
// ranges are offsets from the control's left or top edge, both ends inclusive.
struct PulseLayout {
  static constexpr int NUM_ROWS = 5;
  // First and last x offset of pulse column k (k < numPulses).
  static void Column(int numPulses, int k, int& x0, int& x1);
  // First and last y offset of note row j (row 0 = bit 0, at the bottom).
  static void Row(int j, int& y0, int& y1);
  // The separators' x offsets: 1, 2 or 3 of them (returns the count).
  static int Separators(int numPulses, int xs[3]);
  // numPulses held to 2..4.
  static int Clamp(int numPulses);
};

// The melody cell's canvas: the pulses' playing masks as lit note boxes. A left
// click selects the cell (control: toggles it) and, without control, toggles
// the note under the pointer; a right click opens the melody context menu.
class MelodyCanvas : public IControl {
public:
  MelodyCanvas(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell, int paramIdx = MELODY_CANVAS_PARAM);
  ~MelodyCanvas() override;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* pGraphics) override;
  bool IsDirty() override;
  // The melody cell context menu, made once; its check marks and enabled
  // states are set afresh each time.
  IPopupMenu* CreateParamPopup() override;
  void FreeParamPopup(IPopupMenu* pMenu) override; // keeps it
  // Applies the chosen item's command code, permanent, under the plug-in mutex.
  void OnParamPopupChoice(IPopupMenu* pMenu, int index) override;

  MelodyCell* GetCell() const { return mpCell; }
  // The note box (before the one-pixel inset) of pulse k and row j for the
  // current layout.
  IRECT NoteRect(int k, int j) const { return mNoteRects[k][j]; }
  int GetLayoutPulses() const { return mLayoutPulses; }

private:
  void Layout(int numPulses);

  MelodyCell* mpCell;
  uint32_t mSeen = 0;
  std::unique_ptr<IPopupMenu> mpMenu;
  int mLayoutPulses = 2;
  IRECT mNoteRects[4][PulseLayout::NUM_ROWS];
};

// The cell's LED: green when audible, red when not; dark when the step is
// outside the active span. A click switches the melody on or off.
class EnableControl : public IControl {
public:
  EnableControl(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* pGraphics) override;
  bool IsDirty() override;

private:
  MelodyCell* mpCell;
  uint32_t mSeen = 0;
};

// The cell's repeat count (1..64) as a spinner: value v stands for
// int(v * 63) + 1. A drag or wheel turn writes the count into the melody at
// once; a count changed elsewhere (preset, state, paste, row commands) is taken
// over when the counter next draws.
class CounterControl : public ISpinnerControl {
public:
  CounterControl(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell);
  ~CounterControl() override;

  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int d) override;
  bool Draw(IGraphics* pGraphics) override;
  bool IsDirty() override;

  static int CountForValue(double value);
  static double ValueForCount(int count);

private:
  void WriteCount();   // the value's count into the melody (mutex held by caller)
  void FollowMelody(); // the melody's count into the value when changed elsewhere (mutex held)
  void FollowCount(int count);

  MelodyCell* mpCell;
  uint32_t mSeen = 0;
  int mShownCount = 1;
};

// The cell's play marker: a white bar under the pulse that is playing.
class PlayMarkerCanvas : public IControl {
public:
  PlayMarkerCanvas(IPlugBase* pPlug, const IRECT& rect, MelodyCell* pCell);
  bool Draw(IGraphics* pGraphics) override;
  bool IsDirty() override;

  IRECT MarkerRect(int k) const { return mMarkerRects[k]; }

private:
  void Layout(int numPulses);

  MelodyCell* mpCell;
  uint32_t mSeen = 0;
  int mLayoutPulses = 2;
  IRECT mMarkerRects[4];
};

// The square left of a grid row: a click selects the row (control: adds it, or
// removes a fully selected one); a right click opens the row context menu.
class MelodyRowControl : public IControl {
public:
  MelodyRowControl(IPlugBase* pPlug, const IRECT& rect, TavrinelGui* pGui, int rowNumber,
                   int paramIdx = ROW_CONTROL_PARAM);
  ~MelodyRowControl() override;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* pGraphics) override;
  // A grid refresh redraws the handle.
  bool IsDirty() override;
  IPopupMenu* CreateParamPopup() override;
  void FreeParamPopup(IPopupMenu* pMenu) override; // keeps it
  // Decodes the item's tag (a code, or 0x10000 + (code << 8) + count) and runs
  // the row command under the plug-in mutex.
  void OnParamPopupChoice(IPopupMenu* pMenu, int index) override;
  // The handle always holds 1 (what a grid refresh pushes to its parameter);
  // the plug-in's value is not taken over.
  void SetValueFromPlug(double value) override;

  int GetRowNumber() const { return mRowNumber; }
  static int RowMenuTag(int code, int count) { return 0x10000 + (code << 8) + count; }

private:
  TavrinelGui* mpGui;
  int mRowNumber;
  uint32_t mSeen = 0;
  std::unique_ptr<IPopupMenu> mpMenu;
};

// A horizontal fader with two thumbs over 0..maximum (12) units. The thumbs and
// the bar between them can be dragged; OnRangeChanged hears every accepted move.
class DoubleThumbFaderControl : public IControl {
public:
  enum EDrag { kDragNone = 0, kDragLow, kDragHigh, kDragBar };

  DoubleThumbFaderControl(IPlugBase* pPlug, const IRECT& rect, const IBitmap& thumb, int paramIdx = -1);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  bool Draw(IGraphics* pGraphics) override;
  virtual void OnRangeChanged(int low, int high);

  // Shows low..high without calling OnRangeChanged (the engine's side already
  // holds that span); ignored unless 0 <= low < high <= maximum. Marks dirty.
  void SetRange(int low, int high);

  int GetLow() const { return mLow; }
  int GetHigh() const { return mHigh; }
  int GetMaximum() const { return mMaximum; }
  int GetTrackStart() const { return mTrackStart; }
  int GetTrackEnd() const { return mTrackEnd; }
  int GetPixelsPerUnit() const { return mPixelsPerUnit; }
  const IRECT& GetLowThumbRect() const { return mLowThumb; }
  const IRECT& GetHighThumbRect() const { return mHighThumb; }
  const IRECT& GetBarRect() const { return mBar; }
  int GetDragMode() const { return mDrag; }

protected:
  void UpdateGeometry();
  int UnitAt(int x) const;

  IBitmap mThumb;
  int mHalfThumb;
  int mTrackStart, mTrackEnd;
  int mPixelsPerUnit;
  int mLow = 0, mHigh = 12;
  int mMaximum = 12;
  IRECT mLowThumb, mHighThumb, mBar;
  int mDrag = kDragNone;
  int mGrabUnit = 0, mGrabLow = 0, mGrabHigh = 0;
};

// The chord span above the grid: low is the first active step, high - low the
// number of active steps. A drag sets the progression's span, "StepOne" and
// "NumStep" through the grid (TavrinelGui::SetChordSpanFromEditor).
class ChordSequencerSpanControl : public DoubleThumbFaderControl {
public:
  ChordSequencerSpanControl(IPlugBase* pPlug, const IRECT& rect, const IBitmap& thumb, TavrinelGui* pGui);
  void OnRangeChanged(int low, int high) override;
  // A drag is one gesture on "StepOne" and "NumStep" for the host; the
  // release ends it (IGraphics).
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // The span the grid published ("StepOne"/"NumStep" handlers) is taken over
  // first, without calling OnRangeChanged.
  bool IsDirty() override;
  int GetLow()
  {
    TakePublishedSpan();
    return DoubleThumbFaderControl::GetLow();
  }
  int GetHigh()
  {
    TakePublishedSpan();
    return DoubleThumbFaderControl::GetHigh();
  }

private:
  void TakePublishedSpan();

  TavrinelGui* mpGui;
  uint32_t mSeen = 0;
};
