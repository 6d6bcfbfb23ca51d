// The VST 2.4 wrapper, driven through the descriptor's function pointers by a
// fake host: descriptor, dispatcher, chunks, MIDI in and out, transport, host
// identification and the process entries.

#include "AllocCounter.h"
#include "FakeVstHost.h"
#include "IGraphicsOffscreen.h"
#include "MixedEventList.h"
#include "TextField.h"

#include <gtest/gtest.h>

#include <thread>

#include <atomic>
#include <chrono>
#include <climits>
#include <memory>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
struct PlugVstTest : ::testing::Test {
  FakeHost host;
  bool destroyed = false;
  AEffect* effect = nullptr;
  IPlugVST* wrapper = nullptr;
  TestPlug* plug = nullptr;

  void SetUp() override
  {
    effect = IPlugVST::Entry<TestPlug>(FakeHost::Callback);
    ASSERT_NE(effect, nullptr);
    wrapper = IPlugVST::FromAEffect(effect);
    plug = &static_cast<TestPlug&>(wrapper->Plug());
    plug->mDestroyed = &destroyed;
  }
  void TearDown() override
  {
    if (effect) Dispatch(effClose);
    EXPECT_TRUE(destroyed);
  }

  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
  {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  std::string Text(int32_t opcode, int32_t index = 0)
  {
    char buf[256] = "unchanged";
    Dispatch(opcode, index, 0, buf);
    return buf;
  }
};

constexpr int32_t kTransportFilterForTest = 0x3E00;

std::vector<uint8_t> Bytes(const void* p, size_t n)
{
  const auto* b = static_cast<const uint8_t*>(p);
  return std::vector<uint8_t>(b, b + n);
}
} // namespace

TEST_F(PlugVstTest, Descriptor)
{
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->numParams, 5);
  EXPECT_EQ(effect->numPrograms, 6);
  EXPECT_EQ(effect->numInputs, 2);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->flags, 0x10 | 0x1000 | 0x20 | 0x08 | 0x100);
  EXPECT_EQ(effect->uniqueID, FourCC("qbTv"));
  EXPECT_EQ(effect->version, 10000);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_STREQ(plug->GetPresetName(0), "Default"); // the entry made the default program
}

TEST(PlugVstEntry, CreationFailures)
{
  FakeHost host;
  EXPECT_EQ(IPlugVST::Entry(FakeHost::Callback, nullptr), nullptr);
  EXPECT_EQ(IPlugVST::Entry(FakeHost::Callback, [] { return std::unique_ptr<IPlugBase>(); }), nullptr);
  EXPECT_EQ(IPlugVST::Entry(FakeHost::Callback,
                            []() -> std::unique_ptr<IPlugBase> { throw std::runtime_error("no"); }),
            nullptr);

  // A plug-in without programs still shows one to the host.
  AEffect* e = IPlugVST::Entry(FakeHost::Callback, [] {
    return std::unique_ptr<IPlugBase>(new TestPlug("1-1", 5, 0));
  });
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->numPrograms, 1);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0);
}

TEST_F(PlugVstTest, SimpleOpcodesAndCapabilities)
{
  EXPECT_EQ(Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(Dispatch(effGetPlugCategory), 2);
  EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, &effect), 0); // no editor
  EXPECT_EQ(Dispatch(effEditOpen), 0);
  EXPECT_EQ(Dispatch(effEditClose), 0);
  EXPECT_EQ(Dispatch(9999), 0);
  EXPECT_EQ(effect->dispatcher(nullptr, effIdentify, 0, 0, nullptr, 0), 0);

  auto canDo = [&](const char* s) { return Dispatch(effCanDo, 0, 0, const_cast<char*>(s)); };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("receiveVstTimeInfo "), 0);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 1);
  EXPECT_EQ(canDo("bypass"), 0);
  EXPECT_EQ(Dispatch(effCanDo), 0);

  EXPECT_EQ(Text(effGetEffectName), "Tavrinel");
  EXPECT_EQ(Text(effGetVendorString), "Quellbrook");
}

TEST_F(PlugVstTest, LifecycleOpcodesReachTheHooks)
{
  Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plug->GetSampleRate(), 48000.0);
  Dispatch(effSetBlockSize, 0, 256);
  EXPECT_EQ(plug->GetBlockSize(), 256);
  Dispatch(effMainsChanged, 0, 1);
  Dispatch(effMainsChanged, 0, 0);
  EXPECT_EQ(plug->mHooks, "RRADR"); // switching off also resets
  EXPECT_EQ(Dispatch(effEditIdle), 0);
  EXPECT_EQ(Dispatch(effIdle), 0);

  MidiKeyName key = {};
  key.thisKeyNumber = 60;
  std::strcpy(key.keyName, "stale");
  EXPECT_EQ(Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
}

