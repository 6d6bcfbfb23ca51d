// The graphics core: rectangles and menus, observers and the redraw cycle,
// clipping of the drawing primitives, mouse routing, parameter binding and the
// parameter prompt, the image cache, and the plug-in's ownership of its editor.

#include "GuiTestPlug.h"
#include "IControls.h"
#include "IGraphicsOffscreen.h"
#include "IPlugGraphicsLink.h"
#include "LiceBitmap.h"
#include "LiceDraw.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const IColor kRed(255, 255, 0, 0);
const IColor kBlue(255, 0, 0, 255);

// Fills its rectangle and counts what happens to it.
class Box : public IControl {
public:
  Box(IPlugBase* plug, const IRECT& r, int paramIdx = -1, IColor color = kRed)
    : IControl(plug, r, paramIdx), mColor(color)
  {
  }
  bool Draw(IGraphics* g) override
  {
    ++mDraws;
    return g->FillIRect(mColor, mRECT);
  }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override
  {
    mEvents.push_back("down");
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int, int, const IMouseMod&) override { mEvents.push_back("up"); }
  void OnMouseDrag(int, int, int dX, int dY, const IMouseMod&) override
  {
    mEvents.push_back("drag " + std::to_string(dX) + "," + std::to_string(dY));
  }
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override
  {
    mEvents.push_back("dbl");
    IControl::OnMouseDblClick(x, y, mod);
  }

  IColor mColor;
  int mDraws = 0;
  std::vector<std::string> mEvents;
};

struct Counter : IObserverInterface {
  int mUpdates = 0;
  void Update() override { ++mUpdates; }
};

// An editor with a prepared surface.
struct Editor {
  GuiTestPlug plug;
  IGraphicsOffscreen gui{&plug, 40, 30};
  Editor() { gui.PrepDraw(); }
  Box* Add(const IRECT& r, int paramIdx = -1, IColor color = kRed)
  {
    Box* b = new Box(&plug, r, paramIdx, color);
    gui.AttachControl(b);
    return b;
  }
};

} // namespace

TEST(GraphicsStructs, RectangleArithmetic)
{
  const IRECT a(0, 0, 10, 10), b(5, 5, 15, 20);
  EXPECT_EQ(a.Intersect(b), IRECT(5, 5, 10, 10));
  EXPECT_EQ(a.Union(b), IRECT(0, 0, 15, 20));
  EXPECT_EQ(IRECT().Union(b), b);
  EXPECT_TRUE(a.Intersect(IRECT(10, 0, 20, 10)).Empty()); // touching edges share nothing
  EXPECT_TRUE(a.Contains(0, 9));
  EXPECT_FALSE(a.Contains(10, 5));
  EXPECT_FALSE(IRECT(3, 3, 3, 8).Intersects(IRECT(0, 0, 10, 10))); // zero width
}

TEST(PopupMenu, InsertionDepthFirstOrderAndTags)
{
  IPopupMenu menu;
  menu.AddItem("A");
  IPopupMenu* sub = new IPopupMenu();
  sub->AddItem("B1")->SetTag(11);
  sub->AddItem("B2")->SetTag(12);
  menu.AddItem("B", sub);
  menu.AddItem("first", 0);
  menu.AddItem("last", 99); // clamped: appended
  menu.AddItem("second", -5)->SetTag(7); // clamped to 0

  ASSERT_EQ(menu.NItems(), 5);
  EXPECT_EQ(menu.NItemsTotal(), 6);
  const char* order[] = {"second", "first", "A", "B1", "B2", "last"};
  for (int i = 0; i < 6; ++i) EXPECT_STREQ(menu.GetItem(i)->GetText(), order[i]) << i;
  EXPECT_EQ(menu.GetItem(6), nullptr);
  EXPECT_EQ(menu.GetItem(-1), nullptr);

  EXPECT_STREQ(menu.GetItemWithTag(12)->GetText(), "B2");
  EXPECT_TRUE(menu.SetItemChecked(12, true));
  EXPECT_FALSE(menu.SetItemChecked(99, true));
  EXPECT_TRUE(menu.GetItem(4)->GetChecked());
  menu.EnableAllItems(false);
  EXPECT_FALSE(menu.GetItem(3)->GetEnabled()); // inside the sub-menu too
  EXPECT_TRUE(menu.SetItemEnabled(7, true));
  EXPECT_TRUE(menu.GetItem(0)->GetEnabled());
  menu.CheckAllItems(false);
  EXPECT_FALSE(menu.GetItem(4)->GetChecked());

  sub->AddItem("B3"); // counts stay right after the sub-menu was attached
  EXPECT_EQ(menu.NItemsTotal(), 7);
  int ids = 1;
  menu.SetItemChecked(11, true);
  EXPECT_TRUE(IGraphicsOffscreen(nullptr, 1, 1).FillPopupMenu(nullptr, ids, &menu));
  EXPECT_EQ(ids, 8);
}

