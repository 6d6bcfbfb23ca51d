#pragma once
// The plug-in class: 250 parameters and their change handlers, the transport
// clock, the block processing that turns pulses of the pattern into MIDI notes,
// and the plug-in state.
//
// Class tree: IPlugBase <- Tavrinel, one class for every format: each library's
// wrapper (IPlugVST, IPlugLV2) owns an instance and is its host. The generator
// itself is the TavrinelEngine base.
//
// Threads and locks:
// - Two engines. The plug-in's own (the TavrinelEngine base: pattern, settings,
//   handlers) is what the host's main thread, the editor, state and presets
//   read and change, always under the plug-in mutex. The audio thread plays
//   its own engine and takes no lock, waits for nothing and allocates nothing.
// - Into the audio thread: every parameter handler that runs on the plug-in's
//   engine, every pattern or groove change (found by comparing the pattern
//   with what was last handed over, when the mutex is released), the few
//   engine steps that are no handler (chord span, preset load, reload after a
//   restore) and new room for notes are queued as operations and handed over
//   in one batch when the mutex is released; the audio thread applies every
//   batch in order at the start of its next call, so a state restore or a
//   preset load reaches a block whole or not at all. The operations are freed
//   on the host's side.
// - Out of the audio thread: after a call that changed anything (a pulse, a
//   jump, an operation) it publishes one view (pattern, groove, play markers)
//   through a triple buffer; a parameter set on the audio thread itself (a
//   host's setParameter there, an LV2 port) is applied to the audio engine at
//   once and left as a per-parameter note. When the mutex is next taken, the
//   plug-in takes the notes in and, once the audio engine has applied every
//   operation handed to it, takes the view's pattern as its own and shows the
//   markers on the grid; a stopped transport publishes nothing. The view read
//   last doubles as the record of what was handed over.
// - ProcessBlock called directly (tests and tools that drive the class without
//   a host) plays the plug-in's own engine under the mutex, as a one-thread
//   program may.
// - The configuration, the preset tree and the preset files belong to the
//   thread that builds the plug-in and to the editor thread (the preset menu);
//   the audio thread never touches them. Configuration and tree are shared by
//   every instance of the process (SharedSettings, with short locks of its
//   own). readPresetFile and writePresetFile take the plug-in mutex themselves
//   while they read or change the pattern and the parameters, never while
//   they wait for the disk.
// - The editor exists only while the host shows it: built on the GUI thread
//   when the host opens it (OnEditorOpening) and freed when it closes
//   (OnEditorClosed), with the editor mutex held, the plug-in mutex taken
//   only to connect or disconnect it.
// - None of these threads touches an editor object. What the editor must
//   redraw is published lock-free in the grid (TavrinelGui: change counters,
//   markers, span, switch values) and, for parameter values and whole
//   redraws, left as notes in the graphics object; the editor takes both on
//   its own thread. The plug-in knows its editor only as an EditorPort.
// - No host callback for the editor's sake (automate, begin/end edit, update
//   display) is made with the plug-in mutex held: after a preset load the
//   host hears of the changed announced parameters once the mutex is free.
// - No other lock is taken anywhere in this class.

#include "EditorPort.h"
#include "IPlugBase.h"
#include "PresetName.h"
#include "SharedSettings.h"
#include "TavrinelEngine.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IGraphics;
class ITextControl;
class PresetFolder;
class TavrinelEditor;
class TavrinelGui;