// Counts the host's idle calls that reach the editor, and whether the plug-in
// mutex was free during them (a popup loop inside idle must not block audio).
struct IdleCountingGraphics : IGraphicsOffscreen {
  using IGraphicsOffscreen::IGraphicsOffscreen;
  void OnIdle() override
  {
    ++mIdles;
    // Asked from another thread: this one could always re-enter the recursive mutex.
    bool free = false;
    std::thread other([&] {
      free = GetPlug()->GetMutex().try_lock();
      if (free) GetPlug()->GetMutex().unlock();
    });
    other.join();
    mMutexFree = mMutexFree && free;
  }
  int mIdles = 0;
  bool mMutexFree = true;
};

TEST_F(PlugVstTest, EditorThroughTheDispatcher)
{
  auto* gui = new IdleCountingGraphics(plug, 300, 200);
  plug->AttachGraphics(gui); // owned by the plug-in from here
  EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);

  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 200);
  EXPECT_EQ(rect->right, 300);
  EXPECT_EQ(Dispatch(effEditGetRect), 0);

  int parent = 0;
  EXPECT_EQ(Dispatch(effEditOpen, 0, 0, &parent), 1);
  Dispatch(effEditIdle);
  Dispatch(effEditIdle);
  EXPECT_EQ(gui->mIdles, 2);
  EXPECT_TRUE(gui->mMutexFree);
  EXPECT_EQ(Dispatch(effEditClose), 1);
  EXPECT_EQ(plug->mHooks, "OC");
}

TEST_F(PlugVstTest, ParametersThroughTheDescriptor)
{
  EXPECT_EQ(Text(effGetParamName, 4), "Fine");
  EXPECT_EQ(Text(effGetParamLabel, 4), "dB");
  EXPECT_EQ(Text(effGetParamDisplay, 0), "0.25");
  EXPECT_EQ(Text(effGetParamDisplay, 2), "Saw");
  EXPECT_EQ(Text(effGetParamDisplay, 3), "on");
  EXPECT_EQ(Text(effGetParamName, 5), "unchanged");

  plug->mChanged.clear();
  effect->setParameter(effect, 2, 0.0f);
  EXPECT_EQ(Text(effGetParamDisplay, 2), "Sine");
  EXPECT_EQ(plug->mChanged, std::vector<int>{2});
  EXPECT_EQ(host.Count(audioMasterAutomate), 0); // the host is not told back
  effect->setParameter(effect, 7, 0.5f);
  EXPECT_EQ(effect->getParameter(effect, 0), 0.25f);
  EXPECT_EQ(effect->getParameter(effect, 7), 0.0f);

  // Display text of a value the host proposes.
  char buf[64] = "";
  EXPECT_EQ(Dispatch(effVendorSpecific, 7, 2, buf, 1.0f), 0xBEEF);
  EXPECT_STREQ(buf, "2"); // entry 2's text is empty
  EXPECT_EQ(Dispatch(effVendorSpecific, 7, 0, buf, 0.5f), 0xBEEF);
  EXPECT_STREQ(buf, "0.50");
  EXPECT_EQ(Dispatch(effVendorSpecific, 7, 99, buf, 0.5f), 0xBEEF);
  EXPECT_EQ(Dispatch(effVendorSpecific, 6, 0, buf, 0.5f), 0);

  // Opening runs every change hook once, in order.
  plug->mChanged.clear();
  Dispatch(effOpen);
  EXPECT_EQ(plug->mChanged, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(PlugVstTest, ProgramsThroughTheDispatcher)
{
  Dispatch(effSetProgram, 0, 2);
  EXPECT_EQ(Dispatch(effGetProgram), 2);
  EXPECT_EQ(Text(effGetProgramName), "user preset 1");
  Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Pad"));
  EXPECT_EQ(Text(effGetProgramNameIndexed, 2), "Pad");
  EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
  char buf[64] = "x";
  EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 9, 0, buf), 0);
  EXPECT_STREQ(buf, "");
  Dispatch(effSetProgram, 0, intptr_t(1) << 32); // not wrapped into slot 0
  EXPECT_EQ(Dispatch(effGetProgram), 2);
}

