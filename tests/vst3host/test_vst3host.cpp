// The VST3 host against a plug-in of the test's own, split into component and
// controller or one object playing both: the calls a DAW makes and their order,
// what reaches process (transport, notes, parameter changes) and what comes back
// as MIDI, state in both halves, messages through the host's proxies, and every
// reference handed out coming back. Then bundles without a module, and the built
// VST3 plug-in (once there is one) against the VST 2.4 render of the same songs.
#include "TempDir.h"
#include "Vst3Render.h"
#include "VstHostSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace vst3;

namespace {

const Uid PROCESSOR_CID = MakeUid(0x54415631, 1, 2, 3);
const Uid CONTROLLER_CID = MakeUid(0x54415632, 1, 2, 3);
constexpr ParamID LEVEL = 10;

// What the fake plug-in saw and did.
struct FakeLog {
  bool single = false; // one object plays component and controller
  bool loud = false;   // process writes a sample
  std::vector<std::string> calls;
  int live = 0; // fake objects alive
  bool gotContext = false;
  ProcessContext context{};
  std::vector<Event> input;
  bool dirtyOutput = false; // an output buffer arrived not cleared
  int32 lastOutputs = -1;
  double messageValue = -1.0;
} gLog;

class FakeHalf final : public IComponent,
                       public IAudioProcessor,
                       public IEditController,
                       public IConnectionPoint,
                       public IProcessContextRequirements {
public:
  explicit FakeHalf(bool processor) : mProcessor(processor), mName(processor ? "P" : "C") { ++gLog.live; }

  // ---- FUnknown ----
  tresult TAV_VST3CALL queryInterface(const TUID iid, void** obj) override
  {
    const bool controller = !mProcessor || gLog.single;
    void* found = nullptr;
    if (SameUid(iid, FUnknown::kIid) || SameUid(iid, IPluginBase::kIid))
      found = mProcessor ? static_cast<void*>(static_cast<IComponent*>(this)) : static_cast<IEditController*>(this);
    else if (mProcessor && SameUid(iid, IComponent::kIid))
      found = static_cast<IComponent*>(this);
    else if (mProcessor && SameUid(iid, IAudioProcessor::kIid))
      found = static_cast<IAudioProcessor*>(this);
    else if (mProcessor && SameUid(iid, IProcessContextRequirements::kIid))
      found = static_cast<IProcessContextRequirements*>(this);
    else if (controller && SameUid(iid, IEditController::kIid))
      found = static_cast<IEditController*>(this);
    else if (!gLog.single && SameUid(iid, IConnectionPoint::kIid))
      found = static_cast<IConnectionPoint*>(this);
    *obj = found;
    if (!found) return kNoInterface;
    ++mRefs;
    return kResultOk;
  }
  uint32 TAV_VST3CALL addRef() override { return ++mRefs; }
  uint32 TAV_VST3CALL release() override
  {
    if (--mRefs > 0) return mRefs;
    Log("delete");
    --gLog.live;
    delete this;
    return 0;
  }

  // ---- both halves ----
  tresult TAV_VST3CALL initialize(FUnknown* context) override
  {
    mHost = Vst3Query<IHostApplication>(context);
    return mHost ? Log("initialize") : kInvalidArgument;
  }
  tresult TAV_VST3CALL terminate() override
  {
    Log("terminate");
    for (FUnknown* held : {static_cast<FUnknown*>(mHost), static_cast<FUnknown*>(mHandler)})
      if (held) held->release();
    mHost = nullptr;
    mHandler = nullptr;
    return kResultOk;
  }
  tresult TAV_VST3CALL setState(IBStream* s) override { return TakeLevel(s); }
  tresult TAV_VST3CALL getState(IBStream* s) override { Log("getState"); return s->write(&mLevel, 8, nullptr); }

  // ---- IComponent ----
  tresult TAV_VST3CALL getControllerClassId(TUID cid) override
  {
    std::memcpy(cid, CONTROLLER_CID.bytes, 16);
    return gLog.single ? kResultFalse : kResultOk;
  }
  tresult TAV_VST3CALL setIoMode(IoMode) override { return kResultOk; }
  int32 TAV_VST3CALL getBusCount(MediaType type, BusDirection dir) override { return type == kEvent || dir == kOutput; }
  tresult TAV_VST3CALL getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo* bus) override
  {
    if (index != 0 || getBusCount(type, dir) == 0) return kInvalidArgument;
    *bus = BusInfo{type, dir, type == kEvent ? 16 : 2, {}, kMain, BusInfo::kDefaultActive};
    return kResultOk;
  }
  tresult TAV_VST3CALL getRoutingInfo(RoutingInfo*, RoutingInfo*) override { return kNotImplemented; }
  tresult TAV_VST3CALL activateBus(MediaType type, BusDirection dir, int32, TBool state) override
  {
    return Log("activateBus " + std::to_string(type) + std::to_string(dir) + std::to_string(state));
  }
  tresult TAV_VST3CALL setActive(TBool state) override
  {
    Log("setActive " + std::to_string(state));
    if (state && mPeer) {
      // The level goes to the controller in a message the host made.
      Vst3Ref<IMessage> message;
      mHost->createInstance(IMessage::kIid.bytes, IMessage::kIid.bytes, message.Out());
      message->setMessageID("level");
      message->getAttributes()->setFloat("value", mLevel);
      mPeer->notify(message.Get());
    }
    return kResultOk;
  }

