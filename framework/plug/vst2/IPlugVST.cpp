#include "IPlugVST.h"

#include "IPlugGraphicsLink.h"
#include "TextField.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <thread>
#include <type_traits>
#include <vector>

namespace {
// Host values wider than int, clamped rather than wrapped into a valid index.
int ToInt(intptr_t v)
{
  if (v < INT_MIN) return INT_MIN;
  if (v > INT_MAX) return INT_MAX;
  return static_cast<int>(v);
}

int32_t SpeakerArrType(int nChannels)
{
  switch (nChannels) {
    case 0: return kSpeakerArrEmpty;
    case 1: return kSpeakerArrMono;
    case 2: return kSpeakerArrStereo;
    default: return kSpeakerArrUserDefined;
  }
}

bool IsOneOf(int v, std::initializer_list<int> list)
{
  for (int x : list) {
    if (x == v) return true;
  }
  return false;
}

constexpr int32_t kTransportFilter = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid |
                                     kVstTimeSigValid; // 0x3E00
} // namespace

IPlugVST::IPlugVST(audioMasterCallback hostCallback, std::unique_ptr<IPlugBase> plug)
  : mHostCallback(hostCallback), mPlug(std::move(plug))
{
  IPlugBase& p = *mPlug;
  mOutgoingMidi.reserve(OUTGOING_ROOM);
  mPassThrough.reserve(PASS_THROUGH_ROOM);
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.object = this;
  mAEffect.numPrograms = p.NPresets();
  mAEffect.numParams = p.NParamsToSerialize();
  mAEffect.numInputs = p.NInChannels();
  mAEffect.numOutputs = p.NOutChannels();
  mAEffect.uniqueID = p.GetUniqueID();
  const int32_t version = p.GetEffectVersion();
  mAEffect.version = ((version >> 16) & 0xFFFF) * 10000 + ((version >> 8) & 0xFF) * 100 + (version & 0xFF);
  mAEffect.initialDelay = p.GetLatency();
  mAEffect.ioRatio = 1.0f;

  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (p.DoesStateChunks()) mAEffect.flags |= effFlagsProgramChunks;
  if (p.LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (p.IsInstrument()) mAEffect.flags |= effFlagsIsSynth;

  mInputSpkrArr.numChannels = p.NInChannels();
  mInputSpkrArr.type = SpeakerArrType(p.NInChannels());
  mOutputSpkrArr.numChannels = p.NOutChannels();
  mOutputSpkrArr.type = SpeakerArrType(p.NOutChannels());

  // An editor built only when the host opens it: the host sees it
  // (effFlagsHasEditor, effEditGetRect) before there is one.
  const int w = p.DeclaredEditorWidth(), h = p.DeclaredEditorHeight();
  if (w > 0 && h > 0) {
    mEditRect.bottom = static_cast<int16_t>(h);
    mEditRect.right = static_cast<int16_t>(w);
    mAEffect.flags |= effFlagsHasEditor;
  }

  p.SetInputConnections(0, p.NInChannels(), true);
  p.SetOutputConnections(0, p.NOutChannels(), true);
  p.AttachHost(this);
}

IPlugVST::~IPlugVST()
{
  // The plug-in goes while the host it may still call in its destructor is whole.
  mPlug.reset();
  mState.Clear();
  mBankState.Clear();
}

std::mutex& IPlugVST::CreationMutex()
{
  static std::mutex sMutex;
  return sMutex;
}

AEffect* IPlugVST::Entry(audioMasterCallback hostCallback, IPlugFactory create) noexcept
{
  if (!create) return nullptr;
  try {
    std::lock_guard<std::mutex> lock(CreationMutex());
    std::unique_ptr<IPlugBase> made = create();
    if (!made) return nullptr;
    std::unique_ptr<IPlugVST> wrapper(new IPlugVST(hostCallback, std::move(made)));
    wrapper->mPlug->EnsureDefaultPreset();
    if (wrapper->mAEffect.numPrograms < 1) wrapper->mAEffect.numPrograms = 1;
    return &wrapper.release()->mAEffect;
  } catch (...) {
    // Nothing may escape into the host; a half-built plug-in is gone with its owner.
    return nullptr;
  }
}

// ---- host services ----

intptr_t IPlugVST::HostCall(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

VstTimeInfo* IPlugVST::GetTimeInfo(int32_t filter)
{
  // Inside a process call: the answer the host gave at its start.
  if (InProcess()) return mHaveBlockTime ? &mBlockTime : nullptr;
  return reinterpret_cast<VstTimeInfo*>(HostCall(audioMasterGetTime, 0, filter));
}

void IPlugVST::HostBeginEdit(int paramIdx) { HostCall(audioMasterBeginEdit, paramIdx); }

void IPlugVST::HostAutomate(int paramIdx, double normalizedValue)
{
  HostCall(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPlugVST::HostEndEdit(int paramIdx) { HostCall(audioMasterEndEdit, paramIdx); }

void IPlugVST::HostUpdateDisplay() { HostCall(audioMasterUpdateDisplay); }

void IPlugVST::GetHostTime(IHostTime& time)
{
  const VstTimeInfo* ti = GetTimeInfo(kVstTempoValid | kVstTimeSigValid | kTransportFilter);
  if (!ti) return;
  time.samplePos = IPlugBase::RoundedSamplePos(ti->samplePos + mSliceOffset);
  if ((ti->flags & kVstTempoValid) && ti->tempo >= 0.0) time.tempo = ti->tempo;
  if ((ti->flags & kVstTimeSigValid) && ti->timeSigNumerator >= 0 && ti->timeSigDenominator >= 0) {
    time.numerator = ti->timeSigNumerator;
    time.denominator = ti->timeSigDenominator;
  }
  if (ti->flags & kTransportFilter) time.playing = (ti->flags & kVstTransportPlaying) != 0;
}

void IPlugVST::GetTransport(double& samplePos, double& tempo, double& ppqPos, double& lastBarPpq, int& numerator,
                            int& denominator, double& cycleStartPpq, double& cycleEndPpq, bool& transportPlaying,
                            bool& cycleActive)
{
  const VstTimeInfo* ti = GetTimeInfo(kTransportFilter);
  if (!ti || !(ti->flags & kTransportFilter)) return;

  samplePos = ti->samplePos + mSliceOffset;
  if ((ti->flags & kVstPpqPosValid) && ti->ppqPos >= 0.0) {
    ppqPos = ti->ppqPos;
    if (mSliceOffset > 0 && (ti->flags & kVstTempoValid) && ti->tempo > 0.0) {
      const double sr = ti->sampleRate > 0.0 ? ti->sampleRate : mPlug->GetSampleRate();
      if (sr > 0.0) ppqPos += mSliceOffset * ti->tempo / (60.0 * sr);
    }
  }
  if ((ti->flags & kVstTempoValid) && ti->tempo > 0.0) tempo = ti->tempo;
  if ((ti->flags & kVstBarsValid) && ti->barStartPos >= 0.0) lastBarPpq = ti->barStartPos;
  if ((ti->flags & kVstCyclePosValid) && ti->cycleStartPos >= 0.0 && ti->cycleEndPos >= 0.0) {
    cycleStartPpq = ti->cycleStartPos;
    cycleEndPpq = ti->cycleEndPos;
  }
  if ((ti->flags & kVstTimeSigValid) && ti->timeSigNumerator > 0 && ti->timeSigDenominator > 0) {
    numerator = ti->timeSigNumerator;
    denominator = ti->timeSigDenominator;
  }
  transportPlaying = (ti->flags & kVstTransportPlaying) != 0;
  cycleActive = (ti->flags & kVstTransportCycleActive) != 0;
}

bool IPlugVST::IsHostPlaying()
{
  const VstTimeInfo* ti = GetTimeInfo(kTransportFilter);
  if (ti && (ti->flags & kTransportFilter)) return (ti->flags & kVstTransportPlaying) != 0;
  return true;
}

void IPlugVST::AskHostIdentity(char (&product)[256], int32_t& version)
{
  std::memset(product, 0, sizeof(product));
  HostCall(audioMasterGetProductString, 0, 0, product);
  product[sizeof(product) - 1] = '\0';
  version = 0;
  if (product[0]) {
    intptr_t v = HostCall(audioMasterGetVendorVersion);
    if (v < 0) v = 0;
    const uint32_t major = static_cast<uint32_t>(v / 10000);
    const uint32_t minor = static_cast<uint32_t>((v % 10000) / 100);
    const uint32_t patch = static_cast<uint32_t>(v % 100);
    version = static_cast<int32_t>((major << 16) | (minor << 8) | patch);
  }
}

int IPlugVST::GetHostId()
{
  if (mPlug->KnownHostId() == kHostUninit) {
    char productStr[256];
    int32_t version = 0;
    AskHostIdentity(productStr, version);
    mPlug->SetHost(productStr, version);
    mHostKnown.store(true);
  }
  return mPlug->KnownHostId();
}

bool IPlugVST::UpdateEditorSize()
{
  IGraphics* graphics = mPlug->GetGraphics();
  if (!graphics) return true;
  const ERect old = mEditRect;
  mEditRect.top = 0;
  mEditRect.left = 0;
  mEditRect.bottom = static_cast<int16_t>(IGraphicsLink::Height(graphics));
  mEditRect.right = static_cast<int16_t>(IGraphicsLink::Width(graphics));
  mAEffect.flags |= effFlagsHasEditor;
  // An open window asks the host to follow; one that refuses keeps its size.
  if (!mEditorShown || (old.right == mEditRect.right && old.bottom == mEditRect.bottom)) return true;
  if (HostCall(audioMasterSizeWindow, mEditRect.right, mEditRect.bottom) != 0) return true;
  mEditRect = old;
  return false;
}

void IPlugVST::HostSpecificInit()
{
  if (mHostSpecificInitDone) return;
  mHostSpecificInitDone = true;

  IPlugBase& p = *mPlug;
  const int host = GetHostId();
  if (IsOneOf(host, {kHostForte, kHostAudition, kHostOrion, kHostSAWStudio})) {
    p.SetInputConnections(2, p.NInChannels() - 2, false);
    p.SetOutputConnections(2, p.NOutChannels() - 2, true);
  }
  if (IsOneOf(host, {kHostSonar, kHostAbletonLive, kHostForte, kHostAudition, kHostOrion, kHostSAWStudio}) &&
      p.NInChannels() == 0 && p.NOutChannels() == 0) {
    // These hosts refuse a plug-in without audio channels.
    p.AddHostChannels(2, 2);
  }
  SyncChannelCounts();
}

void IPlugVST::SyncChannelCounts()
{
  mInputSpkrArr.numChannels = mPlug->NInChannels();
  mOutputSpkrArr.numChannels = mPlug->NOutChannels();
  mAEffect.numInputs = mPlug->NInChannels();
  mAEffect.numOutputs = mPlug->NOutChannels();
}

bool IPlugVST::SendMidiMessage(const IMidiMessage& msg)
{
  VstMidiEvent ev;
  std::memset(&ev, 0, sizeof(ev));
  ev.type = kVstMidiType;
  ev.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent));
  const bool inProcess = InProcess();
  ev.deltaFrames = msg.mOffset + (inProcess ? mSliceOffset : 0);  // the slice offset is the audio thread's
  ev.midiData[0] = static_cast<char>(msg.mStatus);
  ev.midiData[1] = static_cast<char>(msg.mData1);
  ev.midiData[2] = static_cast<char>(msg.mData2);

  if (inProcess) {
    // Kept for the host until the call ends; a full list goes out first.
    if (mOutgoingMidi.size() == mOutgoingMidi.capacity()) SendOutgoingMidi();
    mOutgoingMidi.push_back(ev);
    return true;
  }
  if (mPassThroughOwner.load() == std::this_thread::get_id()) {
    KeepPassedEvent(nullptr, &ev);
    return true;
  }
  VstEvents events;
  std::memset(&events, 0, sizeof(events));
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&ev);
  return HostCall(audioMasterProcessEvents, 0, 0, &events, 0.0f) == 1;
}

void IPlugVST::SendOutgoingMidi()
{
  for (VstMidiEvent& ev : mOutgoingMidi) {
    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&ev);
    HostCall(audioMasterProcessEvents, 0, 0, &events, 0.0f);
  }
  mOutgoingMidi.clear();
}