TEST_F(PlugVstTest, PinPropertiesAndSpeakers)
{
  VstPinProperties pin = {};
  EXPECT_EQ(Dispatch(effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 3);
  EXPECT_STREQ(pin.label, "Input 1");
  EXPECT_EQ(Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 1);
  EXPECT_STREQ(pin.label, "Output 2");
  EXPECT_EQ(Dispatch(effGetInputProperties, 2, 0, &pin), 0);

  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(in->type, kSpeakerArrStereo);

  VstSpeakerArrangement mono = {};
  mono.numChannels = 1;
  EXPECT_EQ(Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&mono), &mono), 1);
  EXPECT_TRUE(plug->IsInChannelConnected(0));
  EXPECT_FALSE(plug->IsInChannelConnected(1));
  EXPECT_FALSE(plug->IsOutChannelConnected(1));
}

TEST_F(PlugVstTest, ChunksCarryTheFrameworkHeader)
{
  void* data = nullptr;
  const intptr_t size = Dispatch(effGetChunk, 0, 0, &data);
  ASSERT_EQ(size, 8 + 5 * 8);
  EXPECT_EQ(Bytes(data, 8), (std::vector<uint8_t>{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Dispatch(effGetChunk, 1, 0, nullptr), 0);

  // Round trip, including the host handing back the very buffer it was given.
  plug->GetParam(0)->Set(0.8);
  void* program = nullptr;
  const intptr_t programSize = Dispatch(effGetChunk, 1, 0, &program);
  plug->GetParam(0)->Set(0.1);
  EXPECT_EQ(Dispatch(effSetChunk, 1, programSize, program), 1);
  EXPECT_EQ(plug->mLastStartPos, 8);
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.8);

  // Magic but no version: nothing is read, failure.
  const uint8_t shortChunk[6] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00};
  EXPECT_EQ(Dispatch(effSetChunk, 1, 6, const_cast<uint8_t*>(shortChunk)), 0);
  EXPECT_EQ(plug->mLastStartPos, -1);

  // An older chunk without header loads from byte 0 and goes into the current program.
  IStateChunk old;
  for (double v : {0.3, 1.0, 2.0, 0.0, 1.25}) old.Append(v);
  EXPECT_EQ(Dispatch(effSetChunk, 1, old.Size(), old.GetBytes()), 1);
  EXPECT_EQ(plug->mLastStartPos, 0);
  EXPECT_EQ(plug->GetParam(4)->Value(), 1.25);
  plug->GetParam(0)->Set(0.0);
  EXPECT_TRUE(plug->RestorePreset(0));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.3);

  // A bank request first stores the current values in the current program; a
  // bank with the framework header leaves the current program alone, a program
  // chunk goes into it.
  plug->GetParam(0)->Set(0.7);
  void* bank = nullptr;
  const intptr_t bankSize = Dispatch(effGetChunk, 0, 0, &bank);
  ASSERT_EQ(bankSize, 8 + 5 * 8);
  plug->GetParam(0)->Set(0.0);
  ASSERT_TRUE(plug->RestorePreset(0));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.7);
  std::vector<uint8_t> other = Bytes(bank, size_t(bankSize));
  const double v = 0.6;
  std::memcpy(other.data() + 8, &v, 8);
  EXPECT_EQ(Dispatch(effSetChunk, 0, intptr_t(other.size()), other.data()), 1);
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.6);
  ASSERT_TRUE(plug->RestorePreset(0));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.7);
  EXPECT_EQ(Dispatch(effSetChunk, 1, intptr_t(other.size()), other.data()), 1);
  ASSERT_TRUE(plug->RestorePreset(0));
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.6);

  EXPECT_EQ(Dispatch(effSetChunk, 0, 8, nullptr), 0);
  EXPECT_EQ(Dispatch(effSetChunk, 0, -1, const_cast<uint8_t*>(shortChunk)), 0);
}

TEST_F(PlugVstTest, MidiInAndPassThrough)
{
  plug->mPassMidiOn = true;
  MixedEventList events(17, 0xB3, 7, 99);

  EXPECT_EQ(Dispatch(effProcessEvents, 0, 0, &events.list), 1);
  ASSERT_EQ(plug->mMidiIn.size(), 1u);
  EXPECT_EQ(plug->mMidiIn[0], IMidiMessage(17, 0xB3, 7, 99));
  ASSERT_EQ(host.mForwarded.size(), 1u);
  EXPECT_EQ(host.mForwarded[0], &events.sysex);
  ASSERT_EQ(host.mMidiOut.size(), 1u); // passed on by the default hook
  EXPECT_EQ(host.mMidiOut[0].deltaFrames, 17);
}

