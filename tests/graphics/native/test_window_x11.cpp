// The X11 editor window: opened inside a parent window, fed with events sent to
// it through the X server, its picture read back from the server.
#include "GuiTestPlug.h"
#include "IGraphicsX11_x11.h"
#include "IPlugParam.h"

// Before Xlib, whose macros (None, Bool) clash with GoogleTest's names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class Recorder : public IControl {
public:
  Recorder(IPlugBase* plug, const IRECT& r, int paramIdx = -1) : IControl(plug, r, paramIdx) {}
  bool Draw(IGraphics* g) override { return g->FillIRect(IColor(255, 255, 0, 0), mRECT); }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override
  {
    mEvents.push_back(std::string(mod.R ? "rdown" : "down") + (mod.S ? "+shift" : ""));
    if (mMenuOnLeftClick && mod.L) PromptUserInput();
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int, int, const IMouseMod&) override { mEvents.push_back("up"); }
  void OnMouseDrag(int, int, int dX, int dY, const IMouseMod&) override
  {
    mEvents.push_back("drag " + std::to_string(dX) + "," + std::to_string(dY));
  }
  void OnMouseDblClick(int, int, const IMouseMod&) override { mEvents.push_back("dbl"); }
  void OnMouseWheel(int, int, const IMouseMod&, int d) override { mEvents.push_back("wheel " + std::to_string(d)); }
  void OnKeyDown(int, int, int key) override { mEvents.push_back("key " + std::to_string(key)); }
  // A menu with a sub-menu when asked for one (A, B > (B1, B2), C).
  IPopupMenu* CreateParamPopup() override
  {
    if (!mOwnMenu) return IControl::CreateParamPopup();
    IPopupMenu* menu = new IPopupMenu();
    menu->AddItem("A");
    IPopupMenu* sub = new IPopupMenu();
    sub->AddItem("B1");
    sub->AddItem("B2");
    menu->AddItem("B", sub);
    menu->AddItem("C");
    return menu;
  }
  void OnParamPopupChoice(IPopupMenu* menu, int index) override
  {
    mChoices.push_back(index);
    if (!mOwnMenu) IControl::OnParamPopupChoice(menu, index);
  }

  bool mOwnMenu = false;
  bool mMenuOnLeftClick = false; // like the preset name: a click opens the menu
  std::vector<std::string> mEvents;
  std::vector<int> mChoices;
};

