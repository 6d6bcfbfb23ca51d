// Builds a small editor of the standard controls on an off-screen surface and
// writes it to a PNG file, so that the drawing can be looked at.
//
//   render_controls [out.png]
//
// The images are drawn here (knob strips, switch frames, a background), so the
// tool needs no artwork.

#include "IControls.h"
#include "IGraphicsOffscreen.h"
#include "IPlugParam.h"
#include "LiceBitmap.h"
#include "LiceDraw.h"

#include "WritePng.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int W = 360, H = 200;
constexpr double PI = 3.14159265358979323846;

enum { kBackground = 9100, kKnob = 9101, kSwitch = 9102, kLed3 = 9103 };
constexpr int KNOB_FRAMES = 64;

LICE_MemBitmap* MakeBackground()
{
  auto* bm = new LICE_MemBitmap(W, H);
  for (int y = 0; y < H; ++y)
    LICE_FillRect(bm, 0, y, W, 1, LICE_RGBA(30 + y / 5, 34 + y / 6, 44 + y / 4, 255), 1.0f, LICE_BLIT_MODE_COPY);
  for (int x = 0; x < W; x += 20) LICE_Line(bm, (float)x, 0.0f, (float)x, (float)H, LICE_RGBA(255, 255, 255, 255), 0.06f, 0, false);
  return bm;
}

// A strip of knob frames: a disc with a pointer turning from -135 to +135 degrees.
LICE_MemBitmap* MakeKnob()
{
  const int s = 32;
  auto* bm = new LICE_MemBitmap(s, s * KNOB_FRAMES);
  LICE_Clear(bm, 0);
  for (int f = 0; f < KNOB_FRAMES; ++f) {
    const float cx = 15.5f, cy = 15.5f + (float)(f * s);
    for (int y = 0; y < s; ++y) {
      for (int x = 0; x < s; ++x) {
        const double d = std::hypot(x - 15.5, y - 15.5);
        if (d > 12.5) continue;
        const int shade = 210 - (int)(4.0 * d) - (x + y) / 2;
        LICE_PutPixel(bm, x, f * s + y, LICE_RGBA(shade, shade, shade + 10, 255), 1.0f, LICE_BLIT_MODE_COPY);
      }
    }
    LICE_Circle(bm, cx, cy, 12.5f, LICE_RGBA(90, 90, 100, 255), 1.0f, 0, true);
    const double a = (-135.0 + 270.0 * f / (KNOB_FRAMES - 1)) * PI / 180.0;
    LICE_Line(bm, cx, cy, cx + (float)(11.0 * std::sin(a)), cy - (float)(11.0 * std::cos(a)),
              LICE_RGBA(20, 20, 20, 255), 1.0f, 0, true);
    LICE_Arc(bm, cx, cy, 14.5f, (float)(-135.0 * PI / 180.0), (float)a, LICE_RGBA(255, 160, 0, 255), 1.0f, 0, true);
  }
  return bm;
}

// Frames of a square button: one per colour.
LICE_MemBitmap* MakeButton(const std::vector<LICE_pixel>& colours)
{
  const int s = 16;
  auto* bm = new LICE_MemBitmap(s, s * (int)colours.size());
  LICE_Clear(bm, 0);
  for (size_t i = 0; i < colours.size(); ++i) {
    const int y = (int)i * s;
    LICE_FillRect(bm, 1, y + 1, s - 2, s - 2, LICE_RGBA(60, 60, 60, 255), 1.0f, 0);
    LICE_FillRect(bm, 3, y + 3, s - 6, s - 6, colours[i], 1.0f, 0);
  }
  return bm;
}

LICE_IBitmap* LoadImage(int id, const char*)
{
  switch (id) {
    case kBackground: return MakeBackground();
    case kKnob: return MakeKnob();
    case kSwitch: return MakeButton({LICE_RGBA(40, 70, 40, 255), LICE_RGBA(80, 240, 80, 255)});
    case kLed3:
      return MakeButton({LICE_RGBA(90, 30, 30, 255), LICE_RGBA(240, 200, 40, 255), LICE_RGBA(80, 240, 80, 255)});
    default: return nullptr;
  }
}

