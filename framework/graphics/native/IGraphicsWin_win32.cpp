#include "IGraphicsWin_win32.h"

#include "IPlugBase.h"
#include "IPlugParam.h"
#include "LiceBitmap.h"
#include "LiceModule_win32.h"
#include "LicePng.h"
#include "ModuleHandle_win32.h"
#include "Utf16_win32.h"

#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

const wchar_t* const WND_CLASS_NAME = L"IPlugWndClass";
const int MAX_EDIT_TEXT = 1000;

// Shared by every editor window of the library.
int sOpenWindows = 0;
// The class could not be given up when its last window went (a window being
// destroyed by its parent still exists): try again when nothing is open.
bool sClassLeft = false;
int sFPS = 24;

// The directory of a module's file, up to and including the last backslash;
// empty when the path cannot be had.
std::string ModuleDirectory(HMODULE module)
{
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, &buf[0], static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    if (buf.size() >= 32768) return std::string();
    buf.resize(buf.size() * 2);
  }
  const size_t slash = buf.rfind(L'\\');
  if (slash == std::wstring::npos) return std::string();
  buf.resize(slash + 1);
  return Narrow(buf.c_str());
}

// The text of a window, at most MAX_EDIT_TEXT characters, as UTF-8.
std::string WindowText(HWND hWnd)
{
  wchar_t buf[MAX_EDIT_TEXT + 1] = {};
  GetWindowTextW(hWnd, buf, MAX_EDIT_TEXT + 1);
  return Narrow(buf);
}

void* CreateGdiFont(const IText& text)
{
  const std::wstring face = Widen(text.mFont);
  const int tenths = text.mOrientation * 10;
  return CreateFontW(text.mSize, 0, tenths, tenths, text.mStyle == IText::kStyleBold ? FW_BOLD : FW_NORMAL,
                     text.mStyle == IText::kStyleItalic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face.c_str());
}

void DestroyGdiFont(void* font)
{
  if (font) DeleteObject(static_cast<HGDIOBJ>(font));
}