class X11Window : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    // A server resets when its last client leaves (the previous test's) and
    // refuses connections for a moment.
    for (int i = 0; i < 100 && !mDpy; ++i) {
      if (!(mDpy = XOpenDisplay(nullptr))) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!mDpy) GTEST_SKIP() << "X display cannot be opened";
    mRoot = DefaultRootWindow(mDpy);
    mParent = XCreateSimpleWindow(mDpy, mRoot, 10, 10, 300, 200, 0, 0, 0);
    XMapWindow(mDpy, mParent);
    XSync(mDpy, False);
  }
  void TearDown() override
  {
    if (!mDpy) return;
    mGui.CloseWindow();
    XDestroyWindow(mDpy, mParent);
    XCloseDisplay(mDpy);
  }

  Recorder* Add(const IRECT& r, int paramIdx = -1)
  {
    Recorder* c = new Recorder(&mPlug, r, paramIdx);
    mGui.AttachControl(c);
    return c;
  }
  void Open()
  {
    ASSERT_NE(mGui.OpenWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(mParent))), nullptr);
    mWin = mGui.GetXWindow();
    Pump(); // map and expose
  }
  // Lets the editor handle what the server has for it.
  void Pump()
  {
    XSync(mDpy, False);
    for (int i = 0; i < 5; ++i) {
      XSync(static_cast<Display*>(mGui.GetXDisplay()), False);
      mGui.ProcessEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  void SendButton(Window w, int type, unsigned button, int x, int y, unsigned state, unsigned long time,
                  int rootX = 0, int rootY = 0)
  {
    XEvent ev{};
    ev.xbutton.type = type;
    ev.xbutton.display = mDpy;
    ev.xbutton.window = w;
    ev.xbutton.root = mRoot;
    ev.xbutton.x = x;
    ev.xbutton.y = y;
    ev.xbutton.x_root = rootX;
    ev.xbutton.y_root = rootY;
    ev.xbutton.state = state;
    ev.xbutton.button = button;
    ev.xbutton.time = time;
    ev.xbutton.same_screen = True;
    XSendEvent(mDpy, w, False, 0, &ev);
  }
  void SendMotion(Window w, int x, int y, unsigned state, int rootX = 0, int rootY = 0)
  {
    XEvent ev{};
    ev.xmotion.type = MotionNotify;
    ev.xmotion.display = mDpy;
    ev.xmotion.window = w;
    ev.xmotion.root = mRoot;
    ev.xmotion.x = x;
    ev.xmotion.y = y;
    ev.xmotion.x_root = rootX;
    ev.xmotion.y_root = rootY;
    ev.xmotion.state = state;
    ev.xmotion.same_screen = True;
    XSendEvent(mDpy, w, False, 0, &ev);
  }
  void SendKey(Window w, KeySym ks, unsigned state = 0)
  {
    XEvent ev{};
    ev.xkey.type = KeyPress;
    ev.xkey.display = mDpy;
    ev.xkey.window = w;
    ev.xkey.root = mRoot;
    ev.xkey.x = 5;
    ev.xkey.y = 5;
    ev.xkey.state = state;
    ev.xkey.keycode = XKeysymToKeycode(mDpy, ks);
    ev.xkey.same_screen = True;
    XSendEvent(mDpy, w, False, 0, &ev);
  }
  void Click(int x, int y, unsigned button, unsigned long time)
  {
    SendButton(mWin, ButtonPress, button, x, y, 0, time);
    SendButton(mWin, ButtonRelease, button, x, y, button == Button1 ? Button1Mask : Button3Mask, time + 1);
    Pump();
  }
  // Root position of the n-th text item of a menu without separators.
  static int ItemY(int rootY, int n)
  {
    return rootY + IGraphicsX11::kMenuMargin + n * IGraphicsX11::kMenuItemHeight + IGraphicsX11::kMenuItemHeight / 2;
  }

  Display* mDpy = nullptr;
  Window mRoot = 0, mParent = 0, mWin = 0;
  GuiTestPlug mPlug;
  IGraphicsX11 mGui{&mPlug, 120, 80};
};

TEST_F(X11Window, OpensInsideTheParentAndClosesAgain)
{
  Open();
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  ASSERT_TRUE(XQueryTree(mDpy, mWin, &root, &parent, &children, &n));
  if (children) XFree(children);
  EXPECT_EQ(parent, mParent);
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(mDpy, mWin, &a));
  EXPECT_EQ(a.width, 120);
  EXPECT_EQ(a.height, 80);

  mGui.CloseWindow();
  EXPECT_EQ(mGui.GetWindow(), nullptr);
  EXPECT_FALSE(mGui.WindowIsOpen());
  // Open again, and as a top-level window without parent.
  ASSERT_NE(mGui.OpenWindow(nullptr), nullptr);
  mGui.CloseWindow();
}

TEST_F(X11Window, AParentThatDoesNotExistGivesNoWindowAndKeepsTheProcess)
{
  const Window gone = XCreateSimpleWindow(mDpy, mRoot, 0, 0, 10, 10, 0, 0, 0);
  XDestroyWindow(mDpy, gone);
  XSync(mDpy, False);
  EXPECT_EQ(mGui.OpenWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(gone))), nullptr);
  EXPECT_FALSE(mGui.WindowIsOpen());
  Open();
  EXPECT_TRUE(mGui.WindowIsOpen());
}

