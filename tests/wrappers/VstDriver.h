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
    mVst.Dispatch(effOpen);
    mVst.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(RATE));
    mVst.Dispatch(effSetBlockSize, 0, BLOCK);
    mVst.Dispatch(effMainsChanged, 0, 1);
  }

  Tavrinel& Plug() override { return mVst.Plug(); }
  void SetTransport(int64_t frame, double bpm, bool playing, int at) override
  {
    mTold = {frame, bpm, playing, at};
    mPending = true;
    if (at == 0) Tell();
  }
  void SetParam(int idx, double plainValue) override
  {
    AEffect* e = mVst.Effect();
    e->setParameter(e, idx, static_cast<float>(Plug().GetParam(idx)->NormalizedFrom(plainValue)));
  }
  // A transport told inside the run splits it into two calls there.
  std::vector<IMidiMessage> Run(int n) override
  {
    Harvest();
    mHost.mMidiOut.clear();
    const int first = mPending ? mTold.at : 0;
    if (first > 0) Call(first, 0);
    if (mPending) Tell();
    Call(n - first, first);
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
  int SongNotices() override
  {
    Harvest();
    return mNotices;
  }
  std::vector<std::string> TakeEdits() override
  {
    Harvest();
    std::vector<std::string> edits;
    edits.swap(mEdits);
    return edits;
  }

private:
  struct Told {
    int64_t frame;
    double bpm;
    bool playing;
    int at;
  };
  void Tell()
  {
    mHost.mTime.samplePos = double(mTold.frame);
    mHost.mTime.tempo = mTold.bpm;
    mHost.mTime.timeSigNumerator = mHost.mTime.timeSigDenominator = 4;
    mHost.mTime.flags = kVstTempoValid | kVstTimeSigValid | (mTold.playing ? kVstTransportPlaying : 0);
    mPending = false;
  }
  // Takes what the host heard from its record, which has room for so many calls.
  void Harvest()
  {
    for (const FakeHost::Call& c : mHost.mCalls) {
      const std::string idx = std::to_string(c.index);
      if (c.opcode == audioMasterUpdateDisplay) ++mNotices;
      if (c.opcode == audioMasterBeginEdit) mEdits.push_back("b" + idx);
      if (c.opcode == audioMasterEndEdit) mEdits.push_back("e" + idx);
      if (c.opcode == audioMasterAutomate)
        mEdits.push_back("a" + idx + "=" + std::to_string(Plug().GetParam(c.index)->PlainFromNormalized(c.opt)));
    }
    mHost.mCalls.clear();
  }
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
  Told mTold = {};
  bool mPending = false;
  int mParent = 0;
  int mNotices = 0;
  std::vector<std::string> mEdits;
};
