// The standard controls: frame selection, switch and contact stepping, knob
// gearing, spinner stepping and wrapping, and text controls.

#include "GuiTestPlug.h"
#include "IControls.h"
#include "IGraphicsOffscreen.h"
#include "LiceBitmap.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// An image of n frames, 8 pixels square each; frame i (1-based) has red = i.
struct Strip {
  LICE_MemBitmap bits;
  IBitmap bm;
  explicit Strip(int n) : bits(8, 8 * n), bm(&bits, 8, 8 * n, n)
  {
    for (int y = 0; y < 8 * n; ++y)
      for (int x = 0; x < 8; ++x) bits.GetBits()[y * bits.GetRowSpan() + x] = LICE_RGBA(y / 8 + 1, 0, 0, 255);
  }
};

struct Editor {
  GuiTestPlug plug;
  IGraphicsOffscreen gui{&plug, 100, 100};
  Editor() { gui.PrepDraw(); }
  // The frame a control shows, read back from the surface.
  int FrameShown(const IControl* c)
  {
    gui.Draw(c->GetRECT());
    return gui.GetPoint(c->GetRECT().L, c->GetRECT().T).R;
  }
};

struct Changes : IObserverInterface {
  int n = 0;
  void Update() override { ++n; }
};

} // namespace

TEST(FrameSelection, ValueMapsToTheNearestFrame)
{
  EXPECT_EQ(IBitmapFrameForValue(60, 0.5), 31);
  EXPECT_EQ(IBitmapFrameForValue(60, 0.0), 1);
  EXPECT_EQ(IBitmapFrameForValue(60, 1.0), 60);
  EXPECT_EQ(IBitmapFrameForValue(1, 0.7), 1);
  EXPECT_EQ(IBitmapFrameForValue(3, 5.0), 3); // out of range: held to the ends
  EXPECT_EQ(IBitmapFrameForValue(3, -1.0), 1);
  const IBitmap strip(nullptr, 32, 3232, 101);
  EXPECT_EQ(IBitmapFrameSrcY(strip, 1), 0);
  EXPECT_EQ(IBitmapFrameSrcY(strip, 51), 1600);

  Editor e;
  Strip s(60);
  auto* knob = new IKnobMultiControl(&e.plug, 10, 20, -1, s.bm);
  e.gui.AttachControl(knob);
  EXPECT_EQ(knob->GetRECT(), IRECT(10, 20, 18, 28));
  knob->SetValue(0.5);
  EXPECT_EQ(e.FrameShown(knob), 31);
  knob->SetValue(1.0);
  EXPECT_EQ(e.FrameShown(knob), 60);
}