class Tavrinel : public IPlugBase, public TavrinelEngine {
public:
  static constexpr int NUM_PROGRAMS = 6;
  // The LV2 library's plug-in and editor (its entry point names them).
  static constexpr const char* PLUG_LV2_URI = "urn:quellbrook:tavrinel";
  static constexpr const char* PLUG_LV2_UI_URI = "urn:quellbrook:tavrinel#ui";
  static constexpr int NUM_MIDI_CHANNEL_SLOTS = 2;
  // The pool is sized for pulses of the densest note value at this tempo
  // (faster host tempi can reach the cap: see NoteStream), for blocks of at
  // least MIN_SIZED_BLOCK frames at the host's rate (MIN_SIZED_RATE while it
  // is unknown), and never beyond
  // MAX_PENDING_EVENTS records. The wrappers cut a longer host call into
  // slices of the block size they announced, so that size bounds a block.
  static constexpr double MAX_SIZED_TEMPO = 999.0;
  static constexpr int MIN_SIZED_BLOCK = 64;
  static constexpr double MIN_SIZED_RATE = 44100.0;
  static constexpr double MIN_KNOWN_RATE = 8000.0;
  static constexpr int MAX_PENDING_EVENTS = 1 << 17;
  // Pending note events a block of blockSize frames at sampleRate can leave,
  // and the notes they belong to (each note has an on and an off event).
  struct PoolSize {
    int events;
    int notes;
  };
  static PoolSize PoolFor(int blockSize, double sampleRate);

  // Host-free: the wrapper that owns the instance attaches itself as its host.
  Tavrinel();
  ~Tavrinel() override;

  // ---- hooks of the plug-in base ----
  void OnReset() override;
  void OnActivate(bool active) override;
  void OnParamChanged(int paramIdx) override;
  // Plays the plug-in's own engine under the mutex: for tests and tools that
  // drive the class directly. A host's audio thread goes through
  // ProcessAudioBlock.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  void ProcessMidiMessage(const IMidiMessage& msg) override;
  bool SerializeState(IStateChunk& chunk) override;
  int UnserializeState(const IStateChunk& chunk, int startPos) override;

  // ---- the audio thread (no lock, no allocation) ----
  void ProcessAudioBlock(double** inputs, double** outputs, int nFrames) override;
  bool SetParameterOnAudioThread(int paramIdx, double plainValue, bool onlyIfChanged) override;
  bool GetParameterOnAudioThread(int paramIdx, double& normalizedValue) override;

  // Takes in what the audio thread published since (play markers, the
  // pattern as it plays); the editor does so before every dirty check. Takes
  // the plug-in mutex, which must not be held by another thread of the caller's.
  void TakeInAudioChanges() { MutexLock lock(GetMutex()); }

  // The audio thread's engine, for tests and tools: read it only while no
  // audio call runs.
  const TavrinelEngine& AudioEngine() const;
  // How many views the audio thread has published (any thread).
  uint64_t PublishedViews() const;

  // The chord span dragged in the editor: the progression, the player's range
  // and "StepOne"/"NumStep" take it on both engines (mutex held; the host is
  // not told here).
  void ApplyChordSpan(int firstStep, int numSteps);
  // The editor's construction; null while none is built (the host has not
  // opened it or closed it again, no editor factory is registered, or the
  // editor went with its graphics object).
  TavrinelEditor* GetEditor() { return mpEditor ? mpEditor->GetTavrinelEditor() : nullptr; }
  // Builds the whole editor on pGraphics (an empty graphics object of 720 x
  // 650) through the registered editor factory and attaches it to the plug-in
  // base, which then owns it; a previous editor goes. The host's editor open
  // builds one on the platform's graphics object the same way (its close
  // frees it); tests and tools build theirs off screen here. Takes the editor
  // mutex, then the plug-in mutex only to connect and attach what it built.
  void BuildEditor(IGraphics* pGraphics);
  // The editor's code registers how an editor is made (static start-up; a
  // null member leaves that part out).
  static void SetEditorFactory(const EditorFactory& factory);
  static const EditorFactory& GetEditorFactory() { return Factory(); }
  // Another graphics object than the one BuildEditor made first disconnects
  // the engine from the built editor, whose controls go with the old object.
  void AttachGraphics(IGraphics* pGraphics) override;
  // The host opens the editor: one is built unless one is attached. The host
  // closed it (or it did not open): the editor and its graphics object go.
  void OnEditorOpening() override;
  void OnEditorClosed() override;

