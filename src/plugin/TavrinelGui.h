#pragma once
// The editor's pattern grid: 12 step columns of 4 melody cells, the commands
// that edit one melody or one grid row, the cell selection those commands act
// on, the melody and row clipboards, and the row solo/mute logic.
//
// The grid works on the engine's pattern directly and belongs to the plug-in,
// not to the editor: the edit-command and solo/mute parameters run it on the
// host's thread. It never touches a control. What an editor has to redraw is
// published here without a lock: change counters per cell (content, play
// marker) and for the row handles, the groove, the chord span, the row
// switches and each modifier sequencer's strip, next to the values they show
// (marked pulse, sequencer markers, span, switch values) in atomics. The
// editor's controls compare the counters with what they last took, on the GUI
// thread, whenever the redraw timer asks whether they are dirty.
// The control slots (each cell's four controls, the row handles and switches,
// the groove controls, the chord span) are the editor's bookkeeping: written
// and read on the GUI thread only, never followed from here.
//
// Every engine has a grid (TavrinelEngine). The plug-in's own, the one the
// editor attaches to, runs on the threads that hold the plug-in's recursive
// mutex: the editor's (menus, clicks, edit buttons) and the host's
// (edit-command and solo/mute parameters, state restore); it learns of the
// playing engine's markers and pattern changes when the plug-in takes in what
// the audio thread published. The audio thread's engine has a grid of its own
// (no plug-in, no controls), used there without a lock. The counters and shown
// values may be read on any thread without the mutex. Nothing here allocates
// after construction and nothing takes a lock of its own except
// SetChordSpanFromEditor and Snapshot.

#include "Chord.h"
#include "Scale.h"

#include <atomic>
#include <cstdint>

class DoubleThumbFaderControl;
class IControl;
class Tavrinel;
class StepColumn;
class TavrinelGui;

// Melody command codes beyond the melody modifiers (0..18, EMelodyModifier).
enum EMelodyCommand {
  eMelodyCmdNothing = 19,
  eMelodyCmdEnable = 20,  // "Enable"
  eMelodyCmdDisable,      // "Disable"
  eMelodyCmdCopy,         // "Copy": into the engine's melody clipboard
  eMelodyCmdPaste,        // "Paste": from the engine's melody clipboard
  eMelodyCmdClear,        // "Clear"
  NUM_MELODY_COMMANDS
};

// Row command codes; the names are the row menu's labels.
enum ERowCommand {
  eRowEnable = 0,
  eRowDisable,
  eRowCopy,
  eRowPaste,
  eRowClear,
  eRowReverseChord,
  eRowReversePulse,
  eRowFlipTB,
  eRowShiftLeftPulse,   // count 1..47
  eRowShiftRightPulse,  // count 1..47
  eRowShiftUp,          // count 1..4
  eRowShiftDown,        // count 1..4
  eRowShiftLeftChord,   // count 1..11
  eRowShiftRightChord,  // count 1..11
  eRowRandomPulse,
  eRowScrambleChord,
  NUM_ROW_COMMANDS
};

extern const char* const rowCommandNames[NUM_ROW_COMMANDS];

// The parameters the grid's controls are bound to: unnamed, they exist so that
// a right click takes the parameter-prompt path and so opens the context menu.
// A grid refresh sets the row handles' parameter to its maximum (the value the
// handles always hold).
constexpr int MELODY_CANVAS_PARAM = 160;
constexpr int ROW_CONTROL_PARAM = 161;

// Solo and mute state of one grid row.
struct RowState {
  bool mSoloed = false;
  bool mUserMuted = false;
  bool mMutedBySolo = false;
};

// What a cell's controls draw, copied in one piece under the plug-in mutex.
struct MelodyCellView {
  int32_t mNumPulses = 0;
  int32_t mRepeatCount = 1;
  int mPlayingMask[MAX_PULSES_PER_MELODY] = {};
  bool mAudible = false;
  bool mActive = false;  // the step is inside the active span
  bool mSelected = false;
};