TEST(Switch, StepsThroughItsFramesAndWraps)
{
  Editor e;
  e.plug.GetParam(1)->DefineEnum("Mode", 0, 3);
  Strip s(3);
  auto* sw = new ISwitchControl(&e.plug, 0, 0, 1, s.bm);
  e.gui.AttachControl(sw);
  const IMouseMod left(true);
  std::vector<double> values;
  std::vector<int> frames;
  for (int i = 0; i < 3; ++i) {
    e.gui.OnMouseDown(1, 1, left);
    e.gui.OnMouseUp(1, 1, left);
    values.push_back(sw->GetValue());
    frames.push_back(e.FrameShown(sw));
  }
  EXPECT_EQ(values, (std::vector<double>{0.5, 1.0, 0.0}));
  EXPECT_EQ(frames, (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(e.plug.GetParam(1)->Value(), 0.0);
  EXPECT_EQ(e.plug.mChanged, (std::vector<int>{1, 1, 1}));

  Strip one(1);
  auto* toggle = new ISwitchControl(&e.plug, 50, 50, -1, one.bm);
  e.gui.AttachControl(toggle);
  toggle->OnMouseDown(51, 51, left);
  EXPECT_EQ(toggle->GetValue(), 1.0);
  toggle->OnMouseDown(51, 51, left);
  EXPECT_EQ(toggle->GetValue(), 0.0);

  // Right-click: the prompt (dismissed here), then the unchanged value is pushed.
  sw->SetValue(0.5);
  e.plug.mChanged.clear();
  e.gui.OnMouseDown(1, 1, IMouseMod(false, true));
  EXPECT_EQ(e.gui.Prompts().size(), 1u);
  EXPECT_EQ(sw->GetValue(), 0.5);
  EXPECT_EQ(e.plug.mChanged, (std::vector<int>{1}));
  EXPECT_EQ(e.plug.GetParam(1)->Value(), 1.0);
}

TEST(Contact, OnOnlyWhileHeld)
{
  Editor e;
  e.plug.GetParam(4)->DefineBool("Go", false);
  Strip s(2);
  auto* button = new IContactControl(&e.plug, 0, 0, 4, s.bm);
  e.gui.AttachControl(button);
  e.gui.OnMouseDown(2, 2, IMouseMod(true));
  EXPECT_EQ(e.plug.GetParam(4)->Value(), 1.0);
  e.gui.OnMouseUp(2, 2, IMouseMod(true));
  EXPECT_EQ(e.plug.GetParam(4)->Value(), 0.0);
  EXPECT_EQ(button->GetValue(), 0.0);
  // The control acts first, then the gesture is announced.
  EXPECT_EQ(e.plug.mHost.mHostCalls, (std::vector<std::string>{"a4=1.000000", "b4", "a4=0.000000", "e4"}));
}

TEST(Knob, DragGearing)
{
  Editor e;
  LICE_MemBitmap img(20, 500);
  const IBitmap bm(&img, 20, 500, 10); // frames 50 pixels high
  auto* knob = new IKnobMultiControl(&e.plug, 0, 0, 0, bm, IKnobControl::kVertical, 8.0);
  e.gui.AttachControl(knob);
  knob->SetValue(0.5);
  e.gui.OnMouseDown(5, 40, IMouseMod(true));
  e.gui.OnMouseDrag(5, 39, IMouseMod(true)); // one pixel up
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5 + 1.0 / 400.0);
  e.gui.OnMouseDrag(5, 41, IMouseMod(true, false, true)); // two down with shift
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5 + 1.0 / 400.0 - 2.0 / 4000.0);
  e.gui.OnMouseDrag(5, -400, IMouseMod(true)); // far beyond: clamped
  EXPECT_EQ(knob->GetValue(), 1.0);
  EXPECT_EQ(e.plug.GetParam(0)->Value(), 1.0);

  auto* wide = new IKnobMultiControl(&e.plug, 0, 60, -1, bm, IKnobControl::kHorizontal, 2.0);
  wide->OnMouseDrag(0, 0, 5, 0, IMouseMod(true));
  EXPECT_DOUBLE_EQ(wide->GetValue(), 5.0 / 20.0 / 2.0);
  delete wide;
}

