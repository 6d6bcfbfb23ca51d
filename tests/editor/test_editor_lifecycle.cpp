// The editor exists only while the host shows it, driven through the VST
// host's editor calls on off-screen editors (what every format's host sees of
// it: tests/wrappers/test_host_contract.cpp). TAV_EDITOR_SEED=<n> replays a run.
#include "OffscreenEditor.h"
#include "TavrinelEditor.h"
#include "TavrinelTestRig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {
std::mt19937 Seeded()
{
  const char* text = std::getenv("TAV_EDITOR_SEED");
  const unsigned seed = text ? unsigned(std::strtoul(text, nullptr, 10)) : std::random_device{}();
  std::printf("TAV_EDITOR_SEED=%u\n", seed);
  return std::mt19937(seed);
}
} // namespace

// Whatever a host does short of opening the editor, nothing of it is built.
TEST(EditorLife, AnInstanceNeverShownBuildsNoEditor)
{
  OffscreenEditorFactory factory;
  std::mt19937 rng = Seeded();
  TempDir dir("tav_life_");
  const std::string preset = dir.path("p.preset");
  {
    TavrinelRig rig;
    AEffect* e = rig.effect;
    for (int step = 0; step < 300; ++step) {
      const int op = int(rng() % 6);
      if (op == 0) e->setParameter(e, int(rng() % kNumHostParams), float(rng() % 1001) / 1000.0f);
      if (op == 1) rig.Block(1 + int(rng() % 4096));
      if (op == 2) rig.Set(kEditCmdFirst + int(rng() % (kEditCmdLast - kEditCmdFirst + 1)), 1.0);
      if (op == 3) rig.plug->writePresetFile(preset.c_str()) && rig.plug->readPresetFile(preset.c_str());
      rig.Dispatch(op == 4 ? effEditClose : effEditIdle);  // a close without an open too
      ERect* rect = nullptr;
      ASSERT_EQ(rig.Dispatch(effEditGetRect, 0, 0, &rect), 1);
      ASSERT_EQ(rect->right * 1000 + rect->bottom, TavrinelEditor::WIDTH * 1000 + TavrinelEditor::HEIGHT);
      ASSERT_EQ(rig.plug->GetGraphics(), nullptr) << "step " << step;
    }
  }
  EXPECT_EQ(factory.mBuilds, 0);
}