void IPlugVST::KeepPassedEvent(VstEvent* hostEvent, const VstMidiEvent* midi)
{
  if (mPassThrough.size() == mPassThrough.capacity()) SendPassThrough();
  PassedEvent p;
  std::memset(&p, 0, sizeof(p));
  p.mHostEvent = hostEvent;
  if (midi) p.mMidi = *midi;
  mPassThrough.push_back(p);
}

void IPlugVST::SendEvent(VstEvent* ev)
{
  VstEvents one;
  std::memset(&one, 0, sizeof(one));
  one.numEvents = 1;
  one.events[0] = ev;
  HostCall(audioMasterProcessEvents, 0, 0, &one, 0.0f);
}

void IPlugVST::SendPassThrough()
{
  for (PassedEvent& p : mPassThrough) SendEvent(p.mHostEvent ? p.mHostEvent : reinterpret_cast<VstEvent*>(&p.mMidi));
  mPassThrough.clear();
}

// ---- descriptor entry functions ----
//
// Every entry is noexcept: an exception from anywhere below ends the call with a
// neutral result (0, or silent outputs), and the locks are released on the way.

IPlugVST::EntryScope::EntryScope(AEffect* effect) noexcept : mVst(FromAEffect(effect))
{
  if (!mVst) return;
  mVst->mEntriesInside.fetch_add(1);
  mOpen = !mVst->mClosing.load();
}

