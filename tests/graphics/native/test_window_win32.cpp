// The Win32 editor window: class registration, message routing into the
// controls, the redraw timer and painting, the text-entry box, native menus,
// GDI text, module paths and the image resources. Windows are driven with
// SendMessage; headless runs need Wine's null graphics driver (without any
// display driver the window tests skip).

#include "GuiTestPlug.h"
#include "IGraphicsWin_win32.h"
#include "LiceBitmap.h"
#include "LiceText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const IColor kRed(255, 255, 0, 0);

class Box : public IControl {
public:
  Box(IPlugBase* plug, const IRECT& r, int paramIdx = -1) : IControl(plug, r, paramIdx) {}
  bool Draw(IGraphics* g) override
  {
    ++mDraws;
    return g->FillIRect(kRed, mRECT);
  }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override
  {
    mEvents.push_back(std::string("down") + (mod.S ? " shift" : ""));
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int, int, const IMouseMod&) override { mEvents.push_back("up"); }
  void OnMouseDrag(int, int, int dX, int dY, const IMouseMod&) override
  {
    mEvents.push_back("drag " + std::to_string(dX) + "," + std::to_string(dY));
  }
  void OnMouseWheel(int x, int y, const IMouseMod&, int d) override
  {
    mEvents.push_back("wheel " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(d));
  }
  void OnKeyDown(int, int, int key) override { mEvents.push_back("key " + std::to_string(key)); }

  int mDraws = 0;
  std::vector<std::string> mEvents;
};

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

bool ClassRegistered()
{
  WNDCLASSW wc;
  return GetClassInfoW(GetModuleHandleW(nullptr), L"IPlugWndClass", &wc) != 0;
}

class WindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TavTestHost";
    RegisterClassW(&wc);
    mHost = CreateWindowExW(0, L"TavTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400, nullptr,
                            nullptr, wc.hInstance, nullptr);
    if (!mHost) GTEST_SKIP() << "no window can be created here (no display and no null graphics driver)";
    mPlug.GetParam(0)->DefineDouble("Gain", 5.0, 1.0, 10.0, 0.5);
    mPlug.GetParam(1)->DefineInt("Size", 0, 0, 2);
    mPlug.GetParam(1)->AddDisplayText(0, "Low");
    mPlug.GetParam(1)->AddDisplayText(1, "Mid");
    mPlug.GetParam(1)->AddDisplayText(2, "High");
    mG = new IGraphicsWin(&mPlug, 200, 100);
    mPlug.AttachGraphics(mG); // owns it from here; creates the surface
    mBack = new Box(&mPlug, IRECT(0, 0, 200, 100));
    mFront = new Box(&mPlug, IRECT(50, 20, 150, 80), 0);
    mG->AttachControl(mBack);
    mG->AttachControl(mFront);
  }
  void TearDown() override
  {
    if (mG) mG->CloseWindow();
    if (mHost) DestroyWindow(mHost);
  }
  HWND Open() { return static_cast<HWND>(mG->OpenWindow(mHost)); }
  LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(mWnd, msg, w, l); }
  void Tick() { Send(WM_TIMER, IGraphicsWin::TIMER_ID); }
  // Right-click on the front control opens the entry box for parameter 0.
  HWND OpenBox()
  {
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 50));
    Send(WM_RBUTTONUP, 0, MAKELPARAM(100, 50));
    return mG->GetEditBox();
  }

  GuiTestPlug mPlug;
  HWND mHost = nullptr;
  HWND mWnd = nullptr;
  IGraphicsWin* mG = nullptr;
  Box* mBack = nullptr;
  Box* mFront = nullptr;
};