// One grid cell: the melody of one step and variation.
class MelodyCell {
public:
  MelodyCell() = default;
  MelodyCell(const MelodyCell&) = delete;
  MelodyCell& operator=(const MelodyCell&) = delete;

  // Applies one melody command (codes 0..24) to this cell's melody, then marks
  // the cell's controls dirty. For codes below 20 a clear permanent flag saves
  // the four pulses into the temporary backup first; codes 20..24 ignore it.
  void ApplyMelodyCommand(int code, bool permanent);

  // A click on the cell: with the control key the cell's selection toggles,
  // without it the whole selection is replaced by this cell.
  void SelectMelody(bool controlKey);

  // Marks the four controls dirty (redraw only, nothing pushed to the plug-in).
  void MarkDirty();

  // Switched on and not silenced (a soloed melody ignores its mute flag).
  bool IsAudible() const;
  // Audible and its step is inside the active span.
  bool IsLive() const;

  bool IsSelected() const { return mSelected.load(std::memory_order_relaxed); }
  int GetStepIdx() const { return mStepIdx; }
  int GetVariationIdx() const { return mVariationIdx; }
  Melody& GetMelody() { return *mpMelody; }
  const Melody& GetMelody() const { return *mpMelody; }
  StepColumn& GetColumn() { return *mpColumn; }
  // The pulse the play marker shows, -1 for none.
  int GetMarkedPulse() const { return mMarkedPulse.load(std::memory_order_relaxed); }
  // The drawable fields, copied under the plug-in mutex (none without a plug-in).
  MelodyCellView Snapshot() const;

  // Change counters: the content (all four controls) and the play marker.
  uint32_t ContentSerial() const { return mContentSerial.load(std::memory_order_acquire); }
  uint32_t MarkerSerial() const { return mMarkerSerial.load(std::memory_order_acquire); }

  // The editor attaches the cell's four controls here; null slots are skipped.
  void SetControls(IControl* pCanvas, IControl* pEnable, IControl* pPlayMarker, IControl* pCounter);
  IControl* GetCanvas() const { return mpCanvas; }
  IControl* GetEnableControl() const { return mpEnable; }
  IControl* GetPlayMarker() const { return mpPlayMarker; }
  IControl* GetCounter() const { return mpCounter; }

private:
  friend class StepColumn;
  friend class TavrinelGui;

  void Init(StepColumn* pColumn, int stepIdx, int variationIdx, Melody* pMelody);
  TavrinelGui& Gui();

  StepColumn* mpColumn = nullptr;
  Melody* mpMelody = nullptr;
  int mStepIdx = 0;
  int mVariationIdx = 0;
  std::atomic<bool> mSelected{false};
  std::atomic<int> mMarkedPulse{-1};
  std::atomic<uint32_t> mContentSerial{0};
  std::atomic<uint32_t> mMarkerSerial{0};
  IControl* mpCanvas = nullptr;
  IControl* mpEnable = nullptr;
  IControl* mpPlayMarker = nullptr;
  IControl* mpCounter = nullptr;
};

// One chord step of the grid: its four cells and the step that holds their melodies.
class StepColumn {
public:
  StepColumn() = default;
  StepColumn(const StepColumn&) = delete;
  StepColumn& operator=(const StepColumn&) = delete;

  MelodyCell& GetCell(int variationIdx);
  ChordStep& GetChordStep() { return *mpChordStep; }
  const ChordStep& GetChordStep() const { return *mpChordStep; }
  TavrinelGui& GetGui() { return *mpGui; }

private:
  friend class TavrinelGui;
  void Init(TavrinelGui* pGui, ChordStep* pChordStep, int stepIdx);

  TavrinelGui* mpGui = nullptr;
  ChordStep* mpChordStep = nullptr;
  MelodyCell mCells[MAX_VARIATIONS_PER_CHORD];
};

