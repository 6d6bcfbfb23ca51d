// The built plug-in's editor opened by a host the way a Linux DAW opens it:
// effEditOpen with the host's X window as parent, then the host's idle calls.
// Needs an X display (the test run provides a virtual one); skips without.
#include "LiceDraw.h"
#include "LicePng.h"
#include "VstHostSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

// Xlib last: its macros (None, Bool, True, False) collide with the test framework's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

namespace {

TEST(EditorInHost, OpensInTheHostsWindowAndShowsThePanel)
{
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  const std::string path = TestPluginPath();
  if (path.empty()) GTEST_SKIP() << "plug-in library not built";
  Display* d = XOpenDisplay(nullptr);
  if (!d) GTEST_SKIP() << "X display cannot be opened";

  VstHost host;
  ASSERT_TRUE(host.Load(path)) << host.Error();
  ASSERT_TRUE(host.Open(44100.0, 512)) << host.Error();
  ASSERT_TRUE(host.Effect()->flags & effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  const int w = rect->right - rect->left, h = rect->bottom - rect->top;
  EXPECT_EQ(w, 720);
  EXPECT_EQ(h, 650);

  Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, w, h, 0, 0, 0);
  XMapWindow(d, parent);
  XSync(d, False);
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
  for (int i = 0; i < 20; ++i) {
    host.Dispatch(effEditIdle);
    usleep(10000);
  }
  XSync(d, False);

  // Most of what the host's window shows is the panel's background image; the
  // rest is controls drawn over it.
  std::unique_ptr<LICE_IBitmap> background(
    LICE_LoadPNGFromFile((std::string(TAV_SOURCE_DIR) + "/resources/img/background.png").c_str()));
  ASSERT_TRUE(background);
  XImage* image = XGetImage(d, parent, 0, 0, w, h, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  int same = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned long px = XGetPixel(image, x, y) & 0xFFFFFF;
      if (px == (LICE_GetPixel(background.get(), x, y) & 0xFFFFFF)) ++same;
    }
  XDestroyImage(image);
  EXPECT_GT(same, w * h / 3) << same << " of " << w * h << " pixels show the background";
  EXPECT_LT(same, w * h) << "no control drawn over the background";

  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  host.Close();
  XDestroyWindow(d, parent);
  XCloseDisplay(d);
}

} // namespace
