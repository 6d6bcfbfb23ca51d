#include "Vst3Host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace vst3;

namespace {

constexpr int32 MAX_CLASSES = 1024;
constexpr int32 MAX_BUSES = 64;
constexpr int32 MAX_CHANNELS = 256;
constexpr int32 MAX_PARAMS = 1 << 20;

const std::vector<BusInfo> NO_BUSES;

std::string Result(tresult r) { return "result " + std::to_string(r); }

// An 8-bit text field that may lack its terminator.
template <size_t N>
std::string Text(const char (&field)[N])
{
  return std::string(field, std::find(field, field + N, '\0'));
}
template <size_t N>
std::string Text(const char16 (&field)[N])
{
  return Vst3Utf8(field, N);
}

// What PClassInfo2 and PClassInfoW tell beyond PClassInfo, whatever their text.
template <class Info>
void TakeClassInfo(const Info& info, Vst3ClassInfo& c)
{
  c.name = Text(info.name);
  c.classFlags = info.classFlags;
  c.subCategories = Text(info.subCategories);
  c.vendor = Text(info.vendor);
  c.version = Text(info.version);
  c.sdkVersion = Text(info.sdkVersion);
}

FIDString IdArgument(const Uid& id) { return id.bytes; }

// The plug-in's state (component or controller), read through a fresh stream.
template <class Half>
bool SaveState(Half* half, std::vector<uint8_t>& out)
{
  out.clear();
  if (!half) return false;
  Vst3Ref<Vst3Stream> stream(new Vst3Stream);
  if (half->getState(stream.Get()) != kResultOk) return false;
  out = stream->Bytes();
  return true;
}

// Hands the bytes to one of the plug-in's state calls through a fresh stream.
template <class Half>
tresult GiveState(Half* half, tresult (TAV_VST3CALL Half::*call)(IBStream*), const std::vector<uint8_t>& data)
{
  Vst3Ref<Vst3Stream> stream(new Vst3Stream(data));
  return (half->*call)(stream.Get());
}

} // namespace

uint8_t Vst3VelocityTruncated(float v)
{
  const float scaled = v * 127.0f;
  return static_cast<uint8_t>(scaled <= 0.0f ? 0 : scaled >= 127.0f ? 127 : static_cast<int>(scaled));
}

uint8_t Vst3VelocityRounded(float v)
{
  const float scaled = std::round(v * 127.0f);
  return static_cast<uint8_t>(scaled <= 0.0f ? 0 : scaled >= 127.0f ? 127 : static_cast<int>(scaled));
}

bool Vst3Host::Fail(const std::string& message)
{
  mError = message;
  return false;
}

bool Vst3Host::Abandon(const std::string& message)
{
  Close();
  return Fail(message);
}

// ---- loading ----
bool Vst3Host::Load(const std::string& bundlePath, const std::string& className)
{
  Close();
  mError.clear();
  mLabel = "'" + bundlePath + "'";
  std::string binary, why;
  if (!Vst3ModulePath(bundlePath, binary, why) || !mLibrary.Open(binary, why))
    return Abandon("cannot load VST3 bundle " + mLabel + ": " + why);
  if (!Vst3EnterModule(mLibrary, why)) return Abandon("cannot load VST3 bundle " + mLabel + ": " + why);
  mEntered = true;
  auto getFactory = reinterpret_cast<GetPluginFactoryProc>(mLibrary.Symbol("GetPluginFactory"));
  if (!getFactory) return Abandon(mLabel + " is not a VST3 module: it exports no GetPluginFactory");
  return Begin(getFactory, className);
}

bool Vst3Host::Start(GetPluginFactoryProc getFactory, const std::string& className)
{
  Close();
  mError.clear();
  mLabel = "the plug-in";
  if (!getFactory) return Fail("no factory function");
  return Begin(getFactory, className);
}