TEST_F(PlugVstTest, MidiOutIsOneEventPerList)
{
  IMidiMessage on, off;
  on.SetNoteOn(64, 90, 5, 2);
  off.SetNoteOff(64, 300, 2);
  EXPECT_TRUE(plug->SendMidiMessages(std::vector<IMidiMessage>{on, off}));
  ASSERT_EQ(host.mMidiOut.size(), 2u);

  VstMidiEvent expected = {};
  expected.type = 1;
  expected.byteSize = 32;
  expected.deltaFrames = 5;
  expected.midiData[0] = char(0x92);
  expected.midiData[1] = 64;
  expected.midiData[2] = 90;
  EXPECT_EQ(Bytes(&host.mMidiOut[0], 32), Bytes(&expected, 32));
  EXPECT_EQ(host.mEventLists[0].numEvents, 1);
  EXPECT_EQ(host.mEventLists[0].reserved, 0);
  EXPECT_EQ(host.mEventLists[0].events[1], nullptr);
  EXPECT_EQ(host.mMidiOut[1].deltaFrames, 300);
  EXPECT_EQ(uint8_t(host.mMidiOut[1].midiData[0]), 0x82);
  EXPECT_EQ(host.mMidiOut[1].midiData[2], 0);

  host.mEventsResult = 0; // a host that refuses: every message is still tried
  EXPECT_FALSE(plug->SendMidiMessages(std::vector<IMidiMessage>{on, off}));
  EXPECT_EQ(host.mMidiOut.size(), 4u);
}

TEST_F(PlugVstTest, TransportAndTimeInfo)
{
  double pos, tempo, ppq, bar, cs, ce;
  int num, den;
  bool playing = false, cycle = true;

  host.mGiveTime = false;
  plug->GetTransport(pos, tempo, ppq, bar, num, den, cs, ce, playing, cycle);
  EXPECT_EQ(pos, -1.0);
  EXPECT_EQ(tempo, 120.0);
  EXPECT_EQ(num, 4);
  EXPECT_EQ(den, 4);
  EXPECT_FALSE(playing); // untouched
  EXPECT_TRUE(wrapper->IsHostPlaying());
  EXPECT_EQ(plug->GetSamplePosition(), 0);
  EXPECT_EQ(plug->GetHostTempo(), 0.0);

  host.mGiveTime = true;
  host.mTime.flags = kVstTempoValid | kVstTimeSigValid | kVstTransportCycleActive;
  host.mTime.samplePos = 1000.5;
  host.mTime.tempo = 90.0;
  host.mTime.ppqPos = 3.0; // not flagged valid
  host.mTime.timeSigNumerator = 7;
  host.mTime.timeSigDenominator = 0; // not usable: 4/4 stays
  plug->GetTransport(pos, tempo, ppq, bar, num, den, cs, ce, playing, cycle);
  EXPECT_EQ(pos, 1000.5);
  EXPECT_EQ(tempo, 90.0);
  EXPECT_EQ(ppq, -1.0);
  EXPECT_EQ(num, 4);
  EXPECT_FALSE(playing);
  EXPECT_TRUE(cycle);
  EXPECT_FALSE(wrapper->IsHostPlaying());
  EXPECT_EQ(plug->GetSamplePosition(), 1001);
  EXPECT_EQ(plug->GetHostTempo(), 90.0);
  plug->GetTimeSignature(num, den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 0);

  // Every field valid.
  host.mTime.flags = kTransportFilterForTest | kVstTransportPlaying;
  host.mTime.ppqPos = 3.5;
  host.mTime.barStartPos = 2.0;
  host.mTime.cycleStartPos = 1.0;
  host.mTime.cycleEndPos = 5.0;
  host.mTime.timeSigNumerator = 3;
  host.mTime.timeSigDenominator = 8;
  plug->GetTransport(pos, tempo, ppq, bar, num, den, cs, ce, playing, cycle);
  EXPECT_EQ(ppq, 3.5);
  EXPECT_EQ(bar, 2.0);
  EXPECT_EQ(cs, 1.0);
  EXPECT_EQ(ce, 5.0);
  EXPECT_EQ(num, 3);
  EXPECT_EQ(den, 8);
  EXPECT_TRUE(playing);
  EXPECT_FALSE(cycle);
  host.mTime.cycleStartPos = -1.0; // the cycle needs both ends
  host.mTime.tempo = 0.0; // tempo must be above 0
  plug->GetTransport(pos, tempo, ppq, bar, num, den, cs, ce, playing, cycle);
  EXPECT_EQ(cs, -1.0);
  EXPECT_EQ(ce, -1.0);
  EXPECT_EQ(tempo, 120.0);
  EXPECT_EQ(plug->GetHostTempo(), 0.0);

  host.mTime.samplePos = -300.0;
  EXPECT_EQ(plug->GetSamplePosition(), 0);
  host.mTime.flags = kVstTransportPlaying; // no 0x3E00 flag: counts as playing, bools untouched
  EXPECT_TRUE(wrapper->IsHostPlaying());
}

