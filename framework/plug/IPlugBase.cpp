#include "IPlugBase.h"

#include "IPlugGraphicsLink.h"

#include <cstddef>
#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "TextField.h"
#include <string>

namespace {

// Channel indices [start, end) of a (start, count) request, clipped to 0..n.
void ClipRange(int start, int count, int n, int& from, int& to)
{
  long long s = start < 0 ? 0 : start;
  long long e = static_cast<long long>(start) + count;
  if (e > n) e = n;
  from = static_cast<int>(s);
  to = static_cast<int>(e < s ? s : e);
}
} // namespace

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* vendorName, int32_t vendorVersion, int32_t uniqueID,
                     int32_t vendorID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInstrument,
                     bool plugUsesAudio)
  : mUniqueID(uniqueID),
    mVendorID(vendorID),
    mVendorVersion(vendorVersion),
    mDoesMidi(plugDoesMidi),
    mStateChunks(plugDoesChunks),
    mIsInstrument(plugIsInstrument),
    mAudioUnused(!plugUsesAudio),
    mBlockSize(DEFAULT_BLOCK_SIZE),
    mLatency(latency),
    mParamsToSerialize(nParams > 0 ? nParams : 0)
{
  for (int i = 0; i < nParams; ++i) AppendParamUnlocked();
  for (int i = 0; i < nPresets; ++i) {
    auto preset = std::make_unique<IPlugPreset>();
    std::snprintf(preset->mName, sizeof(preset->mName), "- %d -", i + 1);
    mPresets.push_back(std::move(preset));
  }

  CopyField(mEffectName, effectName, MAX_EFFECT_NAME_LEN);
  CopyField(mProductName, productName, MAX_EFFECT_NAME_LEN);
  CopyField(mVendorName, vendorName, MAX_EFFECT_NAME_LEN);

  // "1-1 2-2": one (inputs, outputs) pair per space-separated token.
  int nIn = 0, nOut = 0;
  if (channelIOStr) {
    std::string s(channelIOStr);
    size_t pos = 0;
    while (pos <= s.size()) {
      size_t end = s.find(' ', pos);
      if (end == std::string::npos) end = s.size();
      if (end > pos) {
        std::string token = s.substr(pos, end - pos);
        int in = 0, out = 0;
        if (std::sscanf(token.c_str(), "%d-%d", &in, &out) < 1) in = 0;
        AddChannelIO(in, out);
        if (in > nIn) nIn = in;
        if (out > nOut) nOut = out;
      }
      pos = end + 1;
    }
  }
  AddChannels(nIn, nOut);
}

void IPlugBase::BeginAudioCall()
{
  mAudioThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  if (IAudioChannels* pNew = mNextAudioChannels.Take()) {
    mNextAudioChannels.GiveBack(mAudioChannels.release());
    mAudioChannels.reset(pNew);
  }
  OnAudioCallBegin();
}

void IPlugBase::PublishAudioChannels()
{
  auto p = std::make_unique<IAudioChannels>();
  p->mBlockSize = mBlockSize;
  for (const auto& ch : mInChannels) p->mIn.push_back(*ch);
  for (const auto& ch : mOutChannels) p->mOut.push_back(*ch);
  // Only the audio thread's copy has scratch buffers, and only for a plug-in
  // that uses its audio.
  const size_t size = mBlockSize > 0 && !mAudioUnused ? static_cast<size_t>(mBlockSize) : 0;
  p->mInData.assign(mInChannels.size(), nullptr);
  p->mOutData.assign(mOutChannels.size(), nullptr);
  for (IInChannel& ch : p->mIn) {
    ch.mScratchBuf.assign(size, 0.0);
    p->mInData[static_cast<size_t>(ch.mIndex)] = ch.mScratchBuf.data();
  }
  for (IOutChannel& ch : p->mOut) {
    ch.mScratchBuf.assign(size, 0.0);
    ch.mFDest = nullptr;
    p->mOutData[static_cast<size_t>(ch.mIndex)] = ch.mScratchBuf.data();
  }
  if (!mAudioChannelsGiven) {
    mAudioChannels = std::move(p);  // construction: no audio call yet
    mAudioChannelsGiven = true;
  } else {
    // Offered when the mutex is released, after what the plug-in hands over
    // for them (room for larger blocks): the audio thread never gets channels
    // ahead of it.
    mPendingAudioChannels = std::move(p);
  }
}

void IPlugBase::MutexReleasing()
{
  OnMutexReleasing();
  if (mPendingAudioChannels) mNextAudioChannels.Offer(std::move(mPendingAudioChannels));
}