TEST(Subject, ObserversAreToldOncePerTickInAttachOrder)
{
  Editor e;
  Box* box = e.Add(IRECT(0, 0, 10, 10));
  std::vector<int> order;
  struct Rec : IObserverInterface {
    std::vector<int>* out;
    int id;
    void Update() override { out->push_back(id); }
  } first, second;
  first.out = second.out = &order;
  first.id = 1;
  second.id = 2;
  box->Attach(&first);
  box->Attach(&second);
  box->Attach(&first); // not twice
  EXPECT_EQ(box->NObservers(), 2);

  IRECT r;
  EXPECT_TRUE(e.gui.IsDirty(r)); // a new control is dirty, but nothing changed yet
  EXPECT_TRUE(order.empty());
  box->SetDirty(false);
  box->SetDirty(false);
  e.gui.IsDirty(r);
  e.gui.IsDirty(r);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(DrawPass, DrawsOnlyVisibleOverlappingControlsAndCleansAll)
{
  Editor e;
  Box* a = e.Add(IRECT(0, 0, 10, 10));
  Box* b = e.Add(IRECT(20, 0, 30, 10));
  Box* hidden = e.Add(IRECT(0, 0, 10, 10));
  hidden->Hide(true);

  e.gui.Draw(IRECT(0, 0, 15, 15));
  EXPECT_EQ(a->mDraws, 1);
  EXPECT_EQ(b->mDraws, 0);
  EXPECT_EQ(hidden->mDraws, 0);
  ASSERT_EQ(e.gui.ScreenUpdates().size(), 1u);
  EXPECT_EQ(e.gui.ScreenUpdates()[0], IRECT(0, 0, 15, 15));
  EXPECT_FALSE(b->IsDirty()); // cleaned although not drawn
  EXPECT_TRUE(hidden->IsDirty()); // Hide asks for one more pass

  IRECT r;
  EXPECT_TRUE(e.gui.IsDirty(r));
  EXPECT_EQ(r, IRECT(0, 0, 10, 10));
  e.gui.Draw(r);
  EXPECT_FALSE(e.gui.IsDirty(r));
  EXPECT_TRUE(r.Empty());

  // The timer tick redraws exactly the dirty area.
  b->SetDirty(false);
  EXPECT_TRUE(e.gui.OnTimer());
  EXPECT_EQ(e.gui.ScreenUpdates().back(), IRECT(20, 0, 30, 10));
  EXPECT_EQ(b->mDraws, 1);
  EXPECT_FALSE(e.gui.OnTimer());
}

TEST(Clipping, PrimitivesStayInsideTheDrawRectangleAndTheSurface)
{
  Editor e;
  struct Painter : IControl {
    explicit Painter(const IRECT& r) : IControl(nullptr, r) {}
    bool Draw(IGraphics* g) override
    {
      g->FillIRect(kRed, IRECT(-5, -5, 100, 100));
      g->DrawLine(kBlue, -10.0f, 12.0f, 100.0f, 12.0f);
      g->DrawCircle(kBlue, 20.0f, 15.0f, 8.0f);
      g->ForcePixel(kBlue, 0, 0);
      g->ForcePixel(kBlue, 6, 6);
      return true;
    }
  };
  e.gui.AttachControl(new Painter(IRECT(0, 0, 40, 30)));
  e.gui.Draw(IRECT(5, 5, 25, 20));
  int changed = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const IColor c = e.gui.GetPoint(x, y);
      const bool inside = x >= 5 && x < 25 && y >= 5 && y < 20;
      if (!inside) {
        EXPECT_EQ(c, IColor(0, 0, 0, 0)) << x << "," << y;
      }
      if (c.A) ++changed;
    }
  }
  EXPECT_EQ(changed, 20 * 15);
  EXPECT_EQ(e.gui.GetPoint(6, 6), kBlue);
  EXPECT_EQ(e.gui.GetPoint(24, 12), kBlue); // the line up to the clip edge
  EXPECT_EQ(e.gui.GetPoint(-1, 0), IColor(0, 0, 0, 0));

  // The whole surface: coordinates beyond the edges are clamped or cut.
  e.gui.Draw(IRECT(0, 0, 40, 30));
  EXPECT_EQ(e.gui.GetPoint(39, 29), kRed);
  EXPECT_TRUE(e.gui.DrawHorizontalLine(kBlue, 100, -20, 500)); // clamped to the last row
  EXPECT_EQ(e.gui.GetPoint(0, 29), kBlue);
  EXPECT_EQ(e.gui.GetPoint(39, 29), kBlue);
  EXPECT_TRUE(e.gui.DrawVerticalLine(kBlue, 3, 20, 10)); // end before start: nothing
  EXPECT_EQ(e.gui.GetPoint(3, 15), kRed);
  EXPECT_FALSE(e.gui.ForcePixel(kBlue, 40, 0));
}