bool Vst3Host::Begin(GetPluginFactoryProc getFactory, const std::string& className)
{
  mFactory.Reset(getFactory());
  if (!mFactory) return Abandon("GetPluginFactory of " + mLabel + " returned no factory");
  if (!ReadFactory() || !CreateComponent(className) || !CreateController()) return Abandon(mError);

  const int32 count = mController ? mController->getParameterCount() : 0;
  if (count < 0 || count > MAX_PARAMS) return Abandon(mLabel + " reports " + std::to_string(count) + " parameters");
  mParams.assign(static_cast<size_t>(count), ParameterInfo{});
  for (int32 i = 0; i < count; ++i)
    if (mController->getParameterInfo(i, &mParams[static_cast<size_t>(i)]) != kResultOk)
      return Abandon(mLabel + " gives no information on its parameter " + std::to_string(i));

  const int32 queues = std::max<int32>(count, 1);
  mInputEvents.Reset(new Vst3EventList(kMaxInputEvents));
  mOutputEvents.Reset(new Vst3EventList(kMaxOutputEvents));
  mInputChanges.Reset(new Vst3ParamChanges(queues, kPointsPerParam));
  mOutputChanges.Reset(new Vst3ParamChanges(queues, kPointsPerParam));
  return true;
}

bool Vst3Host::ReadFactory()
{
  PFactoryInfo factoryInfo{};
  if (mFactory->getFactoryInfo(&factoryInfo) == kResultOk) mFactoryVendor = Text(factoryInfo.vendor);
  const int32 count = mFactory->countClasses();
  if (count < 0 || count > MAX_CLASSES)
    return Fail("the factory of " + mLabel + " counts " + std::to_string(count) + " classes");
  Vst3Ref<IPluginFactory2> factory2(Vst3Query<IPluginFactory2>(mFactory.Get()));
  Vst3Ref<IPluginFactory3> factory3(Vst3Query<IPluginFactory3>(mFactory.Get()));
  for (int32 i = 0; i < count; ++i) {
    Vst3ClassInfo c;
    PClassInfo info{};
    if (mFactory->getClassInfo(i, &info) != kResultOk)
      return Fail("the factory of " + mLabel + " gives no information on its class " + std::to_string(i));
    std::memcpy(c.cid.bytes, info.cid, 16);
    c.cardinality = info.cardinality;
    c.category = Text(info.category);
    c.name = Text(info.name);
    PClassInfo2 info2{};
    if (factory2 && factory2->getClassInfo2(i, &info2) == kResultOk) TakeClassInfo(info2, c);
    PClassInfoW infoW{};
    if (factory3 && factory3->getClassInfoUnicode(i, &infoW) == kResultOk) TakeClassInfo(infoW, c);
    mClasses.push_back(c);
  }
  return true;
}

bool Vst3Host::CreateComponent(const std::string& className)
{
  mChosen = 0;
  while (mChosen < mClasses.size() && (mClasses[mChosen].category != kVstAudioEffectClass ||
                                       (!className.empty() && mClasses[mChosen].name != className)))
    ++mChosen;
  if (mChosen == mClasses.size())
    return Fail(mLabel + " has no audio module class" + (className.empty() ? "" : " named '" + className + "'"));
  const Vst3ClassInfo& c = mClasses[mChosen];
  mContext.Reset(new Vst3HostContext("Tavrinel Render"));
  mHandler.Reset(new Vst3ComponentHandler);

  tresult r = mFactory->createInstance(IdArgument(c.cid), IdArgument(IComponent::kIid), mComponent.Out());
  if (r != kResultOk || !mComponent)
    return Fail("the factory of " + mLabel + " made no component of '" + c.name + "' (" + Result(r) + ")");
  r = mComponent->initialize(mContext.Get());
  if (r != kResultOk) return Fail("the component of " + mLabel + " failed to initialize (" + Result(r) + ")");
  mComponentInitialized = true;
  mProcessor.Reset(Vst3Query<IAudioProcessor>(mComponent.Get()));
  if (!mProcessor) return Fail("the component of " + mLabel + " has no IAudioProcessor");
  return true;
}