  // ---- IAudioProcessor ----
  tresult TAV_VST3CALL setBusArrangements(SpeakerArrangement*, int32, SpeakerArrangement*, int32) override
  {
    return kResultFalse;
  }
  tresult TAV_VST3CALL getBusArrangement(BusDirection, int32, SpeakerArrangement*) override { return kResultFalse; }
  tresult TAV_VST3CALL canProcessSampleSize(int32 size) override
  {
    return size == kSample32 ? kResultTrue : kResultFalse;
  }
  uint32 TAV_VST3CALL getLatencySamples() override { return 0; }
  tresult TAV_VST3CALL setupProcessing(ProcessSetup*) override { return Log("setupProcessing"); }
  tresult TAV_VST3CALL setProcessing(TBool state) override { return Log("setProcessing " + std::to_string(state)); }
  uint32 TAV_VST3CALL getTailSamples() override { return kInfiniteTail; }
  uint32 TAV_VST3CALL getProcessContextRequirements() override { return 0x4DC; }
  tresult TAV_VST3CALL process(ProcessData* d) override
  {
    gLog.gotContext = d->processContext != nullptr;
    if (d->processContext) gLog.context = *d->processContext;
    gLog.lastOutputs = d->numOutputs;
    for (int32 c = 0; c < (d->numOutputs ? d->outputs[0].numChannels : 0); ++c)
      for (int32 i = 0; i < d->numSamples; ++i) gLog.dirtyOutput |= d->outputs[0].channelBuffers32[c][i] != 0.0f;
    if (gLog.loud && d->numSamples > 0) d->outputs[0].channelBuffers32[1][0] = 0.5f;
    Event e{};
    for (int32 i = 0; d->inputEvents && d->inputEvents->getEvent(i, &e) == kResultOk; ++i) {
      gLog.input.push_back(e);
      d->outputEvents->addEvent(&e); // echoed
    }
    // Each level change goes out as a volume controller at its offset.
    for (int32 q = 0; d->inputParameterChanges && q < d->inputParameterChanges->getParameterCount(); ++q) {
      IParamValueQueue* queue = d->inputParameterChanges->getParameterData(q);
      int32 offset = 0;
      for (int32 p = 0; queue->getParameterId() == LEVEL && queue->getPoint(p, &offset, &mLevel) == kResultOk; ++p) {
        Event cc{};
        cc.type = Event::kLegacyMIDICCOutEvent;
        cc.sampleOffset = offset;
        cc.midiCCOut = LegacyMIDICCOutEvent{kCtrlVolume, 3, static_cast<int8>(mLevel * 127.0), 0};
        d->outputEvents->addEvent(&cc);
      }
    }
    // Playing: a note struck at the block's start with velocity 100, as Ardour truncates it.
    if (d->processContext && (d->processContext->state & ProcessContext::kPlaying) && d->numSamples > 0) {
      e = Event{};
      e.noteOn = NoteOnEvent{0, 60, 0.0f, (100 + 0.25f) / 127.0f, 0, -1};
      d->outputEvents->addEvent(&e);
    }
    return kResultOk;
  }