TEST(Clipping, BitmapSourceFollowsTheClippedCornerAndRectOutlineIncludesEdges)
{
  Editor e;
  // A 4 x 4 image whose pixel (x, y) has red = 10 x + y.
  LICE_MemBitmap img(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) img.GetBits()[y * img.GetRowSpan() + x] = LICE_RGBA(10 * x + y, 0, 0, 255);
  const IBitmap bm(&img, 4, 4, 1);
  struct Blit : IControl {
    IBitmap b;
    Blit(const IBitmap& bm) : IControl(nullptr, IRECT(0, 0, 40, 30)), b(bm) {}
    bool Draw(IGraphics* g) override
    {
      g->DrawBitmap(b, IRECT(8, 8, 12, 12), 0, 0);
      return g->DrawRect(kBlue, IRECT(20, 20, 25, 25));
    }
  };
  e.gui.AttachControl(new Blit(bm));
  e.gui.Draw(IRECT(10, 9, 40, 30));
  EXPECT_EQ(e.gui.GetPoint(9, 9).A, 0);
  EXPECT_EQ(e.gui.GetPoint(10, 9).R, 21); // source (2, 1)
  EXPECT_EQ(e.gui.GetPoint(11, 11).R, 33);
  EXPECT_EQ(e.gui.GetPoint(25, 25), kBlue);
  EXPECT_EQ(e.gui.GetPoint(25, 20), kBlue);
  EXPECT_EQ(e.gui.GetPoint(22, 22).A, 0);

  IGraphicsOffscreen unprepared(nullptr, 10, 10);
  EXPECT_FALSE(unprepared.FillIRect(kRed, IRECT(0, 0, 5, 5)));
  EXPECT_EQ(unprepared.GetBits(), nullptr);
  // A bitmap copy succeeds even when there is nothing to copy or nowhere to draw.
  EXPECT_TRUE(unprepared.DrawBitmap(bm, IRECT(0, 0, 4, 4), 0, 0));
  EXPECT_TRUE(e.gui.DrawBitmap(IBitmap(), IRECT(0, 0, 4, 4), 0, 0));
}

