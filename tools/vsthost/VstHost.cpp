#include "VstHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Plug-ins may call the host while their entry function runs, before the host
// knows their descriptor: those calls go to the host that is creating one.
thread_local VstHost* tCreatingHost = nullptr;

constexpr int32_t MAX_CHANNELS = 256;
constexpr int32_t MAX_PARAMS = 1 << 20;
constexpr size_t TEXT_BUFFER = 512; // larger than any name field a plug-in fills

std::string Hex32(int32_t v)
{
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(v));
  return text;
}

void CopyText(void* dst, const std::string& text, size_t capacity)
{
  if (!dst || capacity == 0) return;
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  std::memcpy(dst, text.data(), n);
  static_cast<char*>(dst)[n] = '\0';
}

} // namespace

bool VstHost::Fail(const std::string& message)
{
  mError = message;
  return false;
}

bool VstHost::Load(const std::string& path)
{
  Close();
  mError.clear();
  mPath = "'" + path + "'";
  std::string why;
  if (!mLibrary.Open(path, why)) return Fail("cannot load plug-in library '" + path + "': " + why);
  void* entry = mLibrary.Symbol("VSTPluginMain");
  if (!entry) entry = mLibrary.Symbol("main");
  if (!entry) {
    mLibrary.Close();
    return Fail("'" + path + "' is not a VST 2.4 plug-in: it exports neither VSTPluginMain nor main");
  }
  if (!Create(reinterpret_cast<VstEntryProc>(entry), mPath)) {
    mLibrary.Close();
    return false;
  }
  return true;
}

bool VstHost::Start(VstEntryProc entry)
{
  Close();
  mError.clear();
  mPath = "the plug-in";
  return Create(entry, mPath);
}

bool VstHost::Create(VstEntryProc entry, const std::string& label)
{
  if (!entry) return Fail("no entry function for " + label);

  tCreatingHost = this;
  AEffect* effect = entry(&VstHost::HostCallback);
  tCreatingHost = nullptr;

  if (!effect) return Fail("the entry function of " + label + " returned no plug-in");
  if (effect->magic != kEffectMagic)
    return Fail(label + " returned an invalid plug-in descriptor (magic " + Hex32(effect->magic) +
                ", expected 'VstP')");
  std::string bad;
  if (!effect->dispatcher)
    bad = "no dispatcher";
  else if (!effect->processReplacing && !effect->process)
    bad = "no process function";
  else if (effect->numInputs < 0 || effect->numInputs > MAX_CHANNELS || effect->numOutputs < 0 ||
           effect->numOutputs > MAX_CHANNELS)
    bad = "channel counts " + std::to_string(effect->numInputs) + " in / " + std::to_string(effect->numOutputs) +
          " out";
  else if (effect->numParams < 0 || effect->numParams > MAX_PARAMS || effect->numPrograms < 0)
    bad = std::to_string(effect->numParams) + " parameters, " + std::to_string(effect->numPrograms) + " programs";
  if (!bad.empty()) {
    // The dispatcher, if any, still owns the object: let the plug-in free it.
    if (effect->dispatcher) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return Fail(label + " returned an invalid plug-in descriptor: " + bad);
  }

  effect->user = this;
  mEffect = effect;
  mEvents.clear();
  mOtherEvents = 0;
  mBlocks = 0;
  return true;
}

bool VstHost::Open(double sampleRate, int blockSize)
{
  if (!mEffect) return Fail("no plug-in loaded");
  if (mOpen) return Fail("the plug-in is already open");
  if (!(sampleRate > 0.0) || blockSize < 1) return Fail("bad sample rate or block size");
  mSampleRate = sampleRate;
  mBlockSize = blockSize;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
  // Opening may change the channel counts (host-specific set-up): read them now.
  int32_t ins = mEffect->numInputs, outs = mEffect->numOutputs;
  if (ins < 0 || ins > MAX_CHANNELS || outs < 0 || outs > MAX_CHANNELS) {
    Dispatch(effClose);
    mEffect = nullptr;
    Unload();
    return Fail(mPath + " reported bad channel counts after opening");
  }
  mInputs.assign(static_cast<size_t>(ins), std::vector<float>(static_cast<size_t>(blockSize), 0.0f));
  mOutputs.assign(static_cast<size_t>(outs), std::vector<float>(static_cast<size_t>(blockSize), 0.0f));
  mInputPtrs.clear();
  mOutputPtrs.clear();
  for (auto& b : mInputs) mInputPtrs.push_back(b.data());
  for (auto& b : mOutputs) mOutputPtrs.push_back(b.data());
  mEvents.reserve(4096);
  Dispatch(effMainsChanged, 0, 1);
  mResumed = true;
  mOpen = true;
  mTransportChanged = true;
  mExpectedPos = -1.0;
  return true;
}