TEST_F(WindowTest, OpensAChildWindowAndRegistersTheClassWhileAnyIsOpen)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  EXPECT_EQ(GetParent(mWnd), mHost);
  wchar_t name[64] = {};
  GetClassNameW(mWnd, name, 64);
  EXPECT_EQ(std::wstring(name), L"IPlugWndClass");
  EXPECT_EQ(GetWindowLongW(mWnd, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  RECT r;
  GetClientRect(mWnd, &r);
  EXPECT_EQ(r.right, 200);
  EXPECT_EQ(r.bottom, 100);
  EXPECT_EQ(IGraphicsWin::TimerPeriod(), 41);

  GuiTestPlug plug2;
  auto second = std::make_unique<IGraphicsWin>(&plug2, 50, 50);
  ASSERT_NE(second->OpenWindow(mHost), nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 2);
  mG->CloseWindow();
  EXPECT_EQ(mG->GetWindow(), nullptr);
  EXPECT_TRUE(ClassRegistered());
  second->CloseWindow();
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  EXPECT_FALSE(ClassRegistered());

  // A host that destroys its window without closing the editor first.
  ASSERT_NE(Open(), nullptr);
  DestroyWindow(mHost);
  mHost = nullptr;
  EXPECT_EQ(mG->GetWindow(), nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  // The dying window may still hold the class; the next close (or the editor's
  // end) gives it up.
  mG->CloseWindow();
  EXPECT_FALSE(ClassRegistered());

  // Without a parent a child window cannot be made: nothing stays behind.
  EXPECT_EQ(mG->OpenWindow(nullptr), nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  EXPECT_FALSE(ClassRegistered());
}

// A window closed from another thread than its own is destroyed by its own
// thread, before the closing call returns.
TEST_F(WindowTest, ClosedFromAnotherThreadGoesOnItsOwnThread)
{
  std::atomic<HWND> wnd{nullptr};
  std::atomic<bool> opened{false}, quit{false};
  std::thread owner([&] {
    wnd = Open();
    opened = true;
    while (!quit) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
      Sleep(1);
    }
  });
  // The parent is this thread's: its messages must flow while the other opens.
  while (!opened) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(1);
  }
  if (!wnd) {
    quit = true;
    owner.join();
    FAIL() << "no window";
  }
  mG->CloseWindow();
  EXPECT_FALSE(IsWindow(wnd.load()));
  EXPECT_EQ(mG->GetWindow(), nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  quit = true;
  owner.join();
}

TEST_F(WindowTest, MouseMessagesReachTheTopmostControlAndDragsFollowTheCapture)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(60, 30));
  EXPECT_EQ(GetCapture(), mWnd);
  Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 30)); // unchanged position: no drag
  Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 35)); // outside, negative: still the same control
  Send(WM_LBUTTONUP, 0, MAKELPARAM(-5, 35));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(mFront->mEvents, (std::vector<std::string>{"down shift", "drag -65,5", "up"}));
  EXPECT_TRUE(mBack->mEvents.empty());
  EXPECT_EQ(mPlug.mHost.mHostCalls, (std::vector<std::string>{"b0", "e0"}));

  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(mBack->mEvents, (std::vector<std::string>{"down", "up"}));
}

TEST_F(WindowTest, WheelAndKeysAreTranslated)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  RECT wr;
  GetWindowRect(mWnd, &wr);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), MAKELPARAM(wr.left + 70, wr.top + 40));
  EXPECT_EQ(mFront->mEvents, (std::vector<std::string>{"wheel 70,40 -2"}));

  EXPECT_EQ(IGraphicsWin::MapVirtualKey('Q'), 31);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey(VK_SPACE), kKeySpace);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey(VK_RIGHT), kKeyRight);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey('0'), kKeyDigit0);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey('9'), kKeyDigit9);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey('A'), kKeyA);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey(97), kKeyA);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey(122), kKeyZ);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey(VK_RETURN), -1);
  EXPECT_EQ(IGraphicsWin::MapVirtualKey(VK_F12), -1);
}

TEST_F(WindowTest, OpensAtTheGivenFactorAndFollowsItsScreensDpi)
{
  mG->SetScale(1.5);
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  RECT r;
  GetClientRect(mWnd, &r);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 150);
  Tick();
  EXPECT_EQ(mG->GetPoint(299, 149), kRed);  // the surface has the window's size
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 35));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(80, 35));
  EXPECT_EQ(mFront->mEvents, (std::vector<std::string>{"down", "up"}));

  // Dragged onto a screen of 192 dots per inch.
  RECT suggested = {0, 0, 400, 200};
  Send(0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(mG->GetScale(), 2.0);
  GetClientRect(mWnd, &r);
  EXPECT_EQ(r.right, 400);
  EXPECT_EQ(r.bottom, 200);
  Tick();
  EXPECT_EQ(mG->GetPoint(399, 199), kRed);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(98, 38));  // (49, 19): the back box
  Send(WM_LBUTTONUP, 0, MAKELPARAM(98, 38));
  EXPECT_EQ(mBack->mEvents, (std::vector<std::string>{"down", "up"}));
}