void IPlugMutex::lock()
{
  mMutex.lock();
  if (mDepth++ == 0) mOwner.OnMutexAcquired();
}

bool IPlugMutex::try_lock()
{
  if (!mMutex.try_lock()) return false;
  if (mDepth++ == 0) mOwner.OnMutexAcquired();
  return true;
}

void IPlugMutex::unlock()
{
  if (mDepth == 1) mOwner.MutexReleasing();
  --mDepth;
  mMutex.unlock();
}

void IPlugBase::GraphicsDeleter::operator()(IGraphics* pGraphics) const { IGraphicsLink::Delete(pGraphics); }

IPlugBase::~IPlugBase()
{
  DetachGraphics();
  mParams.clear();
  while (!mParamBlocks.empty()) mParamBlocks.pop_back();
  while (!mPresets.empty()) mPresets.pop_back();
  while (!mInChannels.empty()) mInChannels.pop_back();
  while (!mOutChannels.empty()) mOutChannels.pop_back();
  while (!mChannelIO.empty()) mChannelIO.pop_back();
}

// ---- hooks ----

void IPlugBase::OnReset() { MutexLock lock(mMutex); }

void IPlugBase::OnParamChanged(int) { MutexLock lock(mMutex); }

void IPlugBase::OnActivate(bool) { MutexLock lock(mMutex); }

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
  if (!outputs || nFrames <= 0) return;
  const int nIn = NInChannels();
  const int nOut = NOutChannels();
  const size_t bytes = static_cast<size_t>(nFrames) * sizeof(double);
  for (int i = 0; i < nOut; ++i) {
    if (!outputs[i]) continue;
    if (i < nIn && inputs && inputs[i]) {
      if (outputs[i] != inputs[i]) std::memmove(outputs[i], inputs[i], bytes);
    } else {
      std::memset(outputs[i], 0, bytes);
    }
  }
}

void IPlugBase::ProcessMidiMessage(const IMidiMessage& msg) { SendMidiMessage(msg); }

bool IPlugBase::GetMidiNoteName(int, char* text)
{
  if (text) text[0] = '\0';
  return false;
}

bool IPlugBase::SerializeState(IStateChunk& chunk) { return SerializeParams(chunk, false); }

int IPlugBase::UnserializeState(const IStateChunk& chunk, int startPos)
{
  return UnserializeParams(chunk, startPos, false);
}

void IPlugBase::AppendParamValues(IStateChunk* pChunk, ...)
{
  if (!pChunk) return;
  MutexLock lock(mMutex);
  va_list args;
  va_start(args, pChunk);
  for (const auto& param : mParams) {
    double v;
    switch (param->Type()) {
      case IPlugParam::kTypeBool:
      case IPlugParam::kTypeInt:
      case IPlugParam::kTypeEnum: v = static_cast<double>(va_arg(args, int)); break;
      default: v = va_arg(args, double); break;
    }
    pChunk->Append(v);
  }
  va_end(args);
}

void IPlugBase::AttachGraphics(IGraphics* pGraphics)
{
  if (!pGraphics) return;
  MutexLock editorLock(mEditorMutex);
  MutexLock lock(mMutex);
  if (mGraphics.get() != pGraphics) mGraphics.reset(); // the previous editor
  for (int i = 0; i < NParams(); ++i) {
    IGraphicsLink::SetParameterFromPlug(pGraphics, i, mParams[static_cast<size_t>(i)]->ToNormalized(), true);
  }
  IGraphicsLink::PrepDraw(pGraphics);
  if (mGraphics.get() != pGraphics) mGraphics.reset(pGraphics);
  UpdateEditorSize();
}

void IPlugBase::DetachGraphics()
{
  MutexLock editorLock(mEditorMutex);
  MutexLock lock(mMutex);
  mGraphics.reset();
}

void IPlugBase::SetBlockSize(int blockSize)
{
  MutexLock lock(mMutex);
  if (blockSize == mBlockSize) return;
  // The scratch buffers are what the audio thread may write: a nonsensical size
  // from a host must not shrink them to nothing or try to allocate gigabytes.
  if (blockSize < 1 || blockSize > MAX_BLOCK_SIZE) return;
  mBlockSize = blockSize;
  PublishAudioChannels();
}

// ---- parameters ----

IPlugParam* IPlugBase::GetParam(int idx)
{
  return (idx >= 0 && idx < NParams()) ? mParams[static_cast<size_t>(idx)] : nullptr;
}

const IPlugParam* IPlugBase::GetParam(int idx) const
{
  return (idx >= 0 && idx < NParams()) ? mParams[static_cast<size_t>(idx)] : nullptr;
}

