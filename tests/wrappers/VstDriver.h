#pragma once
// The VST 2.4 wrapper as the host-contract suite drives it (HostDriver.h),
// through its descriptor and the fake host. One at a time (the fake host is).

#include "FakeVstHost.h"
#include "HostDriver.h"

class VstDriver : public HostDriver {
public:
  VstDriver()
  {
    mHost.mProduct = "";
    mHost.mTime.sampleRate = RATE;
    SetTransport(0, 120.0, true, 0);
    mHost.mOnCall = [](void* self, int32_t opcode) {
      static_cast<VstDriver*>(self)->mNotices += opcode == audioMasterUpdateDisplay;
    };
    mHost.mOnCallArg = this;
    mVst.Dispatch(effOpen);
    mVst.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(RATE));
    mVst.Dispatch(effSetBlockSize, 0, BLOCK);
    mVst.Dispatch(effMainsChanged, 0, 1);
  }

  Tavrinel& Plug() override { return mVst.Plug(); }
  void SetTransport(int64_t frame, double bpm, bool playing, int at) override
  {
    VstTimeInfo& t = at > 0 ? mNext : mHost.mTime;
    t = mHost.mTime;
    t.samplePos = double(frame);
    t.tempo = bpm;
    t.timeSigNumerator = t.timeSigDenominator = 4;
    t.flags = kVstTempoValid | kVstTimeSigValid | (playing ? kVstTransportPlaying : 0);
    mNextAt = at;
  }
  void SetParam(int idx, double plainValue) override
  {
    AEffect* e = mVst.Effect();
    e->setParameter(e, idx, static_cast<float>(Plug().GetParam(idx)->NormalizedFrom(plainValue)));
  }
  // A transport told inside the run splits it into two process calls there.
  std::vector<IMidiMessage> Run(int n) override
  {
    mHost.mCalls.clear();
    mHost.mMidiOut.clear();
    const int at = mNextAt;
    mNextAt = 0;
    if (at > 0) {
      Call(at, 0);
      mHost.mTime = mNext;
    }
    Call(n - at, at);
    std::vector<IMidiMessage> out;
    for (const VstMidiEvent& e : mHost.mMidiOut)
      out.emplace_back(e.deltaFrames, uint8_t(e.midiData[0]), uint8_t(e.midiData[1]), uint8_t(e.midiData[2]));
    return out;
  }
  void Reactivate() override
  {
    mVst.Dispatch(effMainsChanged, 0, 0);
    mVst.Dispatch(effMainsChanged, 0, 1);
  }
  std::vector<uint8_t> Save() override
  {
    void* data = nullptr;
    const intptr_t size = mVst.Dispatch(effGetChunk, 0, 0, &data);
    const auto* p = static_cast<const uint8_t*>(data);
    return size > 0 ? std::vector<uint8_t>(p, p + size) : std::vector<uint8_t>();
  }
  bool Restore(const std::vector<uint8_t>& bytes, size_t claimedSize) override
  {
    std::vector<uint8_t> copy = bytes;
    return mVst.Dispatch(effSetChunk, 0, intptr_t(claimedSize ? claimedSize : copy.size()), copy.data()) == 1;
  }
  bool OpenEditor() override { return mVst.Dispatch(effEditOpen, 0, 0, &mParent) == 1; }
  void CloseEditor() override { mVst.Dispatch(effEditClose); }
  int SongNotices() override { return mNotices; }
  std::vector<std::string> TakeEdits() override
  {
    std::vector<std::string> edits;
    for (const FakeHost::Call& c : mHost.mCalls) {
      const std::string idx = std::to_string(c.index);
      if (c.opcode == audioMasterBeginEdit) edits.push_back("b" + idx);
      if (c.opcode == audioMasterEndEdit) edits.push_back("e" + idx);
      if (c.opcode == audioMasterAutomate)
        edits.push_back("a" + idx + "=" + std::to_string(Plug().GetParam(c.index)->PlainFromNormalized(c.opt)));
    }
    mHost.mCalls.clear();
    return edits;
  }

private:
  // One process call whose events count from frame `offset` of the run.
  void Call(int n, int offset)
  {
    const size_t from = mHost.mMidiOut.size();
    AEffect* e = mVst.Effect();
    e->processReplacing(e, nullptr, nullptr, n);
    for (size_t i = from; i < mHost.mMidiOut.size(); ++i) mHost.mMidiOut[i].deltaFrames += offset;
    if (mHost.mTime.flags & kVstTransportPlaying) mHost.mTime.samplePos += n;
  }

  FakeHost mHost;
  IPlugVSTInstance<Tavrinel> mVst{&FakeHost::Callback};
  VstTimeInfo mNext = {};  // told for frame mNextAt of the next run
  int mNextAt = 0;
  int mParent = 0;
  int mNotices = 0;
};