IPlugVST::EntryScope::~EntryScope()
{
  if (mVst) mVst->mEntriesInside.fetch_sub(1);
}

intptr_t IPlugVST::VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) noexcept
{
  if (opcode == effClose) return Close(FromAEffect(effect));
  EntryScope entry(effect);
  IPlugVST* vst = entry.Wrapper();
  if (!vst) return 0;
  try {
    switch (opcode) {
      case effIdle: return 0;
      case effEditIdle: {
        // Outside the plug-in mutex, so that a popup menu's loop inside it does
        // not hold up the audio thread; the editor mutex keeps the window from
        // being closed or the editor deleted under it.
        IPlugBase::MutexLock editorLock(vst->mPlug->GetEditorMutex());
        if (!vst->mClosing.load()) IGraphicsLink::Idle(vst->mPlug->GetGraphics());
        return 0;
      }
      case effEditOpen:
      case effEditClose: {
        // An editor built for the host is built before the window opens and
        // freed once it is closed (or did not open), with the plug-in mutex free.
        IPlugBase::MutexLock editorLock(vst->mPlug->GetEditorMutex());
        if (vst->mClosing.load()) return 0;
        if (opcode == effEditOpen) vst->mPlug->OnEditorOpening();
        intptr_t result = 0;
        {
          IPlugBase::MutexLock lock(vst->mPlug->GetMutex());
          result = vst->Dispatch(opcode, index, value, ptr, opt);
        }
        if (opcode == effEditClose || !result) vst->mPlug->OnEditorClosed();
        // The editor opened at another size than the host asked for before.
        const ERect& r = vst->mEditRect, &told = vst->mRectTold;
        if (opcode == effEditOpen && result && told.right > 0 && (r.right != told.right || r.bottom != told.bottom))
          vst->HostCall(audioMasterSizeWindow, r.right, r.bottom);
        return result;
      }
      case effOpen: {
        // Who the host is, asked before the mutex is taken.
        char product[256] = {};
        int32_t version = 0;
        const bool ask = !vst->mHostKnown.load();
        if (ask) vst->AskHostIdentity(product, version);
        IPlugBase::MutexLock lock(vst->mPlug->GetMutex());
        if (vst->mClosing.load()) return 0;
        if (ask && vst->mPlug->KnownHostId() == kHostUninit) {
          vst->mPlug->SetHost(product, version);
          vst->mHostKnown.store(true);
        }
        return vst->Dispatch(opcode, index, value, ptr, opt);
      }
      case effProcessEvents: {
        // What passes through goes back to the host at the end of the call, on
        // the audio thread without a lock, elsewhere once the mutex is free.
        intptr_t result = 0;
        const bool keep = !vst->mPassThroughTaken.exchange(true);
        struct Taken {
          IPlugVST* mVst;
          bool mKeep;
          ~Taken()
          {
            if (!mKeep) return;
            mVst->mPassThroughOwner.store(std::thread::id());
            mVst->mPassThrough.clear(); // nothing of the host's may outlive the call
            mVst->mPassThroughTaken.store(false);
          }
        } taken{vst, keep};
        if (keep) vst->mPassThroughOwner.store(std::this_thread::get_id());
        if (vst->mPlug->IsAudioThread()) {
          result = vst->Dispatch(opcode, index, value, ptr, opt);
        } else {
          IPlugBase::MutexLock lock(vst->mPlug->GetMutex());
          if (vst->mClosing.load()) return 0;
          result = vst->Dispatch(opcode, index, value, ptr, opt);
        }
        if (keep) {
          vst->mPassThroughOwner.store(std::thread::id());
          vst->SendPassThrough();
        }
        return result;
      }
      default: {
        IPlugBase::MutexLock lock(vst->mPlug->GetMutex());
        return vst->mClosing.load() ? 0 : vst->Dispatch(opcode, index, value, ptr, opt);
      }
    }
  } catch (...) {
    return 0;
  }
}