TEST_F(PlugVstTest, HostIsAskedOnce)
{
  EXPECT_EQ(plug->GetHostId(), kHostReaper);
  EXPECT_EQ(plug->GetHostVersion(), (0 << 16) | (68 << 8) | 10);
  plug->GetHostId();
  Dispatch(effOpen);
  EXPECT_EQ(host.Count(audioMasterGetProductString), 1);

  host.mProduct = "";
  IPlugVSTInstance<TestPlug> unnamed(FakeHost::Callback);
  EXPECT_EQ(unnamed.Plug().GetHostId(), kHostUnknown);
  EXPECT_EQ(unnamed.Plug().GetHostId(), kHostUnknown);
  EXPECT_EQ(host.Count(audioMasterGetProductString), 2);
  EXPECT_EQ(host.Count(audioMasterGetVendorVersion), 1);
}

TEST(PlugVstHosts, ChannelsForHostsThatNeedThem)
{
  {
    FakeHost forte;
    forte.mProduct = "Forte 4";
    IPlugVSTInstance<TestPlug> four(FakeHost::Callback, [] { return std::unique_ptr<IPlugBase>(new TestPlug("4-4")); });
    four.Dispatch(effOpen);
    EXPECT_TRUE(four.Plug().IsInChannelConnected(1));
    EXPECT_FALSE(four.Plug().IsInChannelConnected(2));
    EXPECT_TRUE(four.Plug().IsOutChannelConnected(3));
    EXPECT_EQ(four.Effect()->numInputs, 4);
  }

  FakeHost host;
  host.mProduct = "Ableton Live 11";
  IPlugVSTInstance<TestPlug> vst(FakeHost::Callback, [] { return std::unique_ptr<IPlugBase>(new TestPlug("")); });
  AEffect* e = vst.Effect();
  EXPECT_EQ(e->numInputs, 0);
  vst.Dispatch(effOpen);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_TRUE(vst.Plug().LegalIO(2, 2));
  EXPECT_TRUE(vst.Plug().IsOutChannelConnected(1));

  float a[8] = {1, 2, 3, 4, 5, 6, 7, 8}, b[8] = {};
  float* io[2] = {a, b};
  e->processReplacing(e, io, io, 8);
  EXPECT_EQ(a[7], 9.0f);
}

TEST_F(PlugVstTest, ProcessEntriesConvertAndAccumulate)
{
  float in0[4] = {1, 2, 3, 4}, in1[4] = {-1, -2, -3, -4};
  float out0[4] = {10, 10, 10, 10}, out1[4] = {};
  float* ins[2] = {in0, in1};
  float* outs[2] = {out0, out1};
  effect->process(effect, ins, outs, 4); // adds
  EXPECT_EQ(out0[3], 15.0f);
  EXPECT_EQ(out1[1], -1.0f);
  effect->processReplacing(effect, ins, outs, 4);
  EXPECT_EQ(out0[3], 5.0f);
  EXPECT_EQ(host.Count(audioMasterWantMidi), 2);

  double d0[3] = {1, 2, 3}, d1[3] = {};
  double* dins[2] = {d0, d1};
  double* douts[2] = {d0, d1}; // in place
  effect->processDoubleReplacing(effect, dins, douts, 3);
  EXPECT_EQ(d0[2], 4.0);
  EXPECT_EQ(d1[0], 1.0);

  // A disconnected input takes no host buffer and reads silence.
  VstSpeakerArrangement mono = {};
  mono.numChannels = 1;
  Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&mono), nullptr);
  effect->processReplacing(effect, ins, outs, 4);
  EXPECT_EQ(out0[0], 2.0f);
  EXPECT_EQ(out1[0], 1.0f);
}

