// The editor exists only while the host shows it, driven through the host's
// editor calls on off-screen editors. TAV_EDITOR_SEED=<n> replays a run.
#include "OffscreenEditor.h"
#include "PresetMenu.h"
#include "TavrinelEditor.h"
#include "TavrinelGui.h"
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

std::vector<LICE_pixel> FirstPicture(IGraphicsOffscreen& g)
{
  g.OpenWindow(nullptr);
  g.OnTimer();
  const auto* bits = static_cast<const LICE_pixel*>(g.GetBits());
  return std::vector<LICE_pixel>(bits, bits + g.Width() * g.Height());
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

// Each open builds a new editor that shows what one built for a fresh
// instance with the same state and preset shows (values, defaults, pixels);
// each close frees it and empties the grid's slots.
TEST(EditorLife, EachOpenShowsTheInstanceAsItIsAndEachCloseFreesIt)
{
  OffscreenEditorFactory factory;
  std::mt19937 rng = Seeded();
  TempDir dir("tav_life_");
  const Tavrinel constructed;
  TavrinelRig rig;
  AEffect* e = rig.effect;
  for (int round = 1; round <= 3; ++round) {
    for (int i = 0; i < kNumHostParams; ++i) e->setParameter(e, i, float(rng() % 1001) / 1000.0f);
    e->setParameter(e, kStepOne, 0.0f);  // any step count then spans validly (else the last valid span shows)
    for (int n = 0; n < 16; ++n) rig.Pulse(int(rng() % 12), int(rng() % 4), int(rng() % 4)).setMask(int(rng() % 16));
    const std::string preset = dir.path("round" + std::to_string(round) + ".preset");
    ASSERT_TRUE(rig.plug->writePresetFile(preset.c_str()));

    int parent = 0;
    ASSERT_EQ(rig.Dispatch(effEditOpen, 0, 0, &parent), 1);
    ASSERT_EQ(factory.mBuilds, round);
    ASSERT_EQ(rig.plug->GetGraphics(), factory.mLast);
    Tavrinel fresh;
    fresh.readPresetFile(preset.c_str());
    IStateChunk state;
    ASSERT_TRUE(rig.plug->SerializeHostChunk(state));
    int32_t version = 0;
    ASSERT_GT(fresh.UnserializeHostChunk(state, version), 0);
    IGraphicsOffscreen* ref = BuildOffscreenEditor(fresh);
    IGraphicsOffscreen* g = factory.mLast;
    ASSERT_EQ(g->NControls(), ref->NControls());
    for (int i = 0; i < g->NControls(); ++i) {
      const IControl* c = g->GetControl(i);
      ASSERT_EQ(c->GetValue(), ref->GetControl(i)->GetValue()) << "round " << round << ", control " << i;
      const int p = c->ParamIdx();
      if (p < 0 || p >= kNumHostParams) continue;
      ASSERT_EQ(c->GetValue(), rig.plug->GetParam(p)->ToNormalized()) << "control " << i;
      ASSERT_EQ(c->GetDefaultValue(), constructed.GetParam(p)->ToNormalized()) << "control " << i;
    }
    EXPECT_STRNE(rig.plug->GetEditor()->GetPresetNameControl()->GetText(), "PRESET");
    EXPECT_STREQ(rig.plug->GetEditor()->GetPresetNameControl()->GetText(),
                 fresh.GetEditor()->GetPresetNameControl()->GetText());
    EXPECT_TRUE(FirstPicture(*g) == FirstPicture(*ref)) << "round " << round;

    ASSERT_EQ(rig.Dispatch(effEditClose), 1);
    EXPECT_EQ(rig.plug->GetGraphics(), nullptr);
    EXPECT_EQ(rig.plug->GetEditor(), nullptr);
    EXPECT_EQ(rig.plug->GetGui()->GetCell(11, 3)->GetCanvas(), nullptr);
    EXPECT_EQ(rig.plug->GetGui()->GetChordSpanControl(), nullptr);
  }
  EXPECT_EQ(factory.mWrongLocks, 0);
  for (int i = 0; i < 16; ++i) rig.Block(2048);  // nothing reaches the freed controls
}