IMouseMod MouseMod(WPARAM wParam)
{
  const WPARAM keys = GET_KEYSTATE_WPARAM(wParam);
  return IMouseMod((keys & MK_LBUTTON) != 0, (keys & MK_RBUTTON) != 0, (keys & MK_SHIFT) != 0,
                   (keys & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0);
}

int MouseX(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int MouseY(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

// The colour dialog has no title field: the hook sets it.
UINT_PTR CALLBACK ColorDialogHook(HWND hDlg, UINT msg, WPARAM, LPARAM lParam)
{
  if (msg == WM_INITDIALOG && lParam) {
    const CHOOSECOLORW* cc = reinterpret_cast<const CHOOSECOLORW*>(lParam);
    if (cc->lCustData) SetWindowTextW(hDlg, reinterpret_cast<const wchar_t*>(cc->lCustData));
  }
  return 0;
}

// Per-monitor DPI messages (Windows 8.1 and 10; older headers lack them).
constexpr UINT kMsgDpiChanged = 0x02E0;
constexpr UINT kMsgDpiChangedAfterParent = 0x02E3;

// The DPI of the monitor a window is on (96 is 100 %): GetDpiForWindow where
// the system has it, else the screen's.
UINT WindowDpi(HWND hWnd)
{
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const GetDpiForWindowFn getDpi = reinterpret_cast<GetDpiForWindowFn>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi && hWnd) {
    const UINT dpi = getDpi(hWnd);
    if (dpi > 0) return dpi;
  }
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

} // namespace

IGraphicsWin::IGraphicsWin(IPlugBase* pPlug, int w, int h, int frameRate)
  : IGraphicsLice(pPlug, w, h, frameRate), mHInstance(TavrinelModuleHandle() ? TavrinelModuleHandle() : LICE_OwnModule())
{
  IText::SetNativeFontFactory(CreateGdiFont, DestroyGdiFont);
}

IGraphicsWin::~IGraphicsWin() { CloseWindow(); }

int IGraphicsWin::NOpenWindows() { return sOpenWindows; }

int IGraphicsWin::TimerPeriod() { return 1000 / (sFPS > 0 ? sFPS : 24); }

int IGraphicsWin::MapVirtualKey(int vk)
{
  switch (vk) {
  case VK_SPACE: return kKeySpace;
  case VK_UP: return kKeyUp;
  case VK_DOWN: return kKeyDown;
  case VK_LEFT: return kKeyLeft;
  case VK_RIGHT: return kKeyRight;
  default: break;
  }
  if (vk >= 48 && vk <= 57) return vk - 43;
  if (vk >= 65 && vk <= 90) return vk - 50;
  if (vk >= 97 && vk <= 122) return vk - 82;
  return -1;
}

void IGraphicsWin::PrepDraw()
{
  const LICE_IBitmap* pBefore = GetDrawBitmap();
  IGraphicsLice::PrepDraw();
  // A new surface has a new device context with the default (black) text colour.
  if (GetDrawBitmap() != pBefore) mLastTextColor = IColor(255, 0, 0, 0);
}

void* IGraphicsWin::OpenWindow(void* pParent)
{
  HWND parent = static_cast<HWND>(pParent);
  mParentWnd = parent;
  SetScaleFrom(kScaleFromScreen, WindowDpi(parent) / 96.0);
  int x = 0, y = 0, w = WindowWidth(), h = WindowHeight();
  if (mWnd) {
    RECT r;
    if (GetWindowRect(mWnd, &r)) {
      MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
      x = r.left;
      y = r.top;
      w = r.right - r.left;
      h = r.bottom - r.top;
    }
    CloseWindow();
    mParentWnd = parent;
  }

  if (sOpenWindows == 0) {
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = mHInstance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = WND_CLASS_NAME;
    RegisterClassW(&wc);  // fails harmlessly when a class left behind is still there
    sClassLeft = false;
  }
  ++sOpenWindows;

  sFPS = FPS();
  HWND wnd = CreateWindowExW(0, WND_CLASS_NAME, L"IPlug", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr,
                             mHInstance, this);
  if (!wnd) {
    mWnd = nullptr;
    if (--sOpenWindows == 0) UnregisterClassW(WND_CLASS_NAME, mHInstance);
    return nullptr;
  }
  mWnd = wnd;
  SetAllControlsDirty();
  return mWnd;
}

void IGraphicsWin::UnregisterWindow()
{
  if (sOpenWindows > 0 && --sOpenWindows == 0) sClassLeft = !UnregisterClassW(WND_CLASS_NAME, mHInstance);
}

void IGraphicsWin::CloseWindow()
{
  if (!mWnd) {
    if (sOpenWindows == 0 && sClassLeft) sClassLeft = !UnregisterClassW(WND_CLASS_NAME, mHInstance);
    return;
  }
  if (GetWindowThreadProcessId(mWnd, nullptr) != GetCurrentThreadId()) {
    // A window is destroyed only by its own thread: that thread closes it
    // (this call waits). Should it not answer, the window is cut loose from
    // this object and told to go when its thread next looks.
    DWORD_PTR done = 0;
    if (SendMessageTimeoutW(mWnd, CLOSE_MSG, 0, 0, SMTO_NORMAL, CLOSE_WAIT_MS, &done) && !mWnd) return;
    HWND wnd = mWnd;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    mWnd = nullptr;
    mEditWnd = nullptr;
    UnregisterWindow();
    PostMessageW(wnd, CLOSE_MSG, 0, 0);
    return;
  }
  // The box is a child of the window and dies with it; forget it and its target
  // so that the next window can prompt again.
  if (mEditWnd) CloseEditBox();
  HWND wnd = mWnd;
  mWnd = nullptr;
  if (IsWindow(wnd)) DestroyWindow(wnd);
  UnregisterWindow();
}

LRESULT CALLBACK IGraphicsWin::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (msg == WM_CREATE) {
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    IGraphicsWin* pGraphics = static_cast<IGraphicsWin*>(cs->lpCreateParams);
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pGraphics));
    if (pGraphics) pGraphics->mWnd = hWnd;
    SetTimer(hWnd, TIMER_ID, static_cast<UINT>(TimerPeriod()), nullptr);
    SetFocus(hWnd);
    return 0;
  }

  IGraphicsWin* pGraphics = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  if (msg == CLOSE_MSG) {
    // Another thread's CloseWindow, on this window's thread.
    if (pGraphics && hWnd == pGraphics->mWnd) pGraphics->CloseWindow(); else DestroyWindow(hWnd);
    return 0;
  }
  if (!pGraphics || hWnd != pGraphics->mWnd) return DefWindowProcW(hWnd, msg, wParam, lParam);

  if (msg == WM_NCDESTROY) {
    // The host destroyed its window without closing the editor first: forget the
    // handle and give the class up with the last window, or a later load of the
    // library would find the class still pointing into the unloaded one.
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    pGraphics->mEditWnd = nullptr; // already gone with its parent
    pGraphics->CloseEditBox();
    pGraphics->mWnd = nullptr;
    pGraphics->UnregisterWindow();
    return DefWindowProcW(hWnd, msg, wParam, lParam);
  }

  if (pGraphics->mEditState == kEditFocused) {
    if (msg == WM_RBUTTONDOWN) {
      pGraphics->mEditState = kEditCancel;
      return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
  }

  switch (msg) {
  case WM_PAINT: {
    RECT r;
    if (GetUpdateRect(hWnd, &r, FALSE)) {
      pGraphics->Draw(IRECT(r.left, r.top, r.right, r.bottom));
      // Draw paints through DrawScreen; an editor without controls does not, and
      // an update region left behind would bring WM_PAINT back for ever.
      ValidateRect(hWnd, nullptr);
    }
    return 0;
  }
  case WM_CLOSE:
    pGraphics->CloseWindow();
    return 0;
  case WM_MOUSEACTIVATE:
    SetFocus(hWnd);
    return MA_ACTIVATE;
  case WM_KEYDOWN: {
    const int key = MapVirtualKey(static_cast<int>(wParam));
    if (key >= 0) {
      POINT p = {0, 0};
      GetCursorPos(&p);
      ScreenToClient(hWnd, &p);
      pGraphics->OnKeyDown(p.x, p.y, key,
                           IMouseMod(false, false, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                                     GetKeyState(VK_MENU) < 0));
    }
    return 0;
  }
  case WM_TIMER:
    if (wParam == TIMER_ID) pGraphics->OnTimerTick();
    return 0;
  case kMsgDpiChanged:
    // Dragged to a screen of another density: the window follows.
    pGraphics->SetScale(HIWORD(wParam) / 96.0);
    return 0;
  case kMsgDpiChangedAfterParent:
    pGraphics->SetScale(WindowDpi(hWnd) / 96.0);
    return 0;
  case WM_MOUSEMOVE:
    if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
      if (GetCapture() == hWnd) pGraphics->OnMouseDrag(MouseX(lParam), MouseY(lParam), MouseMod(wParam));
    } else if (pGraphics->OnMouseOver(MouseX(lParam), MouseY(lParam), MouseMod(wParam))) {
      TRACKMOUSEEVENT tme;
      ZeroMemory(&tme, sizeof(tme));
      tme.cbSize = sizeof(tme);
      tme.dwFlags = TME_LEAVE;
      tme.hwndTrack = hWnd;
      TrackMouseEvent(&tme);
    }
    return 0;
  case WM_MOUSELEAVE:
    pGraphics->OnMouseOut();
    return 0;
  case WM_LBUTTONDOWN:
    if (pGraphics->mEditWnd) pGraphics->mEditState = kEditCommit;
    SetCapture(hWnd);
    pGraphics->OnMouseDown(MouseX(lParam), MouseY(lParam), MouseMod(wParam));
    return 0;
  case WM_RBUTTONDOWN:
    if (pGraphics->mEditWnd) {
      pGraphics->mEditState = kEditCancel;
      return 0;
    }
    SetCapture(hWnd);
    pGraphics->OnMouseDown(MouseX(lParam), MouseY(lParam), MouseMod(wParam));
    return 0;
  case WM_LBUTTONUP:
  case WM_RBUTTONUP:
    ReleaseCapture();
    pGraphics->OnMouseUp(MouseX(lParam), MouseY(lParam), MouseMod(wParam));
    return 0;
  case WM_LBUTTONDBLCLK:
    if (pGraphics->OnMouseDblClick(MouseX(lParam), MouseY(lParam), MouseMod(wParam))) SetCapture(hWnd);
    return 0;
  case WM_MOUSEWHEEL: {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(hWnd, &r);
    const int d = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    pGraphics->OnMouseWheel(MouseX(lParam) - r.left, MouseY(lParam) - r.top, MouseMod(wParam), d);
    return 0;
  }
  default:
    return DefWindowProcW(hWnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK IGraphicsWin::ParamEditProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  IGraphicsWin* pGraphics = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(GetParent(hWnd), GWLP_USERDATA));
  if (!pGraphics || pGraphics->mEditWnd != hWnd || !pGraphics->mDefEditProc)
    return DefWindowProcW(hWnd, msg, wParam, lParam);
  WNDPROC prev = pGraphics->mDefEditProc;

  switch (msg) {
  case WM_SETFOCUS:
    pGraphics->mEditState = kEditFocused;
    break;
  case WM_KILLFOCUS:
    pGraphics->mEditState = kEditIdle;
    break;
  case WM_GETDLGCODE: {
    LRESULT code = CallWindowProcW(prev, hWnd, msg, wParam, lParam);
    const MSG* m = reinterpret_cast<const MSG*>(lParam);
    if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
    return code;
  }
  case WM_KEYDOWN:
    if (wParam == VK_RETURN) {
      pGraphics->mEditState = kEditCommit;
      return 0;
    }
    break;
  default:
    break;
  }
  return CallWindowProcW(prev, hWnd, msg, wParam, lParam);
}