TEST_F(PlugVstTest, OversizedCallIsProcessedInSlices)
{
  Dispatch(effSetBlockSize, 0, 64);
  Dispatch(effSetBlockSize, 0, 0); // ignored: the buffers keep 64 frames
  Dispatch(effSetBlockSize, 0, -8);
  ASSERT_EQ(plug->GetBlockSize(), 64);
  plug->mNoteAtEnd = true;
  plug->mAskPosition = true;
  host.mTime.flags = kVstTransportPlaying | kVstTempoValid;
  host.mTime.tempo = 120.0;
  host.mTime.samplePos = 1000.0;

  std::vector<float> in(200), out(200, -5.0f);
  for (int i = 0; i < 200; ++i) in[size_t(i)] = float(i);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out.data(), out.data()};
  effect->processReplacing(effect, ins, outs, 200);

  ASSERT_EQ(plug->mBlocks.size(), 4u);
  const int frames[4] = {64, 64, 64, 8};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(plug->mBlocks[size_t(k)].nFrames, frames[k]);
    EXPECT_EQ(plug->mBlocks[size_t(k)].samplePos, 1000 + 64 * k); // the slices join up
  }
  for (int i = 0; i < 200; ++i) ASSERT_EQ(out[size_t(i)], float(i) + 1.0f) << i;
  ASSERT_EQ(host.mMidiOut.size(), 4u);
  EXPECT_EQ(host.mMidiOut[0].deltaFrames, 63);
  EXPECT_EQ(host.mMidiOut[3].deltaFrames, 199); // offsets relative to the host's block
  EXPECT_EQ(host.Count(audioMasterWantMidi), 1);

  // The same with the double entry, and a call of 0 frames still reaches the plug-in once.
  std::vector<double> din(130, 1.0), dout(130, 0.0);
  double* dins[2] = {din.data(), din.data()};
  double* douts[2] = {dout.data(), dout.data()};
  plug->mBlocks.clear();
  effect->processDoubleReplacing(effect, dins, douts, 130);
  EXPECT_EQ(plug->mBlocks.size(), 3u);
  EXPECT_EQ(dout[129], 2.0);
  plug->mBlocks.clear();
  effect->processReplacing(effect, ins, outs, 0);
  ASSERT_EQ(plug->mBlocks.size(), 1u);
  EXPECT_EQ(plug->mBlocks[0].nFrames, 0);
}

TEST_F(PlugVstTest, ProcessAllocatesNothingAfterWarmUp)
{
  Dispatch(effSetBlockSize, 0, 128);
  plug->mNoteAtEnd = true;
  plug->mAskPosition = true;
  std::vector<float> f(512, 0.5f);
  std::vector<double> d(512, 0.5);
  float* fio[2] = {f.data(), f.data()};
  double* dio[2] = {d.data(), d.data()};
  effect->processReplacing(effect, fio, fio, 128); // warm-up

  alloccount::Scope scope;
  effect->processReplacing(effect, fio, fio, 128);
  effect->process(effect, fio, fio, 512);
  effect->processDoubleReplacing(effect, dio, dio, 300);
  EXPECT_EQ(scope.Allocations(), 0u);
}

namespace {
// A plug-in whose hooks throw once asked to, and an editor whose idle does.
struct ThrowingPlug : TestPlug {
  using TestPlug::TestPlug;
  bool mThrow = false;
  void Maybe() const
  {
    if (mThrow) throw std::runtime_error("hook");
  }
  void OnParamChanged(int idx) override { Maybe(), TestPlug::OnParamChanged(idx); }
  void OnReset() override { Maybe(); }
  void OnActivate(bool) override { Maybe(); }
  void ProcessMidiMessage(const IMidiMessage&) override { Maybe(); }
  bool GetMidiNoteName(int, char*) override { return Maybe(), false; }
  bool SerializeState(IStateChunk& c) override { return Maybe(), TestPlug::SerializeState(c); }
  int UnserializeState(const IStateChunk&, int) override { throw std::bad_alloc(); }
  void ProcessBlock(double**, double** out, int n) override
  {
    if (n > 0 && out[0]) out[0][0] = 5.0; // half-written when the throw comes
    Maybe();
  }
};
struct ThrowingIdle : IGraphicsOffscreen {
  using IGraphicsOffscreen::IGraphicsOffscreen;
  void OnIdle() override { throw std::runtime_error("idle"); }
};
bool MutexFreeFromAnotherThread(IPlugBase& plug)
{
  bool free = false;
  std::thread([&] {
    free = plug.GetMutex().try_lock();
    if (free) plug.GetMutex().unlock();
  }).join();
  return free;
}
} // namespace