void VstHost::Close()
{
  if (mEffect) {
    if (mResumed) Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
    mEffect = nullptr;
  }
  mResumed = false;
  mOpen = false;
  Unload();
}

void VstHost::Unload()
{
  mLibrary.Close();
  mInputs.clear();
  mOutputs.clear();
  mInputPtrs.clear();
  mOutputPtrs.clear();
}

intptr_t VstHost::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  if (!mEffect) return 0;
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

std::string VstHost::QueryText(int32_t opcode, int32_t index)
{
  char text[TEXT_BUFFER];
  std::memset(text, 0, sizeof text);
  Dispatch(opcode, index, 0, text);
  text[TEXT_BUFFER - 1] = '\0';
  return text;
}

std::string VstHost::EffectName() { return QueryText(effGetEffectName, 0); }
std::string VstHost::VendorString() { return QueryText(effGetVendorString, 0); }
std::string VstHost::ProductString() { return QueryText(effGetProductString, 0); }

intptr_t VstHost::CanDo(const char* capability)
{
  return Dispatch(effCanDo, 0, 0, const_cast<char*>(capability));
}

std::string VstHost::ParamName(int index) { return QueryText(effGetParamName, index); }
std::string VstHost::ParamDisplay(int index) { return QueryText(effGetParamDisplay, index); }
std::string VstHost::ParamLabel(int index) { return QueryText(effGetParamLabel, index); }

int VstHost::FindParam(const std::string& name)
{
  for (int i = 0; i < NumParams(); ++i)
    if (ParamName(i) == name) return i;
  return -1;
}

bool VstHost::SetParam(int index, float normalised)
{
  if (!mEffect || !mEffect->setParameter || index < 0 || index >= NumParams()) return false;
  mEffect->setParameter(mEffect, index, normalised);
  return true;
}

bool VstHost::SetParam(const std::string& name, float normalised)
{
  return SetParam(FindParam(name), normalised);
}

float VstHost::GetParam(int index)
{
  if (!mEffect || !mEffect->getParameter || index < 0 || index >= NumParams()) return 0.0f;
  return mEffect->getParameter(mEffect, index);
}

bool VstHost::GetChunk(std::vector<uint8_t>& out, bool bank)
{
  out.clear();
  void* data = nullptr;
  intptr_t size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || !data) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  out.assign(bytes, bytes + size);
  return true;
}

bool VstHost::SetChunk(const std::vector<uint8_t>& data, bool bank)
{
  if (!mEffect || data.empty()) return false;
  // The plug-in gets a copy it may not keep beyond the call, like a DAW's project data.
  std::vector<uint8_t> copy(data);
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<intptr_t>(copy.size()), copy.data()) != 0;
}

bool VstHost::SendMidi(uint8_t status, uint8_t data1, uint8_t data2, int32_t deltaFrames)
{
  if (!mOpen) return Fail("the plug-in is not open");
  VstMidiEvent midi;
  std::memset(&midi, 0, sizeof midi);
  midi.type = kVstMidiType;
  midi.byteSize = sizeof(VstMidiEvent);
  midi.deltaFrames = deltaFrames;
  midi.midiData[0] = static_cast<char>(status);
  midi.midiData[1] = static_cast<char>(data1);
  midi.midiData[2] = static_cast<char>(data2);
  VstEvents events;
  std::memset(&events, 0, sizeof events);
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&midi);
  Dispatch(effProcessEvents, 0, 0, &events);
  return true;
}

bool VstHost::Process(int nFrames)
{
  if (!mOpen) return Fail("the plug-in is not open");
  if (nFrames < 1 || nFrames > mBlockSize)
    return Fail("block of " + std::to_string(nFrames) + " frames outside 1.." + std::to_string(mBlockSize));
  for (auto& b : mOutputs) std::fill(b.begin(), b.end(), 0.0f);

  mTransportChanged = mTransport.playing != mLastPlaying || mTransport.samplePos != mExpectedPos;
  mBlockStart = static_cast<int64_t>(std::floor(mTransport.samplePos));
  mInProcess = true;
  float** ins = mInputPtrs.empty() ? nullptr : mInputPtrs.data();
  float** outs = mOutputPtrs.empty() ? nullptr : mOutputPtrs.data();
  if (mEffect->processReplacing && (mEffect->flags & effFlagsCanReplacing))
    mEffect->processReplacing(mEffect, ins, outs, nFrames);
  else if (mEffect->process)
    mEffect->process(mEffect, ins, outs, nFrames); // adds into the zeroed outputs
  else
    mEffect->processReplacing(mEffect, ins, outs, nFrames);

  mInProcess = false;
  mLastPlaying = mTransport.playing;
  if (mTransport.playing) mTransport.samplePos += nFrames;
  mExpectedPos = mTransport.samplePos;
  ++mBlocks;
  return true;
}