bool Vst3Host::CreateController()
{
  mController.Reset(Vst3Query<IEditController>(mComponent.Get()));
  mSingleObject = static_cast<bool>(mController);
  if (!mSingleObject) {
    Uid cid{};
    if (mComponent->getControllerClassId(cid.bytes) != kResultOk) return true; // a processor alone
    const tresult r = mFactory->createInstance(IdArgument(cid), IdArgument(IEditController::kIid), mController.Out());
    if (r != kResultOk || !mController)
      return Fail("the factory of " + mLabel + " made no controller for its component (" + Result(r) + ")");
    const tresult init = mController->initialize(mContext.Get());
    if (init != kResultOk) {
      mController.Reset(); // released without terminate
      return Fail("the controller of " + mLabel + " failed to initialize (" + Result(init) + ")");
    }
    mControllerInitialized = true;
  }
  const tresult r = mController->setComponentHandler(mHandler.Get());
  if (r != kResultOk) return Fail("the controller of " + mLabel + " refused the component handler (" + Result(r) + ")");

  if (!mSingleObject) {
    mComponentPoint.Reset(Vst3Query<IConnectionPoint>(mComponent.Get()));
    mControllerPoint.Reset(Vst3Query<IConnectionPoint>(mController.Get()));
    if (mComponentPoint && mControllerPoint) {
      mToController.Reset(new Vst3ConnectionProxy(mControllerPoint.Get()));
      mToComponent.Reset(new Vst3ConnectionProxy(mComponentPoint.Get()));
      mComponentPoint->connect(mToController.Get());
      mControllerPoint->connect(mToComponent.Get());
    }
  }
  // The controller learns the component's state, as after loading it anew.
  std::vector<uint8_t> state;
  if (SaveState(mComponent.Get(), state)) GiveState(mController.Get(), &IEditController::setComponentState, state);
  return true;
}

const std::vector<BusInfo>& Vst3Host::Buses(MediaType type, BusDirection dir) const
{
  const bool known = (type == kAudio || type == kEvent) && (dir == kInput || dir == kOutput);
  return known ? mBuses[type][dir] : NO_BUSES;
}

bool Vst3Host::ReadBuses()
{
  for (MediaType type : {kAudio, kEvent})
    for (BusDirection dir : {kInput, kOutput}) {
      std::vector<BusInfo>& buses = mBuses[type][dir];
      buses.clear();
      const int32 count = mComponent->getBusCount(type, dir);
      if (count < 0 || count > MAX_BUSES) return Fail(mLabel + " reports " + std::to_string(count) + " buses");
      buses.assign(static_cast<size_t>(count), BusInfo{});
      for (int32 i = 0; i < count; ++i) {
        BusInfo& bus = buses[static_cast<size_t>(i)];
        if (mComponent->getBusInfo(type, dir, i, &bus) != kResultOk)
          return Fail(mLabel + " gives no information on one of its buses");
        if (type == kAudio && (bus.channelCount < 0 || bus.channelCount > MAX_CHANNELS))
          return Fail(mLabel + " reports an audio bus of " + std::to_string(bus.channelCount) + " channels");
      }
    }
  return true;
}

// ---- processing ----
bool Vst3Host::Open(double sampleRate, int maxBlock, int32_t processMode)
{
  if (!mComponent) return Fail("no plug-in loaded");
  if (mActive) return Fail("the plug-in is already open");
  if (!(sampleRate > 0.0) || maxBlock < 1 || maxBlock > (1 << 20)) return Fail("bad sample rate or block size");
  if (!ReadBuses()) return false;
  if (mProcessor->canProcessSampleSize(kSample32) != kResultTrue)
    return Fail(mLabel + " cannot process 32-bit samples");
  ProcessSetup setup{processMode, kSample32, maxBlock, sampleRate};
  const tresult r = mProcessor->setupProcessing(&setup);
  if (r != kResultOk) return Fail(mLabel + " refused the processing setup (" + Result(r) + ")");
  Vst3Ref<IProcessContextRequirements> requirements(Vst3Query<IProcessContextRequirements>(mProcessor.Get()));
  mContextRequirements = requirements ? requirements->getProcessContextRequirements() : 0;
  mSampleRate = sampleRate;
  mMaxBlock = maxBlock;
  mProcessMode = processMode;

  // The main buses a MIDI generator plays through.
  if (!mBuses[kEvent][kInput].empty()) mComponent->activateBus(kEvent, kInput, 0, 1);
  if (!mBuses[kEvent][kOutput].empty()) mComponent->activateBus(kEvent, kOutput, 0, 1);
  if (!mBuses[kAudio][kOutput].empty()) mComponent->activateBus(kAudio, kOutput, 0, 1);
  mLatency = mProcessor->getLatencySamples();
  mTail = mProcessor->getTailSamples();

  // Zeroed buffers for every audio channel, inactive buses' too.
  mSamples.clear();
  for (BusDirection dir : {kInput, kOutput})
    for (const BusInfo& bus : mBuses[kAudio][dir])
      mSamples.resize(mSamples.size() + static_cast<size_t>(bus.channelCount),
                      std::vector<float>(static_cast<size_t>(maxBlock), 0.0f));
  mChannelPtrs.clear();
  for (auto& channel : mSamples) mChannelPtrs.push_back(channel.data());
  size_t next = 0;
  for (BusDirection dir : {kInput, kOutput}) {
    std::vector<AudioBusBuffers>& buffers = dir == kInput ? mAudioIn : mAudioOut;
    buffers.clear();
    if (dir == kOutput) mFirstOutput = next;
    for (const BusInfo& bus : mBuses[kAudio][dir]) {
      AudioBusBuffers b{};
      b.numChannels = bus.channelCount;
      b.channelBuffers32 = mChannelPtrs.empty() ? nullptr : mChannelPtrs.data() + next;
      next += static_cast<size_t>(bus.channelCount);
      buffers.push_back(b);
    }
  }

  const tresult active = mComponent->setActive(1);
  if (active != kResultOk) return Fail(mLabel + " refused to be activated (" + Result(active) + ")");
  mActive = true;
  const tresult processing = mProcessor->setProcessing(1);
  if (processing != kResultOk && processing != kNotImplemented)
    return Fail(mLabel + " refused to start processing (" + Result(processing) + ")");
  mProcessing = true;
  return true;
}