TEST_F(X11Window, MouseAndKeysReachTheControlUnderThePointer)
{
  Recorder* box = Add(IRECT(10, 10, 50, 50));
  Open();
  // A click, then a drag that leaves the control: still the same control.
  SendButton(mWin, ButtonPress, Button1, 20, 20, ShiftMask, 1000);
  SendMotion(mWin, 30, 25, Button1Mask);
  Pump();
  SendMotion(mWin, 70, 60, Button1Mask);
  SendButton(mWin, ButtonRelease, Button1, 70, 60, Button1Mask, 1100);
  Pump();
  EXPECT_EQ(box->mEvents, (std::vector<std::string>{"down+shift", "drag 10,5", "drag 40,35", "up"}));

  // A drag, its release and a move without buttons queued together: in order,
  // the later move does not swallow the drag before the release.
  box->mEvents.clear();
  SendButton(mWin, ButtonPress, Button1, 20, 20, 0, 2000);
  SendMotion(mWin, 30, 25, Button1Mask);
  SendButton(mWin, ButtonRelease, Button1, 30, 25, Button1Mask, 2100);
  SendMotion(mWin, 70, 60, 0);
  Pump();
  EXPECT_EQ(box->mEvents, (std::vector<std::string>{"down", "drag 10,5", "up"}));

  // Two clicks within 400 ms and 4 px: a double-click; a third one later: a click.
  box->mEvents.clear();
  Click(20, 20, Button1, 5000);
  Click(23, 24, Button1, 5300);
  Click(23, 24, Button1, 5302);
  Click(23, 24, Button1, 6000);
  Click(40, 40, Button1, 6100); // too far from the last click
  EXPECT_EQ(box->mEvents,
            (std::vector<std::string>{"down", "up", "dbl", "up", "down", "up", "down", "up", "down", "up"}));

  // Wheel buttons, keys (Q is 31), and nothing for a click outside every control.
  box->mEvents.clear();
  SendButton(mWin, ButtonPress, Button4, 20, 20, 0, 7000);
  SendButton(mWin, ButtonPress, Button5, 20, 20, 0, 7001);
  SendButton(mWin, ButtonPress, Button1, 100, 70, 0, 8000);
  SendKey(mWin, XK_q);
  SendKey(mWin, XK_Left);
  SendKey(mWin, XK_7);
  SendKey(mWin, XK_Shift_L);
  Pump();
  // Keys go to the control under the pointer, (5, 5) in SendKey: none there.
  EXPECT_EQ(box->mEvents, (std::vector<std::string>{"wheel 1", "wheel -1"}));
  Recorder* keys = Add(IRECT(0, 0, 10, 10));
  SendKey(mWin, XK_q);
  SendKey(mWin, XK_Left);
  SendKey(mWin, XK_7);
  SendKey(mWin, XK_Shift_L);
  Pump();
  EXPECT_EQ(keys->mEvents, (std::vector<std::string>{"key 31", "key 3", "key 12"}));
}

TEST_F(X11Window, TheRedrawPutsTheSurfaceOnTheWindow)
{
  Recorder* box = Add(IRECT(10, 10, 50, 50));
  Open(); // the first exposure draws everything
  Visual* v = DefaultVisual(mDpy, DefaultScreen(mDpy));
  const unsigned long rgb = v->red_mask | v->green_mask | v->blue_mask;
  auto pixel = [&](int x, int y) {
    XSync(mDpy, False);
    XImage* img = XGetImage(mDpy, mWin, x, y, 1, 1, AllPlanes, ZPixmap);
    EXPECT_NE(img, nullptr);
    const unsigned long p = img ? XGetPixel(img, 0, 0) & rgb : 0;
    if (img) XDestroyImage(img);
    return p;
  };
  EXPECT_EQ(pixel(20, 20), v->red_mask);
  EXPECT_EQ(pixel(60, 60), 0u);
  EXPECT_FALSE(mGui.OnTimer());
  box->SetDirty(false);
  mGui.Idle(); // the first idle call is always due for a tick
  EXPECT_FALSE(box->IsDirty());

  // A control marked dirty is drawn on the next tick and shows on the window.
  box->Hide(true);
  EXPECT_TRUE(mGui.OnTimer());
  EXPECT_EQ(pixel(20, 20), v->red_mask); // hidden: not drawn, the old pixels stay on the surface

  // Only the area asked for goes to the window.
  static_cast<IGraphics&>(mGui).Draw(IRECT(0, 0, 120, 80));
  mGui.FillIRect(IColor(255, 0, 0, 255), IRECT(0, 0, 120, 80)); // blue on the surface
  EXPECT_TRUE(mGui.DrawScreen(IRECT(15, 15, 25, 25)));
  EXPECT_EQ(pixel(20, 20), v->blue_mask);
  EXPECT_EQ(pixel(30, 30), v->red_mask);
  EXPECT_EQ(pixel(60, 60), 0u);
}