void IGraphicsWin::OnTimerTick()
{
  if (HandleEditState()) return;
  IRECT r;
  if (IsDirty(r)) {
    RECT wr = {r.L, r.T, r.R, r.B};
    InvalidateRect(mWnd, &wr, FALSE);
    UpdateWindow(mWnd);
    if (mEditWnd) mEditState = kEditRefresh;
  }
}

bool IGraphicsWin::HandleEditState()
{
  if (!mEditWnd || mEditState == kEditIdle) return false;
  switch (mEditState) {
  case kEditRefresh: {
    if (mEditParam) {
      char display[IPlugParam::MAX_PARAM_DISPLAY_LEN];
      mEditParam->FormatDisplay(display, mEditParam->Value(), false);
      if (WindowText(mEditWnd) != display && mEditParam->NDisplayTexts() == 0)
        SetWindowTextW(mEditWnd, Widen(display).c_str());
    }
    mEditState = kEditIdle;
    break;
  }
  case kEditCommit:
    CommitEdit();
    CloseEditBox();
    break;
  case kEditCancel:
    CloseEditBox();
    break;
  default:
    mEditState = kEditIdle;
    break;
  }
  return true;
}

void IGraphicsWin::CommitEdit()
{
  if (!mEditParam || !mEditControl) return;
  CommitTypedText(mEditControl, mEditParam, WindowText(mEditWnd));
}