  // ---- IEditController ----
  tresult TAV_VST3CALL setComponentState(IBStream* s) override { Log("setComponentState"); return TakeLevel(s); }
  int32 TAV_VST3CALL getParameterCount() override { return 1; }
  tresult TAV_VST3CALL getParameterInfo(int32 index, ParameterInfo* info) override
  {
    if (index != 0) return kInvalidArgument;
    *info = ParameterInfo{};
    info->id = LEVEL;
    Vst3CopyUtf16("Level", info->title, 128);
    Vst3CopyUtf16("Lvl", info->shortTitle, 128);
    Vst3CopyUtf16("dB", info->units, 128);
    info->flags = ParameterInfo::kCanAutomate;
    return kResultOk;
  }
  tresult TAV_VST3CALL getParamStringByValue(ParamID, ParamValue v, String128 text) override
  {
    Vst3CopyUtf16(std::to_string(static_cast<int>(v * 100)) + "%", text, 128);
    return kResultOk;
  }
  tresult TAV_VST3CALL getParamValueByString(ParamID, TChar*, ParamValue*) override { return kNotImplemented; }
  ParamValue TAV_VST3CALL normalizedParamToPlain(ParamID, ParamValue v) override { return v; }
  ParamValue TAV_VST3CALL plainParamToNormalized(ParamID, ParamValue v) override { return v; }
  ParamValue TAV_VST3CALL getParamNormalized(ParamID id) override { return id == LEVEL ? mLevel : 0.0; }
  tresult TAV_VST3CALL setParamNormalized(ParamID id, ParamValue v) override
  {
    if (id != LEVEL) return kInvalidArgument;
    mLevel = v;
    return kResultOk;
  }
  tresult TAV_VST3CALL setComponentHandler(IComponentHandler* handler) override
  {
    Log("setComponentHandler");
    if (handler) handler->addRef();
    if (mHandler) mHandler->release();
    mHandler = handler;
    return kResultOk;
  }
  IPlugView* TAV_VST3CALL createView(FIDString) override { return nullptr; }

  // ---- IConnectionPoint ----
  tresult TAV_VST3CALL connect(IConnectionPoint* other) override
  {
    if (!other || mPeer) return kResultFalse;
    mPeer = other;
    mPeer->addRef();
    return Log("connect");
  }
  tresult TAV_VST3CALL disconnect(IConnectionPoint* other) override
  {
    if (!mPeer || other != mPeer) return kResultFalse;
    mPeer->release();
    mPeer = nullptr;
    return Log("disconnect");
  }
  tresult TAV_VST3CALL notify(IMessage* message) override
  {
    if (std::strcmp(message->getMessageID(), "level") != 0) return kResultFalse;
    return message->getAttributes()->getFloat("value", &gLog.messageValue);
  }

  // What an editor gesture on the level sends the host.
  void Edit(double v)
  {
    mHandler->beginEdit(LEVEL);
    mHandler->performEdit(LEVEL, v);
    mHandler->endEdit(LEVEL);
    mHandler->restartComponent(kParamValuesChanged);
  }

private:
  tresult Log(const std::string& what)
  {
    gLog.calls.push_back(what + " " + mName);
    return kResultOk;
  }
  // The level kept as state: eight bytes of a double.
  tresult TakeLevel(IBStream* s)
  {
    double v = -1.0;
    int32 n = 0;
    if (s->read(&v, 8, &n) != kResultOk || n != 8) return kResultFalse;
    mLevel = v;
    return kResultOk;
  }

  const bool mProcessor;
  const std::string mName;
  uint32 mRefs = 1;
  double mLevel = 0.25;
  IHostApplication* mHost = nullptr;
  IComponentHandler* mHandler = nullptr;
  IConnectionPoint* mPeer = nullptr;
};

FakeHalf* gController = nullptr; // the last controller made

