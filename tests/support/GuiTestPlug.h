#pragma once
// A plug-in base without a host, for editor tests: records the host services the
// editor uses (begin/end edit, automation, editor size) and the parameter
// changes. Header-only.

#include "IPlugBase.h"

#include <string>
#include <vector>

class GuiTestPlug : public IPlugBase {
public:
  explicit GuiTestPlug(int nParams = 8)
    : IPlugBase(nParams, "1-1", 1, "Test", "", "Test", 0x10000, 1, 2, 0, true, true)
  {
  }

  // "b<idx>", "e<idx>", "a<idx>=<value>" in the order they happened.
  std::vector<std::string> mHostCalls;
  std::vector<int> mChanged;
  int mEditorSizeUpdates = 0;
  bool mAcceptEditorSize = true;

  void OnParamChanged(int idx) override { mChanged.push_back(idx); }
  void HostBeginEdit(int idx) override { mHostCalls.push_back("b" + std::to_string(idx)); }
  void HostAutomate(int idx, double v) override
  {
    mHostCalls.push_back("a" + std::to_string(idx) + "=" + std::to_string(v));
  }
  void HostEndEdit(int idx) override { mHostCalls.push_back("e" + std::to_string(idx)); }
  int64_t GetSamplePosition() override { return 0; }
  double GetHostTempo() override { return 120.0; }
  void GetTimeSignature(int& num, int& den) override { num = 4, den = 4; }
  void GetTransport(double&, double&, double&, double&, int&, int&, double&, double&, bool&, bool&) override {}
  bool UpdateEditorSize() override { ++mEditorSizeUpdates; return mAcceptEditorSize; }
  void HostSpecificInit() override {}
  bool SendMidiMessage(const IMidiMessage&) override { return true; }
  bool SendMidiMessages(const IMidiMessage*, int) override { return true; }
};