void IGraphicsWin::CloseEditBox()
{
  if (mEditWnd) {
    HWND box = mEditWnd;
    if (mDefEditProc && IsWindow(box)) SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mDefEditProc));
    mEditWnd = nullptr;
    mDefEditProc = nullptr;
    if (IsWindow(box)) DestroyWindow(box);
  }
  if (mEditFont) {
    DeleteObject(mEditFont);
    mEditFont = nullptr;
  }
  SetEditTarget(nullptr, nullptr);
  mEditState = kEditIdle;
}

void IGraphicsWin::PromptUserInput(IControl* pControl, IPlugParam* pParam)
{
  if (!pControl || !pParam || mEditWnd) return;

  char display[IPlugParam::MAX_PARAM_DISPLAY_LEN];
  pParam->FormatDisplay(display, pParam->Value(), false);
  const IRECT cr = ToDevice(pControl->GetRECT());
  const int cx = (cr.L + cr.R) / 2;
  const int cy = (cr.T + cr.B) / 2;

  if (IPopupMenu* menu = pControl->CreateParamPopup()) {
    HMENU native = CreatePopupMenu();
    int id = 0;
    if (native && mWnd) {
      int counter = 1;
      FillPopupMenu(native, counter, menu);
      POINT p = {0, 0};
      GetCursorPos(&p);
      id = static_cast<int>(TrackPopupMenu(native, TPM_LEFTALIGN | TPM_RETURNCMD | TPM_NONOTIFY, p.x, p.y, 0, mWnd,
                                           nullptr));
    }
    if (native) DestroyMenu(native);
    if (id > 0) pControl->OnParamPopupChoice(menu, id - 1);
    pControl->FreeParamPopup(menu);
    return;
  }

  if (!mWnd) return;
  HWND box = CreateWindowExW(0, L"EDIT", Widen(display).c_str(), WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE,
                             cx - ToDevice(18), cy - ToDevice(8), ToDevice(36), ToDevice(16), mWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(EDIT_BOX_ID)),
                             mHInstance, nullptr);
  if (!box) return;
  mEditWnd = box;
  mDefEditProc = reinterpret_cast<WNDPROC>(
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IGraphicsWin::ParamEditProc)));
  SetEditTarget(pControl, pParam);
  // The right-click that asked for the box captured the mouse; its button-up
  // never reaches the editor while the box has the focus, so the host would stay
  // locked out of the mouse.
  if (GetCapture() == mWnd) ReleaseCapture();
  SetFocus(box);
  mEditFont = CreateFontW(ToDevice(14), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial");
  if (mEditFont) SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(mEditFont), FALSE);
  SendMessageW(box, EM_SETSEL, 0, -1);
}