class FakeFactory final : public IPluginFactory2 {
public:
  tresult TAV_VST3CALL queryInterface(const TUID iid, void** obj) override
  {
    const bool known = SameUid(iid, FUnknown::kIid) || SameUid(iid, IPluginFactory::kIid) ||
                       SameUid(iid, IPluginFactory2::kIid);
    *obj = known ? this : nullptr;
    if (!known) return kNoInterface;
    ++mRefs;
    return kResultOk;
  }
  uint32 TAV_VST3CALL addRef() override { return ++mRefs; }
  uint32 TAV_VST3CALL release() override
  {
    if (--mRefs > 0) return mRefs;
    gLog.calls.push_back("delete factory");
    delete this;
    return 0;
  }
  tresult TAV_VST3CALL getFactoryInfo(PFactoryInfo* info) override
  {
    *info = PFactoryInfo{"Quellbrook", "", "", PFactoryInfo::kUnicode};
    return kResultOk;
  }
  // Split: the controller class comes first, so the host must look for the processor.
  int32 TAV_VST3CALL countClasses() override { return gLog.single ? 1 : 2; }
  tresult TAV_VST3CALL getClassInfo(int32 index, PClassInfo* info) override
  {
    PClassInfo2 info2{};
    if (getClassInfo2(index, &info2) != kResultOk) return kInvalidArgument;
    std::memcpy(info, &info2, sizeof *info); // the same leading fields
    return kResultOk;
  }
  tresult TAV_VST3CALL getClassInfo2(int32 index, PClassInfo2* info) override
  {
    if (index < 0 || index >= countClasses()) return kInvalidArgument;
    const bool processor = gLog.single || index == 1;
    *info = PClassInfo2{};
    std::memcpy(info->cid, (processor ? PROCESSOR_CID : CONTROLLER_CID).bytes, 16);
    std::strcpy(info->category, processor ? kVstAudioEffectClass : kVstComponentControllerClass);
    std::strcpy(info->name, processor ? "Fake" : "Fake Controller");
    std::strcpy(info->subCategories, processor ? "Instrument|Generator" : "");
    std::strcpy(info->sdkVersion, kSdkVersionString);
    return kResultOk;
  }
  tresult TAV_VST3CALL createInstance(FIDString cid, FIDString iid, void** obj) override
  {
    *obj = nullptr;
    const bool processor = SameUid(cid, PROCESSOR_CID);
    if (!processor && (gLog.single || !SameUid(cid, CONTROLLER_CID))) return kNoInterface;
    auto* half = new FakeHalf(processor);
    gLog.calls.push_back(std::string("create ") + (processor ? "P" : "C"));
    if (!processor || gLog.single) gController = half;
    const tresult r = half->queryInterface(iid, obj);
    half->release();
    return r;
  }

private:
  uint32 mRefs = 1;
};

IPluginFactory* TAV_VST3CALL FakeGetPluginFactory() { return new FakeFactory; }

TEST(Vst3Host, SplitPluginLoadsRunsAndUnloadsInTheOrderOfADaw)
{
  gLog = FakeLog();
  const int hostObjects = Vst3LiveHostObjects();
  {
    Vst3Host host;
    ASSERT_TRUE(host.Start(FakeGetPluginFactory)) << host.Error();
    ASSERT_EQ(host.Classes().size(), 2u);
    EXPECT_EQ(host.Chosen().name, "Fake");
    EXPECT_EQ(host.Chosen().subCategories, "Instrument|Generator");
    EXPECT_FALSE(host.SingleObject());
    ASSERT_TRUE(host.Open(48000.0, 256, kRealtime)) << host.Error();
    EXPECT_EQ(host.ContextRequirements(), 0x4DCu);
    EXPECT_EQ(host.TailSamples(), kInfiniteTail);
    EXPECT_EQ(gLog.messageValue, 0.25); // through the proxies
    EXPECT_EQ(host.Notifications(), 1);
    EXPECT_EQ(host.Buses(kEvent, kOutput).size(), 1u);

    gController->Edit(0.5);
    const auto& calls = host.Handler()->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].kind, Vst3HandlerCall::kBeginEdit);
    EXPECT_EQ(calls[1].kind, Vst3HandlerCall::kPerformEdit);
    EXPECT_EQ(calls[1].value, 0.5);
    EXPECT_EQ(calls[2].id, LEVEL);
    EXPECT_EQ(calls[3].flags, kParamValuesChanged);
    host.Close();
    host.Close(); // twice is harmless
  }
  const std::vector<std::string> expected = {
    "create P", "initialize P", "create C", "initialize C", "setComponentHandler C", "connect P", "connect C",
    "getState P", "setComponentState C", "setupProcessing P", "activateBus 101 P", "activateBus 111 P",
    "activateBus 011 P", "setActive 1 P", "setProcessing 1 P", "setProcessing 0 P", "setActive 0 P",
    "disconnect P", "disconnect C", "terminate C", "terminate P", "delete C", "delete P", "delete factory"};
  EXPECT_EQ(gLog.calls, expected);
  EXPECT_EQ(gLog.live, 0);
  EXPECT_EQ(Vst3LiveHostObjects(), hostObjects); // the plug-in gave back all it was handed
}

