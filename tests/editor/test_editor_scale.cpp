// The editor at every factor: 1x exactly as before, each control drawn and hit
// at its layout times the factor, the size menu remembered for the user, the
// installation's default, and the host told (or refusing) the new size.

#include "FakeVstHost.h"
#include "HomeDirectory.h"
#include "LicePng.h"
#include "OffscreenEditor.h"
#include "ScopedEnv.h"
#include "SizeMenu.h"
#include "TavrinelEditor.h"
#include "TavrinelGuiControls.h"
#include "TavrinelTestRig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace {

// Every test here has a user configuration folder of its own.
class EditorScale : public ::testing::Test {
protected:
  TempDir mConfig{"tav-scale-"};
  ScopedEnv mUserConfig{ScopedEnv::kUserConfig, mConfig.path("config").c_str()};
};

// The editor as a host first shows it, drawn whole at the factor.
struct Drawn {
  TavrinelRig rig;
  IGraphicsOffscreen* g;

  explicit Drawn(double factor = 0.0) : g(BuildOffscreenEditor(*rig.plug))
  {
    if (factor > 0.0) g->SetScaleFrom(IGraphics::kScaleFromUser, factor);
    g->SetAllControlsDirty();
    IRECT dirty;
    g->IsDirty(dirty);
    g->Draw(IRECT(0, 0, g->WindowWidth(), g->WindowHeight()));
  }
  LICE_pixel At(int x, int y) const
  {
    return static_cast<const LICE_pixel*>(g->GetBits())[y * g->WindowWidth() + x];
  }
  int Hit(int x, int y)
  {
    g->HandleMouseOver(true);
    g->OnMouseOver(x, y, IMouseMod());
    return g->GetMouseOverIdx();
  }
  void RightClick(const IRECT& r)
  {
    const int x = g->ToDevice((r.L + r.R) / 2), y = g->ToDevice((r.T + r.B) / 2);
    g->OnMouseDown(x, y, IMouseMod(false, true));
    g->OnMouseUp(x, y, IMouseMod(false, true));
  }
};

ERect* EditRect(TavrinelRig& rig)
{
  ERect* r = nullptr;
  rig.Dispatch(effEditGetRect, 0, 0, &r);
  return r;
}

} // namespace

TEST_F(EditorScale, OneTimesIsThePictureOfBefore)
{
#ifdef _WIN32
  GTEST_SKIP() << "the picture is Linux's, its text set with FreeType";
#endif
  Drawn e;
  std::unique_ptr<LICE_MemBitmap> before(LICE_LoadPNGFromFile(TAV_SOURCE_DIR "/docs/editor-linux.png"));
  ASSERT_TRUE(before);
  ASSERT_EQ(e.g->WindowWidth(), before->GetWidth());
  int differing = 0;
  for (int y = 0; y < before->GetHeight(); ++y)
    for (int x = 0; x < before->GetWidth(); ++x)
      differing += ((e.At(x, y) ^ before->GetBits()[y * before->GetRowSpan() + x]) & 0xFFFFFF) != 0;
  EXPECT_EQ(differing, 0);
}

TEST_F(EditorScale, EveryControlIsDrawnAndHitAtItsLayoutTimesTheFactor)
{
  Drawn one;
  for (double f : {1.25, 1.5, 1.75, 2.0}) {
    Drawn e(f);
    ASSERT_EQ(e.g->WindowWidth(), std::lround(720 * f));
    ASSERT_EQ(e.g->NControls(), one.g->NControls());
    for (int i = 1; i < e.g->NControls(); ++i) {
      IControl* c = e.g->GetControl(i);
      const IRECT r = c->GetRECT();
      if (r.Empty() || c->IsHidden()) continue;
      // A control redrawn alone redraws its rectangle times the factor.
      if (c->NObservers() == 0) {
        IRECT d;
        for (int pass = 0; pass < 3 && e.g->IsDirty(d); ++pass) e.g->Draw(d);  // what stays dirty a frame
        c->SetDirty(false);
        ASSERT_TRUE(e.g->IsDirty(d));
        e.g->Draw(d);
        if (f == 2.0) {
          EXPECT_EQ(d, IRECT(2 * r.L, 2 * r.T, 2 * r.R, 2 * r.B)) << i;
        }
        EXPECT_TRUE(std::fabs(d.L - r.L * f) <= 0.5 && std::fabs(d.B - r.B * f) <= 0.5) << i << " at " << f;
      }
      // A click at its centre finds the control found there at 1x.
      const double cx = (r.L + r.R) / 2.0, cy = (r.T + r.B) / 2.0;
      EXPECT_EQ(e.Hit(static_cast<int>(cx * f), static_cast<int>(cy * f)),
                one.Hit(static_cast<int>(cx), static_cast<int>(cy)))
        << i << " at " << f;
    }
    if (f != 2.0) continue;
    // What each control shows at 2x, averaged back to 1x, is what it shows at
    // 1x: the same place and size, only finer. Hand-drawn controls match
    // exactly; images and their background carry more detail; text is set
    // anew at its size (GraphicsScale.TextIsRasterisedAtTheScaledSize).
    for (int i = 1; i < e.g->NControls(); ++i) {
      IControl* c = e.g->GetControl(i);
      const IRECT r = c->GetRECT().Intersect(IRECT(0, 0, 720, 650));
      if (r.Empty() || c->IsHidden() || dynamic_cast<ITextControl*>(c)) continue;
      const bool image = dynamic_cast<IBitmapControl*>(c) || dynamic_cast<IKnobMultiControl*>(c) ||
                         dynamic_cast<DoubleThumbFaderControl*>(c) || dynamic_cast<LogoControl*>(c);
      double diff = 0;
      for (int y = r.T; y < r.B; ++y)
        for (int x = r.L; x < r.R; ++x)
          for (int shift : {0, 8, 16}) {
            int sum = 0;
            for (int k = 0; k < 4; ++k) sum += (e.At(2 * x + k % 2, 2 * y + k / 2) >> shift) & 0xFF;
            diff += std::fabs(sum / 4.0 - ((one.At(x, y) >> shift) & 0xFF));
          }
      EXPECT_LT(diff / (3.0 * r.W() * r.H()), image ? 16.0 : 0.5) << "control " << i;
    }
  }
}