TEST_F(WindowTest, TimerRedrawsDirtyControlsAndPaintingValidatesTheWindow)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  ValidateRect(mWnd, nullptr);
  Tick(); // opening marked everything dirty
  EXPECT_EQ(mBack->mDraws, 1);
  EXPECT_EQ(mFront->mDraws, 1);
  EXPECT_EQ(mG->GetPoint(100, 50), kRed);
  Tick(); // nothing dirty
  EXPECT_EQ(mFront->mDraws, 1);

  mG->SetParameterFromPlug(0, 0.25, true); // first push: default only
  mG->SetParameterFromPlug(0, 0.75, true);
  Tick();
  EXPECT_EQ(mFront->mDraws, 2);
  EXPECT_EQ(mBack->mDraws, 2); // overlaps the dirty area
  RECT u;
  EXPECT_FALSE(GetUpdateRect(mWnd, &u, FALSE));

  // An editor without controls still validates what it is asked to paint.
  GuiTestPlug plug2;
  auto empty = std::make_unique<IGraphicsWin>(&plug2, 40, 40);
  empty->PrepDraw();
  HWND w2 = static_cast<HWND>(empty->OpenWindow(mHost));
  ASSERT_NE(w2, nullptr);
  InvalidateRect(w2, nullptr, FALSE);
  SendMessageW(w2, WM_PAINT, 0, 0);
  EXPECT_FALSE(GetUpdateRect(w2, &u, FALSE));
}

TEST_F(WindowTest, EntryBoxCommitsOnReturnAndTheNextTick)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  HWND box = OpenBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(mG->GetEditControl(), mFront);
  EXPECT_EQ(GetDlgCtrlID(box), IGraphicsWin::EDIT_BOX_ID);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE)) & 0x50000005u, 0x50000005u);
  RECT r;
  GetWindowRect(box, &r);
  MapWindowPoints(HWND_DESKTOP, mWnd, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 100 - 18);
  EXPECT_EQ(r.top, 50 - 8);
  EXPECT_EQ(r.right - r.left, 36);
  EXPECT_EQ(r.bottom - r.top, 16);
  EXPECT_NE(GetCapture(), mWnd); // the host gets its mouse back while the box is open

  SetWindowTextW(box, L"7.5");
  SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(mG->GetEditState(), IGraphicsWin::kEditCommit);
  EXPECT_EQ(mPlug.GetParam(0)->Value(), 5.0); // not before the tick
  Tick();
  EXPECT_EQ(mG->GetEditBox(), nullptr);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(mG->GetEditControl(), nullptr);
  EXPECT_DOUBLE_EQ(mPlug.GetParam(0)->Value(), 7.5);

  // Unparsable text reads as 0, clamped into 1..10.
  box = OpenBox();
  ASSERT_NE(box, nullptr);
  SetWindowTextW(box, L"abc");
  SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
  Tick();
  EXPECT_DOUBLE_EQ(mPlug.GetParam(0)->Value(), 1.0);
}

TEST_F(WindowTest, RightClickCancelsLeftClickCommitsAndClicks)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  HWND box = OpenBox();
  ASSERT_NE(box, nullptr);
  SetWindowTextW(box, L"9");
  mFront->mEvents.clear();
  Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 50));
  EXPECT_EQ(mG->GetEditState(), IGraphicsWin::kEditCancel);
  Tick();
  EXPECT_EQ(mG->GetEditBox(), nullptr);
  EXPECT_EQ(mPlug.GetParam(0)->Value(), 5.0);
  EXPECT_TRUE(mFront->mEvents.empty());

  box = OpenBox();
  ASSERT_NE(box, nullptr);
  SetWindowTextW(box, L"3");
  SetFocus(mHost); // the box loses the focus: clicks reach the editor again
  EXPECT_EQ(mG->GetEditState(), IGraphicsWin::kEditIdle);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(mBack->mEvents, (std::vector<std::string>{"down", "up"}));
  Tick();
  EXPECT_EQ(mG->GetEditBox(), nullptr);
  EXPECT_DOUBLE_EQ(mPlug.GetParam(0)->Value(), 3.0);
}