TEST(Routing, ClicksGoToTheTopmostLiveControlAndDragsStayCaptured)
{
  Editor e;
  Box* below = e.Add(IRECT(0, 0, 20, 20), 1);
  Box* above = e.Add(IRECT(10, 10, 30, 30), 2);
  const IMouseMod left(true);

  EXPECT_EQ(e.gui.GetMouseControlIdx(15, 15), 1);
  above->Hide(true);
  EXPECT_EQ(e.gui.GetMouseControlIdx(15, 15), 0);
  above->Hide(false);
  above->GrayOut(true);
  EXPECT_EQ(e.gui.GetMouseControlIdx(15, 15), 0);
  EXPECT_EQ(above->GetBlend().mWeight, 0.25f);
  above->GrayOut(false);
  EXPECT_EQ(e.gui.GetMouseControlIdx(35, 35), -1);

  e.gui.OnMouseDown(15, 15, left);
  e.gui.OnMouseDrag(15, 15, left); // unchanged position: no event
  e.gui.OnMouseDrag(2, 3, left);   // outside: still the captured control
  e.gui.OnMouseDrag(2, 3, left);
  e.gui.OnMouseDrag(4, 1, left);
  e.gui.OnMouseUp(2, 3, left);
  EXPECT_EQ(above->mEvents, (std::vector<std::string>{"down", "drag -13,-12", "drag 2,-2", "up"}));
  EXPECT_TRUE(below->mEvents.empty());
  EXPECT_EQ(e.plug.mHost.mHostCalls, (std::vector<std::string>{"b2", "e2"}));
  EXPECT_EQ(e.gui.GetCaptureIdx(), -1);
  e.gui.OnMouseDrag(5, 5, left); // no capture: nothing
  EXPECT_EQ(above->mEvents.size(), 4u);

  // Double-click: as a double-click, or routed as a mouse-down with capture.
  EXPECT_FALSE(e.gui.OnMouseDblClick(5, 5, left));
  EXPECT_EQ(below->mEvents, (std::vector<std::string>{"dbl"}));
  below->SetDblAsSingleClick(true);
  EXPECT_TRUE(e.gui.OnMouseDblClick(5, 5, left));
  EXPECT_EQ(below->mEvents.back(), "down");
  EXPECT_EQ(e.gui.GetCaptureIdx(), 0);
  EXPECT_FALSE(e.gui.OnMouseDblClick(50, 50, left));
  EXPECT_EQ(e.gui.GetCaptureIdx(), -1);

  EXPECT_FALSE(e.gui.OnMouseOver(5, 5, IMouseMod())); // hover events are off
}

// Whatever the mouse does (presses with either button, popup menus and entry
// boxes that take the release with them, double-clicks, releases that never
// come), the host hears begin and end in pairs, one index at a time, and never
// of a parameter past the announced ones.
TEST(Routing, EditGesturesPairUpAndStayAmongTheAnnouncedParameters)
{
  GuiTestPlug plug(4);  // 4 announced; 4..7 are the editor's own
  for (int i = 0; i < 4; ++i) plug.AppendParam();
  IGraphicsOffscreen gui(&plug, 80, 10);
  gui.PrepDraw();
  for (int i = 0; i < 8; ++i) {
    IPlugParam* p = plug.GetParam(i);
    if (i % 2) {
      p->DefineInt("n", 0, 0, 9);  // right-click: an entry box
    } else {
      p->DefineEnum("e", 0, 3);  // right-click: a popup menu
      for (int t = 0; t < 3; ++t) p->AddDisplayText(t, "t");
    }
    Box* b = new Box(&plug, IRECT(10 * i, 0, 10 * i + 10, 10), i);
    b->SetDblAsSingleClick(i % 3 == 0);
    gui.AttachControl(b);
  }
  std::mt19937 rng(7);
  for (int n = 0; n < 5000; ++n) {
    const int x = static_cast<int>(rng() % 84), y = static_cast<int>(rng() % 12);
    const IMouseMod mod(rng() % 2 == 0, rng() % 3 == 0);
    if (rng() % 2) gui.QueuePopupChoice(static_cast<int>(rng() % 4) - 1);
    if (rng() % 2) gui.QueueTextEntry(std::to_string(rng() % 12).c_str());
    switch (rng() % 5) {
      case 0: gui.OnMouseDown(x, y, mod); break;
      case 1: gui.OnMouseUp(x, y, mod); break;
      case 2: gui.OnMouseDrag(x, y, mod); break;
      case 3: gui.OnMouseDblClick(x, y, mod); break;
      default: gui.OnMouseWheel(x, y, mod, 1); break;
    }
  }
  gui.OnMouseUp(0, 0, IMouseMod(true));

  int open = -1, gestures = 0;
  for (const std::string& call : plug.mHost.mHostCalls) {
    const int idx = std::stoi(call.substr(1));
    ASSERT_LT(idx, 4) << call;
    if (call[0] == 'b') {
      ASSERT_EQ(open, -1) << "begin " << idx << " inside gesture " << open;
      open = idx;
      ++gestures;
    } else if (call[0] == 'e') {
      ASSERT_EQ(open, idx) << "end without its begin";
      open = -1;
    }
  }
  EXPECT_EQ(open, -1);
  EXPECT_GT(gestures, 100);
}