TEST(PlugVstBoundary, NoExceptionReachesTheHostAndResultsAreNeutral)
{
  FakeHost host;
  AEffect* e = IPlugVST::Entry<ThrowingPlug>(FakeHost::Callback);
  ASSERT_NE(e, nullptr);
  auto* plug = &static_cast<ThrowingPlug&>(IPlugVST::FromAEffect(e)->Plug());
  plug->AttachGraphics(new ThrowingIdle(plug, 100, 100));
  plug->mThrow = true;
  std::vector<unsigned char> scratch(4096, 0);
  for (int32_t op = 0; op < 80; ++op) {
    if (op == effClose || op == effSetSpeakerArrangement || op == effGetSpeakerArrangement) continue;
    std::fill(scratch.begin(), scratch.end(), 0);
    EXPECT_NO_THROW(e->dispatcher(e, op, 0, op == effSetChunk ? 64 : 1, scratch.data(), 0.5f)) << op;
  }
  // A chunk of any claimed size, up to the largest a host can say, fails cleanly.
  uint8_t small[8] = {0x74, 0x66, 0x66, 0x70, 0, 0, 1, 0};
  for (intptr_t size : {intptr_t(IPlugBase::MAX_CHUNK_SIZE) + 1, intptr_t(INT32_MAX)})
    EXPECT_EQ(e->dispatcher(e, effSetChunk, 0, size, small, 0), 0);
  EXPECT_NO_THROW(e->setParameter(e, 0, 0.5f));
  EXPECT_NO_THROW(e->getParameter(e, 0));
  std::vector<float> f(64, 3.0f);
  std::vector<double> d(64, 3.0);
  float* fio[2] = {f.data(), f.data() + 32};
  double* dio[2] = {d.data(), d.data() + 32};
  EXPECT_NO_THROW(e->processReplacing(e, fio, fio, 32));
  EXPECT_NO_THROW(e->processDoubleReplacing(e, dio, dio, 32));
  EXPECT_NO_THROW(e->process(e, fio, fio, 32));
  EXPECT_EQ(f, std::vector<float>(64, 0.0f));
  EXPECT_EQ(d, std::vector<double>(64, 0.0));
  EXPECT_TRUE(MutexFreeFromAnotherThread(*plug));
  plug->mThrow = false;
  e->dispatcher(e, effClose, 0, 0, nullptr, 0);
}

TEST(PlugVstBoundary, HostTextBuffersAreNeverOverrun)
{
  // Texts longer than any host buffer, in every field the host can ask for.
  const std::string longText(300, 'x');
  struct LongNames : TestPlug {
    LongNames()
    {
      const std::string text(300, 'x');
      for (char* field : {mEffectName, mVendorName, mProductName}) CopyField(field, text.c_str(), MAX_EFFECT_NAME_LEN);
      GetParam(0)->DefineDouble(text.c_str(), 1e300, 0.0, 1e300, 1e-6, text.c_str());
    }
  };
  FakeHost host;
  IPlugVSTInstance<LongNames> vst(FakeHost::Callback);
  LongNames& plug = vst.Plug();
  plug.ModifyCurrentPreset(longText.c_str());
  AEffect* e = vst.Effect();
  const std::pair<int32_t, int> texts[] = {{effGetParamName, 32},    {effGetParamLabel, 32},    {effGetParamDisplay, 32},
                                           {effGetProgramName, 24},  {effGetProgramNameIndexed, 24},
                                           {effGetEffectName, 32},   {effGetVendorString, 64},  {effGetProductString, 64},
                                           {effVendorSpecific, 32}};
  for (const auto& [op, size] : texts) {
    std::vector<char> buf(size_t(size) + 16, '\x5A');
    e->dispatcher(e, op, op == effVendorSpecific ? 7 : 0, 0, buf.data(), 1.0f);
    EXPECT_EQ(std::string(buf.begin() + size, buf.end()), std::string(16, '\x5A')) << op;
    EXPECT_EQ(std::strlen(buf.data()), size_t(size - 1)) << op; // cut, terminated
  }
  // A host's name without a terminator is read no further than its 24 bytes.
  std::unique_ptr<char[]> name(new char[24]);
  std::memset(name.get(), 'n', 24);
  e->dispatcher(e, effSetProgramName, 0, 0, name.get(), 0.0f);
  EXPECT_EQ(std::string(plug.GetPresetName(0)), std::string(23, 'n'));
}