bool IGraphicsWin::FillPopupMenu(void* pNativeMenu, int& idCounter, IPopupMenu* pMenu)
{
  HMENU native = static_cast<HMENU>(pNativeMenu);
  if (!native || !pMenu) return false;
  bool anyChecked = false;
  for (int i = 0; i < pMenu->NItems(); ++i) {
    const IPopupMenu::Item* item = pMenu->GetItemAtLevel(i);
    const std::wstring text = Widen(item->GetText());
    MENUITEMINFOW mi;
    ZeroMemory(&mi, sizeof(mi));
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    mi.fType = item->GetIsSeparator() ? MFT_SEPARATOR : MFT_STRING;
    if (item->HasFlag(IPopupMenu::Item::kBreak)) mi.fType |= MFT_MENUBARBREAK;
    bool checked = item->GetChecked();
    if (IPopupMenu* sub = item->GetSubmenu()) {
      HMENU subNative = CreatePopupMenu();
      const bool subChecked = FillPopupMenu(subNative, idCounter, sub);
      if (subChecked && !item->HasFlag(IPopupMenu::Item::kNoParentCheck)) checked = true;
      mi.fMask |= MIIM_SUBMENU;
      mi.hSubMenu = subNative;
    } else {
      mi.fMask |= MIIM_ID;
      mi.wID = static_cast<UINT>(idCounter++);
    }
    if (checked) mi.fState |= MFS_CHECKED;
    if (!item->GetEnabled()) mi.fState |= MFS_DISABLED;
    if (item->HasFlag(IPopupMenu::Item::kHighlighted)) mi.fState |= MFS_HILITE;
    mi.dwTypeData = const_cast<wchar_t*>(text.c_str());
    mi.cch = static_cast<UINT>(text.size());
    InsertMenuItemW(native, static_cast<UINT>(GetMenuItemCount(native)), TRUE, &mi);
    if (checked) anyChecked = true;
  }
  return anyChecked;
}

