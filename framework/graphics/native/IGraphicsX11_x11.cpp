#include "IGraphicsX11_x11.h"

#include "ChildProcess_posix.h"
#include "IPlugBase.h"
#include "LiceDraw.h"
#include "LicePng.h"
#include "LiceText.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- X objects ----

struct IGraphicsX11::XState {
  Display* dpy = nullptr;
  Window win = 0;
  Window root = 0;
  bool topLevel = false;
  GC gc = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0; // ours, when the window has a visual other than its parent's
  XImage* image = nullptr;
  Atom wmDelete = 0;

  ~XState()
  {
    if (!dpy) return;
    if (image) XDestroyImage(image);
    if (gc) XFreeGC(dpy, gc);
    if (win) XDestroyWindow(dpy, win);
    if (colormap) XFreeColormap(dpy, colormap);
    XCloseDisplay(dpy);
  }
};

struct IGraphicsX11::Menu {
  struct Entry {
    std::string text;
    int flags = 0;
    int id = 0; // 1-based depth-first number of an item without sub-menu; 0 for an item with one
    bool checked = false;
    std::unique_ptr<Menu> sub;
  };
  std::vector<Entry> entries;
};

namespace {

// ---- X error trap: errors of our own requests must not end the host ----
int g_xError = 0;
int TrapXError(Display*, XErrorEvent* e)
{
  g_xError = e->error_code;
  return 0;
}

class ErrorTrap {
public:
  explicit ErrorTrap(Display* dpy) : mDpy(dpy)
  {
    XSync(mDpy, False);
    g_xError = 0;
    mOld = XSetErrorHandler(TrapXError);
  }
  ~ErrorTrap()
  {
    XSync(mDpy, False);
    XSetErrorHandler(mOld);
  }
  bool Failed()
  {
    XSync(mDpy, False);
    return g_xError != 0;
  }

private:
  Display* mDpy;
  XErrorHandler mOld;
};

int64_t NowMs()
{
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool NativeLittleEndian()
{
  const uint16_t one = 1;
  unsigned char b;
  std::memcpy(&b, &one, 1);
  return b == 1;
}

bool IsStandardRGB(const Visual* v)
{
  return v->red_mask == 0xFF0000 && v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
}

// One 8-bit channel scaled into the bits of a visual's mask.
unsigned long ToMask(int c, unsigned long mask)
{
  if (!mask) return 0;
  int shift = 0, bits = 0;
  while (!((mask >> shift) & 1)) ++shift;
  while ((mask >> (shift + bits)) & 1) ++bits;
  unsigned long v = static_cast<unsigned long>(c);
  v = bits <= 8 ? (v >> (8 - bits)) : (v << (bits - 8));
  return (v << shift) & mask;
}

// An image of w x h in the visual's format; ZPixmap with our own pixel memory.
XImage* MakeImage(Display* dpy, Visual* visual, int depth, int w, int h)
{
  if (w <= 0 || h <= 0) return nullptr;
  XImage* img = XCreateImage(dpy, visual, depth, ZPixmap, 0, nullptr, w, h, 32, 0);
  if (!img) return nullptr;
  img->data = static_cast<char*>(std::calloc(static_cast<size_t>(img->bytes_per_line), static_cast<size_t>(h)));
  if (!img->data) {
    XDestroyImage(img);
    return nullptr;
  }
  // 32-bit pixels in the surface's own layout are written as they are; Xlib swaps
  // them on the way when the server's byte order differs.
  if (img->bits_per_pixel == 32 && IsStandardRGB(visual)) img->byte_order = NativeLittleEndian() ? LSBFirst : MSBFirst;
  return img;
}

// Copies w x h surface pixels (0xAARRGGBB) to (dx, dy) of the image, converting
// to the visual's format when it is not 32-bit RGB.
void PutPixels(XImage* img, Visual* visual, const LICE_pixel* src, int span, int dx, int dy, int w, int h)
{
  if (!img || !src) return;
  if (dx < 0) { src -= dx; w += dx; dx = 0; }
  if (dy < 0) { src -= static_cast<ptrdiff_t>(dy) * span; h += dy; dy = 0; }
  if (dx + w > img->width) w = img->width - dx;
  if (dy + h > img->height) h = img->height - dy;
  if (w <= 0 || h <= 0) return;
  const bool fast = img->bits_per_pixel == 32 && IsStandardRGB(visual);
  for (int y = 0; y < h; ++y) {
    const LICE_pixel* s = src + static_cast<ptrdiff_t>(y) * span;
    if (fast) {
      uint32_t* d = reinterpret_cast<uint32_t*>(img->data + static_cast<ptrdiff_t>(dy + y) * img->bytes_per_line) + dx;
      for (int x = 0; x < w; ++x) d[x] = s[x] | 0xFF000000u;
    } else {
      for (int x = 0; x < w; ++x) {
        const LICE_pixel p = s[x];
        const unsigned long v = ToMask(LICE_GETR(p), visual->red_mask) | ToMask(LICE_GETG(p), visual->green_mask) |
                                ToMask(LICE_GETB(p), visual->blue_mask);
        XPutPixel(img, dx + x, dy + y, v);
      }
    }
  }
}

// A top-level window's size, fixed for the window manager.
void SetFixedSize(Display* dpy, Window win, int w, int h)
{
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  hints->flags = PMinSize | PMaxSize;
  hints->min_width = hints->max_width = w;
  hints->min_height = hints->max_height = h;
  XSetWMNormalHints(dpy, win, hints);
  XFree(hints);
}

IMouseMod ModOf(unsigned int state)
{
  return IMouseMod((state & Button1Mask) != 0, (state & Button3Mask) != 0, (state & ShiftMask) != 0,
                   (state & ControlMask) != 0, (state & Mod1Mask) != 0);
}

// Key code of the control model, or -1 for keys the editor does not take.
int MapKey(KeySym ks)
{
  switch (ks) {
    case XK_space: return 0;
    case XK_Up: return 1;
    case XK_Down: return 2;
    case XK_Left: return 3;
    case XK_Right: return 4;
    default: break;
  }
  if (ks >= XK_0 && ks <= XK_9) return 5 + static_cast<int>(ks - XK_0);
  if (ks >= XK_a && ks <= XK_z) return 15 + static_cast<int>(ks - XK_a);
  if (ks >= XK_A && ks <= XK_Z) return 15 + static_cast<int>(ks - XK_A);
  return -1;
}

LICE_TextFormat EntryFormat(double scale = 1.0)
{
  LICE_TextFormat f;
  f.face = "Arial";
  f.size = static_cast<int>(std::lround(14 * scale));
  f.align = LICE_TEXT_ALIGN_CENTER;
  f.color = LICE_RGBA(0, 0, 0, 255);
  return f;
}

// ---- outside programs (no shell) ----

std::string FindOnPath(const char* name)
{
  const char* path = std::getenv("PATH");
  if (!path) return std::string();
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string full = dir + "/" + name;
    if (access(full.c_str(), X_OK) == 0) return full;
    start = end + 1;
  }
  return std::string();
}

std::vector<char*> ArgvOf(std::vector<std::string>& args)
{
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return argv;
}

// A pipe (pipe2 flags as given), /dev/null opened close-on-exec in devNull (-1
// when it cannot be opened), then a fork: the child's pid, 0 in the child, or
// -1 with the pipe and /dev/null closed again.
pid_t ForkWithPipe(int fds[2], int pipeFlags, int& devNull)
{
  devNull = -1;
  if (pipe2(fds, pipeFlags) != 0) return -1;
  devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    if (devNull >= 0) close(devNull);
    devNull = -1;
  }
  return pid;
}

