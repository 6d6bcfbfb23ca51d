#pragma once
// Host-neutral core of a plug-in: parameters, programs (preset slots), channel
// configurations and audio channel buffers, identity strings, the host's code,
// and the one recursive mutex that serialises every entry into the plug-in.
//
// The plug-in class derives from this alone and overrides the hooks (OnReset,
// OnParamChanged, ProcessBlock, ProcessMidiMessage, SerializeState,
// UnserializeState, ...). A format's wrapper (IPlugVST, IPlugLV2) owns one
// plug-in object, made by the factory its library's entry point hands it,
// drives it through the public methods below and serves it as its host
// (IPlugHost, attached with AttachHost). The host services (HostAutomate,
// GetHostTime, SendMidiMessage, ...) forward to that host and do the neutral
// thing while none is attached.
//
// Threads and locks:
// - The host's GUI/main thread calls the dispatcher-side operations (programs,
//   state, parameters, editor); its audio thread calls ProcessBlock and the MIDI
//   input. The editor runs on the GUI thread.
// - Every host entry but the audio thread's holds GetMutex() while it runs;
//   hooks are called with it held. The non-virtual operations below that touch
//   shared state take it themselves (it is recursive, so calling them from a
//   hook is fine). The mutex tells the plug-in when it is first taken and
//   before it is last released (OnMutexAcquired, OnMutexReleasing): there the
//   plug-in takes in what the audio thread published and hands over what
//   changed.
// - The audio thread takes no lock, waits for nothing and allocates nothing:
//   a wrapper's audio entry brackets its work with BeginAudioCall and
//   EndAudioCall and processes through ProcessAudioBlock, on the audio
//   thread's own channel buffers (AudioChannels), which the main thread
//   rebuilds and hands over whole when the block size or a connection
//   changes. A plug-in that keeps its state under the mutex leaves
//   ProcessAudioBlock as it is (it takes the mutex around ProcessBlock).
// - GetEditorMutex() serialises the editor's life on the GUI side: the host's
//   editor open, idle and close, and building, replacing or deleting the editor.
//   Whoever needs both takes the editor mutex first, then the plug-in mutex;
//   the audio thread never takes it.
// - The host services run on the threads IPlugHost.h names; the host is
//   attached before any other thread reaches the plug-in and outlives it, so
//   reading the pointer needs no lock.

#include "IMidiMessage.h"
#include "IPlugParam.h"
#include "IStateChunk.h"

#include "AudioHandover.h"
#include "IPlugHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class IGraphics; // the editor; owned by the plug-in once attached

// Host codes found by FindHostId (0 = unknown, -1 = not asked yet).
enum EHost {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostMelodyneStudio = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostDigitalPerformer = 22
};

// One program slot: the values of the announced parameters, under a name.
struct IPlugPreset {
  static constexpr int MAX_PRESET_NAME_LEN = 256;

  bool mInitialized = false;
  char mName[MAX_PRESET_NAME_LEN] = {};
  IStateChunk mChunk;
};

// One legal (inputs, outputs) combination.
struct IChannelIO {
  int mIn = 0;
  int mOut = 0;
};

// Audio channel records. mIndex is the channel's entry in the plug-in's input
// (output) pointer array; a disconnected channel's entry points at its silent
// scratch buffer. The scratch buffers are block-size long in the audio
// thread's copy (IAudioChannels) and empty in the plug-in's own records.
struct IInChannel {
  bool mConnected = false;
  int mIndex = 0;
  std::vector<double> mScratchBuf;
};

struct IOutChannel {
  bool mConnected = false;
  int mIndex = 0;
  float* mFDest = nullptr; // host buffer in single-precision processing
  std::vector<double> mScratchBuf;
};

class IPlugBase;

// The plug-in mutex: recursive, and it tells its plug-in when it is taken by
// a thread that did not hold it and before that thread lets go of it.
class IPlugMutex {
public:
  explicit IPlugMutex(IPlugBase& owner) : mOwner(owner) {}
  IPlugMutex(const IPlugMutex&) = delete;
  IPlugMutex& operator=(const IPlugMutex&) = delete;
  void lock();
  void unlock();
  bool try_lock();

private:
  IPlugBase& mOwner;
  std::recursive_mutex mMutex;
  int mDepth = 0;  // of the holding thread
};