TEST(Vst3Host, SingleObjectPluginIsInitializedAndTerminatedOnce)
{
  gLog = FakeLog();
  gLog.single = true;
  const int hostObjects = Vst3LiveHostObjects();
  Vst3Host host;
  ASSERT_TRUE(host.Start(FakeGetPluginFactory)) << host.Error();
  EXPECT_TRUE(host.SingleObject());
  EXPECT_EQ(host.Controller(), static_cast<IEditController*>(gController));
  ASSERT_TRUE(host.Open(44100.0, 64));
  host.Close();
  const std::vector<std::string> expected = {
    "create P", "initialize P", "setComponentHandler P", "getState P", "setComponentState P", "setupProcessing P",
    "activateBus 101 P", "activateBus 111 P", "activateBus 011 P", "setActive 1 P", "setProcessing 1 P",
    "setProcessing 0 P", "setActive 0 P", "terminate P", "delete P", "delete factory"};
  EXPECT_EQ(gLog.calls, expected);
  EXPECT_EQ(gLog.live, 0);
  EXPECT_EQ(Vst3LiveHostObjects(), hostObjects);

  EXPECT_FALSE(host.Start(FakeGetPluginFactory, "No Such Class"));
  EXPECT_NE(host.Error().find("no audio module class named 'No Such Class'"), std::string::npos) << host.Error();
  EXPECT_EQ(gLog.live, 0);
}

TEST(Vst3Host, ProcessGetsTransportNotesAndChangesAndSendsBackMidi)
{
  gLog = FakeLog();
  Vst3Host host;
  ASSERT_TRUE(host.Start(FakeGetPluginFactory)) << host.Error();
  ASSERT_TRUE(host.Open(48000.0, 256));

  // 90 bpm in 7/8: nine quarters in are 288000 samples; bars are 3.5 quarters long.
  Vst3Transport& t = host.Transport();
  t = Vst3Transport{true, true, 288000, 90.0, 7, 8};
  ASSERT_TRUE(host.SendMidi(0x92, 64, 100, 30));
  ASSERT_TRUE(host.SendMidi(0x82, 64, 0, 5));
  ASSERT_EQ(host.FindParam("Lvl"), LEVEL);
  ASSERT_TRUE(host.AddParamChange(LEVEL, 20, 1.0));
  ASSERT_TRUE(host.SetParam(LEVEL, 0.5)); // at offset 0
  EXPECT_FALSE(host.AddParamChange(11, 0, 0.5));
  EXPECT_FALSE(host.SendMidi(0xE0, 0, 64));
  gLog.loud = true;
  ASSERT_TRUE(host.Process(256)) << host.Error();
  const uint32 valid = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kProjectTimeMusicValid |
                       ProcessContext::kTimeSigValid | ProcessContext::kBarPositionValid;
  ASSERT_TRUE(gLog.gotContext);
  EXPECT_EQ(gLog.context.state, valid);
  EXPECT_EQ(gLog.context.projectTimeSamples, 288000);
  EXPECT_DOUBLE_EQ(gLog.context.projectTimeMusic, 9.0);
  EXPECT_DOUBLE_EQ(gLog.context.barPositionMusic, 7.0);
  EXPECT_EQ(t.samplePos, 288256);
  ASSERT_EQ(gLog.input.size(), 2u);
  EXPECT_EQ(gLog.input[0].sampleOffset, 5);
  EXPECT_EQ(host.NonSilentSamples(), 1);

  // Out: the echoed notes, the level's two points as volume controllers, the struck note.
  const std::vector<std::vector<int>> midi = {
    {288005, 0x82, 64, 0},  {288030, 0x92, 64, 100}, {288000, 0xB3, 7, 63},
    {288020, 0xB3, 7, 127}, {288000, 0x90, 60, 100}};
  ASSERT_EQ(host.Events().size(), midi.size());
  for (size_t i = 0; i < midi.size(); ++i) {
    const Vst3HostEvent& e = host.Events()[i];
    EXPECT_EQ((std::vector<int>{int(e.position), e.bytes[0], e.bytes[1], e.bytes[2]}), midi[i]) << i;
    EXPECT_EQ(e.rounded, e.bytes[2]) << i; // truncating and rounding hosts agree
  }
  EXPECT_EQ(host.GetParam(LEVEL), 0.5);
  EXPECT_EQ(host.ParamDisplay(LEVEL), "50%");
  EXPECT_EQ(Vst3VelocityTruncated(99.9f / 127.0f), 99);
  EXPECT_EQ(Vst3VelocityRounded(99.9f / 127.0f), 100);
  EXPECT_EQ(Vst3VelocityTruncated(1.5f), 127);
  EXPECT_EQ(Vst3VelocityRounded(-0.5f), 0);

  // A host that gives less: no tempo, no signature, no context; a parameter flush.
  t.tempo = 0.0;
  t.sigNumerator = 0;
  t.playing = false;
  ASSERT_TRUE(host.Process(16));
  EXPECT_FALSE(gLog.dirtyOutput); // the sample written before was cleared
  EXPECT_EQ(gLog.context.state, 0u);
  EXPECT_EQ(t.samplePos, 288256);
  t.context = false;
  ASSERT_TRUE(host.Process(0));
  EXPECT_FALSE(gLog.gotContext);
  EXPECT_EQ(gLog.lastOutputs, 0);
  EXPECT_EQ(host.BlocksProcessed(), 2);
  ASSERT_TRUE(host.SendMidi(0x90, 1, 1, 16));
  EXPECT_FALSE(host.Process(16)); // an event beyond the block
  EXPECT_FALSE(host.Process(257));

  // State: the level goes to the component and on to the controller.
  std::vector<uint8_t> state;
  ASSERT_TRUE(host.GetState(state));
  ASSERT_EQ(state.size(), 8u);
  double level = 0.75;
  std::memcpy(state.data(), &level, 8);
  ASSERT_TRUE(host.SetState(state));
  EXPECT_EQ(host.GetParam(LEVEL), 0.75);
  EXPECT_FALSE(host.SetState({1, 2, 3})); // too short: refused
  EXPECT_NE(host.Error().find("refused the state"), std::string::npos);

  // The render's loop drives it like the other formats: a note at each block's start.
  RenderSettings s;
  s.bars = 1;
  s.blockSize = 256;
  s.sampleRate = 48000.0;
  s.sets = {{"Level", 0.0}};
  std::string error;
  ASSERT_TRUE(PrepareVst3Plugin(host, {}, s, error)) << error;
  EXPECT_EQ(host.GetParam(LEVEL), 0.0);
  RenderResult r;
  Vst3RenderTarget target(host);
  ASSERT_TRUE(RenderTransport(target, s, r, error)) << error;
  ASSERT_EQ(r.events.size(), 375u); // 96000 samples in blocks of 256
  EXPECT_EQ(r.events[374].sample, 95744);
  s.sets = {{"Volume", 0.5}};
  EXPECT_FALSE(PrepareVst3Plugin(host, {}, s, error));
}