TEST(ControlValue, FirstPushIsTheDefaultAndDoubleClickReturnsToIt)
{
  Editor e;
  e.plug.GetParam(3)->DefineDouble("Level", 0.0, -10.0, 10.0, 0.1);
  Box* box = e.Add(IRECT(0, 0, 10, 10), 3);
  box->SetClean();

  e.gui.OnMouseDblClick(5, 5, IMouseMod(true)); // no default yet: ignored
  EXPECT_EQ(box->GetValue(), 0.0);
  EXPECT_TRUE(e.plug.mChanged.empty());

  e.gui.SetParameterFromPlug(3, 5.0, false); // plain 5 of -10..10
  EXPECT_EQ(box->GetDefaultValue(), 0.75);
  EXPECT_EQ(box->GetValue(), 0.75); // shown at once
  EXPECT_FALSE(box->IsDirty());
  e.gui.SetParameterFromPlug(3, 0.75, true); // equal: nothing
  EXPECT_FALSE(box->IsDirty());
  e.gui.SetParameterFromPlug(3, 99.0, false); // clamped into the range
  EXPECT_EQ(box->GetValue(), 1.0);
  EXPECT_TRUE(box->IsDirty());
  EXPECT_TRUE(e.plug.mChanged.empty()); // values from the plug-in are not pushed back

  e.gui.OnMouseDblClick(5, 5, IMouseMod(true));
  EXPECT_EQ(box->GetValue(), 0.75);
  EXPECT_EQ(e.plug.GetParam(3)->Value(), 5.0);
  EXPECT_EQ(e.plug.mChanged, (std::vector<int>{3}));

  e.gui.SetControlFromPlug(3, 0.5); // as user input: pushed
  EXPECT_EQ(e.plug.GetParam(3)->Value(), 0.0);
  EXPECT_EQ(e.plug.mChanged.size(), 2u);
}

TEST(ControlValue, AnotherThreadsValuesAndRedrawsWaitForTheEditorsNextDirtyCheck)
{
  Editor e;
  Box* a = e.Add(IRECT(0, 0, 10, 10), 3);
  Box* b = e.Add(IRECT(10, 0, 20, 10), 4);
  IRECT r;
  e.gui.IsDirty(r);
  e.gui.Draw(r);
  std::thread([&e] {  // the host's thread: nothing of the editor is touched there
    for (int i = 0; i <= 100; ++i) {
      e.gui.SetParameterFromPlug(3, i / 100.0, true);
      e.gui.SetParameterFromPlug(4, i / 200.0, true);
    }
    e.gui.SetAllControlsDirty();
  }).join();
  EXPECT_EQ(a->GetValue(), 0.0);
  EXPECT_EQ(b->GetValue(), 0.0);
  EXPECT_FALSE(a->IsDirty() || b->IsDirty());
  ASSERT_TRUE(e.gui.IsDirty(r));  // taken here, the last values
  EXPECT_EQ(r, IRECT(0, 0, 20, 10));
  EXPECT_EQ(a->GetValue(), 1.0);
  EXPECT_EQ(b->GetValue(), 0.5);
}