IPlugParam* IPlugBase::AppendParam()
{
  MutexLock lock(mMutex);
  return AppendParamUnlocked();
}

IPlugParam* IPlugBase::AppendParamUnlocked()
{
  const std::size_t at = mParams.size() % PARAM_BLOCK;
  if (at == 0) mParamBlocks.push_back(std::make_unique<IPlugParam[]>(PARAM_BLOCK));
  mParams.push_back(&mParamBlocks.back()[at]);
  return mParams.back();
}

int64_t IPlugBase::GetSamplePosition()
{
  HostTime time;
  GetHostTime(time);
  return time.samplePos < 0 ? 0 : time.samplePos;
}

double IPlugBase::GetHostTempo()
{
  HostTime time;
  GetHostTime(time);
  return time.tempo;
}

void IPlugBase::GetTimeSignature(int& numerator, int& denominator)
{
  HostTime time;
  GetHostTime(time);
  numerator = time.numerator;
  denominator = time.denominator;
}

void IPlugBase::GetTransport(double& samplePos, double& tempo, double& ppqPos, double& lastBarPpq, int& numerator,
                             int& denominator, double& cycleStartPpq, double& cycleEndPpq, bool& transportPlaying,
                             bool& cycleActive)
{
  samplePos = -1.0;
  tempo = 120.0;
  ppqPos = -1.0;
  lastBarPpq = -1.0;
  numerator = 4;
  denominator = 4;
  cycleStartPpq = -1.0;
  cycleEndPpq = -1.0;
  if (mpHost)
    mpHost->GetTransport(samplePos, tempo, ppqPos, lastBarPpq, numerator, denominator, cycleStartPpq, cycleEndPpq,
                         transportPlaying, cycleActive);
}

bool IPlugBase::SendMidiMessages(const IMidiMessage* msgs, int count)
{
  bool all = true;
  for (int i = 0; msgs && i < count; ++i) {
    if (!SendMidiMessage(msgs[i])) all = false;
  }
  return all;
}

int64_t IPlugBase::RoundedSamplePos(double pos)
{
  constexpr double LIMIT = 9007199254740992.0;
  if (!(pos == pos)) return 0;
  const double rounded = std::floor(pos + 0.5);
  if (rounded >= LIMIT) return static_cast<int64_t>(LIMIT);
  if (rounded <= -LIMIT) return -static_cast<int64_t>(LIMIT);
  return static_cast<int64_t>(rounded);
}

bool IPlugBase::SerializeHostChunk(IStateChunk& chunk)
{
  chunk.Clear();
  chunk.Append(CHUNK_MAGIC);
  chunk.Append(CHUNK_VERSION);
  return SerializeState(chunk);
}

int IPlugBase::UnserializeHostChunk(const IStateChunk& chunk, int32_t& version)
{
  // Without the magic the state starts at the first byte; with it but no
  // version there is nothing to read.
  int startPos = 0;
  int32_t magic = 0;
  version = 0;
  if (chunk.Read(magic, 0) >= 0 && magic == CHUNK_MAGIC) {
    if (chunk.Read(version, 4) >= 0) {
      startPos = CHUNK_HEADER_SIZE;
    } else {
      version = 0;
      startPos = -1;
    }
  }
  MutexLock lock(mMutex);
  const int pos = UnserializeState(chunk, startPos);
  OnHostRestore();
  return pos;
}

bool IPlugBase::SerializeParams(IStateChunk& chunk, bool all)
{
  MutexLock lock(mMutex);
  const int n = all ? NParams() : (mParamsToSerialize < NParams() ? mParamsToSerialize : NParams());
  bool ok = true;
  for (int i = 0; i < n; ++i) {
    if (chunk.Append(mParams[static_cast<size_t>(i)]->Value()) <= 0) ok = false;
  }
  return ok;
}

int IPlugBase::UnserializeParams(const IStateChunk& chunk, int startPos, bool all)
{
  MutexLock lock(mMutex);
  const int n = all ? NParams() : (mParamsToSerialize < NParams() ? mParamsToSerialize : NParams());
  int pos = startPos;
  for (int i = 0; i < n && pos >= 0; ++i) {
    double v = 0.0;
    const int next = chunk.Read(v, pos);
    if (next < 0) {
      v = 0.0;
      pos = -1;
    } else {
      pos = next;
    }
    mParams[static_cast<size_t>(i)]->SetClamped(v);
  }
  RunAllParamHooks();
  return pos;
}

void IPlugBase::RunAllParamHooks()
{
  MutexLock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) OnParamChanged(i);
}