intptr_t IPlugVST::Close(IPlugVST* vst) noexcept
{
  if (!vst) return 0;
  // Only the first close goes on; every entry from now on turns back at once.
  bool wasClosing = false;
  if (!vst->mClosing.compare_exchange_strong(wasClosing, true)) return 0;
  // Wait for the calls already inside (including those waiting for a lock).
  while (vst->mEntriesInside.load() > 0) std::this_thread::yield();
  try {
    // The editor goes first, while everything its controls reach is alive.
    vst->mPlug->DetachGraphics();
  } catch (...) {
  }
  delete vst;
  return 0;
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t nFrames) noexcept
{
  EntryScope entry(effect);
  if (IPlugVST* vst = entry.Wrapper()) vst->ProcessEntry(inputs, outputs, nFrames, EProcessMode::kAccumulate);
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t nFrames) noexcept
{
  EntryScope entry(effect);
  if (IPlugVST* vst = entry.Wrapper()) {
    vst->ProcessEntry(inputs, outputs, nFrames, EProcessMode::kReplace);
  } else if (entry.Closing()) {
    // Still silence: the host's buffers are ours to fill.
    SilenceOutputs(outputs, effect->numOutputs, 0, nFrames);
  }
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                         int32_t nFrames) noexcept
{
  EntryScope entry(effect);
  if (IPlugVST* vst = entry.Wrapper()) {
    vst->ProcessEntry(inputs, outputs, nFrames, EProcessMode::kReplace);
  } else if (entry.Closing()) {
    SilenceOutputs(outputs, effect->numOutputs, 0, nFrames);
  }
}

