#pragma once
// The VST 2.4 wrapper: owns one plug-in object (IPlugBase) made by the
// factory the library's entry point hands it, fills the descriptor (AEffect)
// the host drives, answers the dispatcher opcodes, converts the host's audio
// buffers for the plug-in's block processing, and serves the plug-in as its
// host (IPlugHost) through the host callback. The plug-in never sees VST.
//
// Threads and locks:
// - The dispatcher, setParameter and getParameter run on the host's GUI/main
//   thread (some hosts call them from others); the three process entries and
//   effProcessEvents on its audio thread. The audio thread's entries take no
//   lock: a process call runs between BeginAudioCall and EndAudioCall on the
//   audio thread's own channel buffers and MIDI list, and setParameter and
//   getParameter called from the thread that processes go to the plug-in's
//   lock-free path when it has one. Every other entry holds the plug-in mutex
//   for its whole duration, so all hooks but the audio ones run under it. No
//   host callback is made with it held: effProcessEvents on another thread
//   hands back what it passes through after releasing it; effOpen asks the
//   host who it is before taking it. (Past the room reserved for them, kept
//   events go out at once.) The MIDI list's room grows by a list built on the
//   main thread and handed over whole.
//   Exceptions: effEditIdle holds only the editor mutex (the editor takes the
//   plug-in mutex where it must), and effEditOpen/effEditClose take the editor
//   mutex, run OnEditorOpening and OnEditorClosed with it alone (an editor is
//   built and freed without holding up the audio thread), and take the
//   plug-in mutex only to open or close the window.
// - The host services (IPlugHost) run on the threads IPlugHost.h names: the
//   time and MIDI ones on the audio thread answer from what the process call
//   asked at its start and the list it keeps, without a lock or allocation.
// - Every entry is noexcept and counts itself in while it runs. effClose marks
//   the wrapper closing (later calls return at once with a neutral result),
//   waits until no other call is inside, deletes the editor, then the
//   wrapper and its plug-in. A host must still not call in after effClose has
//   returned.
// - Entry() holds a process-wide creation mutex while a plug-in object is built.
// - The process entries allocate nothing: single-precision buffers are converted
//   in the channels' scratch buffers (block-size long), and a call with more
//   frames than the block size is processed in slices of the block size. The
//   replacing entries start every declared output as silence; an input sharing
//   an output's buffer is read from a scratch copy. A plug-in that uses no
//   audio (IPlugBase::AudioUnused) gets no buffers, and the replacing entries
//   only silence the outputs.
//
// The library's entry function looks like:
//   TAV_VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback host)
//   { return IPlugVST::Entry<MyPlugin>(host); }
//   TAV_VST_MAIN_ALIAS(VSTPluginMain)
// where MyPlugin derives from IPlugBase and has a default constructor.

#include "IPlugBase.h"
#include "VstApi.h"

#include <atomic>
#include <vector>
#include <memory>
#include <mutex>

class IPlugVST : public IPlugHost {
public:
  ~IPlugVST() override;
  IPlugVST(const IPlugVST&) = delete;
  IPlugVST& operator=(const IPlugVST&) = delete;

  // Builds a plug-in with create under the process-wide creation mutex and
  // wraps it; on success calls EnsureDefaultPreset, raises numPrograms to at
  // least 1 and returns the descriptor. Null when create returns null or throws.
  static AEffect* Entry(audioMasterCallback hostCallback, IPlugFactory create) noexcept;

  template <class TPlug>
  static AEffect* Entry(audioMasterCallback hostCallback) noexcept
  {
    return Entry(hostCallback, [] { return std::unique_ptr<IPlugBase>(new TPlug); });
  }

  static std::mutex& CreationMutex();

  AEffect* GetAEffect() { return &mAEffect; }
  static IPlugVST* FromAEffect(AEffect* effect)
  {
    return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  }
  // The plug-in this wrapper drives.
  IPlugBase& Plug() const { return *mPlug; }