void Vst3Host::FillContext(ProcessContext& c) const
{
  const Vst3Transport& t = mTransport;
  c = ProcessContext{};
  c.sampleRate = mSampleRate;
  c.projectTimeSamples = t.samplePos;
  if (t.playing) c.state |= ProcessContext::kPlaying;
  if (t.tempo > 0.0) {
    c.tempo = t.tempo;
    c.projectTimeMusic = static_cast<double>(t.samplePos) / mSampleRate * t.tempo / 60.0;
    c.state |= ProcessContext::kTempoValid | ProcessContext::kProjectTimeMusicValid;
  }
  if (t.sigNumerator > 0 && t.sigDenominator > 0) {
    c.timeSigNumerator = t.sigNumerator;
    c.timeSigDenominator = t.sigDenominator;
    c.state |= ProcessContext::kTimeSigValid;
    if (t.tempo > 0.0) {
      const double barQuarters = t.sigNumerator * 4.0 / t.sigDenominator;
      // A small allowance keeps a bar line that rounding puts just below the position in its bar.
      c.barPositionMusic = std::floor(c.projectTimeMusic / barQuarters + 1e-9) * barQuarters;
      c.state |= ProcessContext::kBarPositionValid;
    }
  }
}

bool Vst3Host::Process(int nFrames)
{
  if (!mProcessing) return Fail("the plug-in is not open");
  if (nFrames < 0 || nFrames > mMaxBlock)
    return Fail("block of " + std::to_string(nFrames) + " frames outside 0.." + std::to_string(mMaxBlock));
  const int32 count = mInputEvents->getEventCount();
  if (count > 0 && mInputEvents->At(count - 1).sampleOffset >= std::max(nFrames, 1)) {
    mInputEvents->Clear();
    return Fail("an input event lies beyond the block of " + std::to_string(nFrames) + " frames");
  }
  for (auto& channel : mSamples) std::fill(channel.begin(), channel.begin() + nFrames, 0.0f);
  for (AudioBusBuffers& b : mAudioOut) b.silenceFlags = 0;

  ProcessContext context;
  FillContext(context);
  ProcessData data{};
  data.processMode = mProcessMode;
  data.symbolicSampleSize = kSample32;
  data.numSamples = nFrames;
  if (nFrames > 0) {
    data.numInputs = static_cast<int32>(mAudioIn.size());
    data.numOutputs = static_cast<int32>(mAudioOut.size());
    data.inputs = mAudioIn.empty() ? nullptr : mAudioIn.data();
    data.outputs = mAudioOut.empty() ? nullptr : mAudioOut.data();
  }
  data.inputParameterChanges = mInputChanges.Get();
  data.outputParameterChanges = mOutputChanges.Get();
  data.inputEvents = mInputEvents.Get();
  data.outputEvents = mBuses[kEvent][kOutput].empty() ? nullptr : mOutputEvents.Get();
  data.processContext = mTransport.context ? &context : nullptr;
  mOutputEvents->Clear();
  mOutputChanges->Clear();

  const tresult r = mProcessor->process(&data);
  mInputEvents->Clear();
  mInputChanges->Clear();
  if (r != kResultOk) return Fail(mLabel + " failed to process a block (" + Result(r) + ")");

  TakeOutput(mTransport.samplePos);
  for (size_t c = mFirstOutput; c < mSamples.size(); ++c)
    for (int i = 0; i < nFrames; ++i) mNonSilent += mSamples[c][static_cast<size_t>(i)] != 0.0f;
  // What the processor reports of its parameters reaches the controller, as in a DAW.
  for (int32 i = 0; i < mOutputChanges->getParameterCount(); ++i) {
    IParamValueQueue* q = mOutputChanges->getParameterData(i);
    int32 offset = 0;
    double value = 0.0;
    if (q && q->getPoint(q->getPointCount() - 1, &offset, &value) == kResultOk && mController)
      mController->setParamNormalized(q->getParameterId(), value);
  }
  if (mTransport.playing) mTransport.samplePos += nFrames;
  if (nFrames > 0) ++mBlocks;
  return true;
}