class TavrinelGui {
public:
  // pPlug may be null (tests): then nothing that needs the plug-in is touched.
  // Only the pointer is kept, for the editor's controls.
  TavrinelGui(Tavrinel* pPlug, ChordProgression& progression, Melody& melodyClipboard);
  TavrinelGui(const TavrinelGui&) = delete;
  TavrinelGui& operator=(const TavrinelGui&) = delete;

  Tavrinel* GetPlug() { return mpPlug; }
  ChordProgression& GetProgression() { return mProgression; }
  Melody& GetMelodyClipboard() { return mMelodyClipboard; }
  MelodyCell* GetCell(int stepIdx, int variationIdx);
  StepColumn& GetColumn(int stepIdx);

  // ---- commands ----
  // Melody command `code`, permanent, on every selected cell (step by step,
  // variation by variation within a step).
  void ApplyToSelectedMelodies(int code);
  // Row command `code` with count 1 on every row whose 12 cells are all selected.
  void ApplyToSelectedRows(int code);
  // One row command; `count` is used by the shift commands only. Always
  // permanent; the whole grid is marked dirty afterwards.
  void ApplyRowCommand(int rowNumber, int code, int count);
  bool IsRowClipboardEmpty() const { return mRowClipboardEmpty; }

  // ---- selection ----
  void SetCellSelected(int stepIdx, int variationIdx, bool on);
  void SetRowSelected(int rowNumber, bool on);
  void DeselectAll();
  bool IsRowFullySelected(int rowNumber) const;
  // A click on a row handle: with the control key a fully selected row is
  // deselected, any other is added; without it the row replaces the selection.
  void SelectRow(int rowNumber, bool controlKey);

  // ---- row solo and mute ("RowSolo1..4", "RowMute1..4" handlers) ----
  void SetRowSolo(int rowNumber, bool on);
  void SetRowMute(int rowNumber, bool on);
  // Shows every row's state on its solo and mute switch (without writing the
  // parameters back).
  void RefreshRowSwitches();
  const RowState& GetRowState(int rowNumber) const;
  // What the row's switches show (0 or 1), as last set by RefreshRowSwitches.
  int GetSoloSwitchValue(int rowNumber) const;
  int GetMuteSwitchValue(int rowNumber) const;

  // ---- editor feedback called by the engine ----
  // pulse < 0 clears the marker.
  void SetPulseMarker(int stepIdx, int variationIdx, int pulse);
  void MarkCellDirty(int stepIdx, int variationIdx);
  // Groove canvas and groove step marker.
  void MarkGrooveDirty();
  // which: 0 strike sequencer, 1 melody sequencer; stepIdx 0..7.
  void SetSequencerMarker(int which, int stepIdx, bool on);
  bool GetSequencerMarker(int which, int stepIdx) const;
  // The published marker itself, for a view that follows it (null out of range).
  const std::atomic<bool>* SequencerMarkerFlag(int which, int stepIdx) const;
  void MarkSequencerStepsDirty(int which);
  // "StepOne"/"NumStep" changed: the span control shows firstStep ..
  // firstStep + numSteps when that fits its 0..12 range; it is marked dirty
  // in every case.
  void UpdateChordSpan(int firstStep, int numSteps);
  // The span control was dragged: the progression takes the span (count
  // first, then first step, the player's range after each), "StepOne" and
  // "NumStep" take the new values (the host is told), and the grid redraws.
  // Takes the plug-in mutex; does nothing without a plug-in.
  void SetChordSpanFromEditor(int firstStep, int numSteps);
  // A span drag begins: one gesture on "StepOne" and "NumStep" for the host,
  // ended with the release (GUI thread, plug-in mutex free).
  void BeginSpanGesture();
  int GetSpanLow() const { return mSpan.load(std::memory_order_relaxed) & 0xFF; }
  int GetSpanHigh() const { return mSpan.load(std::memory_order_relaxed) >> 8; }
  // Change counters of the row handles, the groove controls, the chord span,
  // the row switches and a sequencer's step strips.
  uint32_t RowsSerial() const { return mRowsSerial.load(std::memory_order_acquire); }
  uint32_t GrooveSerial() const { return mGrooveSerial.load(std::memory_order_acquire); }
  uint32_t SpanSerial() const { return mSpanSerial.load(std::memory_order_acquire); }
  uint32_t SwitchSerial() const { return mSwitchSerial.load(std::memory_order_acquire); }
  uint32_t SequencerSerial(int which) const;
  // The groove controls and the chord span attached by the editor.
  IControl* GetGrooveCanvas() const { return mpGrooveCanvas; }
  IControl* GetGrooveStepMarker() const { return mpGrooveStepMarker; }
  DoubleThumbFaderControl* GetChordSpanControl() const { return mpChordSpan; }
  IControl* GetSoloSwitch(int rowNumber) const { return mpSoloSwitch[rowNumber & 3]; }
  IControl* GetMuteSwitch(int rowNumber) const { return mpMuteSwitch[rowNumber & 3]; }
  IControl* GetRowControl(int rowNumber) const { return mpRowControl[rowNumber & 3]; }
  // After a state restore or a preset load: everything redraws.
  void RefreshFromPattern();
  // Marks the four controls of all 48 cells and the row handles dirty.
  void RefreshGrid();