TEST_F(EditorScale, SizeMenuIsRememberedForTheUser)
{
  {
    Drawn e;
    EXPECT_EQ(e.g->GetScale(), 1.0);
    e.g->QueuePopupChoice(2);
    e.RightClick(e.rig.plug->GetEditor()->GetLogo()->GetRECT());
    const IGraphicsOffscreen::Prompt& menu = e.g->Prompts().back();
    ASSERT_EQ(menu.mItems.size(), 5u);
    EXPECT_EQ(menu.mItems.front(), "100 %");
    EXPECT_EQ(menu.mItems.back(), "200 %");
    EXPECT_EQ(menu.mItemFlags[0], IPopupMenu::Item::kChecked);
    EXPECT_EQ(e.g->GetScale(), 1.5);
    EXPECT_EQ(EditRect(e.rig)->right, 1080);
  }
  // Another instance, as after a restart: the user's size.
  Drawn again;
  EXPECT_EQ(again.g->GetScale(), 1.5);
  EXPECT_EQ(again.g->GetScaleAsked(IGraphics::kScaleFromUser), 1.5);
}

TEST_F(EditorScale, TheIniSetsTheDefaultBelowTheUsersChoice)
{
  TempDir home("tav-scale-ini-");
  home.write("Tavrinel.ini", "EditorScale 175%\n");
  HomeDirectory::overrideLibraryPath(home.path("Tavrinel.so").c_str());
  {
    Drawn e;
    EXPECT_EQ(e.g->GetScale(), 1.75);
  }
  mConfig.write("config/tavrinel/settings.ini", "EditorScale 1.25\n");
  {
    Drawn e;
    EXPECT_EQ(e.g->GetScale(), 1.25);
  }
  HomeDirectory::overrideLibraryPath(nullptr);
}

namespace {
int gAcceptSize = 0;
int gSizeCalls = 0;
intptr_t TAV_VSTCALL SizingHost(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  if (opcode != audioMasterSizeWindow) return FakeHost::Callback(e, opcode, index, value, ptr, opt);
  ++gSizeCalls;
  return gAcceptSize;
}
} // namespace

TEST_F(EditorScale, AnOpenEditorAsksItsHostWhichMayRefuse)
{
  mConfig.write("config/tavrinel/settings.ini", "EditorScale 150%\n");
  gSizeCalls = 0;
  OffscreenEditorFactory factory;
  FakeHost host;
  host.mTime.sampleRate = 44100.0;
  IPlugVSTInstance<Tavrinel> vst(&SizingHost);
  Tavrinel& plug = vst.Plug();
  AEffect* effect = vst.Effect();
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  ERect* r = nullptr;
  effect->dispatcher(effect, effEditGetRect, 0, 0, &r, 0.0f);
  EXPECT_EQ(r->right, 720);  // before the editor exists: its 1x size
  gAcceptSize = 0;
  ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(gSizeCalls, 1);  // the user's 150 %, which the host did not know yet
  IGraphics* g = plug.GetGraphics();
  EXPECT_EQ(g->GetScale(), 1.5);

  EXPECT_FALSE(g->SetScaleFrom(IGraphics::kScaleFromUser, 2.0));
  EXPECT_EQ(g->GetScale(), 1.5);
  effect->dispatcher(effect, effEditGetRect, 0, 0, &r, 0.0f);
  EXPECT_EQ(r->right, 1080);
  EXPECT_EQ(factory.mLast->WindowWidth(), 1080);

  gAcceptSize = 1;
  EXPECT_TRUE(g->SetScaleFrom(IGraphics::kScaleFromUser, 2.0));
  effect->dispatcher(effect, effEditGetRect, 0, 0, &r, 0.0f);
  EXPECT_EQ(r->right, 1440);
  EXPECT_EQ(r->bottom, 1300);
  EXPECT_EQ(gSizeCalls, 3);
  effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
}
