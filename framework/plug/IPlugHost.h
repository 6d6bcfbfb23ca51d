#pragma once
// What a plug-in asks of its host, whatever the format. Each format's wrapper
// (IPlugVST, IPlugLV2) implements it and hands itself to the plug-in it owns
// (IPlugBase::AttachHost); the plug-in reaches it only through IPlugBase's
// methods of the same names, which do the neutral thing while no host is
// attached.
//
// Threads and locks (the wrapper must honour what the caller promises here):
// - HostBeginEdit, HostAutomate, HostEndEdit, HostUpdateDisplay and
//   HostSongChanged come from the editor's (GUI) thread, or the host's main
//   thread after a preset load, always with the plug-in mutex free.
// - GetHostTime, GetTransport, SendMidiMessage: any thread; inside an audio
//   call the audio thread, no lock held, and the wrapper must neither lock
//   nor allocate (it answers from what it read at the call's start).
// - GetHostId, HostLatencyChanged: the host's main or GUI thread; the caller
//   may hold the plug-in mutex. UpdateEditorSize: the GUI thread, with the
//   plug-in mutex free while a window is open (the host may be asked to
//   resize it).

#include "IMidiMessage.h"

#include <cstdint>

// The transport at the start of a block. The position may be negative (a
// count-in); tempo and signature are 0 where the host gives none.
struct IHostTime {
  int64_t samplePos = 0;
  double tempo = 0.0;
  int numerator = 0;
  int denominator = 0;
  bool playing = true;  // a host that reports no transport state counts as playing
};

class IPlugHost {
public:
  virtual ~IPlugHost() = default;

  // An editor gesture on an announced parameter begins, sets a normalised
  // value, ends.
  virtual void HostBeginEdit(int paramIdx) = 0;
  virtual void HostAutomate(int paramIdx, double normalizedValue) = 0;
  virtual void HostEndEdit(int paramIdx) = 0;
  // Asks the host to read the parameters and program names again.
  virtual void HostUpdateDisplay() = 0;
  // The saved state changed though no announced parameter did.
  virtual void HostSongChanged() = 0;

  // Everything the block processing needs, from one question to the host.
  virtual void GetHostTime(IHostTime& time) = 0;
  // Outputs the host gives nothing for keep these values: samplePos -1, tempo
  // 120, ppqPos -1, lastBar -1, 4/4, cycle -1/-1; the two bools are written
  // only when the host reports transport state.
  virtual void GetTransport(double& samplePos, double& tempo, double& ppqPos, double& lastBarPpq, int& numerator,
                            int& denominator, double& cycleStartPpq, double& cycleEndPpq, bool& transportPlaying,
                            bool& cycleActive) = 0;
  // One of EHost (IPlugBase.h).
  virtual int GetHostId() = 0;

  // Takes the attached editor's window size (a new editor or a new size);
  // false when the host refused it for an open window.
  virtual bool UpdateEditorSize() = 0;
  virtual void HostLatencyChanged(int samples) = 0;
  // Sample offsets are relative to the block being processed.
  virtual bool SendMidiMessage(const IMidiMessage& msg) = 0;
};
