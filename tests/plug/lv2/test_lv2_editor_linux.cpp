// The LV2 UI builds the editor (off screen here) when it is made and frees it
// at its cleanup; an instance whose UI is never made builds none.
#include "Lv2TestHost.h"
#include "OffscreenEditor.h"
#include "TavrinelEditor.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

TEST(Lv2Editor, BuiltForEachUiAndFreedWithIt)
{
  OffscreenEditorFactory factory;
  Lv2TestHost host(IPlugLV2::Descriptor<Tavrinel>(0, Tavrinel::PLUG_LV2_URI), 44100, 1024, kStepDir + 1);
  auto* plug = static_cast<Tavrinel*>(static_cast<IPlugLV2*>(host.Handle()));
  for (int i = 0; i <= kStepDir; ++i) host.Control(i) = static_cast<float>(plug->GetParam(i)->Value());
  host.Run(4096, 1 << 12);
  EXPECT_EQ(plug->GetGraphics(), nullptr);
  const LV2UI_Descriptor* ui = IPlugLV2::UIDescriptor(0, Tavrinel::PLUG_LV2_UI_URI);
  const LV2_Feature access = {LV2_INSTANCE_ACCESS_URI, host.Handle()};
  const LV2_Feature* features[] = {&access, host.Features()[0], nullptr};
  for (int round = 1; round <= 2; ++round) {
    host.Control(kVel) = float(40 * round);  // taken by the next run, shown by the next UI
    host.Run(512, 1 << 12);
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle h = ui->instantiate(ui, Tavrinel::PLUG_LV2_URI, "/", nullptr, nullptr, &widget, features);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(plug->GetGraphics(), factory.mLast);
    EXPECT_EQ(factory.mBuilds, round);
    EXPECT_EQ(plug->GetEditor()->GetKnob(3)->GetValue(), plug->GetParam(kVel)->ToNormalized());
    EXPECT_EQ(plug->GetParam(kVel)->Value(), 40 * round);
    ui->cleanup(h);
    EXPECT_EQ(plug->GetGraphics(), nullptr);
    host.Run(4096, 1 << 12);
  }
  EXPECT_EQ(factory.mWrongLocks, 0);
}