TEST_F(X11Window, TextEntryCommitsOnReturnAndCancelsOnEscapeOrRightClick)
{
  IPlugParam* p = mPlug.GetParam(5);
  p->DefineInt("Count", 2, 0, 10);
  Recorder* box = Add(IRECT(10, 10, 50, 50), 5);
  Open();
  Click(20, 20, Button3, 100);
  ASSERT_TRUE(mGui.IsTextEntryOpen());
  EXPECT_EQ(mGui.GetTextEntry(), "2");
  EXPECT_EQ(mGui.GetEditParam(), p);
  // The box's text is selected: typing replaces it.
  SendKey(mWin, XK_7);
  SendKey(mWin, XK_1);
  SendKey(mWin, XK_BackSpace);
  Pump();
  EXPECT_EQ(mGui.GetTextEntry(), "7");
  EXPECT_EQ(p->Value(), 2.0);
  SendKey(mWin, XK_Return);
  Pump();
  EXPECT_FALSE(mGui.IsTextEntryOpen());
  EXPECT_EQ(p->Value(), 7.0);

  // Escape cancels.
  Click(20, 20, Button3, 200);
  ASSERT_TRUE(mGui.IsTextEntryOpen());
  SendKey(mWin, XK_3);
  SendKey(mWin, XK_Escape);
  Pump();
  EXPECT_FALSE(mGui.IsTextEntryOpen());
  EXPECT_EQ(p->Value(), 7.0);

  // A right-click cancels and reaches no control; a left-click commits and does.
  Click(20, 20, Button3, 300);
  box->mEvents.clear();
  SendKey(mWin, XK_4);
  SendButton(mWin, ButtonPress, Button3, 20, 20, 0, 400);
  Pump();
  EXPECT_FALSE(mGui.IsTextEntryOpen());
  EXPECT_EQ(p->Value(), 7.0);
  EXPECT_TRUE(box->mEvents.empty());
  SendButton(mWin, ButtonRelease, Button3, 20, 20, Button3Mask, 401);
  Click(20, 20, Button3, 500);
  SendKey(mWin, XK_9);
  SendButton(mWin, ButtonPress, Button1, 60, 60, 0, 600);
  Pump();
  EXPECT_FALSE(mGui.IsTextEntryOpen());
  EXPECT_EQ(p->Value(), 9.0);

  // The text is read as a decimal number whatever the C library would make of
  // it (hexadecimal, the host's decimal point): "0x5" is 0.
  Click(20, 20, Button3, 650);
  SendKey(mWin, XK_0);
  SendKey(mWin, XK_x);
  SendKey(mWin, XK_5);
  SendKey(mWin, XK_Return);
  Pump();
  EXPECT_FALSE(mGui.IsTextEntryOpen());
  EXPECT_EQ(p->Value(), 0.0);

  // A value changed elsewhere shows in an open box; resizing (which deletes the
  // controls) closes it instead of leaving it on a deleted control.
  Click(20, 20, Button3, 700);
  ASSERT_TRUE(mGui.IsTextEntryOpen());
  p->Set(4);
  box->SetDirty(false);
  mGui.OnTimer();
  EXPECT_EQ(mGui.GetTextEntry(), "4");
  mGui.Resize(100, 60);
  EXPECT_FALSE(mGui.IsTextEntryOpen());
  EXPECT_EQ(mGui.GetEditControl(), nullptr);
  SendKey(mWin, XK_Return);
  Pump();
}

