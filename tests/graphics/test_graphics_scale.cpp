// The graphics core at the editor's factors: the factor sources and their
// ranks, the host's refusal, lines at whole device pixels, images from their
// 2x resources, and text rasterised at the scaled size.

#include "GuiTestPlug.h"
#include "IControls.h"
#include "IGraphicsOffscreen.h"
#include "LiceBitmap.h"
#include "LiceImageCache.h"
#include "LicePng.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

const IColor kWhite(255, 255, 255, 255);

// A one-pixel outline, as the grid's cells draw theirs.
class Outline : public IControl {
public:
  using IControl::IControl;
  bool Draw(IGraphics* g) override { return g->DrawRect(kWhite, mRECT); }
};

struct Screen {
  GuiTestPlug plug;
  IGraphicsOffscreen g{&plug, 80, 40};

  Screen()
  {
    g.SetImageLoader([](int id, const char* name) -> LICE_IBitmap* { return LICE_LoadPNGFromResource(id, name); });
    g.PrepDraw();
  }
  void Redraw()
  {
    g.SetAllControlsDirty();
    g.OnTimer();
  }
  // Luminance 0..255 of a device pixel.
  int Lum(int x, int y)
  {
    const IColor c = g.GetPoint(x, y);
    return (c.R + c.G + c.B) / 3;
  }
};

} // namespace

TEST(GraphicsScale, HighestSourceWinsAndTheHostMayRefuse)
{
  Screen s;
  EXPECT_TRUE(s.g.SetScaleFrom(IGraphics::kScaleFromScreen, 1.4));  // nearest step
  EXPECT_EQ(s.g.GetScale(), 1.5);
  s.g.SetScale(2.2);
  EXPECT_EQ(s.g.GetScale(), 2.0);
  s.g.SetScaleFrom(IGraphics::kScaleFromUser, 1.2);
  s.g.SetScale(1.0);  // the host ranks below the user
  EXPECT_EQ(s.g.GetScale(), 1.25);
  EXPECT_EQ(s.g.WindowWidth(), 100);
  EXPECT_EQ(static_cast<LICE_IBitmap*>(s.g.GetDrawBitmap())->GetHeight(), 50);
  s.g.SetScaleFrom(IGraphics::kScaleFromUser, 0);  // withdrawn: the host's again
  EXPECT_EQ(s.g.GetScale(), 1.0);
  const int told = s.plug.mHost.mEditorSizeUpdates;
  EXPECT_EQ(told, 4);

  // An open window whose host refuses the size stays as it is, and redraws.
  s.g.OpenWindow(nullptr);
  s.g.OnTimer();
  s.plug.mHost.mAcceptEditorSize = false;
  EXPECT_FALSE(s.g.SetScaleFrom(IGraphics::kScaleFromUser, 2.0));
  EXPECT_EQ(s.g.GetScale(), 1.0);
  EXPECT_EQ(s.g.WindowWidth(), 80);
  EXPECT_EQ(s.plug.mHost.mEditorSizeUpdates, told + 2);  // asked, then told the old size again
  s.g.AttachControl(new Outline(&s.plug, IRECT(10, 10, 20, 20)));
  EXPECT_TRUE(s.g.OnTimer());
  EXPECT_EQ(s.g.ScreenUpdates().back(), IRECT(10, 10, 20, 20));
}