TEST_F(WindowTest, EntryBoxMapsDisplayTextsAndFollowsPluginChanges)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  Box* sizeBox = new Box(&mPlug, IRECT(0, 0, 20, 20), 1);
  mG->AttachControl(sizeBox);
  mG->PromptUserInput(sizeBox, mPlug.GetParam(1)); // an int with texts prompts with the box
  HWND box = mG->GetEditBox();
  ASSERT_NE(box, nullptr);
  SetWindowTextW(box, L"High");
  SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
  Tick();
  EXPECT_EQ(mPlug.GetParam(1)->Int(), 2);

  // A value pushed while the box is open shows in it two ticks later.
  box = OpenBox();
  ASSERT_NE(box, nullptr);
  SetFocus(mHost);
  for (int i = 0; i < 8; ++i) Tick(); // pending redraws, each followed by the box's refresh
  ASSERT_EQ(mG->GetEditState(), IGraphicsWin::kEditIdle);
  mG->SetParameterFromPlug(0, 0.0, true);
  mG->SetParameterFromPlug(0, 1.0, true);
  mPlug.GetParam(0)->Set(10.0);
  Tick();
  EXPECT_EQ(mG->GetEditState(), IGraphicsWin::kEditRefresh);
  Tick();
  wchar_t text[32] = {};
  GetWindowTextW(box, text, 32);
  char expected[IPlugParam::MAX_PARAM_DISPLAY_LEN];
  mPlug.GetParam(0)->FormatDisplay(expected, 10.0, false);
  EXPECT_EQ(std::wstring(text), std::wstring(expected, expected + std::strlen(expected)));
}

TEST_F(WindowTest, ClosingOrResizingWithAnOpenBoxForgetsIt)
{
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  ASSERT_NE(OpenBox(), nullptr);
  mG->CloseWindow();
  EXPECT_EQ(mG->GetEditBox(), nullptr);
  EXPECT_EQ(mG->GetEditControl(), nullptr);
  mWnd = Open();
  ASSERT_NE(mWnd, nullptr);
  ASSERT_NE(OpenBox(), nullptr); // prompting works again

  mG->Resize(300, 120); // deletes the controls the box was aimed at
  EXPECT_EQ(mG->GetEditBox(), nullptr);
  EXPECT_EQ(mG->GetEditControl(), nullptr);
  RECT r;
  GetClientRect(mWnd, &r);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 120);
  mBack = mFront = nullptr;
}

TEST_F(WindowTest, NativeMenuNumbersItemsDepthFirst)
{
  IPopupMenu menu;
  menu.AddItem("A", -1, IPopupMenu::Item::kDisabled);
  IPopupMenu* sub = new IPopupMenu;
  sub->AddItem("B1");
  sub->AddItem("B2", -1, IPopupMenu::Item::kChecked);
  menu.AddItem("B", sub);
  menu.AddSeparator();
  IPopupMenu* quiet = new IPopupMenu;
  quiet->AddItem("D1", -1, IPopupMenu::Item::kChecked);
  menu.AddItem("D", quiet)->SetFlag(IPopupMenu::Item::kNoParentCheck, true);
  menu.AddItem("E", -1, IPopupMenu::Item::kBreak);
  HMENU native = CreatePopupMenu();
  int counter = 1;
  EXPECT_TRUE(mG->FillPopupMenu(native, counter, &menu));
  EXPECT_EQ(counter, 1 + menu.NItemsTotal());
  ASSERT_EQ(GetMenuItemCount(native), 5);
  auto state = [](HMENU m, int pos) { return GetMenuState(m, static_cast<UINT>(pos), MF_BYPOSITION); };
  EXPECT_EQ(GetMenuItemID(native, 0), 1u);
  EXPECT_TRUE(state(native, 0) & MF_GRAYED);
  EXPECT_TRUE(state(native, 1) & MF_CHECKED); // something below is checked
  HMENU b = GetSubMenu(native, 1);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(GetMenuItemID(b, 0), 2u);
  EXPECT_EQ(GetMenuItemID(b, 1), 3u);
  EXPECT_TRUE(state(native, 2) & MF_SEPARATOR);
  EXPECT_FALSE(state(native, 3) & MF_CHECKED); // kNoParentCheck
  EXPECT_EQ(GetMenuItemID(GetSubMenu(native, 3), 0), 5u);
  EXPECT_EQ(GetMenuItemID(native, 4), 6u);
  EXPECT_TRUE(state(native, 4) & MF_MENUBARBREAK);
  DestroyMenu(native);
}