void IGraphicsWin::PromptForEnum(IControl* pControl, IPlugParam* pParam, int itemsPerColumn)
{
  if (!pControl || !pParam || !mWnd) return;
  HMENU native = CreatePopupMenu();
  if (!native) return;
  const int current = pParam->Int();
  for (int i = 0; i < pParam->NDisplayTexts(); ++i) {
    UINT flags = MF_STRING;
    if (i == current) flags |= MF_CHECKED;
    if (itemsPerColumn > 0 && i > 0 && i % itemsPerColumn == 0) flags |= MF_MENUBARBREAK;
    AppendMenuW(native, flags, static_cast<UINT_PTR>(i + 1), Widen(pParam->GetDisplayTextAtIdx(i)).c_str());
  }
  BOOL animation = FALSE;
  SystemParametersInfoW(SPI_GETMENUANIMATION, 0, &animation, 0);
  if (animation) SystemParametersInfoW(SPI_SETMENUANIMATION, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(FALSE)), 0);
  POINT p = {0, 0};
  GetCursorPos(&p);
  const int id = static_cast<int>(
    TrackPopupMenu(native, TPM_LEFTALIGN | TPM_RETURNCMD | TPM_NONOTIFY, p.x, p.y, 0, mWnd, nullptr));
  if (animation) SystemParametersInfoW(SPI_SETMENUANIMATION, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(TRUE)), 0);
  DestroyMenu(native);
  if (id <= 0 || id > pParam->NDisplayTexts()) return;
  CommitEnumChoice(pControl, pParam, id - 1);
}

void IGraphicsWin::HostPath(std::string& path) { path = ModuleDirectory(nullptr); }

void IGraphicsWin::PluginPath(std::string& path)
{
  path.clear();
  if (mHInstance) path = ModuleDirectory(mHInstance);
}

void IGraphicsWin::PromptForFile(std::string& path, int action, const char* directory, const char*)
{
  path.clear();
  if (!mWnd) return;
  std::string dir = (directory && *directory) ? std::string(directory) : std::string();
  if (dir.empty()) HostPath(dir);
  const std::wstring wdir = Widen(dir.c_str());

  wchar_t file[255] = {};
  OPENFILENAMEW ofn;
  ZeroMemory(&ofn, sizeof(ofn));
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = mWnd;
  ofn.lpstrFile = file;
  ofn.nMaxFile = 255;
  ofn.lpstrInitialDir = wdir.empty() ? nullptr : wdir.c_str();
  // The dialog must not move the host's working directory.
  if (action == kFileSave) {
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetSaveFileNameW(&ofn)) path = Narrow(file);
  } else {
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&ofn)) path = Narrow(file);
  }
}

bool IGraphicsWin::PromptForColor(IColor& color, const char* prompt)
{
  if (!mWnd) return false;
  if (!mCustomColors) {
    mCustomColors.reset(new COLORREF[16]);
    for (int i = 0; i < 16; ++i) mCustomColors[i] = RGB(255, 255, 255);
  }
  const std::wstring title = Widen(prompt);
  CHOOSECOLORW cc;
  ZeroMemory(&cc, sizeof(cc));
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = mWnd;
  cc.rgbResult = RGB(color.R, color.G, color.B);
  cc.lpCustColors = mCustomColors.get();
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR | CC_ENABLEHOOK;
  cc.lpfnHook = ColorDialogHook;
  cc.lCustData = title.empty() ? 0 : reinterpret_cast<LPARAM>(title.c_str());
  if (!ChooseColorW(&cc)) return false;
  color.R = GetRValue(cc.rgbResult);
  color.G = GetGValue(cc.rgbResult);
  color.B = GetBValue(cc.rgbResult);
  return true;
}