// Runs the program and waits for it; its standard output into *out. The exit
// status, or -1 when it could not be started or its status is unknown.
int RunAndWait(const std::string& exe, const std::vector<std::string>& args, std::string* out)
{
  ChildProcess program;
  if (!program.Start(exe, args)) return -1;
  program.Wait();
  if (out) *out = program.Output();
  return program.ExitStatus();
}

// Starts the program without waiting for it (a grandchild, so no zombie is
// left behind); whether it was started.
bool StartDetached(const std::string& exe, std::vector<std::string> args)
{
  std::vector<char*> argv = ArgvOf(args);
  int fds[2];
  int devNull = -1;
  const pid_t pid = ForkWithPipe(fds, O_CLOEXEC, devNull);
  if (pid < 0) return false;
  if (pid == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      if (devNull >= 0) {
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(devNull, 2);
      }
      execv(exe.c_str(), argv.data());
      const int err = errno;
      ssize_t ignored = write(fds[1], &err, sizeof err);
      (void)ignored;
      _exit(127);
    }
    if (grandchild < 0) {
      const int err = errno;
      ssize_t ignored = write(fds[1], &err, sizeof err);
      (void)ignored;
    }
    _exit(0);
  }
  close(fds[1]);
  if (devNull >= 0) close(devNull);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes unread when exec succeeds; an errno arrives when it failed.
  int err = 0;
  ssize_t n;
  do {
    n = read(fds[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  close(fds[0]);
  return n == 0;
}

// A yes/no question through zenity or kdialog; false when neither exists.
bool AskYesNo(const char* caption, const char* message)
{
  const std::string title = caption ? caption : "";
  std::string exe = FindOnPath("zenity");
  if (!exe.empty()) return RunAndWait(exe, {"zenity", "--question", "--title=" + title, "--text=" + std::string(message)}, nullptr) == 0;
  exe = FindOnPath("kdialog");
  if (!exe.empty()) return RunAndWait(exe, {"kdialog", "--title", title, "--yesno", message}, nullptr) == 0;
  return false;
}

void ShowError(const char* caption, const char* message)
{
  const std::string title = caption ? caption : "";
  std::string exe = FindOnPath("zenity");
  if (!exe.empty()) {
    RunAndWait(exe, {"zenity", "--error", "--title=" + title, "--text=" + std::string(message)}, nullptr);
    return;
  }
  exe = FindOnPath("kdialog");
  if (!exe.empty()) RunAndWait(exe, {"kdialog", "--title", title, "--error", message}, nullptr);
}

// The program and arguments of a file dialog starting in dir (with its
// trailing '/'); false when neither zenity nor kdialog is on PATH.
bool FileDialogCommand(int action, const std::string& dir, std::string& exe, std::vector<std::string>& args)
{
  if (!(exe = FindOnPath("zenity")).empty()) {
    args = {"zenity", "--file-selection"};
    if (action == IGraphics::kFileSave) args.push_back("--save");
    if (!dir.empty()) args.push_back("--filename=" + dir);
    return true;
  }
  if (!(exe = FindOnPath("kdialog")).empty()) {
    args = {"kdialog", action == IGraphics::kFileSave ? "--getsavefilename" : "--getopenfilename",
            dir.empty() ? std::string(".") : dir};
    return true;
  }
  return false;
}

// The path a dialog program answered: its one line of output when it ended
// well (or its status is unknown), else empty (cancelled).
std::string DialogAnswer(int status, std::string out)
{
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return (status == 0 || status == -1) && out.find('\n') == std::string::npos ? out : std::string();
}

// A box of one line of text over the image: the part of box b inside r.
void PutTextBox(XImage* img, Visual* visual, const IRECT& r, const IRECT& b, const std::string& text,
                LICE_pixel background, double scale)
{
  if (!b.Intersects(r)) return;
  LICE_MemBitmap box(b.W(), b.H());
  LICE_Clear(&box, background);
  const LICE_pixel frame = LICE_RGBA(60, 60, 60, 255);
  LICE_FillRect(&box, 0, 0, b.W(), 1, frame, 1.f, 0);
  LICE_FillRect(&box, 0, b.H() - 1, b.W(), 1, frame, 1.f, 0);
  LICE_FillRect(&box, 0, 0, 1, b.H(), frame, 1.f, 0);
  LICE_FillRect(&box, b.W() - 1, 0, 1, b.H(), frame, 1.f, 0);
  LICE_DrawText(&box, text.c_str(), 1, 1, b.W() - 1, b.H() - 1, EntryFormat(scale));
  const IRECT part = b.Intersect(r);
  PutPixels(img, visual, box.GetBits() + static_cast<ptrdiff_t>(part.T - b.T) * box.GetRowSpan() + (part.L - b.L),
            box.GetRowSpan(), part.L, part.T, part.W(), part.H());
}

std::string DirectoryOf(const std::string& file)
{
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

void ModuleAnchor() {}

// ---- popup menus ----

struct MenuLayout {
  struct Cell {
    IRECT r;
    int entry;
  };
  std::vector<Cell> cells;
  int w = 0, h = 0;
  double scale = 1.0;
  // A length of the menu's 1x geometry in pixels.
  int Px(double v) const { return static_cast<int>(std::lround(v * scale)); }
};

MenuLayout LayoutMenu(const IGraphicsX11::Menu& menu, int screenH, double scale);

struct MenuWindow {
  IGraphicsX11::Menu* menu = nullptr;
  Window win = 0;
  IRECT rootRect; // on the screen
  MenuLayout layout;
  LICE_MemBitmap bitmap;
  XImage* image = nullptr;
  int hover = -1;    // entry under the pointer
  int openSub = -1;  // entry whose sub-menu is open
};

} // namespace

// The entries' text widths decide one column width for the whole menu. The
// menu has the editor's factor.
namespace {
MenuLayout LayoutMenu(const IGraphicsX11::Menu& menu, int screenH, double scale)
{
  MenuLayout out;
  out.scale = scale;
  LICE_TextFormat f = EntryFormat(scale);
  int textW = out.Px(40);
  for (const auto& e : menu.entries) {
    int w = 0, h = 0;
    if (!(e.flags & IPopupMenu::Item::kSeparator) && LICE_MeasureText(e.text.c_str(), f, &w, &h))
      textW = std::max(textW, w);
  }
  const int colW = out.Px(IGraphicsX11::kMenuCheckWidth + 22) + textW;
  const int m = out.Px(IGraphicsX11::kMenuMargin);
  int x = m, y = m, maxY = m;
  for (int i = 0; i < static_cast<int>(menu.entries.size()); ++i) {
    const auto& e = menu.entries[static_cast<size_t>(i)];
    const int h = out.Px((e.flags & IPopupMenu::Item::kSeparator) ? IGraphicsX11::kMenuSeparatorHeight
                                                                  : IGraphicsX11::kMenuItemHeight);
    if (y > m && ((e.flags & IPopupMenu::Item::kBreak) || y + h + m > screenH)) {
      x += colW;
      y = m;
    }
    out.cells.push_back({IRECT(x, y, x + colW, y + h), i});
    y += h;
    maxY = std::max(maxY, y);
  }
  out.w = x + colW + m;
  out.h = maxY + m;
  return out;
}

void RenderMenu(MenuWindow& mw)
{
  LICE_IBitmap* bm = &mw.bitmap;
  const MenuLayout& l = mw.layout;
  bm->Resize(mw.layout.w, mw.layout.h);
  LICE_Clear(bm, LICE_RGBA(240, 240, 240, 255));
  const LICE_pixel edge = LICE_RGBA(120, 120, 120, 255);
  LICE_FillRect(bm, 0, 0, mw.layout.w, 1, edge, 1.f, 0);
  LICE_FillRect(bm, 0, mw.layout.h - 1, mw.layout.w, 1, edge, 1.f, 0);
  LICE_FillRect(bm, 0, 0, 1, mw.layout.h, edge, 1.f, 0);
  LICE_FillRect(bm, mw.layout.w - 1, 0, 1, mw.layout.h, edge, 1.f, 0);
  for (const auto& cell : mw.layout.cells) {
    const auto& e = mw.menu->entries[static_cast<size_t>(cell.entry)];
    const IRECT& r = cell.r;
    if (e.flags & IPopupMenu::Item::kSeparator) {
      LICE_FillRect(bm, r.L + l.Px(4), (r.T + r.B) / 2, r.W() - l.Px(8), l.Px(1), LICE_RGBA(170, 170, 170, 255), 1.f,
                    0);
      continue;
    }
    const bool enabled = !(e.flags & IPopupMenu::Item::kDisabled);
    const bool lit = (enabled && (cell.entry == mw.hover || cell.entry == mw.openSub)) ||
                     (e.flags & IPopupMenu::Item::kHighlighted);
    if (lit) LICE_FillRect(bm, r.L, r.T, r.W(), r.H(), LICE_RGBA(58, 110, 165, 255), 1.f, 0);
    LICE_TextFormat f = EntryFormat(l.scale);
    f.align = LICE_TEXT_ALIGN_LEFT;
    f.color = !enabled ? LICE_RGBA(150, 150, 150, 255) : lit ? LICE_RGBA(255, 255, 255, 255) : LICE_RGBA(0, 0, 0, 255);
    // Check mark and sub-menu arrow: strokes of the 1x geometry, one per device pixel of width.
    auto stroke = [&](double x1, double y1, double x2, double y2) {
      for (int k = 0; k < std::max(1, l.Px(1)); ++k)
        LICE_Line(bm, static_cast<float>(x1 * l.scale + k), static_cast<float>(y1 * l.scale),
                  static_cast<float>(x2 * l.scale + k), static_cast<float>(y2 * l.scale), f.color, 1.f, 0, true);
    };
    const double left = r.L / l.scale, right = r.R / l.scale, top = r.T / l.scale;
    if (e.checked) {
      stroke(left + 5, top + 9, left + 8, top + 13);
      stroke(left + 8, top + 13, left + 14, top + 5);
    }
    LICE_DrawText(bm, e.text.c_str(), r.L + l.Px(IGraphicsX11::kMenuCheckWidth), r.T + l.Px(2), r.R - l.Px(16), r.B,
                  f);
    if (e.sub) {
      stroke(right - 10, top + 5, right - 6, top + 9);
      stroke(right - 6, top + 9, right - 10, top + 13);
    }
  }
}
} // namespace

// ---- construction and window ----

IGraphicsX11::IGraphicsX11(IPlugBase* pPlug, int w, int h, int frameRate) : IGraphicsLice(pPlug, w, h, frameRate) {}

IGraphicsX11::~IGraphicsX11() { CloseWindow(); }

void* IGraphicsX11::GetWindow() { return mX ? reinterpret_cast<void*>(static_cast<uintptr_t>(mX->win)) : nullptr; }

void* IGraphicsX11::GetXDisplay() const { return mX ? mX->dpy : nullptr; }

unsigned long IGraphicsX11::GetXWindow() const { return mX ? mX->win : 0; }

void* IGraphicsX11::OpenWindow(void* pParent)
{
  int x = 0, y = 0, w = 0, h = 0;
  if (mX) {
    XWindowAttributes a;
    if (XGetWindowAttributes(mX->dpy, mX->win, &a)) {
      x = a.x;
      y = a.y;
      w = a.width;
      h = a.height;
    }
    CloseWindow();
  }

  std::unique_ptr<XState> st(new XState());
  st->dpy = XOpenDisplay(nullptr);
  if (!st->dpy) return nullptr;
  Display* dpy = st->dpy;
  SetScaleFrom(kScaleFromScreen, ScreenScale(XResourceManagerString(dpy), std::getenv("GDK_SCALE")));
  if (w <= 0 || h <= 0) {
    w = WindowWidth();
    h = WindowHeight();
  }
  if (w <= 0 || h <= 0) return nullptr;
  if (!GetDrawBitmap()) PrepDraw();
  const int screen = DefaultScreen(dpy);
  st->root = RootWindow(dpy, screen);
  const Window parent = pParent ? static_cast<Window>(reinterpret_cast<uintptr_t>(pParent)) : st->root;
  st->topLevel = !pParent;

  XWindowAttributes pa;
  {
    ErrorTrap trap(dpy);
    const Status ok = XGetWindowAttributes(dpy, parent, &pa);
    if (trap.Failed() || !ok) return nullptr; // the host's window does not exist
  }
  st->visual = pa.visual;
  st->depth = pa.depth;
  bool ownColormap = false;
  if (pa.visual->c_class != TrueColor || (pa.depth != 24 && pa.depth != 32 && pa.depth != 16 && pa.depth != 15)) {
    XVisualInfo vi;
    if (!XMatchVisualInfo(dpy, screen, 24, TrueColor, &vi)) return nullptr;
    st->visual = vi.visual;
    st->depth = 24;
    ownColormap = true;
  }

  XSetWindowAttributes swa;
  std::memset(&swa, 0, sizeof swa);
  swa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                   EnterWindowMask | LeaveWindowMask | StructureNotifyMask;
  swa.background_pixmap = None;
  unsigned long mask = CWEventMask | CWBackPixmap;
  if (ownColormap) {
    st->colormap = XCreateColormap(dpy, parent, st->visual, AllocNone);
    swa.colormap = st->colormap;
    swa.border_pixel = 0;
    mask |= CWColormap | CWBorderPixel;
  }
  {
    ErrorTrap trap(dpy);
    st->win = XCreateWindow(dpy, parent, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, st->depth,
                            InputOutput, st->visual, mask, &swa);
    if (trap.Failed()) st->win = 0;
  }
  if (!st->win) return nullptr;
  st->gc = XCreateGC(dpy, st->win, 0, nullptr);
  if (st->topLevel) {
    XStoreName(dpy, st->win, "IPlug");
    st->wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, st->win, &st->wmDelete, 1);
    SetFixedSize(dpy, st->win, w, h);
  }
  mX = std::move(st);
  if (!RecreateImage()) {
    mX.reset();
    return nullptr;
  }
  XMapWindow(dpy, mX->win);
  XFlush(dpy);
  mLastClickValid = false;
  mCaptured = false;
  mLastTickMs = 0;
  SetAllControlsDirty();
  return GetWindow();
}

bool IGraphicsX11::RecreateImage()
{
  if (!mX) return false;
  if (mX->image) XDestroyImage(mX->image);
  mX->image = MakeImage(mX->dpy, mX->visual, mX->depth, WindowWidth(), WindowHeight());
  return mX->image != nullptr;
}

void IGraphicsX11::CloseWindow()
{
  EndFileDialog();
  HideMessage();
  if (mEditOpen) CloseTextEntry();
  mX.reset();
  mCaptured = false;
}

void IGraphicsX11::Resize(int w, int h)
{
  // The controls are about to be deleted: so is what would answer them.
  EndFileDialog();
  HideMessage();
  if (mEditOpen) CloseTextEntry();
  IGraphics::Resize(w, h);
  ResizeSurface();
  ResizeWindow();
}

void IGraphicsX11::OnScaleChanged()
{
  IGraphicsLice::OnScaleChanged();
  HideMessage();
  if (mEditOpen) mEditRECT = TextEntryRECT();
  ResizeWindow();
}

void IGraphicsX11::ResizeWindow()
{
  if (!mX) return;
  const int w = WindowWidth(), h = WindowHeight();
  if (w > 0 && h > 0) {
    if (mX->topLevel) SetFixedSize(mX->dpy, mX->win, w, h);
    XResizeWindow(mX->dpy, mX->win, static_cast<unsigned>(w), static_cast<unsigned>(h));
  }
  RecreateImage();
  XClearArea(mX->dpy, mX->win, 0, 0, 0, 0, True);
  XFlush(mX->dpy);
}

double IGraphicsX11::ScreenScale(const char* resources, const char* gdkScale)
{
  // GDK_SCALE is a whole factor the user set for this program.
  if (gdkScale && *gdkScale) {
    char* end = nullptr;
    const long v = std::strtol(gdkScale, &end, 10);
    if (end != gdkScale && !*end && v >= 1 && v <= 8) return static_cast<double>(v);
  }
  // Xft.dpi in the resource database: 96 is 100 %.
  const char* key = "Xft.dpi:";
  for (const char* p = resources; p && *p;) {
    const char* line = p;
    const char* nl = std::strchr(p, '\n');
    p = nl ? nl + 1 : nullptr;
    if (std::strncmp(line, key, std::strlen(key)) != 0) continue;
    const double dpi = std::strtod(line + std::strlen(key), nullptr);
    return dpi > 0.0 && dpi < 10000.0 ? dpi / 96.0 : 0.0;
  }
  return 0.0;
}

// ---- screen ----

void IGraphicsX11::ConvertToImage(const IRECT& r)
{
  LICE_IBitmap* surface = GetDrawBitmap();
  if (!mX || !mX->image || !surface) return;
  PutPixels(mX->image, mX->visual, surface->GetBits() + static_cast<ptrdiff_t>(r.T) * surface->GetRowSpan() + r.L,
            surface->GetRowSpan(), r.L, r.T, std::min(r.W(), surface->GetWidth() - r.L),
            std::min(r.H(), surface->GetHeight() - r.T));
  if (!mMessage.empty())
    PutTextBox(mX->image, mX->visual, r, mMessageRECT, mMessage, LICE_RGBA(255, 236, 160, 255), GetScale());
  // The entry box, its text on light blue while selected.
  if (mEditOpen)
    PutTextBox(mX->image, mX->visual, r, mEditRECT, mEditText,
               mEditSelectAll ? LICE_RGBA(180, 210, 255, 255) : LICE_RGBA(255, 255, 255, 255), GetScale());
}

bool IGraphicsX11::DrawScreen(const IRECT& rect)
{
  if (!mX || !mX->image) return false;
  IRECT r = rect.Intersect(IRECT(0, 0, mX->image->width, mX->image->height));
  if (r.W() <= 0 || r.H() <= 0) return true;
  ConvertToImage(r);
  XPutImage(mX->dpy, mX->win, mX->gc, mX->image, r.L, r.T, r.L, r.T, static_cast<unsigned>(r.W()),
            static_cast<unsigned>(r.H()));
  XFlush(mX->dpy);
  return true;
}

bool IGraphicsX11::DrawIText(const IText& text, const char* str, const IRECT& r)
{
  if (!str || !*str) return true;
  return RasterizeText(text, str, r);
}

// ---- events ----

void IGraphicsX11::Idle()
{
  if (!mX || mInIdle) return;
  mInIdle = true;
  pollfd p;
  p.fd = ConnectionNumber(mX->dpy);
  p.events = POLLIN;
  p.revents = 0;
  if (XEventsQueued(mX->dpy, QueuedAlready) > 0 || poll(&p, 1, 0) > 0) ProcessEvents();
  const int64_t now = NowMs();
  if (mX && now - mLastTickMs >= 1000 / FPS()) {
    mLastTickMs = now;
    OnTimer();
  }
  if (mMessageEndMs && now >= mMessageEndMs) HideMessage();
  PollFileDialog(); // last: what the answer does may close the window
  mInIdle = false;
}

int IGraphicsX11::ProcessEvents()
{
  int n = 0;
  while (mX && XPending(mX->dpy) > 0) {
    XEvent ev;
    XNextEvent(mX->dpy, &ev);
    HandleEvent(&ev);
    ++n;
  }
  return n;
}

bool IGraphicsX11::OnTimer()
{
  IRECT r;
  if (!IsDirty(r)) return false;
  Draw(r);
  if (mEditOpen) RefreshTextEntry();
  return true;
}

void IGraphicsX11::HandleEvent(void* pXEvent)
{
  XEvent& e = *static_cast<XEvent*>(pXEvent);
  if (!mX || e.xany.window != mX->win) return;
  switch (e.type) {
    case Expose: {
      const XExposeEvent& x = e.xexpose;
      Draw(IRECT(x.x, x.y, x.x + x.width, x.y + x.height));
      break;
    }
    case ButtonPress: {
      const XButtonEvent& b = e.xbutton;
      mPointerX = b.x;
      mPointerY = b.y;
      IMouseMod mod = ModOf(b.state);
      if (b.button == Button4 || b.button == Button5) {
        if (!mEditOpen) OnMouseWheel(b.x, b.y, mod, b.button == Button4 ? 1 : -1);
        break;
      }
      if (b.button != Button1 && b.button != Button3) break;
      HideMessage();
      if (b.button == Button1) mod.L = true;
      else mod.R = true;
      if (mEditOpen) {
        if (b.button == Button3) { // cancel, and nothing else
          CloseTextEntry();
          break;
        }
        CommitTextEntry();
      }
      {
        // Keys come to us once the editor was clicked, as on other systems.
        ErrorTrap trap(mX->dpy);
        XSetInputFocus(mX->dpy, mX->win, RevertToParent, CurrentTime);
      }
      if (b.button == Button1 && mLastClickValid &&
          static_cast<uint32_t>(b.time - mLastClickTime) < static_cast<uint32_t>(kDoubleClickMs) &&
          std::abs(b.x - mLastClickX) <= kDoubleClickPx && std::abs(b.y - mLastClickY) <= kDoubleClickPx) {
        mLastClickValid = false;
        if (OnMouseDblClick(b.x, b.y, mod)) mCaptured = true;
        break;
      }
      mLastClickValid = b.button == Button1;
      mLastClickTime = b.time;
      mLastClickX = b.x;
      mLastClickY = b.y;
      mCaptured = true;
      OnMouseDown(b.x, b.y, mod);
      break;
    }
    case ButtonRelease: {
      const XButtonEvent& b = e.xbutton;
      if (b.button != Button1 && b.button != Button3) break;
      IMouseMod mod = ModOf(b.state);
      if (b.button == Button1) mod.L = false;
      else mod.R = false;
      mCaptured = false;
      OnMouseUp(b.x, b.y, mod);
      break;
    }
    case MotionNotify: {
      // Only the latest position of a burst matters; a motion after a button
      // event is a burst of its own, so only motions next in the queue join.
      while (XPending(mX->dpy) > 0) {
        XEvent next;
        XPeekEvent(mX->dpy, &next);
        if (next.type != MotionNotify || next.xany.window != mX->win) break;
        XNextEvent(mX->dpy, &e);
      }
      const XMotionEvent& m = e.xmotion;
      mPointerX = m.x;
      mPointerY = m.y;
      const IMouseMod mod = ModOf(m.state);
      if (mod.L || mod.R) {
        if (mCaptured) OnMouseDrag(m.x, m.y, mod);
      } else {
        OnMouseOver(m.x, m.y, mod);
      }
      break;
    }
    case LeaveNotify:
      if (e.xcrossing.mode == NotifyNormal) OnMouseOut();
      break;
    case KeyPress: {
      if (mEditOpen) {
        TextEntryKey(&e.xkey);
        break;
      }
      const int key = MapKey(XLookupKeysym(&e.xkey, 0));
      if (key >= 0) {
        const IMouseMod held = ModOf(e.xkey.state);
        OnKeyDown(e.xkey.x, e.xkey.y, key, IMouseMod(false, false, held.S, held.C, held.A));
      }
      break;
    }
    case ClientMessage:
      if (mX->wmDelete && static_cast<Atom>(e.xclient.data.l[0]) == mX->wmDelete) CloseWindow();
      break;
    default: break;
  }
}

// ---- text entry ----

IRECT IGraphicsX11::TextEntryRECT() const
{
  int tw = 0, th = 0;
  LICE_MeasureText(mEditText.c_str(), EntryFormat(GetScale()), &tw, &th);
  const IRECT c = mEditControl ? ToDevice(mEditControl->GetRECT()) : IRECT();
  // A text of PromptForText (a name) gets at least the control's width.
  const int w = std::max(mEditDone ? c.W() : ToDevice(36), tw + ToDevice(8));
  const int h = ToDevice(16);
  const int cx = (c.L + c.R) / 2, cy = (c.T + c.B) / 2;
  int l = cx - w / 2, t = cy - h / 2;
  l = std::max(0, std::min(l, WindowWidth() - w));
  t = std::max(0, std::min(t, WindowHeight() - h));
  return IRECT(l, t, l + w, t + h);
}

void IGraphicsX11::OpenTextEntry(IControl* pControl, IPlugParam* pParam, const std::string& text)
{
  SetEditTarget(pControl, pParam);
  mEditText = text;
  mEditShown = text;
  mEditSelectAll = true;
  mEditOpen = true;
  mEditRECT = TextEntryRECT();
  DrawScreen(mEditRECT);
}

void IGraphicsX11::CommitTextEntry()
{
  if (!mEditOpen) return;
  if (mEditDone) {
    const TextEntered done = std::move(mEditDone);
    const std::string text = mEditText;
    CloseTextEntry();
    done(text);
    return;
  }
  IControl* control = mEditControl;
  IPlugParam* param = mEditParam;
  if (control && param) CommitTypedText(control, param, mEditText);
  CloseTextEntry();
}

void IGraphicsX11::CloseTextEntry()
{
  if (!mEditOpen) return;
  const IRECT old = mEditRECT;
  mEditOpen = false;
  mEditDone = nullptr;
  mEditText.clear();
  mEditRECT = IRECT();
  SetEditTarget(nullptr, nullptr);
  DrawScreen(old); // the surface below the box
}

void IGraphicsX11::RefreshTextEntry()
{
  if (!mEditOpen || !mEditParam || mEditParam->NDisplayTexts() > 0) return;
  char display[IPlugParam::MAX_PARAM_DISPLAY_LEN];
  mEditParam->FormatDisplay(display, mEditParam->Value(), false);
  // Only a changed value replaces the text, so typing is never lost to a redraw.
  if (mEditShown == display) return;
  const IRECT old = mEditRECT;
  mEditShown = display;
  mEditText = display;
  mEditSelectAll = true;
  mEditRECT = TextEntryRECT();
  DrawScreen(old.Union(mEditRECT));
}

bool IGraphicsX11::TextEntryKey(void* pXKeyEvent)
{
  XKeyEvent* k = static_cast<XKeyEvent*>(pXKeyEvent);
  char buf[32];
  KeySym ks = NoSymbol;
  const int n = XLookupString(k, buf, sizeof buf - 1, &ks, nullptr);
  if (ks == XK_Return || ks == XK_KP_Enter) {
    CommitTextEntry();
    return true;
  }
  if (ks == XK_Escape) {
    CloseTextEntry();
    return true;
  }
  const IRECT old = mEditRECT;
  if (ks == XK_BackSpace || ks == XK_Delete) {
    if (mEditSelectAll) {
      mEditText.clear();
    } else if (!mEditText.empty()) {
      size_t len = mEditText.size() - 1; // whole UTF-8 characters
      while (len > 0 && (static_cast<unsigned char>(mEditText[len]) & 0xC0) == 0x80) --len;
      mEditText.resize(len);
    }
  } else if (n > 0 && static_cast<unsigned char>(buf[0]) >= 0x20 && buf[0] != 0x7F) {
    if (mEditSelectAll) mEditText.clear();
    if (mEditText.size() + static_cast<size_t>(n) <= 1000) mEditText.append(buf, static_cast<size_t>(n));
  } else {
    return false;
  }
  mEditSelectAll = false;
  mEditRECT = TextEntryRECT();
  DrawScreen(old.Union(mEditRECT));
  return true;
}

// ---- prompts and menus ----

bool IGraphicsX11::FillPopupMenu(void* pNativeMenu, int& idCounter, IPopupMenu* pMenu)
{
  if (!pMenu) return false;
  Menu* out = static_cast<Menu*>(pNativeMenu);
  bool anyChecked = false;
  for (int i = 0; i < pMenu->NItems(); ++i) {
    const IPopupMenu::Item* item = pMenu->GetItemAtLevel(i);
    Menu::Entry e;
    e.text = item->GetText();
    e.flags = item->GetFlags();
    e.checked = item->GetChecked();
    if (IPopupMenu* sub = item->GetSubmenu()) {
      e.sub.reset(new Menu());
      const bool subChecked = FillPopupMenu(e.sub.get(), idCounter, sub);
      if (subChecked && !item->HasFlag(IPopupMenu::Item::kNoParentCheck)) e.checked = true;
    } else {
      e.id = idCounter++;
    }
    if (e.checked) anyChecked = true;
    if (out) out->entries.push_back(std::move(e));
  }
  return anyChecked;
}

int IGraphicsX11::TrackMenu(Menu& menu)
{
  if (!mX || menu.entries.empty()) return 0;
  Display* dpy = mX->dpy;
  const int screen = DefaultScreen(dpy);
  const int screenW = DisplayWidth(dpy, screen), screenH = DisplayHeight(dpy, screen);
  std::vector<std::unique_ptr<MenuWindow>> stack;

  auto paint = [&](MenuWindow& mw) {
    RenderMenu(mw);
    PutPixels(mw.image, mX->visual, mw.bitmap.GetBits(), mw.bitmap.GetRowSpan(), 0, 0, mw.layout.w, mw.layout.h);
    XPutImage(dpy, mw.win, mX->gc, mw.image, 0, 0, 0, 0, static_cast<unsigned>(mw.layout.w),
              static_cast<unsigned>(mw.layout.h));
  };
  auto closeFrom = [&](size_t level) {
    while (stack.size() > level) {
      MenuWindow& mw = *stack.back();
      if (mw.image) XDestroyImage(mw.image);
      XDestroyWindow(dpy, mw.win);
      stack.pop_back();
    }
    if (!stack.empty()) stack.back()->openSub = -1;
  };
  auto open = [&](Menu* m, int x, int y, int altRight) -> bool {
    std::unique_ptr<MenuWindow> mw(new MenuWindow());
    mw->menu = m;
    mw->layout = LayoutMenu(*m, screenH, GetScale());
    if (x + mw->layout.w > screenW) x = altRight >= 0 ? altRight - mw->layout.w : screenW - mw->layout.w;
    if (y + mw->layout.h > screenH) y = screenH - mw->layout.h;
    x = std::max(0, x);
    y = std::max(0, y);
    mw->rootRect = IRECT(x, y, x + mw->layout.w, y + mw->layout.h);
    XSetWindowAttributes swa;
    std::memset(&swa, 0, sizeof swa);
    swa.override_redirect = True;
    swa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
    swa.colormap = mX->colormap ? mX->colormap : DefaultColormap(dpy, screen);
    swa.border_pixel = 0;
    unsigned long mask = CWOverrideRedirect | CWEventMask | CWBorderPixel;
    if (mX->colormap || mX->visual == DefaultVisual(dpy, screen)) mask |= CWColormap;
    Colormap own = 0;
    if (!(mask & CWColormap)) {
      own = XCreateColormap(dpy, mX->root, mX->visual, AllocNone);
      swa.colormap = own;
      mask |= CWColormap;
    }
    {
      ErrorTrap trap(dpy);
      mw->win = XCreateWindow(dpy, mX->root, x, y, static_cast<unsigned>(mw->layout.w),
                              static_cast<unsigned>(mw->layout.h), 0, mX->depth, InputOutput, mX->visual, mask, &swa);
      if (trap.Failed()) mw->win = 0;
    }
    if (own) XFreeColormap(dpy, own); // the window keeps using it until destroyed
    if (!mw->win) return false;
    mw->image = MakeImage(dpy, mX->visual, mX->depth, mw->layout.w, mw->layout.h);
    XMapRaised(dpy, mw->win);
    stack.push_back(std::move(mw));
    if (stack.back()->image) paint(*stack.back());
    XFlush(dpy);
    if (mMenuHook) mMenuHook(static_cast<int>(stack.size()) - 1, stack.back()->win, x, y);
    return true;
  };
  // Level and entry under a point of the screen; level -1 outside every menu.
  auto hit = [&](int rx, int ry, int& entry) -> int {
    for (int level = static_cast<int>(stack.size()) - 1; level >= 0; --level) {
      const MenuWindow& mw = *stack[static_cast<size_t>(level)];
      if (!mw.rootRect.Contains(rx, ry)) continue;
      entry = -1;
      for (const auto& cell : mw.layout.cells)
        if (cell.r.Contains(rx - mw.rootRect.L, ry - mw.rootRect.T)) entry = cell.entry;
      return level;
    }
    entry = -1;
    return -1;
  };
  auto openSub = [&](int level, int entry) {
    MenuWindow& mw = *stack[static_cast<size_t>(level)];
    Menu::Entry& e = mw.menu->entries[static_cast<size_t>(entry)];
    if (mw.openSub == entry && stack.size() > static_cast<size_t>(level) + 1) return;
    closeFrom(static_cast<size_t>(level) + 1);
    for (const auto& cell : mw.layout.cells) {
      if (cell.entry != entry) continue;
      mw.openSub = entry;
      paint(mw);
      open(e.sub.get(), mw.rootRect.L + cell.r.R, mw.rootRect.T + cell.r.T - mw.layout.Px(kMenuMargin),
           mw.rootRect.L + cell.r.L);
      break;
    }
  };

  int px = 0, py = 0;
  Window child;
  XTranslateCoordinates(dpy, mX->win, mX->root, mPointerX, mPointerY, &px, &py, &child);
  if (!open(&menu, px, py, -1)) return 0;
  // The click that opened the menu and the next one are no double-click: clicks
  // in the menu come between them.
  mLastClickValid = false;
  const Window grabWin = stack[0]->win;
  XGrabPointer(dpy, grabWin, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, None, None, CurrentTime);
  XGrabKeyboard(dpy, grabWin, True, GrabModeAsync, GrabModeAsync, CurrentTime);

  int result = 0;
  bool done = false, dragged = false;
  while (!done) {
    if (XPending(dpy) == 0) {
      pollfd p;
      p.fd = ConnectionNumber(dpy);
      p.events = POLLIN;
      p.revents = 0;
      poll(&p, 1, 100);
      continue;
    }
    XEvent ev;
    XNextEvent(dpy, &ev);
    switch (ev.type) {
      case Expose:
        if (ev.xany.window == mX->win) {
          const XExposeEvent& x = ev.xexpose;
          DrawScreen(IRECT(x.x, x.y, x.x + x.width, x.y + x.height));
        } else {
          for (auto& mw : stack)
            if (mw->win == ev.xany.window && mw->image) paint(*mw);
        }
        break;
      case MotionNotify: {
        if (ev.xmotion.state & (Button1Mask | Button3Mask)) dragged = true;
        int entry;
        const int level = hit(ev.xmotion.x_root, ev.xmotion.y_root, entry);
        if (level < 0) break;
        MenuWindow& mw = *stack[static_cast<size_t>(level)];
        if (mw.hover != entry) {
          mw.hover = entry;
          paint(mw);
        }
        if (entry >= 0 && mw.menu->entries[static_cast<size_t>(entry)].sub &&
            !(mw.menu->entries[static_cast<size_t>(entry)].flags & IPopupMenu::Item::kDisabled)) {
          openSub(level, entry);
        } else if (entry >= 0) {
          closeFrom(static_cast<size_t>(level) + 1);
          paint(mw);
        }
        break;
      }
      case ButtonPress:
      case ButtonRelease: {
        const XButtonEvent& b = ev.xbutton;
        if (b.button != Button1 && b.button != Button3) break;
        if (ev.type == ButtonRelease && !dragged) break; // the release of the click that opened the menu
        int entry;
        const int level = hit(b.x_root, b.y_root, entry);
        if (level < 0) {
          if (ev.type == ButtonPress) done = true; // a click outside dismisses
          break;
        }
        if (entry < 0) break;
        const Menu::Entry& e = stack[static_cast<size_t>(level)]->menu->entries[static_cast<size_t>(entry)];
        if (e.flags & (IPopupMenu::Item::kSeparator | IPopupMenu::Item::kDisabled)) break;
        if (e.sub) {
          openSub(level, entry);
          break;
        }
        result = e.id;
        done = true;
        break;
      }
      case KeyPress:
        if (XLookupKeysym(&ev.xkey, 0) == XK_Escape) done = true;
        break;
      default: break;
    }
  }
  XUngrabKeyboard(dpy, CurrentTime);
  XUngrabPointer(dpy, CurrentTime);
  closeFrom(0);
  XFlush(dpy);
  mCaptured = false;
  return result;
}

void IGraphicsX11::PromptUserInput(IControl* pControl, IPlugParam* pParam)
{
  if (!pControl || !pParam || mEditOpen) return;
  if (IPopupMenu* menu = pControl->CreateParamPopup()) {
    Menu native;
    int ids = 1;
    FillPopupMenu(&native, ids, menu);
    const int chosen = TrackMenu(native);
    if (chosen > 0) pControl->OnParamPopupChoice(menu, chosen - 1);
    pControl->FreeParamPopup(menu);
    return;
  }
  if (!mX) return; // nowhere to type
  char display[IPlugParam::MAX_PARAM_DISPLAY_LEN];
  pParam->FormatDisplay(display, pParam->Value(), false);
  OpenTextEntry(pControl, pParam, display);
}

bool IGraphicsX11::PromptForText(IControl* pControl, const char* text, TextEntered done)
{
  if (!mX || !pControl || mEditOpen) return false;
  mEditDone = std::move(done);
  OpenTextEntry(pControl, nullptr, text ? text : "");
  return true;
}

void IGraphicsX11::ShowMessage(const char* text, const IRECT& r)
{
  HideMessage();
  if (!mX || !text || !*text) return;
  mMessage = text;
  mMessageRECT = ToDevice(r).Intersect(IRECT(0, 0, WindowWidth(), WindowHeight()));
  mMessageEndMs = NowMs() + kMessageMs;
  DrawScreen(mMessageRECT);
}

void IGraphicsX11::HideMessage()
{
  if (mMessage.empty()) return;
  const IRECT old = mMessageRECT;
  mMessage.clear();
  mMessageEndMs = 0;
  DrawScreen(old); // the surface below
}

void IGraphicsX11::PromptForEnum(IControl* pControl, IPlugParam* pParam, int itemsPerColumn)
{
  if (!pControl || !pParam || !mX) return;
  IPopupMenu menu;
  FillEnumMenu(menu, pParam, itemsPerColumn);
  Menu native;
  int ids = 1;
  FillPopupMenu(&native, ids, &menu);
  const int chosen = TrackMenu(native);
  if (chosen <= 0 || chosen > pParam->NDisplayTexts()) return;
  CommitEnumChoice(pControl, pParam, chosen - 1);
}

void IGraphicsX11::HostPath(std::string& path)
{
  path.clear();
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return;
  buf[n] = 0;
  path = DirectoryOf(buf);
}

void IGraphicsX11::PluginPath(std::string& path)
{
  path.clear();
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) || !info.dli_fname) return;
  char real[PATH_MAX];
  path = DirectoryOf(realpath(info.dli_fname, real) ? real : info.dli_fname);
}

