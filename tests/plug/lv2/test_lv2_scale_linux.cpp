// The LV2 UI opens at the host's ui:scaleFactor and tells the host its size
// through ui:resize; a host that refuses a new size keeps the old one.
#include "IPlugLV2.h"
#include "Lv2TestHost.h"
#include "OffscreenEditor.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {
struct Resizes {
  std::vector<std::pair<int, int>> mAsked;
  int mAnswer = 0;  // 0: done
  static int Resize(LV2UI_Feature_Handle h, int w, int hgt)
  {
    auto* self = static_cast<Resizes*>(h);
    self->mAsked.emplace_back(w, hgt);
    return self->mAnswer;
  }
};
} // namespace

TEST(Lv2Scale, TheHostsFactorOpensTheEditorAndResizesAreAsked)
{
  OffscreenEditorFactory factory;
  Lv2TestHost host(IPlugLV2::Descriptor<Tavrinel>(0, Tavrinel::PLUG_LV2_URI), 44100, 1024, kStepDir + 1);
  const auto* map = static_cast<const LV2_URID_Map*>(host.Features()[0]->data);
  const float factor = 1.5f;
  const LV2_Options_Option options[] = {
    {LV2_OPTIONS_INSTANCE, 0, map->map(map->handle, LV2_UI__scaleFactor), sizeof(float),
     map->map(map->handle, LV2_ATOM__Float), &factor},
    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  Resizes resizes;
  LV2UI_Resize resize = {&resizes, &Resizes::Resize};
  const LV2_Feature access = {LV2_INSTANCE_ACCESS_URI, host.Handle()};
  const LV2_Feature optionsFeature = {LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
  const LV2_Feature resizeFeature = {LV2_UI__resize, &resize};
  const LV2_Feature* features[] = {&access, host.Features()[0], &optionsFeature, &resizeFeature, nullptr};
  const LV2UI_Descriptor* ui = IPlugLV2::UIDescriptor(0, Tavrinel::PLUG_LV2_UI_URI);
  LV2UI_Widget widget = nullptr;
  LV2UI_Handle h = ui->instantiate(ui, Tavrinel::PLUG_LV2_URI, "/", nullptr, nullptr, &widget, features);
  ASSERT_NE(h, nullptr);
  IGraphics* g = factory.mLast;
  EXPECT_EQ(g->GetScale(), 1.5);
  EXPECT_EQ(resizes.mAsked, (std::vector<std::pair<int, int>>{{1080, 975}}));

  resizes.mAnswer = 1;  // refused
  EXPECT_FALSE(g->SetScaleFrom(IGraphics::kScaleFromUser, 2.0));
  EXPECT_EQ(g->GetScale(), 1.5);
  resizes.mAnswer = 0;
  EXPECT_TRUE(g->SetScaleFrom(IGraphics::kScaleFromUser, 2.0));
  EXPECT_EQ(resizes.mAsked.back(), std::make_pair(1440, 1300));
  ui->cleanup(h);
}