TEST(ControlValue, WheelStepsAndClamps)
{
  Editor e;
  Box* box = e.Add(IRECT(0, 0, 10, 10));
  box->SetValue(0.5);
  e.gui.OnMouseWheel(5, 5, IMouseMod(), 1);
  EXPECT_DOUBLE_EQ(box->GetValue(), 0.51);
  e.gui.OnMouseWheel(5, 5, IMouseMod(false, false, true), -1);
  EXPECT_DOUBLE_EQ(box->GetValue(), 0.509);
  e.gui.OnMouseWheel(5, 5, IMouseMod(false, false, false, true), -3);
  EXPECT_DOUBLE_EQ(box->GetValue(), 0.506);
  e.gui.OnMouseWheel(5, 5, IMouseMod(), 60);
  EXPECT_EQ(box->GetValue(), 1.0);
  e.gui.OnMouseWheel(25, 25, IMouseMod(), 1); // nothing there
}

TEST(ParamPopup, ThirtyTextsMakeTwoColumnsAndAChoiceIsPushed)
{
  Editor e;
  IPlugParam* p = e.plug.GetParam(2);
  p->DefineEnum("Mode", 3, 30);
  for (int i = 0; i < 30; ++i) p->AddDisplayText(i, ("m" + std::to_string(i)).c_str());
  Box* box = e.Add(IRECT(0, 0, 10, 10), 2);

  std::unique_ptr<IPopupMenu> menu(box->CreateParamPopup());
  ASSERT_TRUE(menu);
  ASSERT_EQ(menu->NItemsTotal(), 30);
  std::vector<int> breaks;
  for (int i = 0; i < 30; ++i)
    if (menu->GetItem(i)->GetFlags() & IPopupMenu::Item::kBreak) breaks.push_back(i);
  EXPECT_EQ(breaks, (std::vector<int>{24})); // columns of 24 and 6
  EXPECT_TRUE(menu->GetItem(3)->GetChecked());
  EXPECT_FALSE(menu->GetItem(4)->GetChecked());

  // Every column holds 24: the 25th, 49th and 73rd items start new ones.
  IPlugParam* many = e.plug.GetParam(6);
  many->DefineEnum("Many", 0, 80);
  for (int i = 0; i < 80; ++i) many->AddDisplayText(i, ("n" + std::to_string(i)).c_str());
  Box manyBox(&e.plug, IRECT(0, 0, 1, 1), 6);
  std::unique_ptr<IPopupMenu> manyMenu(manyBox.CreateParamPopup());
  ASSERT_TRUE(manyMenu);
  breaks.clear();
  for (int i = 0; i < manyMenu->NItemsTotal(); ++i)
    if (manyMenu->GetItem(i)->GetFlags() & IPopupMenu::Item::kBreak) breaks.push_back(i);
  EXPECT_EQ(breaks, (std::vector<int>{24, 48, 72}));

  e.gui.QueuePopupChoice(29);
  e.gui.OnMouseDown(5, 5, IMouseMod(false, true));
  ASSERT_EQ(e.gui.Prompts().size(), 1u);
  EXPECT_EQ(e.gui.Prompts()[0].mKind, IGraphicsOffscreen::Prompt::kPopup);
  EXPECT_EQ(e.gui.Prompts()[0].mText, "m3");
  EXPECT_EQ(box->GetValue(), 1.0);
  EXPECT_EQ(p->Value(), 29.0);
  EXPECT_TRUE(e.gui.IsRightButtonGesture());

  box->DisablePrompt(true);
  e.gui.OnMouseDown(5, 5, IMouseMod(false, true));
  EXPECT_EQ(e.gui.Prompts().size(), 1u);

  // No display texts: a text-entry box, committed with the typed number.
  p = e.plug.GetParam(5);
  p->DefineInt("Count", 2, 0, 10);
  Box* count = e.Add(IRECT(20, 0, 30, 10), 5);
  EXPECT_EQ(count->CreateParamPopup(), nullptr);
  e.gui.QueueTextEntry("7");
  e.gui.OnMouseDown(25, 5, IMouseMod(false, true));
  EXPECT_EQ(e.gui.Prompts().back().mKind, IGraphicsOffscreen::Prompt::kTextEntry);
  EXPECT_EQ(p->Value(), 7.0);
  e.gui.QueueTextEntry("many");
  e.gui.OnMouseDown(25, 5, IMouseMod(false, true)); // unreadable: 0
  EXPECT_EQ(p->Value(), 0.0);
}

