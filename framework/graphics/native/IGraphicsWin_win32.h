#pragma once
// The editor in a Win32 child window inside the window the host gives.
// Window messages become the mouse, keyboard and paint calls of IGraphics; a
// timer (id 2, 1000 / frame rate ms) redraws the dirty controls; the native
// parts live here too: the parameter text-entry box, popup menus built from
// IPopupMenu, file and colour dialogs, opening a web address, text drawn with
// GDI on the surface's device context, and the "PNG" image resources of our
// own module.
//
// The window opens at the factor of its monitor's DPI (unless another source
// ranks higher, IGraphics::EScaleSource) and follows WM_DPICHANGED.
//
// The window class "IPlugWndClass" is shared by every editor window of the
// library: registered while at least one window is open.
//
// Thread: everything runs on the thread that owns the window (the host's GUI
// thread), the timer included; the process-wide window count and frame rate
// are touched only from GUI threads. No lock.

#include "IGraphicsLice.h"

#include <windows.h>

#include <memory>

class IGraphicsWin : public IGraphicsLice {
public:
  // Edit states of the text-entry box, acted upon by the next timer tick.
  enum EEditState { kEditIdle = 0, kEditFocused = 1, kEditRefresh = 2, kEditCancel = 3, kEditCommit = 4 };
  static constexpr UINT_PTR TIMER_ID = 2;
  // Asks a window to close on its own thread (CloseWindow from another one).
  static constexpr UINT CLOSE_MSG = WM_APP + 0x54;
  // How long another thread waits for the window's thread to close it.
  static constexpr UINT CLOSE_WAIT_MS = 2000;
  static constexpr int EDIT_BOX_ID = 99;

  // Takes the module handle from TavrinelModuleHandle() (the module holding this
  // code when the loader never called DllMain) and installs the GDI font factory
  // for IText.
  IGraphicsWin(IPlugBase* pPlug, int w, int h, int frameRate = 0);
  ~IGraphicsWin() override;

  void PrepDraw() override;
  bool DrawScreen(const IRECT& r) override;
  bool DrawIText(const IText& text, const char* str, const IRECT& r) override;
  // pNativeMenu is an HMENU.
  bool FillPopupMenu(void* pNativeMenu, int& idCounter, IPopupMenu* pMenu) override;
  void Resize(int w, int h) override;
  void PromptUserInput(IControl* pControl, IPlugParam* pParam) override;
  void HostPath(std::string& path) override;
  void PluginPath(std::string& path) override;
  void PromptForFile(std::string& path, int action = kFileOpen, const char* directory = nullptr,
                     const char* extension = nullptr) override;
  bool PromptForColor(IColor& color, const char* prompt = "") override;
  bool OpenURL(const char* url, const char* caption = nullptr, const char* confirmMessage = nullptr,
               const char* errorMessage = nullptr) override;
  // pParent is the host's HWND; returns the new HWND or null.
  void* OpenWindow(void* pParent) override;
  void CloseWindow() override;
  void* GetWindow() override { return mWnd; }
  void PromptForEnum(IControl* pControl, IPlugParam* pParam, int itemsPerColumn) override;
  // The image resource, decoded when first drawn (LICE_PNGImage).
  LICE_IBitmap* OSLoadBitmap(int id, const char* fileName) override;

  HINSTANCE GetHInstance() const { return mHInstance; }
  void SetHInstance(HINSTANCE hInstance) { mHInstance = hInstance; }
  HWND GetParentWindow() const { return mParentWnd; }
  HWND GetEditBox() const { return mEditWnd; }
  int GetEditState() const { return mEditState; }

  // Key code of IGraphics (EKeyCode) for a virtual-key code; -1 when unmapped.
  static int MapVirtualKey(int vk);
  // Editor windows of the library open now.
  static int NOpenWindows();
  // Redraw-timer period in milliseconds for the last window opened.
  static int TimerPeriod();

  static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ParamEditProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
  void OnScaleChanged() override;
  // Grows the window (and the host's child windows holding it) by dw x dh.
  void ResizeWindowBy(int dw, int dh);
  void OnTimerTick();
  // Returns true when the box was open and the tick ends with it.
  bool HandleEditState();
  void CommitEdit();
  // Restores the box's procedure, destroys it and forgets the edit target.
  void CloseEditBox();
  void UnregisterWindow();

  IColor mLastTextColor = IColor(255, 0, 0, 0);
  HINSTANCE mHInstance = nullptr;
  HWND mWnd = nullptr;
  HWND mEditWnd = nullptr;
  WNDPROC mDefEditProc = nullptr;
  int mEditState = kEditIdle;
  std::unique_ptr<COLORREF[]> mCustomColors;
  HWND mParentWnd = nullptr;
  HFONT mEditFont = nullptr; // the text-entry box's font, freed with the box
};