  // ---- the editor's undo history (TavrinelUndo.cpp; editor thread) ----
  // Every edit the user makes in the editor that the host does not record
  // (everything but the announced parameters, which are the host's to undo;
  // the chord span's two are the song's when the span is dragged) is one step:
  // what changed between the start and the end of a gesture (the plug-in
  // base's user input), kept as byte ranges of the song's state. A host
  // restore (a chunk or a program) empties the history. Undo and Redo restore
  // through UnserializeState under the mutex, then tell the host the song
  // changed as an edit does: call them with the mutex free. The others take
  // it themselves.
  bool Undo();
  bool Redo();
  bool CanUndo() const;
  bool CanRedo() const;
  // What the menus offer: "Undo <name>", "Redo <name>"; "" when none.
  std::string UndoName() const;
  std::string RedoName() const;
  // Names the step being recorded; the first name given to a step stays. A
  // step is kept only when it is named, or when a parameter of the song or
  // the groove's values changed (what no host or playing pattern changes).
  void NameEdit(const std::string& name);
  // The editor moved the chord span: "StepOne" and "NumStep" belong to this step.
  void NoteSpanMove();
  // What happens between the two calls is one step named name, unless a step
  // is being recorded already (a user input), which it then names. Open
  // returns whether it opened one: only then is Close called.
  bool OpenEditStep(const char* name);
  void CloseEditStep();
  // Steps to undo and to redo, and the heap the history holds.
  int NumUndoSteps() const;
  int NumRedoSteps() const;
  std::size_t HistoryBytes() const;

  // ---- configuration and preset files (TavrinelPresets.cpp; editor thread) ----
  // The configuration and the preset tree are the process's (SharedSettings):
  // read and scanned when first asked for, by whichever instance asks first,
  // not while an instance is built. Each instance keeps the tree it took until
  // it rescans. These calls run on the editor thread (the thread that built
  // the plug-in before the editor opens), one at a time per instance; they
  // take no lock of the plug-in's beyond what the preset reader and writer
  // take, and the audio thread never makes them.
  static constexpr int CONFIG_PRESET_FOLDER = SharedSettings::PRESET_FOLDER;  // configIdx of "PresetFolder"
  static constexpr const char* PRESET_EXTENSION = ".preset";

  // Writes the preset text (header, stored parameters, 48 melody lines, the
  // groove). False, with nothing else done, when pPath is null or empty or
  // the file cannot be created; otherwise the path becomes the current preset
  // (true when every byte was written).
  bool writePresetFile(const char* pPath);
  // Reads a preset text into the parameters, the pattern and the groove, then
  // runs every parameter's handler and makes the path the current preset.
  // Does nothing (false) when pPath is null or empty or the file cannot be
  // opened; a file without the "Tavrinel V<n>.<n>" header is still taken as
  // the current preset (its groove values too) but returns false.
  bool readPresetFile(const char* pPath);
  // Whether parameter paramIdx has a "param" line in a preset: a named
  // parameter other than the edit commands and the two sequencer resets.
  bool IsStoredInPreset(int paramIdx) const;

  // The preset menu's file items: reads the file numbered index in this
  // instance's preset tree (false for an unknown index or a failed read).
  bool loadPresetByIndex(int index);
  // "Rescan": builds the tree again from the "PresetFolder" setting; it
  // becomes this instance's tree and the one later instances take.
  void rescanPresets();
  // "Load ...": reads the file chosen in the file-open dialog.
  bool loadPresetFile(const char* pChosenPath);
  // "Save": writes to the current preset's path. False, writing nothing, when
  // there is none yet: the menu then acts as "Save As ...".
  bool savePreset();
  // "Save As ...": writes to the chosen path (".preset" appended by
  // presetPathForSave), then rescans the tree. Null or empty does nothing.
  bool savePresetAs(const char* pChosenPath);
  // The chosen path with ".preset" appended unless its first ".preset" ends it.
  static std::string presetPathForSave(const char* pChosenPath);

