#pragma once
// The plug-in class: 250 parameters and their change handlers, the transport
// clock, the block processing that turns pulses of the pattern into MIDI notes,
// and the plug-in state.
//
// Class tree: IPlugBase <- IPlugVST <- Tavrinel (IPlugLV2 in place of IPlugVST in
// the LV2 library: PlugApi.h).
//
// Threads and locks:
// - The host's audio thread calls ProcessBlock and ProcessMidiMessage (through
//   the adapter, which holds the plug-in mutex); ProcessBlock takes the
//   recursive mutex again itself, so a direct call is safe too. After warm-up
//   the block processing allocates nothing: the note stream's pool and the MIDI
//   output list are sized on the main thread (construction, OnReset) for the
//   announced block size and sample rate (SizeForBlocks), and the stream drops
//   a new note rather than grow inside a process call.
// - The host's main/GUI thread, the editor and the state restore reach
//   OnParamChanged, OnReset, SerializeState and UnserializeState; each takes the
//   plug-in mutex for its whole run, so handlers never interleave with a block.
// - The configuration, the preset tree and the preset files belong to the
//   thread that builds the plug-in and to the editor thread (the preset menu);
//   the audio thread never touches them. readPresetFile and writePresetFile
//   take the plug-in mutex themselves while they read or change the pattern
//   and the parameters, never while they wait for the disk.
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

#include "Chord.h"
#include "ConfigurablePool.h"
#include "EditorPort.h"
#include "GrooveMaker.h"
#include "NoteStream.h"
#include "PlugApi.h"
#include "PresetName.h"
#include "PulseClock.h"
#include "Scale.h"
#include "Sequencer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IGraphics;
class ITextControl;
class PresetFolder;
class Tavrinel;
class TavrinelEditor;
class TavrinelGui;
struct ParamChangeDesc;

// Called on every change of a described parameter with its plain value.
using ParamChangeHandler = void (*)(Tavrinel& plug, const ParamChangeDesc& desc, double value);

// Static, read-only record of one described parameter. The kind-specific
// definition (default, range, display texts) lives in the record that embeds it.
struct ParamChangeDesc {
  const char* mName;
  const char* mLabel;
  int32_t mParamIdx;
  ParamChangeHandler mHandler;
};

// Parameter indices. Ranges of families are given by their first index.
enum EParamIdx {
  kTimeUnits = 0,
  kLengthUnits = 1,
  kSlow = 2,
  kSwing = 3,
  kChan = 4,
  kVel = 5,
  kVelJitt = 6,
  kLenJitt = 7,
  kHuman = 8,
  kTonic = 9,
  kNumStep = 10,
  kNumPulse = 11,
  kIval1 = 12,       // .. 23
  kSeqSteps = 24,
  kSeqEnab = 25,
  kMode = 26,
  kLifeProb = 27,
  kStepOne = 28,
  kStepDir = 29,
  kNumHostParams = 60,
  kGrooveLock0 = 62,   // .. 109
  kGrooveMute0 = 111,  // .. 158
  kUnnamedCommand = 160,
  kStkMod1 = 162,      // .. 169
  kStkModT1 = 171,     // .. 178
  kStkRun = 180,
  kSMDir = 181,
  kStkRst = 182,
  kStkCount = 183,
  kStkProb = 184,
  kStkBegin = 185,
  kStkLen = 186,
  kMelMod1 = 187,      // .. 194
  kMekModT1 = 196,     // .. 203
  kMelRun = 205,
  kMelDir = 206,
  kMelRst = 207,
  kMelCount = 208,
  kMelProb = 209,
  kMelBegin = 210,
  kMelLen = 211,
  kEditCmdFirst = 212, // "M L" .. "R LRp"
  kEditCmdLast = 232,
  kInterval = 233,
  kScale = 234,
  kRowSel1 = 235,      // .. 238
  kRowSolo1 = 240,     // .. 243
  kRowMute1 = 245,     // .. 248
  kNumParams = 250
};

// A length in samples truncated to an int. An absurd host tempo can make it
// larger than any int; such lengths are held at the clock's longest pulse.
int TruncateSamples(double samples);

// Quarter-note beats of the 17 note values shared by "TimeUnits" and "LengthUnits".
constexpr int NUM_BEAT_DIVISIONS = 17;
extern const double beatDivisionParamsTable[NUM_BEAT_DIVISIONS];
extern const char* const beatDivisionNames[NUM_BEAT_DIVISIONS];

// Numbers of the two modifier sequencers, as the editor's panels take them.
constexpr int SEQ_STRIKE = 0;
constexpr int SEQ_MELODY = 1;

class Tavrinel : public IPlugAPI {
public:
  static constexpr int NUM_PROGRAMS = 6;
  // The LV2 library's plug-in and editor.
  static constexpr const char* PLUG_LV2_URI = "urn:quellbrook:tavrinel";
  static constexpr const char* PLUG_LV2_UI_URI = "urn:quellbrook:tavrinel#ui";
  static constexpr int NUM_MIDI_CHANNEL_SLOTS = 2;
  // MIDI output list capacity made at construction: every key on every channel
  // released at once, plus the notes of a block of short dense pulses.
  static constexpr int MIDI_OUT_RESERVE = 4096;
  // The pool is sized for pulses of the densest note value at this tempo
  // (faster host tempi can reach the cap: see NoteStream), for blocks of at
  // least MIN_SIZED_BLOCK frames at MIN_SIZED_RATE, and never beyond
  // MAX_PENDING_EVENTS records.
  static constexpr double MAX_SIZED_TEMPO = 999.0;
  static constexpr int MIN_SIZED_BLOCK = 8192;
  static constexpr double MIN_SIZED_RATE = 44100.0;
  static constexpr int MAX_PENDING_EVENTS = 1 << 17;
  // Pending note events a block of blockSize frames at sampleRate can leave.
  static int PendingEventsFor(int blockSize, double sampleRate);