TEST_F(PlugVstTest, ReplacingEntriesLeaveSilenceInEveryDeclaredOutput)
{
  struct Quiet : TestPlug {
    using TestPlug::TestPlug;
    void ProcessBlock(double**, double**, int) override {}
  };
  IPlugVSTInstance<Quiet> quiet(FakeHost::Callback);
  AEffect* q = quiet.Effect();
  q->dispatcher(q, effSetBlockSize, 0, 16, nullptr, 0); // a call of 40 frames is sliced
  VstSpeakerArrangement mono = {};
  mono.numChannels = 1;
  for (bool oneConnected : {false, true}) {
    if (oneConnected) q->dispatcher(q, effSetSpeakerArrangement, 0, 0, &mono, 0);
    std::vector<double> d(80, 7.0), in(80, 1.0);
    std::vector<float> f(80, 7.0f), fin(80, 1.0f);
    double* dout[2] = {d.data(), d.data() + 40};
    double* din[2] = {in.data(), in.data() + 40};
    float* fout[2] = {f.data(), f.data() + 40};
    float* fins[2] = {fin.data(), fin.data() + 40};
    q->processDoubleReplacing(q, din, dout, 40);
    q->processReplacing(q, fins, fout, 40);
    EXPECT_EQ(d, std::vector<double>(80, 0.0));
    EXPECT_EQ(f, std::vector<float>(80, 0.0f));
    q->process(q, fins, fout, 40); // adds silence
    EXPECT_EQ(f, std::vector<float>(80, 0.0f));
  }
}

namespace {
// A host whose time request blocks until released: holds a process call inside.
std::atomic<int> gTimeWaiters{0};
std::atomic<bool> gReleaseTime{false};
intptr_t TAV_VSTCALL BlockingTimeHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  if (opcode != audioMasterGetTime) return 0;
  ++gTimeWaiters;
  while (!gReleaseTime.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 0;
}

template <class Pred>
bool WaitFor(Pred done, int ms = 2000)
{
  for (int i = 0; i < ms && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}
} // namespace

TEST(PlugVstClose, WaitsForTheCallInsideAndTurnsNewCallsAway)
{
  AEffect* e = IPlugVST::Entry<TestPlug>(BlockingTimeHost);
  ASSERT_NE(e, nullptr);
  IPlugVST* wrapper = IPlugVST::FromAEffect(e);
  auto* plug = &static_cast<TestPlug&>(wrapper->Plug());
  bool destroyed = false;
  plug->mDestroyed = &destroyed;
  plug->mAskPosition = true;
  float buf[8] = {};
  float* io[2] = {buf, buf + 4};
  std::thread audio([&] { e->processReplacing(e, io, io, 4); });
  ASSERT_TRUE(WaitFor([] { return gTimeWaiters.load() == 1; }));
  std::atomic<bool> closed{false};
  std::thread closer([&] {
    e->dispatcher(e, effClose, 0, 0, nullptr, 0);
    closed = true;
  });
  ASSERT_TRUE(WaitFor([&] { return wrapper->IsClosing(); }));
  // A call arriving now returns at once, although the audio call holds the mutex.
  std::atomic<bool> answered{false};
  std::thread late([&] {
    e->getParameter(e, 0);
    answered = true;
  });
  EXPECT_TRUE(WaitFor([&] { return answered.load(); }, 500));
  EXPECT_FALSE(closed.load());
  EXPECT_FALSE(destroyed);
  gReleaseTime = true;
  audio.join();
  closer.join();
  late.join();
  EXPECT_TRUE(destroyed);
}

TEST(PlugVstClose, EditorIdleNeverOverlapsClosingAndTheEditorDiesFirst)
{
  static std::string order;
  struct Watched : IGraphicsOffscreen {
    using IGraphicsOffscreen::IGraphicsOffscreen;
    ~Watched() override { order += 'G'; }
    void OnIdle() override
    {
      mIdling = true;
      std::this_thread::sleep_for(std::chrono::microseconds(300));
      mIdling = false;
    }
    void CloseWindow() override
    {
      mOverlaps += mIdling.load();
      IGraphicsOffscreen::CloseWindow();
    }
    std::atomic<bool> mIdling{false};
    std::atomic<int> mOverlaps{0};
  };
  struct Plug : TestPlug {
    using TestPlug::TestPlug;
    ~Plug() override { order += 'P'; }
  };
  FakeHost host;
  AEffect* e = IPlugVST::Entry<Plug>(FakeHost::Callback);
  ASSERT_NE(e, nullptr);
  auto* plug = &static_cast<Plug&>(IPlugVST::FromAEffect(e)->Plug());
  auto* gui = new Watched(plug, 50, 50);
  plug->AttachGraphics(gui);
  int parent = 0;
  std::atomic<bool> idled{false};
  std::thread idler([&] {
    for (int i = 0; i < 100; ++i) e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0);
    idled = true;
  });
  while (!idled.load()) {
    e->dispatcher(e, effEditOpen, 0, 0, &parent, 0);
    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0);
  }
  idler.join();
  EXPECT_EQ(gui->mOverlaps.load(), 0);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0);
  EXPECT_EQ(order, "GP"); // the editor goes while the plug-in is whole
}