// Outlines and shapes drawn with the primitives.
class Shapes : public IControl {
public:
  explicit Shapes(const IRECT& r) : IControl(nullptr, r) {}
  bool Draw(IGraphics* g) override
  {
    const IColor white(255, 255, 255, 255), orange(255, 255, 160, 0);
    g->DrawRect(white, IRECT(mRECT.L, mRECT.T, mRECT.R - 1, mRECT.B - 1));
    const IChannelBlend half(IChannelBlend::kBlendAlpha, 0.5f);
    g->FillIRect(orange, IRECT(mRECT.L + 4, mRECT.T + 4, mRECT.L + 30, mRECT.T + 30), &half);
    g->DrawCircle(white, (float)mRECT.L + 50.0f, (float)mRECT.T + 17.0f, 12.0f, nullptr, true);
    g->DrawLine(orange, (float)mRECT.L + 70.0f, (float)mRECT.T + 4.0f, (float)mRECT.R - 6.0f,
                (float)mRECT.B - 6.0f, nullptr, true);
    return true;
  }
};

} // namespace

int main(int argc, char** argv)
{
  const char* out = argc > 1 ? argv[1] : "render_controls.png";

  IGraphicsOffscreen gui(nullptr, W, H);
  gui.SetImageLoader(LoadImage);
  gui.AttachBackground(kBackground, "background.png");

  const IBitmap knob = gui.LoadIBitmap(kKnob, "knob.png", KNOB_FRAMES);
  const IBitmap sw = gui.LoadIBitmap(kSwitch, "switch.png", 2);
  const IBitmap led = gui.LoadIBitmap(kLed3, "led3.png", 3);
  const IText white("Arial", 14, IColor(255, 255, 255, 255));

  const double knobValues[] = {0.0, 0.33, 0.66, 1.0};
  for (int i = 0; i < 4; ++i) {
    auto* k = new IKnobMultiControl(nullptr, 20 + 50 * i, 20, -1, knob);
    k->SetValue(knobValues[i]);
    if (i == 3) k->GrayOut(true);
    gui.AttachControl(k);
    char label[16];
    std::snprintf(label, sizeof(label), "%.2f", knobValues[i]);
    gui.AttachControl(new ITextControl(nullptr, IRECT(10 + 50 * i, 56, 62 + 50 * i, 70), white, label));
  }

  for (int i = 0; i < 3; ++i) {
    auto* s = new ISwitchControl(nullptr, 230 + 24 * i, 24, -1, led);
    s->SetValue(0.5 * i);
    gui.AttachControl(s);
  }
  auto* on = new ISwitchControl(nullptr, 230, 50, -1, sw);
  on->SetValue(1.0);
  gui.AttachControl(on);
  gui.AttachControl(new IContactControl(nullptr, 254, 50, -1, sw));

  static IPlugParam tempo;
  tempo.DefineDouble("Tempo", 120.0, 40.0, 240.0, 0.5, "bpm");
  auto* spinner = new ISpinnerControl(nullptr, IRECT(20, 90, 140, 106), -1, white, &tempo, true, true);
  spinner->SetValue(tempo.ToNormalized());
  gui.AttachControl(spinner);

  auto* grayed = new ITextControl(nullptr, IRECT(160, 90, 340, 106), white, "grayed text");
  grayed->GrayOut(true);
  gui.AttachControl(grayed);
  gui.AttachControl(new ITextControl(nullptr, IRECT(20, 116, 340, 132),
                                     IText("Arial", 16, IColor(255, 255, 200, 120), IText::kStyleBold,
                                           IText::kAlignNear),
                                     "Tavrinel controls"));
  gui.AttachControl(new Shapes(IRECT(20, 140, 340, 190)));

  gui.PrepDraw();
  gui.Draw(IRECT(0, 0, W, H));
  if (!WritePNG(out, gui.GetDrawBitmap())) {
    std::fprintf(stderr, "render_controls: cannot write %s\n", out);
    return 1;
  }
  std::printf("wrote %s (%d x %d, %d controls)\n", out, W, H, gui.NControls());
  return 0;
}