void IPlugBase::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
  {
    MutexLock lock(mMutex);
    IPlugParam* param = GetParam(paramIdx);
    if (!param) return;
    param->SetFromNormalized(normalizedValue);
    struct EditorChange {
      int& mIdx;
      const int mOuter;
      EditorChange(int& idx, int now) : mIdx(idx), mOuter(idx) { mIdx = now; }
      ~EditorChange() { mIdx = mOuter; }
    } change(mEditorChangeIdx, paramIdx);
    OnParamChanged(paramIdx);
  }
  // The host is told with the mutex released: a host that takes a lock of its
  // own in the callback cannot deadlock against the audio thread. The editor's
  // own parameters stay inside the plug-in.
  if (IsHostParam(paramIdx)) HostAutomate(paramIdx, normalizedValue);
}

void IPlugBase::BeginEditFromGUI(int paramIdx) { BeginEditsFromGUI(&paramIdx, 1); }

void IPlugBase::BeginEditsFromGUI(const int* paramIdx, int count)
{
  EndOpenEdit();
  for (int i = 0; i < count && mOpenEdits < MAX_OPEN_EDITS; ++i) {
    if (!IsHostParam(paramIdx[i])) continue;
    mOpenEdit[mOpenEdits++] = paramIdx[i];
    HostBeginEdit(paramIdx[i]);
  }
}

void IPlugBase::EndOpenEdit()
{
  // The last begun ends first.
  while (mOpenEdits > 0) HostEndEdit(mOpenEdit[--mOpenEdits]);
}

void IPlugBase::BeginUserInput()
{
  const bool outermost = mUserInputDepth.load(std::memory_order_relaxed) == 0;
  if (outermost) mUserInputThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  mUserInputDepth.fetch_add(1, std::memory_order_relaxed);
  if (outermost) OnUserInputBegun();
}

void IPlugBase::EndUserInput(bool gestureOpen)
{
  if (mUserInputDepth.load(std::memory_order_relaxed) == 1) OnUserInputEnded(gestureOpen);
  if (mUserInputDepth.fetch_sub(1, std::memory_order_relaxed) > 1) return;
  mUserInputThread.store(std::thread::id(), std::memory_order_relaxed);
  const uint32_t edits = mSongEdits.load(std::memory_order_relaxed);
  if (edits == mSongEditsTold) return;
  const auto now = std::chrono::steady_clock::now();
  if (gestureOpen && now - mSongToldAt < std::chrono::milliseconds(SONG_NOTICE_MS)) return;
  mSongEditsTold = edits;
  mSongToldAt = now;
  HostSongChanged();
}

void IPlugBase::RedrawParamControls()
{
  MutexLock lock(mMutex);
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i) {
    IGraphicsLink::SetParameterFromPlug(mGraphics.get(), i, mParams[static_cast<size_t>(i)]->Value(), false);
  }
}

void IPlugBase::RedrawEditor()
{
  MutexLock lock(mMutex);
  IGraphicsLink::SetAllControlsDirty(mGraphics.get());
}

// ---- programs ----

bool IPlugBase::RestorePreset(int idx)
{
  MutexLock lock(mMutex);
  if (idx < 0 || idx >= NPresets()) return false;
  IPlugPreset* preset = mPresets[static_cast<size_t>(idx)].get();
  bool ok;
  if (preset->mInitialized) {
    ok = UnserializeParams(preset->mChunk, 0, false) > 0;
  } else {
    // An empty slot keeps the current sound under a new name.
    int nUser = 0;
    for (const auto& p : mPresets) {
      if (std::strstr(p->mName, "user preset")) ++nUser;
    }
    preset->mInitialized = true;
    std::snprintf(preset->mName, sizeof(preset->mName), "%s %d", "user preset", nUser + 1);
    preset->mChunk.Clear();
    ok = SerializeParams(preset->mChunk, false);
  }
  if (ok) {
    mCurrentPresetIdx = idx;
    OnHostRestore();
    RedrawParamControls();
  }
  return ok;
}

void IPlugBase::ModifyCurrentPreset(const char* name)
{
  MutexLock lock(mMutex);
  if (mCurrentPresetIdx < 0 || mCurrentPresetIdx >= NPresets()) return;
  IPlugPreset* preset = mPresets[static_cast<size_t>(mCurrentPresetIdx)].get();
  preset->mChunk.Clear();
  SerializeParams(preset->mChunk, false);
  if (name && name[0]) CopyField(preset->mName, name, IPlugPreset::MAX_PRESET_NAME_LEN);
}