namespace {
// The dialog's start folder with its trailing '/': the given one, else the host's.
std::string DialogDirectory(IGraphics& g, const char* directory)
{
  std::string dir = (directory && *directory) ? directory : std::string();
  if (dir.empty()) g.HostPath(dir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}
} // namespace

void IGraphicsX11::PromptForFile(std::string& path, int action, const char* directory, const char*)
{
  path.clear();
  std::string exe, out;
  std::vector<std::string> args;
  if (!mX || !FileDialogCommand(action, DialogDirectory(*this, directory), exe, args)) return;
  const int status = RunAndWait(exe, args, &out);
  path = DialogAnswer(status, out);
}

IGraphics::EDialogStart IGraphicsX11::PromptForFileAsync(FileChosen done, int action, const char* directory,
                                                         const char*)
{
  if (mDialog) return kDialogBusy;
  std::string exe;
  std::vector<std::string> args;
  if (!mX || !FileDialogCommand(action, DialogDirectory(*this, directory), exe, args)) return kDialogUnavailable;
  std::unique_ptr<ChildProcess> dialog(new ChildProcess());
  if (!dialog->Start(exe, args)) return kDialogUnavailable;
  mDialog = std::move(dialog);
  mDialogDone = std::move(done);
  return kDialogStarted;
}

void IGraphicsX11::PollFileDialog()
{
  if (!mDialog || !mDialog->Poll()) return;
  const std::string path = DialogAnswer(mDialog->ExitStatus(), mDialog->Output());
  const FileChosen done = std::move(mDialogDone);
  EndFileDialog();
  if (!done) return;
  UserInput input(*this);  // a preset it loads is the user's change
  done(path);
}

void IGraphicsX11::EndFileDialog()
{
  mDialog.reset(); // kills and reaps a program still running
  mDialogDone = nullptr;
}

int IGraphicsX11::GetFileDialogPid() const { return mDialog ? static_cast<int>(mDialog->Pid()) : 0; }

bool IGraphicsX11::PromptForColor(IColor&, const char*) { return false; }

bool IGraphicsX11::OpenURL(const char* url, const char* caption, const char* confirmMessage, const char* errorMessage)
{
  if (confirmMessage && !AskYesNo(caption, confirmMessage)) return false;
  if (url && *url) {
    const std::string exe = FindOnPath("xdg-open");
    if (!exe.empty() && StartDetached(exe, {"xdg-open", url})) return true;
  }
  if (errorMessage) ShowError(caption, errorMessage);
  return false;
}

LICE_IBitmap* IGraphicsX11::OSLoadBitmap(int id, const char* fileName)
{
  if (!LICE_HasPNGExtension(fileName)) return nullptr;
  return LICE_OpenPNGResource(id, fileName); // decoded when first drawn
}