float* VstHost::Input(int channel)
{
  if (channel < 0 || channel >= static_cast<int>(mInputs.size())) return nullptr;
  return mInputs[static_cast<size_t>(channel)].data();
}

int64_t VstHost::CallbackCount(int32_t opcode) const
{
  return opcode >= 0 && opcode < CALLBACK_OPCODES ? mCallbackCounts[opcode] : 0;
}

void VstHost::SetHostIdentity(const std::string& vendor, const std::string& product, int32_t version)
{
  mHostVendor = vendor;
  mHostProduct = product;
  mHostVersion = version;
}

intptr_t TAV_VSTCALL VstHost::HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                           void* ptr, float opt)
{
  VstHost* host = effect ? static_cast<VstHost*>(effect->user) : nullptr;
  if (!host) host = tCreatingHost;
  if (!host) {
    // A plug-in asking before any host claimed it: the version is all it can get.
    return opcode == audioMasterVersion ? 2400 : 0;
  }
  return host->OnCallback(opcode, index, value, ptr, opt);
}

intptr_t VstHost::OnCallback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  (void)index;
  (void)value;
  (void)opt;
  if (opcode >= 0 && opcode < CALLBACK_OPCODES) ++mCallbackCounts[opcode];
  switch (opcode) {
  case audioMasterVersion:
    return 2400;
  case audioMasterWantMidi:
    return 1;
  case audioMasterGetTime:
    return TimeInfo();
  case audioMasterProcessEvents:
    TakeEvents(static_cast<const VstEvents*>(ptr));
    return 1;
  case audioMasterGetVendorString:
    // The interface's vendor and product fields are 64 bytes.
    CopyText(ptr, mHostVendor, 64);
    return ptr ? 1 : 0;
  case audioMasterGetProductString:
    CopyText(ptr, mHostProduct, 64);
    return ptr ? 1 : 0;
  case audioMasterGetVendorVersion:
    return mHostVersion;
  case audioMasterCanDo: {
    if (!ptr) return 0;
    const char* what = static_cast<const char*>(ptr);
    static const char* const known[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
                                        "receiveVstMidiEvent"};
    for (const char* k : known)
      if (std::strcmp(what, k) == 0) return 1;
    return 0;
  }
  case audioMasterBeginEdit:
  case audioMasterEndEdit:
    return 1;
  default:
    // automate, current id, idle and everything this host does not offer
    return 0;
  }
}

intptr_t VstHost::TimeInfo()
{
  if (!mTransport.timeInfo) return 0;
  const VstTransport& t = mTransport;
  std::memset(&mTimeInfo, 0, sizeof mTimeInfo);
  mTimeInfo.samplePos = t.samplePos;
  mTimeInfo.sampleRate = mSampleRate;
  mTimeInfo.tempo = t.tempo;
  mTimeInfo.ppqPos = t.samplePos / mSampleRate * t.tempo / 60.0;
  mTimeInfo.timeSigNumerator = t.sigNumerator;
  mTimeInfo.timeSigDenominator = t.sigDenominator;
  int32_t flags = kVstTempoValid | kVstPpqPosValid;
  if (t.sigNumerator > 0 && t.sigDenominator > 0) {
    double barQuarters = t.sigNumerator * 4.0 / t.sigDenominator;
    // A small allowance keeps a bar line that rounding puts just below ppqPos in its bar.
    mTimeInfo.barStartPos = std::floor(mTimeInfo.ppqPos / barQuarters + 1e-9) * barQuarters;
    flags |= kVstTimeSigValid | kVstBarsValid;
  }
  if (t.playing) flags |= kVstTransportPlaying;
  if (mTransportChanged) flags |= kVstTransportChanged;
  mTimeInfo.flags = flags;
  return reinterpret_cast<intptr_t>(&mTimeInfo);
}

void VstHost::TakeEvents(const VstEvents* events)
{
  if (!events || events->numEvents <= 0) return;
  // Outside a process call (MIDI passed straight through) events count from the next block.
  int64_t start = mInProcess ? mBlockStart : static_cast<int64_t>(std::floor(mTransport.samplePos));
  // The list is really numEvents long: index it through a plain pointer.
  VstEvent* const* list = events->events;
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const VstEvent* e = list[i];
    if (!e) continue;
    if (e->type != kVstMidiType) {
      ++mOtherEvents;
      continue;
    }
    const VstMidiEvent* m = reinterpret_cast<const VstMidiEvent*>(e);
    VstHostEvent out;
    out.deltaFrames = m->deltaFrames;
    out.byteSize = m->byteSize;
    out.block = mBlocks;
    out.position = start + m->deltaFrames;
    for (int b = 0; b < 4; ++b) out.bytes[b] = static_cast<uint8_t>(m->midiData[b]);
    mEvents.push_back(out);
  }
}