  // ---- control slots, filled when an editor connects (plug-in mutex held) ----
  void SetRowControls(int rowNumber, IControl* pRowControl, IControl* pSoloSwitch, IControl* pMuteSwitch);
  void SetGrooveControls(IControl* pCanvas, IControl* pStepMarker);
  void SetChordSpanControl(DoubleThumbFaderControl* pSpan);
  // Empties every control slot (cells, rows, groove, span). To be called before
  // the controls go away with their graphics object, so that no hook reaches
  // a deleted control.
  void DetachControls();

  static constexpr int NUM_SEQUENCERS = 2;
  static constexpr int SEQUENCER_STEPS = 8;
  static constexpr int SPAN_MAXIMUM = MAX_STEPS;

private:
  Melody& RowMelody(int rowNumber, int stepIdx);
  void MarkRowDirty(int rowNumber);
  void SetRowMuted(int rowNumber, bool muted);
  void SetRowSoloFlags(int rowNumber, bool solo);
  void ScrambleRow(int rowNumber);
  void ShiftRowPulses(int rowNumber, int count, bool left);
  void ShiftRowChords(int rowNumber, int count, bool left);

  Tavrinel* mpPlug;
  ChordProgression& mProgression;
  Melody& mMelodyClipboard;
  StepColumn mColumns[MAX_STEPS];

  MwcRandom mRandom;  // "Scramble (chord)"; lives as long as the editor
  bool mRowClipboardEmpty = true;
  Melody mRowClipboard[MAX_STEPS];

  RowState mRowState[MAX_VARIATIONS_PER_CHORD];
  std::atomic<int> mSoloSwitchValue[MAX_VARIATIONS_PER_CHORD] = {};
  std::atomic<int> mMuteSwitchValue[MAX_VARIATIONS_PER_CHORD] = {};

  std::atomic<bool> mSequencerMarker[NUM_SEQUENCERS][SEQUENCER_STEPS] = {};
  std::atomic<int> mSpan{SPAN_MAXIMUM << 8};  // low | high << 8, read in one piece

  std::atomic<uint32_t> mRowsSerial{0};
  std::atomic<uint32_t> mGrooveSerial{0};
  std::atomic<uint32_t> mSpanSerial{0};
  std::atomic<uint32_t> mSwitchSerial{0};
  std::atomic<uint32_t> mSequencerSerial[NUM_SEQUENCERS] = {};

  IControl* mpRowControl[MAX_VARIATIONS_PER_CHORD] = {};
  IControl* mpSoloSwitch[MAX_VARIATIONS_PER_CHORD] = {};
  IControl* mpMuteSwitch[MAX_VARIATIONS_PER_CHORD] = {};
  IControl* mpGrooveCanvas = nullptr;
  IControl* mpGrooveStepMarker = nullptr;
  DoubleThumbFaderControl* mpChordSpan = nullptr;
};
