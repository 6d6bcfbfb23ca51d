#pragma once
// The LV2 wrapper as the host-contract suite drives it (HostDriver.h): ports,
// runs, the state interface and the UI descriptor, through the test host.

#include "HostDriver.h"
#include "IPlugLV2.h"
#include "Lv2TestHost.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

class Lv2Driver : public HostDriver {
public:
  static constexpr int NUM_CONTROLS = kStepDir + 1;

  Lv2Driver()
  {
    // The ports hold what the parameters hold.
    for (int i = 0; i < NUM_CONTROLS; ++i) mHost.Control(i) = static_cast<float>(Plug().GetParam(i)->Value());
  }
  ~Lv2Driver() override { CloseEditor(); }

  Tavrinel& Plug() override { return static_cast<Tavrinel&>(IPlugLV2::FromHandle(mHost.Handle())->Plug()); }
  void SetTransport(int64_t frame, double bpm, bool playing, int at) override
  {
    mHost.AddPosition(at, frame, playing ? 1.0 : 0.0, bpm, 4, 4);
  }
  void SetParam(int idx, double plainValue) override { mHost.Control(idx) = static_cast<float>(plainValue); }
  std::vector<IMidiMessage> Run(int n) override
  {
    bool valid = false;
    std::vector<IMidiMessage> out;
    for (const Lv2Event& e : mHost.Run(uint32_t(n), 1 << 16, &valid))
      out.emplace_back(int(e.frame), e.bytes[0], e.bytes[1], e.bytes[2]);
    EXPECT_TRUE(valid);
    return out;
  }
  void Reactivate() override
  {
    mDesc->deactivate(mHost.Handle());
    mDesc->activate(mHost.Handle());
  }
  std::vector<uint8_t> Save() override
  {
    std::vector<uint8_t> bytes;
    return mHost.Save(bytes) == LV2_STATE_SUCCESS ? bytes : std::vector<uint8_t>();
  }
  bool Restore(const std::vector<uint8_t>& bytes, size_t claimedSize) override
  {
    return mHost.Restore(bytes, 0, claimedSize) == LV2_STATE_SUCCESS;
  }
  bool OpenEditor() override
  {
    const LV2_Feature access = {LV2_INSTANCE_ACCESS_URI, mHost.Handle()};
    const LV2_Feature touch = {LV2_UI__touch, &mTouch};
    const LV2_Feature* features[] = {&access, mHost.Features()[0], &touch, nullptr};
    LV2UI_Widget widget = nullptr;
    mUi = mUiDesc->instantiate(mUiDesc, Tavrinel::PLUG_LV2_URI, "/", Write, this, &widget, features);
    return mUi != nullptr;
  }
  void CloseEditor() override
  {
    if (mUi) mUiDesc->cleanup(mUi);
    mUi = nullptr;
  }
  int SongNotices() override { return mHost.StateChanges(); }
  std::vector<std::string> TakeEdits() override
  {
    std::vector<std::string> edits;
    edits.swap(mEdits);
    return edits;
  }

private:
  static void Write(LV2UI_Controller self, uint32_t port, uint32_t, uint32_t, const void* value)
  {
    static_cast<Lv2Driver*>(self)->mEdits.push_back("a" + std::to_string(port) + "=" +
                                                    std::to_string(*static_cast<const float*>(value)));
  }
  static void Touch(LV2UI_Feature_Handle self, uint32_t port, bool grabbed)
  {
    static_cast<Lv2Driver*>(self)->mEdits.push_back((grabbed ? "b" : "e") + std::to_string(port));
  }

  const LV2_Descriptor* mDesc = IPlugLV2::Descriptor<Tavrinel>(0, Tavrinel::PLUG_LV2_URI);
  const LV2UI_Descriptor* mUiDesc = IPlugLV2::UIDescriptor(0, Tavrinel::PLUG_LV2_UI_URI);
  Lv2TestHost mHost{mDesc, RATE, BLOCK, NUM_CONTROLS};
  LV2UI_Touch mTouch = {this, Touch};
  LV2UI_Handle mUi = nullptr;
  std::vector<std::string> mEdits;
};