void IPlugVST::VSTSetParameter(AEffect* effect, int32_t idx, float value) noexcept
{
  EntryScope entry(effect);
  IPlugVST* vst = entry.Wrapper();
  // A normalised value is 0..1: others are pulled into range, and a NaN says nothing.
  if (!vst || std::isnan(value)) return;
  value = std::min(1.0f, std::max(0.0f, value));
  try {
    if (vst->mPlug->IsAudioThread()) {
      // The parameter's range is fixed at construction: reading it here races with nothing.
      const IPlugParam* param = vst->mPlug->GetParam(idx);
      if (!param) return;
      if (vst->mPlug->SetParameterOnAudioThread(idx, param->PlainFromNormalized(value), false)) return;
    }
    IPlugBase::MutexLock lock(vst->mPlug->GetMutex());
    IPlugParam* param = vst->mPlug->GetParam(idx);
    if (!param || vst->mClosing.load()) return;
    IGraphicsLink::SetParameterFromPlug(vst->mPlug->GetGraphics(), idx, value, true);
    param->SetFromNormalized(value);
    vst->mPlug->OnParamChanged(idx);
  } catch (...) {
  }
}

float IPlugVST::VSTGetParameter(AEffect* effect, int32_t idx) noexcept
{
  EntryScope entry(effect);
  IPlugVST* vst = entry.Wrapper();
  if (!vst) return 0.0f;
  try {
    double normalized = 0.0;
    if (vst->mPlug->IsAudioThread() && vst->mPlug->GetParameterOnAudioThread(idx, normalized))
      return static_cast<float>(normalized);
    IPlugBase::MutexLock lock(vst->mPlug->GetMutex());
    const IPlugParam* param = vst->mPlug->GetParam(idx);
    return param ? static_cast<float>(param->ToNormalized()) : 0.0f;
  } catch (...) {
    return 0.0f;
  }
}

// ---- audio ----

template <class TSample>
void IPlugVST::SilenceOutputs(TSample** outputs, int nOutputs, int offset, int n) noexcept
{
  if (!outputs || n <= 0) return;
  for (int i = 0; i < nOutputs; ++i) {
    if (outputs[i]) std::fill(outputs[i] + offset, outputs[i] + offset + n, TSample(0));
  }
}

template <class TSample>
void IPlugVST::ProcessEntry(TSample** inputs, TSample** outputs, int32_t nFrames, EProcessMode mode) noexcept
{
  try {
    // No lock: the plug-in's audio path and the wrapper's audio-thread
    // members (time, channel buffers, MIDI list) belong to this thread.
    if (mClosing.load()) {
      if (mode == EProcessMode::kReplace) SilenceOutputs(outputs, mAEffect.numOutputs, 0, nFrames);
      return;
    }
    if (mPlug->DoesMidi()) HostCall(audioMasterWantMidi);
    const VstTimeInfo* ti = reinterpret_cast<const VstTimeInfo*>(HostCall(
      audioMasterGetTime, 0, kTransportFilter | kVstNanosValid | kVstSmpteValid | kVstClockValid));
    mHaveBlockTime = ti != nullptr;
    if (ti) mBlockTime = *ti;
    mPlug->BeginAudioCall();
    {
      mInProcess = true;
      struct InProcess {
        bool& mFlag;
        ~InProcess() { mFlag = false; }
      } inProcess{mInProcess};
      ProcessHostBuffers(inputs, outputs, nFrames, mode);
    }
    mPlug->EndAudioCall();
    SendOutgoingMidi();
  } catch (...) {
    // Silence and no further events; the next call starts afresh.
    mSliceOffset = 0;
    mOutgoingMidi.clear();
    if (mode == EProcessMode::kReplace) SilenceOutputs(outputs, mAEffect.numOutputs, 0, nFrames);
  }
}