TEST(Vst3Host, RefusesFoldersWithoutAModuleInOneLine)
{
  const int hostObjects = Vst3LiveHostObjects();
  Vst3Host host;
  EXPECT_FALSE(host.Load("/no/such/Tavrinel.vst3"));
  EXPECT_NE(host.Error().find("'/no/such/Tavrinel.vst3'"), std::string::npos) << host.Error();
  TempDir dir("vst3host");
  dir.write("Empty.vst3/Contents/Resources/readme", "");
  EXPECT_FALSE(host.Load(dir.path("Empty.vst3")));
#if defined(_WIN32)
  EXPECT_NE(host.Error().find("holds no Contents\\x86_64-win\\Empty.vst3"), std::string::npos) << host.Error();
#else
  EXPECT_NE(host.Error().find("holds no Contents/x86_64-linux/Empty.so"), std::string::npos) << host.Error();
  // A library in the right place that is no VST3 module.
  std::filesystem::create_directories(dir.path("Math.vst3/Contents/x86_64-linux"));
  std::filesystem::create_symlink("/lib/x86_64-linux-gnu/libm.so.6",
                                  dir.path("Math.vst3/Contents/x86_64-linux/Math.so"));
  EXPECT_FALSE(host.Load(dir.path("Math.vst3/")));
  EXPECT_NE(host.Error().find("exports no ModuleEntry"), std::string::npos) << host.Error();
#endif
  EXPECT_EQ(host.Error().find('\n'), std::string::npos);
  EXPECT_FALSE(host.IsLoaded());
  EXPECT_EQ(Vst3LiveHostObjects(), hostObjects);

  // The render tool says so, fails with 1 and writes nothing.
  const std::string out = dir.path("never.mid");
  int code = -1;
  std::string error;
  ASSERT_TRUE(RunProgram({HostPath(TAV_RENDER_TOOL), "--vst3", dir.path("Empty.vst3"), "--quiet", "--out", out}, code,
                         error))
    << error;
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(out)));
}

