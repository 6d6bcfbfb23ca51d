#pragma once
// A small plug-in on the base alone that records what the framework hands it.
// Header-only.

#include "IPlugBase.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t FourCC(const char* s)
{
  return (int32_t(uint8_t(s[0])) << 24) | (int32_t(uint8_t(s[1])) << 16) | (int32_t(uint8_t(s[2])) << 8) |
         int32_t(uint8_t(s[3]));
}

// A plug-in with five parameters of every kind:
//   0 "Gain"  double 0..1 step 0.01     1 "Count" int 0..1
//   2 "Shape" enum of 3 with texts      3 "On"    bool (default on)
//   4 "Fine"  double 0.5..2 step 1e-9
class TestPlug : public IPlugBase {
public:
  explicit TestPlug(const char* channelIO = "1-1 2-2", int nParams = 5, int nPresets = 6)
    : IPlugBase(nParams, channelIO, nPresets, "Tavrinel", "", "Quellbrook", 0x10000, FourCC("qbTv"),
               FourCC("qbrk"), 0, true, true, true)
  {
    mChanged.reserve(4096);
    mBlocks.reserve(4096);
    mMidiIn.reserve(64);
    if (nParams < 5) return;
    GetParam(0)->DefineDouble("Gain", 0.25, 0.0, 1.0, 0.01);
    GetParam(1)->DefineInt("Count", 0, 0, 1);
    GetParam(2)->DefineEnum("Shape", 1, 3);
    GetParam(2)->AddDisplayText(0, "Sine");
    GetParam(2)->AddDisplayText(1, "Saw");
    GetParam(2)->AddDisplayText(2, "");
    GetParam(3)->DefineBool("On", true);
    GetParam(4)->DefineDouble("Fine", 1.0, 0.5, 2.0, 1e-9, "dB");
  }
  ~TestPlug() override
  {
    if (mDestroyed) *mDestroyed = true;
  }

  struct Block {
    int nFrames;
    int64_t samplePos;
  };

  void OnParamChanged(int idx) override
  {
    if (mChanged.size() < mChanged.capacity()) mChanged.push_back(idx);
  }
  // Lifecycle hooks, one letter each: R reset, A activate, D deactivate,
  // O editor opened, C editor closing.
  void OnReset() override { mHooks += 'R'; }
  void OnActivate(bool active) override { mHooks += active ? 'A' : 'D'; }
  void OnEditorOpened() override { mHooks += 'O'; }
  void OnEditorClosing() override { mHooks += 'C'; }
  void ProcessMidiMessage(const IMidiMessage& msg) override
  {
    mMidiIn.push_back(msg);
    if (mPassMidiOn) IPlugBase::ProcessMidiMessage(msg);
  }
  int UnserializeState(const IStateChunk& chunk, int startPos) override
  {
    mLastStartPos = startPos;
    return IPlugBase::UnserializeState(chunk, startPos);
  }
  // Output = input + 1 (so untouched or overrun samples show), plus one note-on
  // at the last frame of each block when asked.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override
  {
    if (mBlocks.size() < mBlocks.capacity()) mBlocks.push_back({nFrames, mAskPosition ? GetSamplePosition() : 0});
    for (int c = 0; c < NOutChannels(); ++c) {
      for (int i = 0; i < nFrames; ++i) outputs[c][i] = (c < NInChannels() ? inputs[c][i] : 0.0) + 1.0;
    }
    if (mNoteAtEnd && nFrames > 0) {
      IMidiMessage msg;
      msg.SetNoteOn(60, 100, nFrames - 1, 0);
      SendMidiMessage(msg);
    }
  }

  using IPlugBase::AddChannels;

  std::vector<int> mChanged;
  std::vector<Block> mBlocks;
  std::vector<IMidiMessage> mMidiIn;
  std::string mHooks;
  bool mPassMidiOn = false;
  bool mNoteAtEnd = false;
  bool mAskPosition = false;
  int mLastStartPos = 12345;
  bool* mDestroyed = nullptr;
};
