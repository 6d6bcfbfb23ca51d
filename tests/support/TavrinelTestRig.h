#pragma once
// Drives Tavrinel through its C++ class inside the VST wrapper with the fake
// host: the host answers the time request from a transport the test sets and
// records every MIDI event; the rig opens the plug-in the way a host does
// (effOpen runs every parameter's handler). One rig at a time (the host is
// found through a global).

#include "FakeVstHost.h"
#include "Tavrinel.h"

#include <memory>
#include <string>
#include <vector>

struct TavrinelRig {
  FakeHost host;
  std::unique_ptr<IPlugVSTInstance<Tavrinel>> vst;
  Tavrinel* plug = nullptr;  // the wrapper's
  AEffect* effect = nullptr;

  explicit TavrinelRig(bool open = true)
  {
    host.mProduct = "";
    host.mTime.sampleRate = 44100.0;
    host.mTime.tempo = 120.0;
    host.mTime.timeSigNumerator = 4;
    host.mTime.timeSigDenominator = 4;
    host.mTime.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
    vst = std::make_unique<IPlugVSTInstance<Tavrinel>>(&FakeHost::Callback);
    plug = &vst->Plug();
    effect = vst->Effect();
    if (open) Dispatch(effOpen);
  }

  void SetPlaying(bool on)
  {
    if (on) host.mTime.flags |= kVstTransportPlaying;
    else host.mTime.flags &= ~kVstTransportPlaying;
  }

  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr)
  {
    return vst->Dispatch(opcode, index, value, ptr);
  }

  // Sets a parameter's plain value (clamped) and runs its handler.
  void Set(int idx, double v)
  {
    plug->GetParam(idx)->SetClamped(v);
    plug->OnParamChanged(idx);
  }

  // The same without clamping (values the host could not send).
  void SetRaw(int idx, double v)
  {
    plug->GetParam(idx)->Set(v);
    plug->OnParamChanged(idx);
  }

  // Hands what the test changed directly in the plug-in's engine (outside any
  // entry) to the audio thread's engine, as the end of a host call would.
  void Commit() { IPlugBase::MutexLock lock(plug->GetMutex()); }

  // Forgets what the host saw (keeping the recorders' capacity).
  void ClearHost()
  {
    host.mCalls.clear();
    host.mMidiOut.clear();
    host.mEventLists.clear();
  }

  // One block at the transport's position; the position moves on while playing.
  void Block(int nFrames)
  {
    plug->ProcessBlock(nullptr, nullptr, nFrames);
    if (host.mTime.flags & kVstTransportPlaying) host.mTime.samplePos += nFrames;
  }

  // The same through the host's process entry: the audio thread's engine
  // (the block size must have been set).
  void AudioBlock(int nFrames)
  {
    effect->processReplacing(effect, nullptr, nullptr, nFrames);
    if (host.mTime.flags & kVstTransportPlaying) host.mTime.samplePos += nFrames;
  }

  // Events sent by the next block, in order.
  std::vector<IMidiMessage> Take(int nFrames, bool throughEntries = false)
  {
    ClearHost();
    if (throughEntries) AudioBlock(nFrames); else Block(nFrames);
    std::vector<IMidiMessage> out;
    for (const VstMidiEvent& e : host.mMidiOut)
      out.emplace_back(e.deltaFrames, uint8_t(e.midiData[0]), uint8_t(e.midiData[1]), uint8_t(e.midiData[2]));
    return out;
  }

  std::vector<IMidiMessage> NoteOns(const std::vector<IMidiMessage>& ev)
  {
    std::vector<IMidiMessage> out;
    for (const IMidiMessage& m : ev)
      if (m.StatusKind() == IMidiMessage::kNoteOn) out.push_back(m);
    return out;
  }

  std::string Display(int idx)
  {
    char text[IPlugParam::MAX_PARAM_DISPLAY_LEN];
    plug->GetParam(idx)->GetDisplayForHost(text);
    return text;
  }

  PitchSet& Pulse(int step, int row, int pulse) { return plug->mProgression.step(step).mMelodies[row].mPulses[pulse]; }
};