bool IGraphicsWin::OpenURL(const char* url, const char* caption, const char* confirmMessage, const char* errorMessage)
{
  const std::wstring wcaption = Widen(caption);
  if (confirmMessage) {
    if (MessageBoxW(mWnd, Widen(confirmMessage).c_str(), wcaption.c_str(), MB_YESNO) != IDYES) return false;
  }
  DWORD state = 0;
  if (url && *url && InternetGetConnectedState(&state, 0)) {
    const INT_PTR result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(mWnd, L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;
  }
  if (errorMessage) MessageBoxW(mWnd, Widen(errorMessage).c_str(), wcaption.c_str(), MB_OK);
  return false;
}

bool IGraphicsWin::DrawIText(const IText& text, const char* str, const IRECT& r)
{
  if (!str || !*str) return true;
  LICE_IBitmap* surface = GetDrawBitmap();
  HDC dc = surface ? static_cast<HDC>(surface->GetDC()) : nullptr;
  if (!dc) return false;

  // A style never applied to a control has no font of its own yet, and the
  // control's font is of its 1x size: a temporary one made from it stands in.
  HFONT font = GetScale() == 1.0 ? static_cast<HFONT>(text.mCached.get()) : nullptr;
  HFONT temporary = nullptr;
  if (!font) {
    IText scaled = text;
    scaled.mSize = static_cast<int>(std::lround(text.mSize * GetScale()));
    font = temporary = static_cast<HFONT>(CreateGdiFont(scaled));
  }
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  if (text.mColor != mLastTextColor) {
    SetTextColor(dc, RGB(text.mColor.R, text.mColor.G, text.mColor.B));
    mLastTextColor = text.mColor;
  }
  // No prefix processing: "&" in a preset name is a character, not a mnemonic.
  UINT format = DT_NOCLIP | DT_NOPREFIX;
  if (text.mAlign == IText::kAlignCenter) format |= DT_CENTER;
  else if (text.mAlign == IText::kAlignFar) format |= DT_RIGHT;
  else format |= DT_LEFT;
  const IRECT d = ToDevice(r);
  RECT rc = {d.L, d.T, d.R, d.B};
  const std::wstring wtext = Widen(str);
  const int drawn = DrawTextW(dc, wtext.c_str(), -1, &rc, format);
  if (oldFont) SelectObject(dc, oldFont);
  if (temporary) DeleteObject(temporary);
  // The bitmap layer touches the pixels directly next: let GDI finish first.
  GdiFlush();
  return drawn != 0;
}

bool IGraphicsWin::DrawScreen(const IRECT& r)
{
  if (!mWnd) return false;
  LICE_IBitmap* surface = GetDrawBitmap();
  HDC src = surface ? static_cast<HDC>(surface->GetDC()) : nullptr;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(mWnd, &ps);
  if (dc && src) BitBlt(dc, r.L, r.T, r.W(), r.H(), src, r.L, r.T, SRCCOPY);
  EndPaint(mWnd, &ps);
  return true;
}

void IGraphicsWin::Resize(int w, int h)
{
  // The controls go away with the base's Resize: an open entry box would keep a
  // dangling target.
  if (mEditWnd) CloseEditBox();
  const int oldW = WindowWidth(), oldH = WindowHeight();
  IGraphics::Resize(w, h);
  ResizeSurface();
  ResizeWindowBy(WindowWidth() - oldW, WindowHeight() - oldH);
}

void IGraphicsWin::OnScaleChanged()
{
  if (mEditWnd) CloseEditBox();
  RECT old = {0, 0, 0, 0};
  if (mWnd) GetClientRect(mWnd, &old);
  IGraphicsLice::OnScaleChanged();
  mLastTextColor = IColor(-1, -1, -1, -1); // the resized surface's context starts over
  if (mWnd) ResizeWindowBy(WindowWidth() - (old.right - old.left), WindowHeight() - (old.bottom - old.top));
}

void IGraphicsWin::ResizeWindowBy(int dw, int dh)
{
  if (!mWnd) return;
  RECT old;
  GetWindowRect(mWnd, &old);
  HWND parent = GetParent(mWnd);
  SetWindowPos(mWnd, nullptr, 0, 0, (old.right - old.left) + dw, (old.bottom - old.top) + dh,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  HWND p = parent;
  for (int level = 0; level < 2 && p; ++level) {
    const LONG style = GetWindowLongW(p, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(p, GWL_EXSTYLE);
    if (!(style & WS_CHILD) || (exStyle & WS_EX_MDICHILD)) break;
    RECT pr;
    GetWindowRect(p, &pr);
    SetWindowPos(p, nullptr, 0, 0, (pr.right - pr.left) + dw, (pr.bottom - pr.top) + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    p = GetParent(p);
  }
  if (parent) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&old), 2);
    InvalidateRect(parent, &old, FALSE);
  } else {
    InvalidateRect(mWnd, nullptr, FALSE);
  }
}

LICE_IBitmap* IGraphicsWin::OSLoadBitmap(int id, const char* fileName)
{
  if (!LICE_HasPNGExtension(fileName)) return nullptr;
  return LICE_OpenPNGResource(id, fileName, mHInstance); // decoded when first drawn
}