TEST_F(WindowTest, TextIsDrawnWithGdiOnTheSurface)
{
  IText left("Arial", 16, IColor(255, 0, 0, 0), IText::kStyleNormal, IText::kAlignNear);
  IText right = left;
  right.mAlign = IText::kAlignFar;
  right.CreateNativeFont();
  EXPECT_TRUE(mG->DrawIText(left, "", IRECT(0, 0, 10, 10)));
  auto firstInk = [this](int y0) {
    for (int x = 0; x < 200; ++x)
      for (int y = y0; y < y0 + 20; ++y)
        if (mG->GetPoint(x, y).R < 128) return x; // ink on the red ground
    return -1;
  };
  mG->Draw(IRECT(0, 0, 200, 100)); // all red
  ASSERT_TRUE(mG->DrawIText(left, "Mid", IRECT(0, 0, 200, 20)));
  ASSERT_TRUE(mG->DrawIText(right, "Mid", IRECT(0, 40, 200, 60)));
  const int l = firstInk(0), r = firstInk(40);
  EXPECT_GE(l, 0);
  EXPECT_LT(l, 5);
  EXPECT_GT(r, 150);

  // "&" is a character, not a mnemonic prefix: "x&&" reaches further right than "x&".
  auto lastInk = [this](int y0) {
    for (int x = 199; x >= 0; --x)
      for (int y = y0; y < y0 + 20; ++y)
        if (mG->GetPoint(x, y).R < 128) return x;
    return -1;
  };
  mG->Draw(IRECT(0, 0, 200, 100));
  ASSERT_TRUE(mG->DrawIText(left, "x&", IRECT(0, 0, 200, 20)));
  ASSERT_TRUE(mG->DrawIText(left, "x&&", IRECT(0, 40, 200, 60)));
  EXPECT_GT(lastInk(40), lastInk(0) + 3);
}

TEST(GdiTextTest, DrawsIntoBitmapsWithoutDeviceContext)
{
  LICE_MemBitmap bmp(60, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) bmp.GetBits()[y * bmp.GetRowSpan() + x] = 0xFFFFFFFF;
  LICE_TextFormat f;
  f.size = 16;
  f.color = 0xFF0000FF; // opaque blue
  int w = 0, h = 0;
  ASSERT_TRUE(LICE_MeasureText("Mid", f, &w, &h));
  EXPECT_GT(w, 10);
  EXPECT_EQ(h, 16);
  ASSERT_TRUE(LICE_DrawText(&bmp, "Mid", 0, 5, 60, 30, f));
  int ink = 0, above = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      const LICE_pixel p = bmp.GetBits()[y * bmp.GetRowSpan() + x];
      if (((p >> 16) & 0xFF) < 128 && (p & 0xFF) > 200) (y < 5 ? above : ink)++;
    }
  EXPECT_GT(ink, 10);
  EXPECT_EQ(above, 0); // the first line starts at the rectangle's top
  EXPECT_FALSE(LICE_DrawText(&bmp, "", 0, 0, 60, 30, f));
}

TEST(ModuleTest, PathsNameOurFolder)
{
  GuiTestPlug plug;
  IGraphicsWin g(&plug, 10, 10);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self);
  dir.resize(dir.rfind(L'\\') + 1);
  std::string plugPath, hostPath;
  g.PluginPath(plugPath);
  g.HostPath(hostPath);
  ASSERT_FALSE(plugPath.empty());
  EXPECT_EQ(plugPath.back(), '\\');
  EXPECT_EQ(std::wstring(plugPath.begin(), plugPath.end()), dir); // ASCII build paths
  EXPECT_EQ(hostPath, plugPath); // the test program is both here
}

TEST(ModuleTest, EveryImageResourceLoads)
{
  static const int kSizes[][2] = {{720, 650}, {12, 12}, {11, 22}, {12, 24}, {12, 24}, {32, 4096}, {32, 3232},
                                  {32, 544},  {32, 512}, {13, 18}, {13, 18}, {16, 32}, {16, 32},  {16, 32},
                                  {16, 32},   {16, 32},  {16, 32}, {14, 28}, {24, 182}, {24, 266}, {16, 1616},
                                  {16, 128},  {15, 30},  {15, 30}, {14, 14}, {14, 28}};
  GuiTestPlug plug;
  IGraphicsWin g(&plug, 10, 10);
  for (int id = 100; id <= 125; ++id) {
    std::unique_ptr<LICE_IBitmap> bmp(g.OSLoadBitmap(id, "image.PNG"));
    ASSERT_NE(bmp, nullptr) << id;
    EXPECT_EQ(bmp->GetWidth(), kSizes[id - 100][0]) << id;
    EXPECT_EQ(bmp->GetHeight(), kSizes[id - 100][1]) << id;
  }
  EXPECT_EQ(g.OSLoadBitmap(100, "image.bmp"), nullptr);
  EXPECT_EQ(g.OSLoadBitmap(126, "image.png"), nullptr);
}

} // namespace