template <class TSample>
void IPlugVST::ProcessHostBuffers(TSample** inputs, TSample** outputs, int32_t nFrames, EProcessMode mode)
{
  // The scratch buffers hold one block. A host that passes more frames than the
  // block size it set gets the call processed in slices of the block size, with
  // sample positions and MIDI offsets shifted so that the slices join up.
  const int total = nFrames > 0 ? nFrames : 0;
  const int sliceMax = mPlug->AudioChannels().mBlockSize;
  if (sliceMax < 1) {
    if (mode == EProcessMode::kReplace) SilenceOutputs(outputs, mAEffect.numOutputs, 0, total);
    return;
  }
  const bool unused = mPlug->AudioUnused();
  if (unused && mode == EProcessMode::kReplace) SilenceOutputs(outputs, mAEffect.numOutputs, 0, total);
  int done = 0;
  do {
    const int n = (total - done < sliceMax) ? total - done : sliceMax;
    mSliceOffset = done;
    if (unused) {
      // Neither read nor written: no buffers.
      mPlug->ProcessAudioBlock(mPlug->AudioChannels().mInData.data(), mPlug->AudioChannels().mOutData.data(), n);
      done += n;
      continue;
    }
    AttachInputs(inputs, outputs, done, n);
    // Replacing: every declared output starts as silence, whatever the host left
    // in it (inputs sharing its buffer were taken in above).
    if (mode == EProcessMode::kReplace) SilenceOutputs(outputs, mAEffect.numOutputs, done, n);
    AttachOutputs(outputs, done, n);
    mPlug->ProcessAudioBlock(mPlug->AudioChannels().mInData.data(), mPlug->AudioChannels().mOutData.data(), n);
    if (std::is_same<TSample, float>::value) StoreOutputs(n, mode);
    done += n;
  } while (done < total);
  mSliceOffset = 0;
}

void IPlugVST::AttachInputs(double** inputs, double** outputs, int offset, int n)
{
  int hostIdx = 0;
  for (IInChannel& ch : mPlug->AudioChannels().mIn) {
    double*& entry = mPlug->AudioChannels().mInData[static_cast<size_t>(ch.mIndex)];
    if (!ch.mConnected) {
      entry = ch.mScratchBuf.data();
      continue;
    }
    double* buf = inputs ? inputs[hostIdx] : nullptr;
    ++hostIdx;
    bool shared = false;
    for (int o = 0; buf && outputs && o < mAEffect.numOutputs; ++o) shared = shared || outputs[o] == buf;
    if (buf && !shared) {
      entry = buf + offset;
    } else {
      // No buffer, or one the outputs are about to overwrite with silence: a copy.
      if (buf) {
        std::copy(buf + offset, buf + offset + n, ch.mScratchBuf.begin());
      } else {
        std::fill(ch.mScratchBuf.begin(), ch.mScratchBuf.begin() + n, 0.0);
      }
      entry = ch.mScratchBuf.data();
    }
  }
}

void IPlugVST::AttachInputs(float** inputs, float**, int offset, int n)
{
  int hostIdx = 0;
  for (IInChannel& ch : mPlug->AudioChannels().mIn) {
    double* scratch = ch.mScratchBuf.data();
    mPlug->AudioChannels().mInData[static_cast<size_t>(ch.mIndex)] = scratch;
    if (!ch.mConnected) continue;
    const float* buf = inputs ? inputs[hostIdx] : nullptr;
    ++hostIdx;
    if (buf) {
      for (int i = 0; i < n; ++i) scratch[i] = buf[offset + i];
    } else {
      std::fill(scratch, scratch + n, 0.0);
    }
  }
}

void IPlugVST::AttachOutputs(double** outputs, int offset, int)
{
  int hostIdx = 0;
  for (IOutChannel& ch : mPlug->AudioChannels().mOut) {
    double*& entry = mPlug->AudioChannels().mOutData[static_cast<size_t>(ch.mIndex)];
    ch.mFDest = nullptr;
    entry = ch.mScratchBuf.data();
    if (!ch.mConnected) continue;
    double* buf = outputs ? outputs[hostIdx] : nullptr;
    ++hostIdx;
    if (buf) entry = buf + offset;
  }
}

void IPlugVST::AttachOutputs(float** outputs, int offset, int n)
{
  int hostIdx = 0;
  for (IOutChannel& ch : mPlug->AudioChannels().mOut) {
    // The plug-in adds nothing to what it leaves alone.
    std::fill(ch.mScratchBuf.begin(), ch.mScratchBuf.begin() + n, 0.0);
    mPlug->AudioChannels().mOutData[static_cast<size_t>(ch.mIndex)] = ch.mScratchBuf.data();
    ch.mFDest = nullptr;
    if (!ch.mConnected) continue;
    float* buf = outputs ? outputs[hostIdx] : nullptr;
    ++hostIdx;
    if (buf) ch.mFDest = buf + offset;
  }
}

void IPlugVST::StoreOutputs(int n, EProcessMode mode)
{
  for (IOutChannel& ch : mPlug->AudioChannels().mOut) {
    if (!ch.mConnected || !ch.mFDest) continue;
    const double* src = ch.mScratchBuf.data();
    float* dest = ch.mFDest;
    if (mode == EProcessMode::kAccumulate) {
      for (int i = 0; i < n; ++i) dest[i] += static_cast<float>(src[i]);
    } else {
      for (int i = 0; i < n; ++i) dest[i] = static_cast<float>(src[i]);
    }
  }
}

// ---- dispatcher ----

