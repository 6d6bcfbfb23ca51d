// The preset menu's "Load ..." and "Save As ..." in the X11 editor a host has
// opened, with a stand-in dialog program first on PATH (a script answering
// after a wait) or with none at all. Skips without an X display.
#include "HomeDirectory.h"
#include "IGraphicsX11_x11.h"
#include "TavrinelEditor.h"
#include "TavrinelTestRig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

// Xlib last: its macros collide with the test framework's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono;

std::string Read(const std::string& path)
{
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Alive(pid_t pid) // and no zombie
{
  const std::string stat = Read("/proc/" + std::to_string(pid) + "/stat");
  return stat.rfind(')') != std::string::npos && stat[stat.rfind(')') + 2] != 'Z';
}

int OpenPipes()
{
  int n = 0;
  std::error_code ec;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
    n += std::filesystem::read_symlink(fd.path(), ec).string().rfind("pipe:", 0) == 0;
  return n;
}

class FileDialogs : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!std::getenv("DISPLAY") || !(mDpy = XOpenDisplay(nullptr))) GTEST_SKIP() << "no X display";
    mDir.write("Presets/a.preset", "Tavrinel V1.0\nparam Vel 11\n");
    mDir.write("elsewhere/chosen.preset", "Tavrinel V1.0\nparam Vel 77\n");
    mDir.write("Tavrinel.ini", "PresetFolder \"" + mDir.path("Presets") + "\"\n");
    HomeDirectory::overrideLibraryPath(mDir.path("Tavrinel.so").c_str());
    setenv("PATH", (mDir.path("bin") + ":" + mOldPath).c_str(), 1);
    mParent = XCreateSimpleWindow(mDpy, DefaultRootWindow(mDpy), 0, 0, 720, 650, 0, 0, 0);
    XMapWindow(mDpy, mParent);
    XSync(mDpy, False);
    OpenEditor();
  }
  void TearDown() override
  {
    mRig.reset();
    setenv("PATH", mOldPath.c_str(), 1);
    HomeDirectory::overrideLibraryPath(nullptr);
    if (mDpy) XCloseDisplay(mDpy);
  }
  void OpenEditor()
  {
    if (!mRig) mRig.reset(new TavrinelRig);
    ASSERT_EQ(mRig->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(mParent))), 1);
    ASSERT_NE(mGui = dynamic_cast<IGraphicsX11*>(mRig->plug->GetGraphics()), nullptr);
  }
  // Answers the chosen file after a wait, the pid of its sleep in a file.
  void FakeDialog(int seconds)
  {
    mDir.write("bin/zenity", "#!/bin/sh\nsleep " + std::to_string(seconds) + " & echo $! > '" + mDir.path("sleeper") +
                               "'; wait; echo '" + mDir.path("elsewhere/chosen.preset") + "'\n");
    chmod(mDir.path("bin/zenity").c_str(), 0755);
  }
  // A button press or release, or a key press, of our own making.
  void Send(Window w, int type, int x, int y, int rootX = 0, int rootY = 0, KeySym key = 0)
  {
    XEvent ev{};
    XButtonEvent& b = ev.xbutton; // a key event has the same fields up to the button
    b.type = type;
    b.window = w;
    b.root = DefaultRootWindow(mDpy);
    b.x = x, b.y = y, b.x_root = rootX, b.y_root = rootY;
    b.time = mTime += 1000;
    b.same_screen = True;
    if (type == KeyPress) ev.xkey.keycode = XKeysymToKeycode(mDpy, key);
    else b.button = Button1, b.state = type == ButtonRelease ? Button1Mask : 0;
    XSendEvent(mDpy, w, False, 0, &ev);
    XFlush(mDpy);
  }
  void Idle(int n = 10)
  {
    for (int i = 0; i < n; ++i, std::this_thread::sleep_for(milliseconds(5))) mRig->Dispatch(effEditIdle);
  }
  // Clicks the preset name and picks the entry after that many items and
  // separators of the menu ("a", -, "Load ...", -, "Save", "Save As ...", -, "Rescan").
  void Choose(int items, int separators)
  {
    const int y = IGraphicsX11::kMenuMargin + items * IGraphicsX11::kMenuItemHeight +
                  separators * IGraphicsX11::kMenuSeparatorHeight + IGraphicsX11::kMenuItemHeight / 2;
    mGui->SetMenuShownHook([&](int, unsigned long w, int rx, int ry) { Send(w, ButtonPress, 20, y, rx + 20, ry + y); });
    Send(mGui->GetXWindow(), ButtonPress, 600, 524);
    Send(mGui->GetXWindow(), ButtonRelease, 600, 524);
    Idle();
    mGui->SetMenuShownHook(nullptr);
  }
  void Load() { Choose(1, 1); }
  void SaveAs() { Choose(3, 2); }
  void Type(const char* text)
  {
    for (const char* c = text; *c; ++c) Send(mGui->GetXWindow(), KeyPress, 5, 5, 0, 0, static_cast<KeySym>(*c));
    Send(mGui->GetXWindow(), KeyPress, 5, 5, 0, 0, XK_Return);
    Idle();
  }

  TempDir mDir{"tav_dialogs_"};
  const std::string mOldPath = std::getenv("PATH");
  Display* mDpy = nullptr;
  Window mParent = 0;
  unsigned long mTime = 0;
  std::unique_ptr<TavrinelRig> mRig;
  IGraphicsX11* mGui = nullptr;
};

