#pragma once
// A plug-in base whose host records what the plug-in tells it (begin/end
// edit, automation, editor size), for tests of the base and the editor, and
// the parameter changes. Header-only.

#include "IPlugBase.h"

#include <string>
#include <vector>

// "b<idx>", "e<idx>", "a<idx>=<value>" in the order they happened; the
// transport plays at 120 bpm in 4/4 from 0.
struct RecordingHost : IPlugHost {
  std::vector<std::string> mHostCalls;
  int mEditorSizeUpdates = 0;
  bool mAcceptEditorSize = true;

  void HostBeginEdit(int idx) override { mHostCalls.push_back("b" + std::to_string(idx)); }
  void HostAutomate(int idx, double v) override
  {
    mHostCalls.push_back("a" + std::to_string(idx) + "=" + std::to_string(v));
  }
  void HostEndEdit(int idx) override { mHostCalls.push_back("e" + std::to_string(idx)); }
  void HostUpdateDisplay() override {}
  void HostSongChanged() override {}
  void GetHostTime(IHostTime& time) override
  {
    time.tempo = 120.0;
    time.numerator = time.denominator = 4;
  }
  void GetTransport(double&, double&, double&, double&, int&, int&, double&, double&, bool&, bool&) override {}
  int GetHostId() override { return kHostUnknown; }
  bool UpdateEditorSize() override
  {
    ++mEditorSizeUpdates;
    return mAcceptEditorSize;
  }
  void HostLatencyChanged(int) override {}
  bool SendMidiMessage(const IMidiMessage&) override { return true; }
};

class GuiTestPlug : public IPlugBase {
public:
  explicit GuiTestPlug(int nParams = 8)
    : IPlugBase(nParams, "1-1", 1, "Test", "", "Test", 0x10000, 1, 2, 0, true, true, true)
  {
    AttachHost(&mHost);
  }

  RecordingHost mHost;
  std::vector<int> mChanged;

  void OnParamChanged(int idx) override { mChanged.push_back(idx); }
};