TEST_F(X11Window, PopupMenuChoicesAndDismissal)
{
  IPlugParam* p = mPlug.GetParam(2);
  p->DefineEnum("Mode", 0, 3);
  p->AddDisplayText(0, "one");
  p->AddDisplayText(1, "two");
  p->AddDisplayText(2, "three");
  Recorder* box = Add(IRECT(10, 10, 50, 50), 2);
  Open();

  int shown = 0;
  mGui.SetMenuShownHook([&](int level, unsigned long w, int rx, int ry) {
    ++shown;
    EXPECT_EQ(level, 0);
    SendButton(w, ButtonPress, Button1, 5, 0, 0, 0, rx + 10, ItemY(ry, 2));
    XFlush(mDpy);
  });
  Click(20, 20, Button3, 100);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(box->mChoices, (std::vector<int>{2}));
  EXPECT_EQ(p->Value(), 2.0);
  EXPECT_FALSE(mGui.IsTextEntryOpen());

  // Escape and a click beside the menu choose nothing.
  mGui.SetMenuShownHook([&](int, unsigned long w, int, int) {
    SendKey(w, XK_Escape);
    XFlush(mDpy);
  });
  Click(20, 20, Button3, 200);
  mGui.SetMenuShownHook([&](int, unsigned long w, int rx, int ry) {
    SendButton(w, ButtonPress, Button1, 0, 0, 0, 0, rx - 5, ry - 5);
    XFlush(mDpy);
  });
  Click(20, 20, Button3, 300);
  EXPECT_EQ(box->mChoices, (std::vector<int>{2}));

  // A sub-menu opens beside its item; its second item is the third in
  // depth-first order (A, B1, B2, C).
  box->mOwnMenu = true;
  std::vector<int> levels;
  mGui.SetMenuShownHook([&](int level, unsigned long w, int rx, int ry) {
    levels.push_back(level);
    if (level == 0) SendMotion(w, 0, 0, 0, rx + 10, ItemY(ry, 1));
    else SendButton(w, ButtonPress, Button1, 0, 0, 0, 0, rx + 10, ItemY(ry, 1));
    XFlush(mDpy);
  });
  Click(20, 20, Button3, 400);
  EXPECT_EQ(levels, (std::vector<int>{0, 1}));
  EXPECT_EQ(box->mChoices, (std::vector<int>{2, 2}));

  // A menu opened by a left click, an item chosen, and the control clicked again
  // at once: a click that opens the menu again, not a double-click.
  box->mOwnMenu = false;
  box->mMenuOnLeftClick = true;
  box->mEvents.clear();
  mGui.SetMenuShownHook([&](int, unsigned long w, int rx, int ry) {
    SendButton(w, ButtonPress, Button1, 5, 0, 0, 1050, rx + 10, ItemY(ry, 1));
    XFlush(mDpy);
  });
  Click(20, 20, Button1, 1000);
  Click(20, 20, Button1, 1100);
  EXPECT_EQ(std::count(box->mEvents.begin(), box->mEvents.end(), "dbl"), 0);
  EXPECT_EQ(std::count(box->mEvents.begin(), box->mEvents.end(), "down"), 2);
  EXPECT_EQ(box->mChoices, (std::vector<int>{2, 2, 1, 1}));
}