TEST(ImageCache, EachImageIsDecodedOncePerProcess)
{
  auto loader = [](int, const char*) -> LICE_IBitmap* {
    auto* b = new LICE_MemBitmap(6, 9);
    LICE_Clear(b, LICE_RGBA(0, 255, 0, 255));
    return b;
  };
  IGraphicsOffscreen first(nullptr, 10, 10), second(nullptr, 10, 10);
  first.SetImageLoader(loader);
  second.SetImageLoader(loader);
  const IBitmap a = first.LoadIBitmap(7001, "img/strip.png", 3);
  const IBitmap b = second.LoadIBitmap(7001, "img/strip.png", 3);
  const IBitmap c = first.LoadIBitmap(7001, "img/strip.png", 1);
  EXPECT_EQ(first.NImageLoads() + second.NImageLoads(), 1);
  EXPECT_EQ(a.mData, b.mData);
  EXPECT_EQ(c.mData, a.mData);
  EXPECT_EQ(b.W, 6);
  EXPECT_EQ(b.H, 9);
  EXPECT_EQ(b.N, 3);
  EXPECT_EQ(c.N, 1);

  // A missing image: no data, and the next load tries again.
  IGraphicsOffscreen none(nullptr, 10, 10);
  EXPECT_EQ(none.LoadIBitmap(7002, "img/missing.png", 2).mData, nullptr);
  EXPECT_EQ(none.LoadIBitmap(7002, "img/missing.png", 2).mData, nullptr);
  EXPECT_EQ(none.NImageLoads(), 2);

  const IBitmap cropped = first.CropBitmap(a, IRECT(0, 3, 6, 6));
  EXPECT_EQ(cropped.W, 6);
  EXPECT_EQ(cropped.H, 3);
  EXPECT_EQ(cropped.N, 3);
  first.ReleaseBitmap(cropped);
}

TEST(Editor, BackgroundAttachResizeAndOwnership)
{
  bool loaded = false;
  auto plug = std::make_unique<GuiTestPlug>();
  plug->GetParam(0)->DefineDouble("Gain", 5.0, 0.0, 10.0, 0.5);
  auto* gui = new IGraphicsOffscreen(plug.get(), 32, 16);
  gui->SetImageLoader([&](int, const char*) -> LICE_IBitmap* {
    loaded = true;
    return new LICE_MemBitmap(32, 16);
  });
  Box* knob = new Box(plug.get(), IRECT(0, 0, 5, 5), 0);
  gui->AttachControl(knob);
  gui->AttachBackground(7003, "img/bg.png");
  EXPECT_TRUE(loaded);
  ASSERT_EQ(gui->NControls(), 2);
  EXPECT_EQ(gui->GetControl(0)->GetRECT(), IRECT(0, 0, 32, 16));
  EXPECT_EQ(gui->GetControl(1), knob);

  plug->AttachGraphics(gui);
  EXPECT_EQ(plug->GetGraphics(), gui);
  EXPECT_EQ(knob->GetDefaultValue(), 0.5);
  EXPECT_NE(gui->GetBits(), nullptr);

  // The plug-in base reaches the editor through its link.
  int host = 0;
  EXPECT_NE(IGraphicsLink::OpenWindow(gui, &host), nullptr);
  EXPECT_TRUE(gui->WindowIsOpen());
  gui->Resize(64, 20);
  EXPECT_EQ(IGraphicsLink::Width(gui), 64);
  EXPECT_EQ(IGraphicsLink::Height(gui), 20);
  IGraphicsLink::CloseWindow(gui);
  EXPECT_FALSE(gui->WindowIsOpen());
  EXPECT_EQ(gui->NControls(), 0);
  EXPECT_EQ(plug->mHost.mEditorSizeUpdates, 2);  // the attach, the resize
  EXPECT_EQ(static_cast<LICE_IBitmap*>(gui->GetDrawBitmap())->GetWidth(), 64);
  plug.reset(); // deletes the editor (checked by the sanitiser runs)
}