  // The "PresetFolder" setting ("" when not configured): the tree's root and
  // the file dialogs' start folder.
  const char* getPresetFolder() const;
  const ConfigurablePool& getConfiguration() const;
  // The root of this instance's preset tree, never null: the shared tree,
  // taken on the first call (and scanned then if no instance has asked yet).
  // Stays valid and unchanged until this instance rescans ("Rescan",
  // "Save As ...").
  const PresetFolder* getPresetTree() const;
  const PresetName& getCurrentPreset() const { return mPresetName; }
  // The editor's preset name control, which shows the current preset's name
  // after every read and write (null: none). Preset files are read and written
  // on the editor's thread, so the name is shown there at once.
  void SetPresetNameControl(ITextControl* pControl) { mpPresetNameControl = pControl; }

protected:
  void OnMutexAcquired() override;
  void OnMutexReleasing() override;
  void OnAudioCallBegin() override;
  void OnAudioCallEnd() override;
  void OnUserInputBegun() override;
  void OnUserInputEnded(bool gestureOpen) override;
  void OnHostRestore() override;

private:
  struct AudioPath;  // the audio thread's engine and everything handed to and from it
  class ReplayedScope;
  int mReplayedDepth = 0;  // handlers and steps the audio engine replays, running here
  struct AudioPathDeleter {
    void operator()(AudioPath* p) const;
  };
  struct UndoState;  // the history and the step being recorded (mutex held)
  struct UndoStateDeleter {
    void operator()(UndoState* p) const;
  };
  UndoState& Undoing();
  // Starts recording a step unless one is; ends and keeps the step (mutex held).
  void BeginEditStep();
  void EndEditStep();
  bool StepHistory(bool redo);
  using EngineStep = void (*)(TavrinelEngine& engine, int a, int b, double x);
  // Runs step on the plug-in's engine now and on the audio thread's with the
  // next batch (mutex held).
  void RunOnBothEngines(EngineStep step, int a = 0, int b = 0, double x = 0.0);
  // Builds the audio thread's engine, sized like the plug-in's (constructor).
  void StartAudioPath();
  // Hands the pattern and groove changes since the last hand-over to the
  // audio thread's engine as one operation (mutex held).
  void HandOverSongChanges();
  // Takes in what the audio thread published (mutex held).
  void TakeInFromAudio();
  // The parameter's value as the audio thread may read it.
  void MirrorParam(int paramIdx);

  static EditorFactory& Factory();
  void BuildEditorOn(IGraphics* pGraphics);
  // Disconnects and deletes the editor, if any. Takes the editor mutex, then
  // the plug-in mutex to take the editor away; deletes it after releasing that.
  void FreeEditor();
  // After a preset load, with the mutex released: the host hears of every
  // announced parameter whose value changed, then updates its display.
  void TellHostAfterLoad(const double* normalizedBefore);
  // Takes the process's shared settings (constructor); reads nothing.
  void LoadConfiguration();
  void ShowPresetName();

  // Parameter objects, descriptor tables and groove flags (TavrinelParams.cpp).
  void DefineParameters();
  // Sizes the note pools and the MIDI output lists (main thread).
  void SizeForBlocks();
  void SendMidiList();

  std::vector<IMidiMessage> mMidiOut;  // ProcessBlock's, when called directly
  bool mPlaysDirectly = false;         // ProcessBlock has been called directly
  std::unique_ptr<AudioPath, AudioPathDeleter> mpAudio;
  std::unique_ptr<UndoState, UndoStateDeleter> mpUndo;
  std::unique_ptr<EditorPort> mpEditor;
  IGraphics* mpEditorGraphics = nullptr;  // what mpEditor was built on

  std::shared_ptr<SharedSettings> mpSettings;
  mutable std::shared_ptr<const PresetFolder> mpPresetTree;  // null until first asked for
  PresetName mPresetName;
  ITextControl* mpPresetNameControl = nullptr;
};