  // ---- host services ----
  void HostBeginEdit(int paramIdx) override;
  void HostAutomate(int paramIdx, double normalizedValue) override;
  void HostEndEdit(int paramIdx) override;
  void HostUpdateDisplay() override;
  void HostSongChanged() override { HostUpdateDisplay(); }
  // One audioMasterGetTime for the whole block.
  void GetHostTime(IHostTime& time) override;
  void GetTransport(double& samplePos, double& tempo, double& ppqPos, double& lastBarPpq, int& numerator,
                    int& denominator, double& cycleStartPpq, double& cycleEndPpq, bool& transportPlaying,
                    bool& cycleActive) override;
  // Asks the host for its product string and version once per object.
  int GetHostId() override;
  // The editor's size as the host reads it (effEditGetRect); an attached
  // editor is one the host may open. An open window asks the host to follow.
  bool UpdateEditorSize() override;
  void HostLatencyChanged(int samples) override { mAEffect.initialDelay = samples; }
  bool SendMidiMessage(const IMidiMessage& msg) override;

  // Whether the host's transport runs; a host that gives no time info counts as
  // playing.
  bool IsHostPlaying();

  // ---- descriptor entry functions ----
  // Each returns a neutral result (0, silent outputs) for an exception and for a
  // call that arrives once effClose has begun.
  static intptr_t TAV_VSTCALL VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                           void* ptr, float opt) noexcept;
  static void TAV_VSTCALL VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t nFrames) noexcept;
  static void TAV_VSTCALL VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                              int32_t nFrames) noexcept;
  static void TAV_VSTCALL VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                    int32_t nFrames) noexcept;
  static void TAV_VSTCALL VSTSetParameter(AEffect* effect, int32_t idx, float value) noexcept;
  static float TAV_VSTCALL VSTGetParameter(AEffect* effect, int32_t idx) noexcept;

  // True from the moment effClose begins.
  bool IsClosing() const { return mClosing.load(); }