TEST(Spinner, OneStepPerNotchAndWrapping)
{
  Editor e;
  IPlugParam* p = e.plug.GetParam(2);
  p->DefineInt("Count", 0, 0, 10, "x");
  auto* spin = new ISpinnerControl(&e.plug, IRECT(0, 0, 40, 16), 2, IText(), nullptr, true, true);
  e.gui.AttachControl(spin);
  const IMouseMod none;
  e.gui.OnMouseWheel(5, 5, none, 1);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 0.1);
  EXPECT_EQ(p->Value(), 1.0);
  e.gui.OnMouseWheel(5, 5, IMouseMod(false, false, true), 2); // shift does not change a stepped one
  EXPECT_DOUBLE_EQ(spin->GetValue(), 0.3);
  spin->SetValue(1.0);
  e.gui.OnMouseWheel(5, 5, none, 1);
  EXPECT_EQ(spin->GetValue(), 0.0);
  e.gui.OnMouseWheel(5, 5, none, -1);
  EXPECT_EQ(spin->GetValue(), 1.0);
  EXPECT_EQ(p->Value(), 10.0);

  e.gui.Draw(spin->GetRECT());
  EXPECT_STREQ(spin->GetText(), "10 x");
  ASSERT_FALSE(e.gui.TextsDrawn().empty());
  EXPECT_EQ(e.gui.TextsDrawn().back().mStr, "10 x");

  // Dragging wraps too: up over the top comes back at 0.
  spin->SetValue(0.995);
  e.gui.OnMouseDown(5, 5, IMouseMod(true));
  e.gui.OnMouseDrag(5, 4, IMouseMod(true)); // +1/16/8
  EXPECT_EQ(spin->GetValue(), 0.0);
  e.gui.OnMouseDrag(5, 5, IMouseMod(true)); // and below 0 comes back at 1
  EXPECT_EQ(spin->GetValue(), 1.0);
  e.gui.OnMouseUp(5, 5, IMouseMod(true));

  spin->GrayOut(true);
  e.gui.OnMouseWheel(5, 5, none, 1); // a grayed control gets no mouse
  spin->OnMouseWheel(5, 5, none, 1);
  spin->OnMouseDrag(5, 5, 0, -3, none);
  EXPECT_EQ(spin->GetValue(), 1.0);

  // A continuous own parameter: 0.01 per notch, 0.001 with control.
  IPlugParam own;
  own.DefineDouble("Amount", 0.0, 0.0, 2.0, 0.5);
  auto* free = new ISpinnerControl(&e.plug, IRECT(50, 0, 90, 16), -1, IText(), &own, true, false);
  e.gui.AttachControl(free);
  e.gui.OnMouseWheel(60, 5, none, 2);
  EXPECT_DOUBLE_EQ(free->GetValue(), 0.02);
  e.gui.OnMouseWheel(60, 5, IMouseMod(false, false, false, true), 1);
  EXPECT_DOUBLE_EQ(free->GetValue(), 0.021);
  free->SetValue(0.5);
  e.gui.Draw(free->GetRECT());
  EXPECT_EQ(own.Value(), 1.0);
  EXPECT_STREQ(free->GetText(), "1.0");
}

TEST(Text, GrayedColourAndOneRedrawPerChange)
{
  Editor e;
  const IText style("Arial", 14, IColor(255, 200, 100, 50));
  auto* text = new ITextControl(&e.plug, IRECT(0, 0, 50, 20), style, "start");
  e.gui.AttachControl(text);
  EXPECT_EQ(text->GetGrayedColor(), IColor(255, 72, 0, 0));
  text->GrayOut(true);
  EXPECT_EQ(text->GetIText().mColor, IColor(255, 72, 0, 0));
  EXPECT_EQ(text->GetBlend().mWeight, 0.25f);
  text->GrayOut(false);
  EXPECT_EQ(text->GetIText().mColor, IColor(255, 200, 100, 50));

  Changes changes;
  text->Attach(&changes);
  IRECT r;
  e.gui.IsDirty(r);
  e.gui.Draw(IRECT(0, 0, 100, 100));
  changes.n = 0;
  text->SetTextFromPlug("12.5");
  text->SetTextFromPlug("12.5");
  EXPECT_TRUE(e.gui.IsDirty(r));
  EXPECT_EQ(changes.n, 1);
  e.gui.Draw(r);
  text->SetTextFromPlug("12.5");
  EXPECT_FALSE(e.gui.IsDirty(r));
  EXPECT_EQ(changes.n, 1);
  EXPECT_EQ(e.gui.TextsDrawn().back().mStr, "12.5");
  EXPECT_EQ(e.gui.TextsDrawn().back().mRect, IRECT(0, 0, 50, 20));

  text->SetTextFromPlug("");
  const size_t drawn = e.gui.TextsDrawn().size();
  e.gui.Draw(r);
  EXPECT_EQ(e.gui.TextsDrawn().size(), drawn); // nothing to draw
}

TEST(Text, NativeFontIsMadeByTheInstalledFactory)
{
  static int made = 0, freed = 0;
  IText::SetNativeFontFactory([](const IText& t) -> void* { return ++made, new int(t.mSize); },
                              [](void* f) { ++freed, delete static_cast<int*>(f); });
  {
    ITextControl text(nullptr, IRECT(0, 0, 10, 10), IText("Arial", 16));
    ASSERT_TRUE(text.GetIText().mCached);
    EXPECT_EQ(*static_cast<int*>(text.GetIText().mCached.get()), 16);
  }
  IText::SetNativeFontFactory(nullptr, nullptr);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(freed, 1);
}