// What one audio call needs of the channels: the audio thread's own copy,
// built on the main thread (never resized where the audio thread reads it).
struct IAudioChannels {
  int mBlockSize = 0;
  std::vector<IInChannel> mIn;
  std::vector<IOutChannel> mOut;
  std::vector<double*> mInData;
  std::vector<double*> mOutData;
};

class IPlugBase {
public:
  // The editor is deleted through the link, where its class is complete.
  struct GraphicsDeleter {
    void operator()(IGraphics* pGraphics) const;
  };

  static constexpr int MAX_EFFECT_NAME_LEN = 128;
  // "tffp": the magic at the start of every state handed to or taken from a host,
  // followed by the framework chunk version; then the plug-in's own state.
  static constexpr int32_t CHUNK_MAGIC = 0x70666674;
  static constexpr int32_t CHUNK_VERSION = 0x00010000;
  static constexpr int CHUNK_HEADER_SIZE = 8;
  // The largest state a host may hand in.
  static constexpr int MAX_CHUNK_SIZE = 16 << 20;
  static constexpr int MAX_BLOCK_SIZE = 1 << 20; // larger requests are ignored
  // The block size until the host names one.
  static constexpr int DEFAULT_BLOCK_SIZE = 1024;

  using Mutex = IPlugMutex;
  using EditorMutex = std::recursive_mutex;
  // Holds the plug-in mutex or the editor mutex for a scope.
  class MutexLock {
  public:
    explicit MutexLock(IPlugMutex& m) : mPlug(&m) { m.lock(); }
    explicit MutexLock(EditorMutex& m) : mEditor(&m) { m.lock(); }
    ~MutexLock()
    {
      if (mPlug) mPlug->unlock();
      else mEditor->unlock();
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    IPlugMutex* mPlug = nullptr;
    EditorMutex* mEditor = nullptr;
  };

  // vendorVersion and hostVersion are packed as major << 16 | minor << 8 | patch.
  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* vendorName, int32_t vendorVersion, int32_t uniqueID,
            int32_t vendorID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInstrument,
            bool plugUsesAudio = true);