void Vst3Host::TakeOutput(int64_t blockStart)
{
  for (int32 i = 0; i < mOutputEvents->getEventCount(); ++i) {
    const Event& e = mOutputEvents->At(i);
    Vst3HostEvent h;
    h.position = blockStart + e.sampleOffset;
    h.block = mBlocks;
    h.event = e;
    int16 channel = -1, key = 0;
    float amount = 0.0f; // the velocity or pressure sent as the third byte
    uint8_t status = 0;
    if (e.type == Event::kNoteOnEvent || e.type == Event::kNoteOffEvent || e.type == Event::kPolyPressureEvent) {
      const bool on = e.type == Event::kNoteOnEvent, off = e.type == Event::kNoteOffEvent;
      channel = on ? e.noteOn.channel : off ? e.noteOff.channel : e.polyPressure.channel;
      key = on ? e.noteOn.pitch : off ? e.noteOff.pitch : e.polyPressure.pitch;
      amount = on ? e.noteOn.velocity : off ? e.noteOff.velocity : e.polyPressure.pressure;
      status = on ? 0x90 : off ? 0x80 : 0xA0;
      h.bytes[2] = Vst3VelocityTruncated(amount);
      h.rounded = Vst3VelocityRounded(amount);
    } else if (e.type == Event::kLegacyMIDICCOutEvent) {
      const LegacyMIDICCOutEvent& cc = e.midiCCOut;
      static const uint8_t statusOf[] = {0xD0, 0xE0, 0xC0, 0xA0, 0xF1}; // controller numbers 128..132
      channel = cc.controlNumber == kCtrlQuarterFrame ? 0 : cc.channel;
      status = cc.controlNumber < 128 ? 0xB0 : cc.controlNumber <= 132 ? statusOf[cc.controlNumber - 128] : 0;
      const bool twoData = cc.controlNumber < 128;
      key = static_cast<int16>(twoData ? cc.controlNumber : cc.value & 0x7F);
      h.bytes[2] = static_cast<uint8_t>((twoData ? cc.value : cc.value2) & 0x7F);
      if (cc.controlNumber == kAfterTouch || cc.controlNumber == kCtrlProgramChange ||
          cc.controlNumber == kCtrlQuarterFrame)
        h.bytes[2] = 0;
      h.rounded = h.bytes[2];
    }
    if (status == 0 || channel < 0 || channel > 15 || key < 0 || key > 127) {
      ++mOtherEvents;
      continue;
    }
    h.bytes[0] = static_cast<uint8_t>(status == 0xF1 ? status : status | channel);
    h.bytes[1] = static_cast<uint8_t>(key);
    mEvents.push_back(h);
  }
}

bool Vst3Host::SendMidi(uint8_t status, uint8_t data1, uint8_t data2, int32_t sampleOffset)
{
  if (!mInputEvents) return Fail("no plug-in loaded");
  if (!mInputEvents->AddMidi(sampleOffset, status, data1, data2))
    return Fail("a VST3 plug-in takes note-ons and note-offs at offsets from 0 as events, no other MIDI");
  return true;
}

// ---- parameters ----
std::string Vst3Host::ParamTitle(size_t index) const
{
  return index < mParams.size() ? Vst3Utf8(mParams[index].title, 128) : std::string();
}