TEST_F(FileDialogs, LoadAsksWithoutHoldingUpTheHost)
{
  FakeDialog(1);
  Load();
  ASSERT_TRUE(mGui->IsFileDialogOpen());
  // While it is open the host's idle calls return at once and the editor
  // keeps drawing what the host changes.
  const ITextControl* swing = mRig->plug->GetEditor()->GetReadOut(5)->GetTextControl();
  const std::string swingBefore = swing->GetText();
  AEffect* e = mRig->effect;
  e->setParameter(e, kSwing, 1.0f);
  double slowestMs = 0.0;
  bool redrawnWhileOpen = false;
  for (const auto end = steady_clock::now() + seconds(10); mGui->IsFileDialogOpen() && steady_clock::now() < end;) {
    const auto t0 = steady_clock::now();
    mRig->Dispatch(effEditIdle);
    slowestMs = std::max(slowestMs, duration<double, std::milli>(steady_clock::now() - t0).count());
    redrawnWhileOpen = redrawnWhileOpen || (mGui->IsFileDialogOpen() && swingBefore != swing->GetText());
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_LT(slowestMs, 50.0);
  EXPECT_TRUE(redrawnWhileOpen);
  // The idle call that finds the answer loads the file.
  EXPECT_EQ(mRig->plug->GetParam(kVel)->Value(), 77);
  EXPECT_STREQ(mRig->plug->getCurrentPreset().getName(), "chosen");
}

TEST_F(FileDialogs, ClosingTheEditorOrThePlugInEndsAnOpenDialog)
{
  FakeDialog(30);
  const int pipes = OpenPipes();
  for (bool closePlugIn : {false, true}) {
    Load();
    const pid_t dialog = mGui->GetFileDialogPid();
    pid_t sleeper = 0;
    for (int i = 0; i < 200 && !(std::ifstream(mDir.path("sleeper")) >> sleeper); ++i) Idle(1);
    ASSERT_TRUE(dialog > 0 && Alive(dialog) && sleeper > 0 && Alive(sleeper));
    if (closePlugIn) mRig.reset();
    else mRig->Dispatch(effEditClose);
    // Reaped: no child of the host is left, not even a zombie; what it started has gone too.
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_FALSE(Alive(dialog));
    for (int i = 0; i < 100 && Alive(sleeper); ++i) std::this_thread::sleep_for(milliseconds(10));
    EXPECT_FALSE(Alive(sleeper));
    EXPECT_EQ(OpenPipes(), pipes);
    std::filesystem::remove(mDir.path("sleeper"));
    if (!closePlugIn) OpenEditor();
  }
}

TEST_F(FileDialogs, WithoutADialogProgramTheEditorSaysSoAndSavesByName)
{
  setenv("PATH", mDir.path("bin").c_str(), 1); // nothing there
  Load();
  EXPECT_NE(mGui->GetMessage().find("No file dialog program"), std::string::npos);
  XImage* strip = XGetImage(mDpy, mGui->GetXWindow(), 6, 506, 1, 1, AllPlanes, ZPixmap); // on the screen too
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(XGetPixel(strip, 0, 0) & 0xFFFFFF, 0xFFECA0u);
  XDestroyImage(strip);

  // A name taken already overwrites nothing; a new one is saved in the preset folder.
  mRig->Set(kVel, 55);
  SaveAs();
  EXPECT_NE(mGui->GetMessage().find("type a name"), std::string::npos);
  ASSERT_TRUE(mGui->IsTextEntryOpen());
  Type("a");
  EXPECT_NE(mGui->GetMessage().find("exists"), std::string::npos);
  EXPECT_EQ(Read(mDir.path("Presets/a.preset")), "Tavrinel V1.0\nparam Vel 11\n");
  SaveAs();
  Type("mine");
  EXPECT_NE(Read(mDir.path("Presets/mine.preset")).find("\nparam Vel 55.000000000000\n"), std::string::npos);
  EXPECT_STREQ(mRig->plug->getCurrentPreset().getName(), "mine");
  EXPECT_EQ(mGui->GetMessage(), "");
}

} // namespace