intptr_t IPlugVST::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      HostSpecificInit();
      mPlug->RunAllParamHooks();
      return 0;

    case effSetProgram:
      if (!mPlug->DoesStateChunks()) mPlug->ModifyCurrentPreset();
      mPlug->RestorePreset(ToInt(value));
      return 0;

    case effGetProgram: return mPlug->GetCurrentPresetIdx();

    case effSetProgramName:
      // The host's name may lack its terminator: read no further than the field.
      if (text) {
        char name[kVstMaxProgNameLen];
        CopyField(name, text, kVstMaxProgNameLen);
        mPlug->ModifyCurrentPreset(name);
      }
      return 0;

    case effGetProgramName:
      if (text) CopyField(text, mPlug->GetPresetName(mPlug->GetCurrentPresetIdx()), kVstMaxProgNameLen);
      return 0;

    case effGetParamLabel:
      if (text && mPlug->GetParam(index)) CopyField(text, mPlug->GetParam(index)->GetLabel(), kVstExtMaxParamStrLen);
      return 0;

    case effGetParamDisplay:
      if (text && mPlug->GetParam(index)) CopyDisplayText(text, index, mPlug->GetParam(index)->Value(), false);
      return 0;

    case effGetParamName:
      if (text && mPlug->GetParam(index)) CopyField(text, mPlug->GetParam(index)->GetName(), kVstExtMaxParamStrLen);
      return 0;

    case effSetSampleRate:
      // A rate that is not a positive number is not one: the last one stays.
      if (!(opt > 0.0f) || !std::isfinite(opt)) return 0;
      mPlug->SetSampleRate(opt);
      mPlug->OnReset();
      return 0;

    case effSetBlockSize:
      mPlug->SetBlockSize(ToInt(value));
      mPlug->OnReset();
      return 0;

    case effMainsChanged:
      if (value) {
        mPlug->OnActivate(true);
      } else {
        mPlug->OnActivate(false);
        mPlug->OnReset();
      }
      return 0;

    case effEditGetRect:
      // Before any editor is built too, when one is declared.
      if (ptr && mEditRect.right > 0 && mEditRect.bottom > 0) {
        *static_cast<ERect**>(ptr) = &mEditRect;
        mRectTold = mEditRect;
        return 1;
      }
      return 0;

    case effEditOpen:
      if (mPlug->GetGraphics() && IGraphicsLink::OpenWindow(mPlug->GetGraphics(), ptr) != nullptr) {
        mEditorShown = true;
        mPlug->OnEditorOpened();
        return 1;
      }
      return 0;

    case effEditClose:
      mEditorShown = false;
      if (mPlug->GetGraphics()) {
        mPlug->OnEditorClosing();
        IGraphicsLink::CloseWindow(mPlug->GetGraphics());
        return 1;
      }
      return 0;

    case effIdentify: return 0x4E764566;

    case effGetChunk: return GetChunk(index == 0, ptr);

    case effSetChunk: return SetChunk(index == 0, value, ptr);

    case effProcessEvents: return ProcessEvents(static_cast<VstEvents*>(ptr));

    case effCanBeAutomated: return 1;

    case effGetProgramNameIndexed: {
      const char* name = mPlug->GetPresetName(index);
      if (!text) return 0;
      CopyField(text, name, kVstMaxProgNameLen);
      return name[0] ? 1 : 0;
    }

    case effGetInputProperties: return GetPinProperties(true, index, static_cast<VstPinProperties*>(ptr));

    case effGetOutputProperties: return GetPinProperties(false, index, static_cast<VstPinProperties*>(ptr));

    case effGetPlugCategory: return mPlug->IsInstrument() ? kPlugCategSynth : kPlugCategEffect;

    case effSetSpeakerArrangement: {
      const auto* in = reinterpret_cast<const VstSpeakerArrangement*>(value);
      const auto* out = static_cast<const VstSpeakerArrangement*>(ptr);
      if (in) {
        const int n = in->numChannels > 0 ? in->numChannels : 0;
        mPlug->SetInputConnections(0, n, true);
        mPlug->SetInputConnections(n, mPlug->NInChannels() - n, false);
      }
      if (out) {
        const int n = out->numChannels > 0 ? out->numChannels : 0;
        mPlug->SetOutputConnections(0, n, true);
        mPlug->SetOutputConnections(n, mPlug->NOutChannels() - n, false);
      }
      return 1;
    }

    case effGetEffectName:
      if (text) {
        CopyField(text, mPlug->GetEffectName(), kVstMaxEffectNameLen);
        return 1;
      }
      return 0;

    case effGetVendorString:
      if (text) {
        CopyField(text, mPlug->GetVendorName(), kVstMaxVendorStrLen);
        return 1;
      }
      return 0;

    case effGetProductString:
      if (text) {
        CopyField(text, mPlug->GetProductName(), kVstMaxProductStrLen);
        return 1;
      }
      return 0;

    case effVendorSpecific:
      // A parameter's display text for a normalised value the host proposes.
      if (index == 7 && text) {
        if (value >= 0 && value < mPlug->NParams()) CopyDisplayText(text, static_cast<int>(value), opt, true);
        return 0xBEEF;
      }
      return 0;

    case effCanDo: return CanDo(text);

    case effGetVstVersion: return 2400;

    case effGetMidiKeyName: {
      auto* key = static_cast<MidiKeyName*>(ptr);
      if (!key) return 0;
      key->keyName[0] = '\0';
      return mPlug->GetMidiNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }

    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkrArr;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkrArr;
      return 1;

    default: return 0;
  }
}