// Outside programs are found on PATH and run without a shell: fake ones here.
class FakePrograms {
public:
  FakePrograms()
  {
    char tmpl[] = "/tmp/tav-x11-XXXXXX";
    mDir = mkdtemp(tmpl) ? tmpl : "";
    mOldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", mDir.c_str(), 1);
  }
  ~FakePrograms()
  {
    setenv("PATH", mOldPath.c_str(), 1);
    for (const std::string& f : mFiles) unlink(f.c_str());
    rmdir(mDir.c_str());
  }
  void Add(const char* name, const std::string& script)
  {
    const std::string path = mDir + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
    chmod(path.c_str(), 0755);
    mFiles.push_back(path);
  }
  std::string Marker() { return mDir + "/marker"; }
  bool MarkerExists()
  {
    // The opener runs detached: give it a moment.
    for (int i = 0; i < 100; ++i) {
      if (access(Marker().c_str(), F_OK) == 0) {
        mFiles.push_back(Marker());
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

private:
  std::string mDir, mOldPath;
  std::vector<std::string> mFiles;
};

TEST_F(X11Window, FileDialogAndWebAddressThroughOutsidePrograms)
{
  FakePrograms fake;
  std::string path = "old";
  Open();
  mGui.PromptForFile(path, IGraphics::kFileOpen, "/tmp");
  EXPECT_EQ(path, ""); // no dialog program at all
  EXPECT_FALSE(mGui.OpenURL("https://example.org/", "Tavrinel", nullptr, nullptr));

  fake.Add("zenity", "case \"$2\" in --save) echo \"/tmp/saved file.preset\";; *) [ \"$2\" = --filename=/tmp/ ] && echo /tmp/a.preset;; esac");
  mGui.PromptForFile(path, IGraphics::kFileOpen, "/tmp");
  EXPECT_EQ(path, "/tmp/a.preset");
  mGui.PromptForFile(path, IGraphics::kFileSave, "/tmp");
  EXPECT_EQ(path, "/tmp/saved file.preset");
  mGui.CloseWindow();
  mGui.PromptForFile(path, IGraphics::kFileOpen, "/tmp");
  EXPECT_EQ(path, ""); // only with an open window

  // A question answered No opens nothing; without one the address is opened.
  fake.Add("xdg-open", "echo \"$1\" > " + fake.Marker());
  fake.Add("zenity", "exit 1");
  EXPECT_FALSE(mGui.OpenURL("https://example.org/", "Tavrinel", "Open the manual?", nullptr));
  EXPECT_FALSE(fake.MarkerExists());
  EXPECT_TRUE(mGui.OpenURL("https://example.org/", "Tavrinel", nullptr, nullptr));
  EXPECT_TRUE(fake.MarkerExists());
  // The opener may have made the file without having written to it yet.
  std::string opened;
  for (int i = 0; i < 100 && opened.empty(); ++i) {
    std::ifstream in(fake.Marker());
    if (!std::getline(in, opened) || in.eof()) opened.clear();
    if (opened.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(opened, "https://example.org/");

  IColor c(255, 1, 2, 3);
  EXPECT_FALSE(mGui.PromptForColor(c, "Colour"));
  EXPECT_EQ(c, IColor(255, 1, 2, 3));
}

} // namespace

TEST_F(X11Window, TheScreensDensitySetsTheFactor)
{
  // Xft.dpi as desktops publish it, on the root window; GDK_SCALE wins over it.
  const Atom rm = XInternAtom(mDpy, "RESOURCE_MANAGER", False);
  const std::string resources = "Xcursor.size:\t24\nXft.dpi:\t144\n";
  XChangeProperty(mDpy, mRoot, rm, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources.c_str()), static_cast<int>(resources.size()));
  XSync(mDpy, False);
  const char* gdk = std::getenv("GDK_SCALE");
  const std::string keptGdk = gdk ? gdk : "";
  unsetenv("GDK_SCALE");
  Recorder* c = Add(IRECT(40, 20, 80, 60));
  Open();
  EXPECT_EQ(mGui.GetScale(), 1.5);
  XWindowAttributes a;
  XGetWindowAttributes(mDpy, mWin, &a);
  EXPECT_EQ(a.width, 180);
  EXPECT_EQ(a.height, 120);
  Click(90, 60, Button1, 1000);  // the control's centre in the window's pixels
  EXPECT_EQ(c->mEvents, (std::vector<std::string>{"down", "up"}));
  mGui.CloseWindow();
  setenv("GDK_SCALE", "2", 1);
  Open();
  EXPECT_EQ(mGui.GetScale(), 2.0);
  // Menus have the factor too: twice as tall, their items where they are drawn.
  Recorder* withMenu = Add(IRECT(0, 0, 20, 20), 2);
  withMenu->mOwnMenu = true;
  int menuHeight = 0;
  mGui.SetMenuShownHook([&](int, unsigned long w, int rx, int ry) {
    XWindowAttributes m;
    XGetWindowAttributes(mDpy, w, &m);
    menuHeight = m.height;
    SendButton(w, ButtonPress, Button1, 0, 0, 0, 0, rx + 10, ry + 2 * (ItemY(0, 2)));  // "C"
    XFlush(mDpy);
  });
  Click(10, 10, Button3, 2000);
  EXPECT_EQ(menuHeight, 2 * (2 * IGraphicsX11::kMenuMargin + 3 * IGraphicsX11::kMenuItemHeight));
  EXPECT_EQ(withMenu->mChoices, (std::vector<int>{3}));
  if (gdk) setenv("GDK_SCALE", keptGdk.c_str(), 1);
  else unsetenv("GDK_SCALE");
  XDeleteProperty(mDpy, mRoot, rm);
  XSync(mDpy, False);
}