  // Deletes the editor, then parameters, programs, channels and channel
  // configurations (each list from its last element down).
  virtual ~IPlugBase();

  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- hooks (called with the mutex held) ----
  virtual void OnReset();
  virtual void OnParamChanged(int paramIdx);
  // Default: copies input i to output i for every i below both channel counts and
  // zeroes the other outputs. Audio thread.
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);
  virtual void OnEditorOpened() {}
  virtual void OnEditorClosing() {}
  // An editor that exists only while the host shows it: OnEditorOpening runs
  // before the host's open call opens the window (a class that builds its
  // editor then does so here, unless one is attached), OnEditorClosed after
  // the close call, or after an open that showed nothing (it frees it). GUI
  // thread, editor mutex held, plug-in mutex free. Default: nothing, an
  // attached editor stays.
  virtual void OnEditorOpening() {}
  virtual void OnEditorClosed() {}
  virtual void OnActivate(bool active);
  // Incoming MIDI, before the next block. Default: passes the message on.
  virtual void ProcessMidiMessage(const IMidiMessage& msg);
  // Key name for the host; text has room for 64 bytes. Default: "" and false.
  virtual bool GetMidiNoteName(int noteNumber, char* text);
  // Default: SerializeParams (announced parameters only).
  virtual bool SerializeState(IStateChunk& chunk);
  // Returns the position after the last byte read, or -1 when the data ran out.
  virtual int UnserializeState(const IStateChunk& chunk, int startPos);
  // Appends one double per parameter (the whole list) from the arguments: bool,
  // int and enum parameters are passed as int, the others as double.
  virtual void AppendParamValues(IStateChunk* pChunk, ...);

  // ---- the audio thread: no lock, no allocation, no wait ----
  // A wrapper's audio entry calls BeginAudioCall first: the audio thread
  // takes the newest channel buffers the main thread prepared, and the
  // plug-in takes in what was handed over (OnAudioCallBegin). EndAudioCall
  // lets the plug-in publish what changed (OnAudioCallEnd).
  void BeginAudioCall();
  void EndAudioCall() { OnAudioCallEnd(); }
  // The audio thread's channels (valid between BeginAudioCall and EndAudioCall).
  IAudioChannels& AudioChannels() { return *mAudioChannels; }
  // Processes one slice on the audio thread. Default: ProcessBlock with the
  // mutex held, for a plug-in whose state lives under the mutex.
  virtual void ProcessAudioBlock(double** inputs, double** outputs, int nFrames)
  {
    MutexLock lock(mMutex);
    ProcessBlock(inputs, outputs, nFrames);
  }
  // Whether the caller is the thread that made the last audio call.
  bool IsAudioThread() const { return mAudioThread.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
  // A parameter change or read that arrives on the audio thread (a host's
  // setParameter there, an LV2 control port). True when the plug-in handled it
  // without a lock; false sends the caller down the locked path. The value is
  // plain (Set), normalised (Get); onlyIfChanged: a value equal to the
  // parameter's changes nothing (else the handler runs whatever the value).
  virtual bool SetParameterOnAudioThread(int /*paramIdx*/, double /*plainValue*/, bool /*onlyIfChanged*/) { return false; }
  virtual bool GetParameterOnAudioThread(int /*paramIdx*/, double& /*normalizedValue*/) { return false; }

  // ---- host services (forwarded to the attached host) ----
  // Editor gestures and edits, as the host hears of them. GUI thread (or the
  // main thread after a preset load), mutex free. No host: nothing.
  void HostBeginEdit(int paramIdx)
  {
    if (mpHost) mpHost->HostBeginEdit(paramIdx);
  }
  void HostAutomate(int paramIdx, double normalizedValue)
  {
    if (mpHost) mpHost->HostAutomate(paramIdx, normalizedValue);
  }
  void HostEndEdit(int paramIdx)
  {
    if (mpHost) mpHost->HostEndEdit(paramIdx);
  }
  // Asks the host to read the parameters and program names again.
  void HostUpdateDisplay()
  {
    if (mpHost) mpHost->HostUpdateDisplay();
  }
  // Tells the host that the saved state changed though no announced
  // parameter did (GUI thread, mutex free).
  void HostSongChanged()
  {
    if (mpHost) mpHost->HostSongChanged();
  }
  using HostTime = IHostTime;
  // Everything the block processing needs, from one question to the host
  // (IHostTime). No host: position 0, no tempo or signature, playing.
  void GetHostTime(HostTime& time)
  {
    time = HostTime();
    if (mpHost) mpHost->GetHostTime(time);
  }
  // The same, piecewise: the position rounded (0 for one before 0), the
  // tempo and the signature (0 where the host gives none).
  int64_t GetSamplePosition();
  double GetHostTempo();
  void GetTimeSignature(int& numerator, int& denominator);
  // Host transport. Outputs the host gives nothing for keep these values:
  // samplePos -1, tempo 120, ppqPos -1, lastBar -1, 4/4, cycle -1/-1; the two
  // bools are written only when the host reports transport state.
  void GetTransport(double& samplePos, double& tempo, double& ppqPos, double& lastBarPpq, int& numerator,
                    int& denominator, double& cycleStartPpq, double& cycleEndPpq, bool& transportPlaying,
                    bool& cycleActive);
  // A host's sample position rounded to a whole sample, held inside +-2^53
  // samples (centuries at any rate); NaN counts as 0.
  static int64_t RoundedSamplePos(double pos);
  // No host: KnownHostId.
  int GetHostId() { return mpHost ? mpHost->GetHostId() : mHost; }
  // Takes the editor's new window size (GUI thread, mutex free while a window
  // is open); false when the host refused it for an open window. No host: true.
  bool UpdateEditorSize() { return !mpHost || mpHost->UpdateEditorSize(); }
  // An editor of w x h that is built only when the host opens it: the host
  // learns of it before there is one. Construction.
  void DeclareEditor(int w, int h)
  {
    mDeclaredEditorW = w;
    mDeclaredEditorH = h;
  }
  // Takes ownership of the editor (null is ignored): pushes every parameter's
  // normalised value to it and lets it prepare its drawing surface. A previous
  // editor is deleted. GUI thread; takes the editor mutex, then the plug-in
  // mutex, so a caller must not already hold the plug-in mutex. The host
  // then hears of the editor's size (UpdateEditorSize).
  virtual void AttachGraphics(IGraphics* pGraphics);
  // Deletes the editor now, while everything its controls may reach is still
  // alive; a plug-in class calls it first thing in its destructor. Main thread;
  // takes the editor mutex, then the plug-in mutex.
  void DetachGraphics();
  void SetBlockSize(int blockSize);
  void SetLatency(int samples)
  {
    mLatency = samples;
    if (mpHost) mpHost->HostLatencyChanged(samples);
  }
  // Sample offsets are relative to the block being processed. No host: false.
  bool SendMidiMessage(const IMidiMessage& msg) { return mpHost && mpHost->SendMidiMessage(msg); }
  // Every message is tried; true when all went out.
  bool SendMidiMessages(const IMidiMessage* msgs, int count);

  bool SendMidiMessages(const std::vector<IMidiMessage>& msgs)
  {
    return SendMidiMessages(msgs.data(), static_cast<int>(msgs.size()));
  }

  // ---- parameters ----
  IPlugParam* GetParam(int idx);
  const IPlugParam* GetParam(int idx) const;
  int NParams() const { return static_cast<int>(mParams.size()); }
  // Appends a blank parameter at the end of the list (construction only).
  IPlugParam* AppendParam();
  // How many parameters SerializeParams/UnserializeParams handle when not told to
  // take all: the count announced to the host.
  int NParamsToSerialize() const { return mParamsToSerialize; }

  // The whole state as a host keeps it: header, then SerializeState. Clears chunk first.
  bool SerializeHostChunk(IStateChunk& chunk);
  // Reads a state a host hands back (with or without the header). Returns the
  // position after the last byte read, or -1; version gets the header's version
  // (0 without one).
  int UnserializeHostChunk(const IStateChunk& chunk, int32_t& version);

  bool SerializeParams(IStateChunk& chunk, bool all);
  // Runs OnParamChanged for every parameter, in order, with the mutex held:
  // what a host's open does, and what follows a whole new set of values.
  void RunAllParamHooks();
  int UnserializeParams(const IStateChunk& chunk, int startPos, bool all);

  // An editor gesture changed a parameter: sets it, tells the host (announced
  // parameters only), runs the hook. Any thread the editor runs on; takes the mutex.
  void SetParameterFromGUI(int paramIdx, double normalizedValue);
  // True while the hook runs for a change that SetParameterFromGUI made to
  // paramIdx: an edit the user asked for, not a restore, program change or
  // host value. Call with the mutex held (from the hook).
  bool IsChangeFromEditor(int paramIdx) const { return mEditorChangeIdx == paramIdx; }

  // Whether the host knows the parameter: one of the announced ones.
  bool IsHostParam(int paramIdx) const
  {
    return paramIdx >= 0 && paramIdx < mParamsToSerialize && paramIdx < NParams();
  }
  // Editor gestures, as the host hears of them (GUI thread, no lock: only the
  // editor's thread touches the open gesture). Only announced parameters are
  // reported; at most one gesture is open and a begin first ends it, so begin
  // and end always pair up. A gesture may edit several parameters at once
  // (up to MAX_OPEN_EDITS).
  static constexpr int MAX_OPEN_EDITS = 2;
  void BeginEditFromGUI(int paramIdx);
  void BeginEditsFromGUI(const int* paramIdx, int count);
  // Ends the open gesture, if any (the release, a lost release, the editor goes).
  void EndOpenEdit();

  // Changes to the song that no announced parameter carries (the pattern, the
  // groove, the sequencers' steps) reach the host through HostSongChanged.
  // The editor brackets every input it handles (a press, a drag step, a
  // release, a key, a menu choice, a dialog's answer) with BeginUserInput and
  // EndUserInput, on the GUI thread with the plug-in mutex free; the plug-in
  // calls NoteSongEdit (mutex held) when such a change is made meanwhile on
  // that thread (InUserInput). The host hears of the changes when the input
  // is handled: at once when no gesture stays open (gestureOpen), else at
  // most every SONG_NOTICE_MS while it lasts and at its end.
  static constexpr int SONG_NOTICE_MS = 100;
  void BeginUserInput();
  void EndUserInput(bool gestureOpen);
  bool InUserInput() const
  {
    return mUserInputDepth.load(std::memory_order_relaxed) > 0 &&
           mUserInputThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }
  void NoteSongEdit() { mSongEdits.fetch_add(1, std::memory_order_relaxed); }

  // Pushes every parameter's plain value to the editor, if one is attached,
  // without informing the host.
  void RedrawParamControls();
  // Every control of the attached editor redraws. Off the editor's thread it
  // only leaves a lock-free request for the editor's next redraw check.
  void RedrawEditor();

  // ---- programs ----
  bool RestorePreset(int idx);
  void ModifyCurrentPreset(const char* name = nullptr);
  void EnsureDefaultPreset();
  const char* GetPresetName(int idx) const; // "" out of range
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  int NPresets() const { return static_cast<int>(mPresets.size()); }

  // ---- host ----
  void SetHost(const char* productName, int32_t packedVersion);
  static int FindHostId(const char* productName);
  int32_t GetHostVersion() const { return mHostVersion; }

  // ---- channels ----
  bool LegalIO(int nIn, int nOut) const;
  int NChannelIO() const { return static_cast<int>(mChannelIO.size()); }
  int NInChannels() const { return static_cast<int>(mInChannels.size()); }
  int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
  bool IsInChannelConnected(int idx) const;
  bool IsOutChannelConnected(int idx) const;
  void SetInputConnections(int start, int count, bool connected);
  void SetOutputConnections(int start, int count, bool connected);
  // A plug-in built with plugUsesAudio false reads no audio and writes only
  // silence (a MIDI generator): its channels get no scratch buffers,
  // ProcessAudioBlock gets null channel pointers, and the wrappers silence the
  // host's outputs themselves.
  bool AudioUnused() const { return mAudioUnused; }

  // ---- identity and settings ----
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetVendorName() const { return mVendorName; }
  int32_t GetUniqueID() const { return mUniqueID; }
  int32_t GetVendorID() const { return mVendorID; }
  int32_t GetEffectVersion() const { return mVendorVersion; }
  bool DoesMidi() const { return mDoesMidi; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInstrument; }
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  IGraphics* GetGraphics() const { return mGraphics.get(); }

  Mutex& GetMutex() const { return mMutex; }
  EditorMutex& GetEditorMutex() const { return mEditorMutex; }

  // ---- for the format wrappers ----
  // Beside these, a wrapper drives the plug-in through the public hooks and
  // operations above (audio calls, parameters, programs, state, channels,
  // editor), on the threads and under the locks this file's header names.
  // The wrapper that owns this plug-in attaches itself as its host once the
  // plug-in is built, before any other thread reaches it; it deletes the
  // plug-in before it goes itself. Main thread.
  void AttachHost(IPlugHost* pHost) { mpHost = pHost; }
  // The code SetHost found (kHostUninit before it ran).
  int KnownHostId() const { return mHost; }
  // For a host that refuses a plug-in without audio channels: one more
  // channel configuration and its channels, connected. Main thread, at open.
  void AddHostChannels(int nIn, int nOut);
  // What DeclareEditor declared (0 x 0: nothing).
  int DeclaredEditorWidth() const { return mDeclaredEditorW; }
  int DeclaredEditorHeight() const { return mDeclaredEditorH; }

protected:
  friend class IPlugMutex;
  // The plug-in mutex was taken by a thread that did not hold it / is about
  // to be released by its last holder. Run with the mutex held; must not throw.
  virtual void OnMutexAcquired() {}
  virtual void OnMutexReleasing() {}
  // Audio thread hooks of BeginAudioCall and EndAudioCall.
  virtual void OnAudioCallBegin() {}
  virtual void OnAudioCallEnd() {}
  // The outermost BeginUserInput and EndUserInput (GUI thread, mutex free),
  // for a plug-in that groups the user's edits into steps of its own.
  virtual void OnUserInputBegun() {}
  virtual void OnUserInputEnded(bool /*gestureOpen*/) {}
  // The host replaced the state: a chunk (UnserializeHostChunk) or a program
  // (RestorePreset). Mutex held.
  virtual void OnHostRestore() {}
  // Builds the audio thread's channel buffers from the channels as they are
  // now and hands them over when the mutex is released (main thread, mutex held).
  void PublishAudioChannels();
  void MutexReleasing();

  // Resizes every scratch buffer to n doubles and zero-fills it.
  // Adds nIn input and nOut output channels (disconnected) and re-binds the
  // audio thread's copy, whose scratch buffers get the current block size.
  void AddChannels(int nIn, int nOut);
  void AddChannelIO(int nIn, int nOut);

  // Parameters live in blocks of PARAM_BLOCK (one allocation each, stable
  // addresses); mParams indexes them.
  static constexpr int PARAM_BLOCK = 64;
  IPlugParam* AppendParamUnlocked();
  std::vector<std::unique_ptr<IPlugParam[]>> mParamBlocks;
  std::vector<IPlugParam*> mParams;
  std::vector<std::unique_ptr<IPlugPreset>> mPresets;
  std::vector<std::unique_ptr<IChannelIO>> mChannelIO;
  char mEffectName[MAX_EFFECT_NAME_LEN] = {};
  char mProductName[MAX_EFFECT_NAME_LEN] = {};
  char mVendorName[MAX_EFFECT_NAME_LEN] = {};
  int32_t mUniqueID = 0;
  int32_t mVendorID = 0;
  int32_t mVendorVersion = 0;
  int32_t mHost = kHostUninit;
  int32_t mHostVersion = 0;
  bool mDoesMidi = false;
  bool mStateChunks = false;
  bool mIsInstrument = false;
  bool mAudioUnused = false;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency = 0;
  int mDeclaredEditorW = 0;
  int mDeclaredEditorH = 0;
  IPlugHost* mpHost = nullptr;  // the wrapper that owns this plug-in, if any
  std::unique_ptr<IGraphics, GraphicsDeleter> mGraphics;
  int mCurrentPresetIdx = 0;
  std::vector<std::unique_ptr<IInChannel>> mInChannels;
  std::vector<std::unique_ptr<IOutChannel>> mOutChannels;
  mutable Mutex mMutex{*this};
  mutable EditorMutex mEditorMutex;
  std::unique_ptr<IAudioChannels> mAudioChannels;  // the audio thread's
  LatestSlot<IAudioChannels> mNextAudioChannels;
  std::unique_ptr<IAudioChannels> mPendingAudioChannels;  // built, offered at the mutex's release
  bool mAudioChannelsGiven = false;  // main thread: the first set went straight in
  std::atomic<std::thread::id> mAudioThread{};
  int mParamsToSerialize = 0;
  int mOpenEdit[MAX_OPEN_EDITS] = {};  // the gesture the host was told of and not yet ended
  int mOpenEdits = 0;
  std::atomic<int> mUserInputDepth{0};                 // written by the GUI thread only
  std::atomic<std::thread::id> mUserInputThread{};
  std::atomic<uint32_t> mSongEdits{0};
  uint32_t mSongEditsTold = 0;                         // GUI thread
  std::chrono::steady_clock::time_point mSongToldAt{};  // GUI thread
  int mEditorChangeIdx = -1;  // see IsChangeFromEditor
};

// What a library's entry point hands its format's wrapper: makes the plug-in
// (null, or an exception, when it cannot).
using IPlugFactory = std::unique_ptr<IPlugBase> (*)();