TEST(GraphicsScale, LinesCoverWholeDevicePixelsAndClicksFindTheirControl)
{
  for (double f : IGraphics::kScaleSteps) {
    Screen s;
    s.g.SetScale(f);
    Outline* box = new Outline(&s.plug, IRECT(10, 10, 30, 20));
    s.g.AttachControl(box);
    s.Redraw();
    // The dirty rectangle is the control's, times the factor.
    const IRECT d = s.g.ScreenUpdates().back();
    EXPECT_NEAR(d.L, 10 * f, 0.5);
    EXPECT_NEAR(d.R, 30 * f, 0.5);
    EXPECT_NEAR(d.B, 20 * f, 0.5);
    // The top edge: the factor rounded down or up in full rows, then nothing.
    int rows = 0;
    for (int y = d.T; y < d.B && s.Lum(d.L + d.W() / 2, y) == 255; ++y) ++rows;
    EXPECT_GE(rows, std::floor(f)) << f;
    EXPECT_LE(rows, std::ceil(f)) << f;
    EXPECT_EQ(s.Lum(d.L + d.W() / 2, d.T + rows), 0) << f;
    // A click at the control's centre, in device pixels, is routed to it.
    s.g.OnMouseDown(static_cast<int>(20 * f), static_cast<int>(15 * f), IMouseMod(true));
    EXPECT_EQ(s.g.GetCaptureIdx(), 0) << f;
    EXPECT_EQ(s.g.GetMouseX(), 20) << f;
  }
}

TEST(GraphicsScale, ImagesComeFromTheir2xResourceOncePerFactor)
{
  Screen s;
  const IBitmap knob = s.g.LoadIBitmap(121, "img/knob16x16-8.png", 8);
  ASSERT_EQ(knob.H, 128);
  s.g.SetScale(2.0);
  LICE_IBitmap* twice = s.g.DeviceImage(knob);
  EXPECT_EQ(twice, LICE_ImageCache::Find(121 + IGraphicsLice::kHiResIdOffset));
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice->GetHeight(), 256);
  s.g.SetScale(1.5);
  LICE_IBitmap* between = s.g.DeviceImage(knob);
  EXPECT_EQ(between->GetWidth(), 24);
  EXPECT_EQ(between->GetHeight(), 8 * 24);
  // Another editor at the same factor finds the same reduction.
  Screen other;
  other.g.SetScale(1.5);
  EXPECT_EQ(other.g.DeviceImage(other.g.LoadIBitmap(121, "img/knob16x16-8.png", 8)), between);
  // The reduction of the 2x frame: pixels of frame 3 match the 2x frame 3 averaged.
  auto alpha = [](LICE_IBitmap* bm, int x, int y) { return LICE_GETA(bm->GetBits()[y * bm->GetRowSpan() + x]); };
  EXPECT_NEAR(alpha(between, 12, 2 * 24 + 12), alpha(twice, 16, 2 * 32 + 16), 40);
}

TEST(GraphicsScale, TextIsRasterisedAtTheScaledSize)
{
#ifdef _WIN32
  GTEST_SKIP() << "off screen, text is rasterised with FreeType on Linux only";
#endif
  // White text on black, at 1x and 2x; the 1x picture doubled pixel by pixel.
  auto draw = [](double f, std::vector<int>& lum) {
    Screen s;
    s.g.SetScale(f);
    ITextControl* t = new ITextControl(&s.plug, IRECT(0, 10, 80, 26), IText("Arial", 14, kWhite), "Swing 0.35");
    s.g.AttachControl(t);
    s.Redraw();
    const int w = s.g.WindowWidth(), h = s.g.WindowHeight();
    lum.assign(static_cast<size_t>(160 * 80), 0);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 160; ++x) lum[static_cast<size_t>(y * 160 + x)] = s.Lum(x * w / 160, y * h / 80);
  };
  std::vector<int> native, doubled;
  draw(2.0, native);
  draw(1.0, doubled);
  // Edges: the share of inked pixels only partly covered; crisper text has fewer.
  auto blur = [](const std::vector<int>& lum) {
    int ink = 0, partial = 0;
    for (int v : lum) {
      ink += v > 0;
      partial += v > 0 && v < 224;
    }
    return ink ? static_cast<double>(partial) / ink : 1.0;
  };
  int differing = 0;
  for (size_t i = 0; i < native.size(); ++i) differing += std::abs(native[i] - doubled[i]) > 64;
  EXPECT_GT(differing, 100);
  EXPECT_LT(blur(native), blur(doubled));
}