// ---- the built VST3 plug-in ----
std::string BundlePath()
{
  const std::string path = HostPath(TAV_VST3_BUNDLE);
  return std::filesystem::is_directory(std::filesystem::u8path(path)) ? path : std::string();
}

// The plug-in as VST 2.4 and as VST3, with the same state and --set values.
struct BothFormats {
  VstHost vst;
  Vst3Host vst3;
  VstRenderTarget vstTarget{vst};
  Vst3RenderTarget vst3Target{vst3};

  void Open(const std::vector<uint8_t>& state, const RenderSettings& s)
  {
    ASSERT_TRUE(vst.Load(TestPluginPath()) && vst.Open(s.sampleRate, s.blockSize)) << vst.Error();
    ASSERT_TRUE(vst3.Load(BundlePath()) && vst3.Open(s.sampleRate, s.blockSize)) << vst3.Error();
    EXPECT_EQ(vst3.Chosen().subCategories, "Instrument|Generator");
    std::string error;
    if (!state.empty()) {
      ASSERT_TRUE(vst.SetChunk(state, true));
    }
    ASSERT_TRUE(PreparePlugin(vst, s, error)) << error;
    ASSERT_TRUE(PrepareVst3Plugin(vst3, state, s, error)) << error;
  }
};

TEST(Vst3Render, BuiltBundlePlaysTheVst2RenderEventForEvent)
{
  if (TestPluginPath().empty() || BundlePath().empty())
    GTEST_SKIP() << "no VST3 bundle built yet at " << TAV_VST3_BUNDLE;
  std::vector<ComparedSong> songs;
  std::string error;
  ASSERT_TRUE(ComparedSongs(songs, error)) << error;
  const int hostObjects = Vst3LiveHostObjects();
  size_t compared = 0;
  for (size_t i = 0; i < songs.size(); ++i) {
    const RenderSettings& s = songs[i].settings;
    BothFormats both;
    ASSERT_NO_FATAL_FAILURE(both.Open(songs[i].state, s));
    RenderResult a, b;
    ASSERT_TRUE(RenderTransport(both.vstTarget, s, a, error)) << error;
    ASSERT_TRUE(RenderTransport(both.vst3Target, s, b, error)) << error;
    EXPECT_EQ(FirstDifference(a.events, b.events, "VST 2.4", "VST3"), "") << "state " << i;
    for (const Vst3HostEvent& e : both.vst3.Events())
      EXPECT_EQ(e.rounded, e.bytes[2]) << "a velocity rounding and truncating hosts read differently";
    EXPECT_EQ(both.vst3.NonSilentSamples(), 0);
    EXPECT_EQ(both.vst3.RefusedEvents(), 0);
    compared += a.events.size();
  }
  EXPECT_GT(compared, 300u);
  EXPECT_EQ(Vst3LiveHostObjects(), hostObjects);
}

TEST(Vst3Render, RenderToolWritesTheSameFileFromEitherFormat)
{
  if (TestPluginPath().empty() || BundlePath().empty())
    GTEST_SKIP() << "no VST3 bundle built yet at " << TAV_VST3_BUNDLE;
  TempDir dir("vst3render");
  std::vector<std::vector<uint8_t>> files;
  for (const std::vector<std::string>& format : {std::vector<std::string>{"--plugin", TestPluginPath()},
                                                 std::vector<std::string>{"--vst3", BundlePath()}}) {
    const std::string out = dir.path("song.mid");
    std::vector<std::string> args = {HostPath(TAV_RENDER_TOOL), format[0], format[1], "--bars", "3", "--sig", "5/4",
                                     "--set", "Swing=0.4", "--quiet", "--out", out};
    int code = -1;
    std::string error;
    ASSERT_TRUE(RunProgram(args, code, error)) << error;
    ASSERT_EQ(code, 0) << format[0];
    files.emplace_back();
    ASSERT_TRUE(ReadFileBytes(out, files.back(), error)) << error;
  }
  EXPECT_EQ(files[0], files[1]);
}

} // namespace