void IPlugBase::EnsureDefaultPreset()
{
  MutexLock lock(mMutex);
  if (mPresets.empty()) {
    auto preset = std::make_unique<IPlugPreset>();
    std::snprintf(preset->mName, sizeof(preset->mName), "- %d -", 1);
    mPresets.push_back(std::move(preset));
  }
  for (auto& preset : mPresets) {
    if (!preset->mInitialized) {
      preset->mInitialized = true;
      CopyField(preset->mName, "Default", IPlugPreset::MAX_PRESET_NAME_LEN);
      preset->mChunk.Clear();
      SerializeParams(preset->mChunk, false);
      break;
    }
  }
}

const char* IPlugBase::GetPresetName(int idx) const
{
  MutexLock lock(mMutex);
  return (idx >= 0 && idx < NPresets()) ? mPresets[static_cast<size_t>(idx)]->mName : "";
}

// ---- host ----

void IPlugBase::SetHost(const char* productName, int32_t packedVersion)
{
  mHost = FindHostId(productName);
  mHostVersion = packedVersion;
}

int IPlugBase::FindHostId(const char* productName)
{
  if (!productName) return kHostUnknown;
  std::string name(productName);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  // Order matters: the first word found decides.
  static const struct {
    const char* word;
    int code;
  } kHosts[] = {{"cubase", kHostCubase},       {"reaper", kHostReaper},        {"nuendo", kHostNuendo},
                {"cakewalk", kHostSonar},      {"samplitude", kHostSamplitude}, {"fruity", kHostFL},
                {"live", kHostAbletonLive},    {"melodyne", kHostMelodyneStudio}, {"vstmanlib", kHostVSTScanner},
                {"aulab", kHostAULab},         {"forte", kHostForte},          {"chainer", kHostChainer},
                {"audition", kHostAudition},   {"orion", kHostOrion},          {"sawstudio", kHostSAWStudio},
                {"logic", kHostLogic},         {"digital", kHostDigitalPerformer}};
  for (const auto& h : kHosts) {
    if (name.find(h.word) != std::string::npos) return h.code;
  }
  return kHostUnknown;
}

// ---- channels ----

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
  for (const auto& io : mChannelIO) {
    if ((nIn < 0 || io->mIn == nIn) && (nOut < 0 || io->mOut == nOut)) return true;
  }
  return false;
}

bool IPlugBase::IsInChannelConnected(int idx) const
{
  return idx >= 0 && idx < NInChannels() && mInChannels[static_cast<size_t>(idx)]->mConnected;
}

bool IPlugBase::IsOutChannelConnected(int idx) const
{
  return idx >= 0 && idx < NOutChannels() && mOutChannels[static_cast<size_t>(idx)]->mConnected;
}

void IPlugBase::SetInputConnections(int start, int count, bool connected)
{
  MutexLock lock(mMutex);
  int from, to;
  ClipRange(start, count, NInChannels(), from, to);
  for (int i = from; i < to; ++i) {
    IInChannel* ch = mInChannels[static_cast<size_t>(i)].get();
    ch->mConnected = connected;
  }
  PublishAudioChannels();
}

void IPlugBase::SetOutputConnections(int start, int count, bool connected)
{
  MutexLock lock(mMutex);
  int from, to;
  ClipRange(start, count, NOutChannels(), from, to);
  for (int i = from; i < to; ++i) {
    IOutChannel* ch = mOutChannels[static_cast<size_t>(i)].get();
    ch->mConnected = connected;
    if (!connected) ch->mFDest = nullptr;
  }
  PublishAudioChannels();
}

void IPlugBase::AddChannels(int nIn, int nOut)
{
  for (int i = 0; i < nIn; ++i) {
    auto ch = std::make_unique<IInChannel>();
    ch->mIndex = NInChannels();
    mInChannels.push_back(std::move(ch));
  }
  for (int i = 0; i < nOut; ++i) {
    auto ch = std::make_unique<IOutChannel>();
    ch->mIndex = NOutChannels();
    mOutChannels.push_back(std::move(ch));
  }
  PublishAudioChannels();
}

void IPlugBase::AddHostChannels(int nIn, int nOut)
{
  MutexLock lock(mMutex);
  AddChannelIO(nIn, nOut);
  AddChannels(nIn, nOut); // scratch buffers of the stored block size
  SetInputConnections(NInChannels() - nIn, nIn, true);
  SetOutputConnections(NOutChannels() - nOut, nOut, true);
}

void IPlugBase::AddChannelIO(int nIn, int nOut)
{
  auto io = std::make_unique<IChannelIO>();
  io->mIn = nIn;
  io->mOut = nOut;
  mChannelIO.push_back(std::move(io));
}