ParamID Vst3Host::FindParam(const std::string& name) const
{
  for (const ParameterInfo& p : mParams)
    if (Vst3Utf8(p.title, 128) == name) return p.id;
  for (const ParameterInfo& p : mParams)
    if (Vst3Utf8(p.shortTitle, 128) == name) return p.id;
  return kNoParamId;
}

double Vst3Host::GetParam(ParamID id) const { return mController ? mController->getParamNormalized(id) : 0.0; }

std::string Vst3Host::ParamDisplay(ParamID id) const
{
  String128 text{};
  if (!mController || mController->getParamStringByValue(id, GetParam(id), text) != kResultOk) return std::string();
  return Vst3Utf8(text, 128);
}

bool Vst3Host::SetParam(ParamID id, double normalized)
{
  if (!AddParamChange(id, 0, normalized)) return false;
  mController->setParamNormalized(id, normalized);
  return true;
}

bool Vst3Host::AddParamChange(ParamID id, int32_t sampleOffset, double normalized)
{
  const bool known = std::any_of(mParams.begin(), mParams.end(), [id](const ParameterInfo& p) { return p.id == id; });
  if (!known) return Fail("no parameter with ID " + std::to_string(id));
  IParamValueQueue* queue = mInputChanges->addParameterData(&id, nullptr);
  if (!queue || queue->addPoint(sampleOffset, normalized, nullptr) != kResultOk)
    return Fail("no room for a change of parameter " + std::to_string(id) + " at " + std::to_string(sampleOffset));
  return true;
}

// ---- state ----
bool Vst3Host::GetState(std::vector<uint8_t>& out) { return SaveState(mComponent.Get(), out); }

bool Vst3Host::SetState(const std::vector<uint8_t>& data)
{
  if (!mComponent) return Fail("no plug-in loaded");
  const tresult r = GiveState(mComponent.Get(), &IComponent::setState, data);
  if (r != kResultOk) return Fail(mLabel + " refused the state (" + Result(r) + ")");
  const tresult c = mController ? GiveState(mController.Get(), &IEditController::setComponentState, data) : kResultOk;
  return c == kResultOk || Fail("the controller of " + mLabel + " refused the state (" + Result(c) + ")");
}

bool Vst3Host::GetControllerState(std::vector<uint8_t>& out) { return SaveState(mController.Get(), out); }

bool Vst3Host::SetControllerState(const std::vector<uint8_t>& data)
{
  if (!mController) return Fail("no controller");
  const tresult r = GiveState(mController.Get(), &IEditController::setState, data);
  return r == kResultOk || Fail("the controller of " + mLabel + " refused its state (" + Result(r) + ")");
}

int64_t Vst3Host::Notifications() const
{
  return (mToController ? mToController->Forwarded() : 0) + (mToComponent ? mToComponent->Forwarded() : 0);
}

// ---- unloading ----
void Vst3Host::Close()
{
  if (mProcessing) mProcessor->setProcessing(0);
  mProcessing = false;
  if (mActive) mComponent->setActive(0);
  mActive = false;
  if (mToController) mComponentPoint->disconnect(mToController.Get());
  if (mToComponent) mControllerPoint->disconnect(mToComponent.Get());
  for (Vst3ConnectionProxy* proxy : {mToController.Get(), mToComponent.Get()})
    if (proxy) proxy->Cut();
  mToController.Reset();
  mToComponent.Reset();
  mComponentPoint.Reset();
  mControllerPoint.Reset();
  if (mControllerInitialized) mController->terminate();
  if (mComponentInitialized) mComponent->terminate();
  mControllerInitialized = mComponentInitialized = false;
  mController.Reset();
  mProcessor.Reset();
  mComponent.Reset();
  mFactory.Reset();
  mInputEvents.Reset();
  mOutputEvents.Reset();
  mInputChanges.Reset();
  mOutputChanges.Reset();
  mContext.Reset();
  mHandler.Reset();
  Unload();
}

void Vst3Host::Unload()
{
  if (mEntered) Vst3ExitModule(mLibrary);
  mEntered = false;
  mLibrary.Close();
  mClasses.clear();
  mFactoryVendor.clear();
  mParams.clear();
  for (auto& byType : mBuses)
    for (auto& buses : byType) buses.clear();
  mSamples.clear();
  mChannelPtrs.clear();
  mAudioIn.clear();
  mAudioOut.clear();
  mSingleObject = false;
  mContextRequirements = mLatency = mTail = 0;
  mMaxBlock = 0;
}