void IPlugVST::CopyDisplayText(char* dest, int paramIdx, double value, bool normalized) const
{
  char shown[IPlugParam::MAX_PARAM_DISPLAY_LEN];
  mPlug->GetParam(paramIdx)->FormatDisplay(shown, value, normalized);
  CopyField(dest, shown, kVstExtMaxParamStrLen);
}

intptr_t IPlugVST::CanDo(const char* text) const
{
  if (!text) return 0;
  if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
  if (!std::strcmp(text, "sendVstEvents") || !std::strcmp(text, "sendVstMidiEvent") ||
      !std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent")) {
    return mPlug->DoesMidi() ? 1 : 0;
  }
  return 0;
}

intptr_t IPlugVST::GetPinProperties(bool isInput, int index, VstPinProperties* props)
{
  const int count = isInput ? mPlug->NInChannels() : mPlug->NOutChannels();
  if (!props || index < 0 || index >= count) return 0;
  props->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) props->flags |= kVstPinIsStereo;
  std::snprintf(props->label, sizeof(props->label), isInput ? "Input %d" : "Output %d", index + 1);
  return 1;
}

intptr_t IPlugVST::GetChunk(bool isBank, void* ptr)
{
  if (!ptr) return 0;
  IStateChunk& chunk = isBank ? mBankState : mState;
  if (isBank) mPlug->ModifyCurrentPreset();
  if (mPlug->SerializeHostChunk(chunk) && chunk.Size() > 0) {
    *static_cast<void**>(ptr) = chunk.GetBytes();
    return chunk.Size();
  }
  return 0;
}

intptr_t IPlugVST::SetChunk(bool isBank, intptr_t size, void* ptr)
{
  if (!ptr) return 0;
  // No state of this framework comes near the bound; a larger claim is refused
  // before a byte is read or a buffer grown for it.
  if (size < 0 || size > IPlugBase::MAX_CHUNK_SIZE) return 0;
  const int n = static_cast<int>(size);
  IStateChunk& chunk = isBank ? mBankState : mState;

  // Hosts often hand back the very buffer they got from effGetChunk: copying it
  // onto itself would overlap, so take it through a copy then.
  const uint8_t* src = static_cast<const uint8_t*>(ptr);
  const uintptr_t srcBegin = reinterpret_cast<uintptr_t>(src);
  const uintptr_t ownBegin = reinterpret_cast<uintptr_t>(chunk.GetBytes());
  const uintptr_t ownEnd = ownBegin + static_cast<uintptr_t>(chunk.Capacity());
  if (ownBegin && srcBegin < ownEnd && srcBegin + static_cast<uintptr_t>(n) > ownBegin) {
    std::vector<uint8_t> copy(src, src + n);
    chunk.Assign(copy.data(), n);
  } else {
    chunk.Assign(src, n);
  }

  int32_t version = 0;
  const int pos = mPlug->UnserializeHostChunk(chunk, version);
  if (!(isBank && version >= IPlugBase::CHUNK_VERSION)) mPlug->ModifyCurrentPreset();
  if (pos >= 0) {
    mPlug->RedrawParamControls();
    return 1;
  }
  return 0;
}

intptr_t IPlugVST::ProcessEvents(VstEvents* events)
{
  if (!events) return 0;
  VstEvent* const* list = events->events;
  for (int i = 0; i < events->numEvents; ++i) {
    VstEvent* ev = list[i];
    if (!ev) continue;
    if (ev->type == kVstMidiType) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(ev);
      IMidiMessage msg(midi->deltaFrames, static_cast<uint8_t>(midi->midiData[0]),
                       static_cast<uint8_t>(midi->midiData[1]), static_cast<uint8_t>(midi->midiData[2]));
      mPlug->ProcessMidiMessage(msg);
    } else {
      // Anything but MIDI (e.g. SysEx) goes back to the host as it is; the
      // host's event lives until this call returns.
      if (mPassThroughOwner.load() == std::this_thread::get_id()) {
        KeepPassedEvent(ev, nullptr);
      } else {
        SendEvent(ev);
      }
    }
  }
  return 1;
}