private:
  IPlugVST(audioMasterCallback hostCallback, std::unique_ptr<IPlugBase> plug);

  intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t HostCall(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  // Asks the host for time info; null when it gives none.
  VstTimeInfo* GetTimeInfo(int32_t filter);
  // What a host needs at open (channels for hosts that refuse a plug-in
  // without them), once.
  void HostSpecificInit();

  enum class EProcessMode { kAccumulate, kReplace };

  // Counts a host call as inside the plug-in for its lifetime (so effClose waits
  // for it); Wrapper() is null for no plug-in or once effClose has begun.
  class EntryScope {
  public:
    explicit EntryScope(AEffect* effect) noexcept;
    ~EntryScope();
    EntryScope(const EntryScope&) = delete;
    EntryScope& operator=(const EntryScope&) = delete;
    IPlugVST* Wrapper() const { return mOpen ? mVst : nullptr; }
    bool Closing() const { return mVst && !mOpen; }

  private:
    IPlugVST* mVst;
    bool mOpen = false;
  };

  // effClose: refuses new calls, waits for those inside, deletes the editor and
  // then the plug-in.
  static intptr_t Close(IPlugVST* plug) noexcept;

  template <class TSample>
  static void SilenceOutputs(TSample** outputs, int nOutputs, int offset, int n) noexcept;
  template <class TSample>
  void ProcessEntry(TSample** inputs, TSample** outputs, int32_t nFrames, EProcessMode mode) noexcept;
  template <class TSample>
  void ProcessHostBuffers(TSample** inputs, TSample** outputs, int32_t nFrames, EProcessMode mode);
  void AttachInputs(double** inputs, double** outputs, int offset, int n);
  void AttachInputs(float** inputs, float** outputs, int offset, int n);
  void AttachOutputs(double** outputs, int offset, int n);
  void AttachOutputs(float** outputs, int offset, int n);
  void StoreOutputs(int n, EProcessMode mode);

  intptr_t GetChunk(bool isBank, void* ptr);
  intptr_t SetChunk(bool isBank, intptr_t size, void* ptr);
  intptr_t ProcessEvents(VstEvents* events);
  intptr_t GetPinProperties(bool isInput, int index, VstPinProperties* props);
  intptr_t CanDo(const char* text) const;
  // A parameter's display text, cut to what a host's parameter-text buffer holds.
  void CopyDisplayText(char* dest, int paramIdx, double value, bool normalized) const;
  void SyncChannelCounts();

  ERect mEditRect = {0, 0, 0, 0};
  ERect mRectTold = {0, 0, 0, 0};  // as the host last asked for it
  bool mEditorShown = false;       // between effEditOpen and effEditClose
  audioMasterCallback mHostCallback = nullptr;
  VstSpeakerArrangement mInputSpkrArr = {};
  VstSpeakerArrangement mOutputSpkrArr = {};
  bool mHostSpecificInitDone = false;
  IStateChunk mState; // last program chunk handed to the host
  IStateChunk mBankState; // last bank chunk handed to the host
  AEffect mAEffect = {};
  // Frames of the current host call processed before the slice now running; adds
  // to the sample position and MIDI offsets reported while slicing.
  int mSliceOffset = 0;
  // The host's time info, asked once per process call before the mutex is
  // taken and read by the block processing while mInProcess is set.
  VstTimeInfo mBlockTime = {};
  bool mHaveBlockTime = false;
  bool mInProcess = false;  // audio thread's; others read it only through InProcess()
  bool InProcess() const { return mPlug->IsAudioThread() && mInProcess; }
  // MIDI events of the process call running, sent at its end; when the list
  // is full, what it holds goes out first (each event is its own host call
  // either way, in the same order).
  static constexpr int OUTGOING_ROOM = 256;
  std::vector<VstMidiEvent> mOutgoingMidi;
  void SendOutgoingMidi();
  // What an effProcessEvents call passes back to the host, sent once the mutex
  // is released: the host's own event, or a message of ours kept in mMidi.
  struct PassedEvent {
    VstEvent* mHostEvent;
    VstMidiEvent mMidi;
  };
  static constexpr int PASS_THROUGH_ROOM = 128;
  std::vector<PassedEvent> mPassThrough;
  // The thread whose effProcessEvents call keeps what it passes through.
  std::atomic<std::thread::id> mPassThroughOwner{};
  // Taken by the effProcessEvents call that owns mPassThrough; a second call at
  // the same time (another thread) passes its events on at once instead.
  std::atomic<bool> mPassThroughTaken{false};
  void KeepPassedEvent(VstEvent* hostEvent, const VstMidiEvent* midi);
  void SendPassThrough();
  void SendEvent(VstEvent* ev);
  // The host's product string and version, asked without any lock; once it
  // is known, it is never asked again.
  void AskHostIdentity(char (&product)[256], int32_t& version);
  std::atomic<bool> mHostKnown{false};
  std::atomic<bool> mClosing{false};
  std::atomic<int> mEntriesInside{0};
  std::unique_ptr<IPlugBase> mPlug;  // deleted first thing in the destructor
};

// A plug-in a program hosts in its own process (tests, benchmarks): the
// descriptor Entry made for TPlug, closed through effClose when the holder goes.
template <class TPlug>
class IPlugVSTInstance {
public:
  explicit IPlugVSTInstance(audioMasterCallback hostCallback) : mEffect(IPlugVST::Entry<TPlug>(hostCallback)) {}
  // A TPlug that create makes.
  IPlugVSTInstance(audioMasterCallback hostCallback, IPlugFactory create)
    : mEffect(IPlugVST::Entry(hostCallback, create))
  {
  }
  ~IPlugVSTInstance()
  {
    if (mEffect) mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);
  }
  IPlugVSTInstance(const IPlugVSTInstance&) = delete;
  IPlugVSTInstance& operator=(const IPlugVSTInstance&) = delete;

  AEffect* Effect() const { return mEffect; }
  TPlug& Plug() const { return static_cast<TPlug&>(IPlugVST::FromAEffect(mEffect)->Plug()); }
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) const
  {
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
  }

private:
  AEffect* mEffect;
};