  explicit Tavrinel(IPlugAPI::HostHandle host);
  ~Tavrinel() override;

  // ---- hooks of the plug-in base ----
  void OnReset() override;
  void OnParamChanged(int paramIdx) override;
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  void ProcessMidiMessage(const IMidiMessage& msg) override;
  bool SerializeState(IStateChunk& chunk) override;
  int UnserializeState(const IStateChunk& chunk, int startPos) override;

  // The descriptor registered for a parameter index; null for none.
  const ParamChangeDesc* GetParamChangeDesc(int paramIdx) const;

  TavrinelGui* GetGui() { return mpGui.get(); }
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

  // Temp (0) and Perm (1) swap when a draw from the shared source exceeds
  // mPermanenceThreshold.
  int ResolvePermanence(int lifetime);

  // ---- the musical model and the engine's settings (read by the editor,
  // written by the parameter handlers; all under the plug-in mutex) ----
  ChordProgression mProgression;
  Melody mMelodyClipboard;
  MwcRandom mRandom;  // shared by humanising, permanence and jitter draws
  PulseClock mClock;
  ChordProgressionPlayer mPlayer;
  StrikeModifierSequencer mStrikeSequencer;
  MelodyModifierSequencer mMelodySequencer;
  GrooveMaker mGroove;
  Scale mScale;
  NoteStream mNoteStream;

  int32_t mTonic = 48;
  int32_t mMode = 0;
  int32_t mVelocity = 100;
  int32_t mNumPulses = MAX_PULSES_PER_MELODY;  // pulses per step, engine copy
  double mSlow = 1.0;                          // kept; nothing reads it
  double mVelJitter = 0.0;
  double mLenJitter = 0.0;
  int32_t mNoteLength = 0;                     // samples, follows mNoteLengthBeats at the clock's tempo
  double mNoteLengthBeats = 0.5;               // "LengthUnits" in quarter-note beats
  int32_t mChannelSlot[NUM_MIDI_CHANNEL_SLOTS] = {0, 1};
  int32_t mChannelToggle = 0;
  double mPermanenceThreshold = 1.0;
  int32_t mMelodyCountdown = 0;
  bool mAdvanceArmed = false;
  bool mReloadPending = false;
  int64_t mExpectedPos = -1;

  // Publishes the cursor of one modifier sequencer (SEQ_STRIKE, SEQ_MELODY)
  // for its editor panel and asks for the panel's steps to be redrawn.
  void ShowSequencerCursor(int which);
  // Publishes step stepIdx of a modifier sequencer as current (or not); the
  // editor's panel follows on its own thread. Runs on the audio thread too
  // (plug-in mutex held); lock-free, no allocation.
  void MoveSequencerMarker(int which, int stepIdx, bool on);

  // ---- configuration and preset files (TavrinelPresets.cpp; editor thread) ----
  static constexpr int CONFIG_PRESET_FOLDER = 0;  // configIdx of "PresetFolder"
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

  // The preset menu's file items: reads the file numbered index in the
  // preset tree (false for an unknown index or a failed read).
  bool loadPresetByIndex(int index);
  // "Rescan": builds the tree again from the "PresetFolder" setting.
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
  const ConfigurablePool& getConfiguration() const { return mConfigPool; }
  // The root of the preset tree; never null after construction.
  const PresetFolder* getPresetTree() const { return mpPresetTree.get(); }
  const PresetName& getCurrentPreset() const { return mPresetName; }
  // The editor's preset name control, which shows the current preset's name
  // after every read and write (null: none). Preset files are read and written
  // on the editor's thread, so the name is shown there at once.
  void SetPresetNameControl(ITextControl* pControl) { mpPresetNameControl = pControl; }

private:
  static EditorFactory& Factory();
  void BuildEditorOn(IGraphics* pGraphics);
  // Disconnects and deletes the editor, if any. Takes the editor mutex, then
  // the plug-in mutex to take the editor away; deletes it after releasing that.
  void FreeEditor();
  // After a preset load, with the mutex released: the host hears of every
  // announced parameter whose value changed, then updates its display.
  void TellHostAfterLoad(const double* normalizedBefore);
  // Configuration pool and first preset tree (constructor).
  void LoadConfiguration();
  void ShowPresetName();

  // Parameter objects, descriptor tables and groove flags (TavrinelParams.cpp).
  void DefineParameters();
  void RegisterParamDesc(const ParamChangeDesc* pDesc);
  void BuildDefaultPattern();
  // Sizes the note pool and the MIDI output list (main thread).
  void SizeForBlocks();
  // Recomputes mNoteLength from mNoteLengthBeats when the samples per beat changed.
  void FollowNoteLength();
  void Reposition(int64_t pos);
  void HandlePulse();
  void PlayCurrentPulse(int offset, int channel);
  void SendMidiList();

  const ParamChangeDesc* mpParamChangeDesc[kNumParams] = {};
  std::vector<IMidiMessage> mMidiOut;
  double mNoteLengthSamplesPerBeat = 0.0;  // what mNoteLength was computed with
  std::unique_ptr<TavrinelGui> mpGui;
  std::unique_ptr<EditorPort> mpEditor;
  IGraphics* mpEditorGraphics = nullptr;  // what mpEditor was built on
  // Every parameter's normalised value as constructed: what a control of an
  // editor built later returns to on a double-click.
  std::vector<double> mEditorDefaults;

  ConfigurablePool mConfigPool;
  std::unique_ptr<PresetFolder> mpPresetTree;
  PresetName mPresetName;
  ITextControl* mpPresetNameControl = nullptr;
};
