#pragma once
// The editor's window on Linux (X11): a child window inside the window the host
// gives with effEditOpen (a top-level window when there is none), the mouse and
// keyboard events of that window turned into the IGraphics calls, the redraw
// timer, the surface put on the window, popup menus and a text-entry box drawn
// by us, and the file dialog and web address through outside programs.
//
// Event processing: the window has a Display connection of its own, so the
// host's event loop never sees its events. Linux hosts call effEditIdle on their
// GUI thread many times a second; Idle() then reads every pending event of our
// connection (checked through its file descriptor first, so an idle call without
// events costs one poll) and runs the redraw tick when a frame period (1000 / frame
// rate ms) has passed since the last one. There is deliberately no thread of our
// own: controls are GUI-thread objects and may not be touched from elsewhere, so
// without idle calls the window shows its last picture until the next idle.
//
// The text-entry box is part of our own window: it is drawn over the surface when
// the screen is updated and takes the keys while it is open. Return commits,
// Escape or a right-click cancels, a left-click elsewhere commits and is then
// handled as usual. Commit and cancel act at once (no timer tick in between).
//
// File dialogs (zenity, else kdialog, found on PATH) run as programs of their
// own beside the host: PromptForFileAsync starts one and returns, every idle
// call then looks at its pipe without waiting, and the one that finds it
// ended hands the answer on. Closing the window, a resize (which deletes the
// controls) and the destructor end an open dialog (killed and reaped) without
// an answer. PromptForFile, the blocking form, waits for the program.
//
// Messages (ShowMessage) are drawn over the surface like the entry box, and go
// after kMessageMs, at the next button press, or when replaced.
//
// Popup menus are override-redirect windows that grab pointer and keyboard and
// run a modal loop until an item is chosen, the user clicks outside or presses
// Escape. Items: separators, disabled, checked and highlighted items, sub-menus
// opened beside their item, a new column at every item with the break flag and
// whenever a column would run past the bottom of the screen. A menu ends any
// pending double-click: the click after a menu choice is a first click again.
//
// The window opens at the screen's factor (GDK_SCALE, else Xft.dpi of the
// resource database) unless another source ranks higher
// (IGraphics::EScaleSource), and is resized with the factor; the entry box,
// messages and popup menus have the factor too (the menu geometry constants
// below are at 1x).
//
// Thread: every method runs on the host's GUI thread (the one that opens the
// window and calls idle). No lock. X errors of our own requests are trapped
// around the calls that can fail (bad parent window), so a host's window that
// went away never ends the host's process.

#include "IGraphicsLice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ChildProcess;

class IGraphicsX11 : public IGraphicsLice {
public:
  // Geometry of our popup menus, in pixels (also used by tests to aim at items).
  static constexpr int kMenuMargin = 2;       // border around the items
  static constexpr int kMenuItemHeight = 18;  // one text item
  static constexpr int kMenuSeparatorHeight = 7;
  static constexpr int kMenuCheckWidth = 18;  // space for the check mark, left of the text
  // Two presses of the left button closer than this (ms, px) make a double-click.
  static constexpr int kDoubleClickMs = 400;
  static constexpr int kDoubleClickPx = 4;
  // How long a message stays.
  static constexpr int kMessageMs = 10000;

  // Called in the menu's modal loop each time a menu window is shown: the
  // level (0 = the menu itself, 1 = a sub-menu of it, ...), the X window id and
  // its top-left corner on the screen. For tools and tests that drive menus.
  using MenuShownHook = std::function<void(int level, unsigned long window, int rootX, int rootY)>;

  IGraphicsX11(IPlugBase* pPlug, int w, int h, int frameRate = 0);
  ~IGraphicsX11() override;

  // ---- the window-system operations ----
  bool DrawScreen(const IRECT& r) override;
  bool DrawIText(const IText& text, const char* str, const IRECT& r) override;
  // pNativeMenu is the internal menu model of this class (see .cpp).
  bool FillPopupMenu(void* pNativeMenu, int& idCounter, IPopupMenu* pMenu) override;
  void Resize(int w, int h) override;
  void PromptUserInput(IControl* pControl, IPlugParam* pParam) override;
  void HostPath(std::string& path) override;
  void PluginPath(std::string& path) override;
  void PromptForFile(std::string& path, int action = kFileOpen, const char* directory = nullptr,
                     const char* extension = nullptr) override;
  EDialogStart PromptForFileAsync(FileChosen done, int action = kFileOpen, const char* directory = nullptr,
                                  const char* extension = nullptr) override;
  bool IsFileDialogOpen() const override { return mDialog != nullptr; }
  bool PromptForText(IControl* pControl, const char* text, TextEntered done) override;
  void ShowMessage(const char* text, const IRECT& r) override;
  // No colour chooser on plain X11: always false, the colour unchanged.
  bool PromptForColor(IColor& color, const char* prompt = "") override;
  bool OpenURL(const char* url, const char* caption = nullptr, const char* confirmMessage = nullptr,
               const char* errorMessage = nullptr) override;
  // pParent: the host's X window id (as a pointer), or null for a top-level
  // window. Returns the new window's id as a pointer, or null.
  void* OpenWindow(void* pParent) override;
  void CloseWindow() override;
  void* GetWindow() override;
  void PromptForEnum(IControl* pControl, IPlugParam* pParam, int itemsPerColumn) override;
  // The image resource, decoded when first drawn (LICE_PNGImage).
  LICE_IBitmap* OSLoadBitmap(int id, const char* fileName) override;

  // ---- driving the window ----
  // The host's idle call: an ended file dialog's answer, pending events, then
  // the redraw tick when it is due.
  void Idle();
  void OnIdle() override { Idle(); }
  // Handles every event waiting on our connection; the number handled.
  int ProcessEvents();
  // The redraw tick: dirty check, draw pass over the dirty area; true when
  // something was drawn.
  bool OnTimer();

  // The screen's factor from the X resource database's text (Xft.dpi, 96 dots
  // per inch being 1) and the GDK_SCALE variable, which wins; 0 when neither
  // says.
  static double ScreenScale(const char* resources, const char* gdkScale);

  // ---- for tools and tests ----
  void* GetXDisplay() const;  // our Display connection (null without a window)
  unsigned long GetXWindow() const;
  void SetMenuShownHook(MenuShownHook hook) { mMenuHook = std::move(hook); }
  bool IsTextEntryOpen() const { return mEditOpen; }
  const std::string& GetTextEntry() const { return mEditText; }
  IRECT GetTextEntryRECT() const { return mEditRECT; }
  const std::string& GetMessage() const { return mMessage; }
  // The process of the open file dialog (0 when none).
  int GetFileDialogPid() const;

  struct XState;  // X objects of the open window (defined in the .cpp)
  struct Menu;    // the menu model filled by FillPopupMenu

private:
  // Shows the menu at the pointer; the chosen id (> 0) or 0.
  int TrackMenu(Menu& menu);
  void HandleEvent(void* pXEvent);
  void OpenTextEntry(IControl* pControl, IPlugParam* pParam, const std::string& text);
  void CommitTextEntry();
  void CloseTextEntry();
  void RefreshTextEntry();
  IRECT TextEntryRECT() const;
  bool TextEntryKey(void* pXKeyEvent);
  // Hands on the answer of a file dialog that has ended.
  void PollFileDialog();
  // Ends an open file dialog without an answer.
  void EndFileDialog();
  void HideMessage();
  // Writes the surface's area r (and the message and entry box over it) into the image.
  void ConvertToImage(const IRECT& r);
  bool RecreateImage();

  void OnScaleChanged() override;
  // Window and image to the window size (after a resize or a new factor).
  void ResizeWindow();

  std::unique_ptr<XState> mX;
  MenuShownHook mMenuHook;

  // Text-entry box.
  bool mEditOpen = false;
  std::string mEditText;
  std::string mEditShown; // the parameter's display text when last shown in the box
  IRECT mEditRECT;
  bool mEditSelectAll = false; // the first key typed replaces the whole text
  TextEntered mEditDone; // set: the box holds a text of PromptForText, not a parameter value

  // File dialog and message.
  std::unique_ptr<ChildProcess> mDialog;
  FileChosen mDialogDone;
  std::string mMessage;
  IRECT mMessageRECT;
  int64_t mMessageEndMs = 0;

  // Last pointer position in the window (where menus open).
  int mPointerX = 0, mPointerY = 0;

  // Double-click detection and the button that started a drag.
  unsigned long mLastClickTime = 0;
  int mLastClickX = -1000, mLastClickY = -1000;
  bool mLastClickValid = false;
  bool mCaptured = false;
  bool mInIdle = false;
  int64_t mLastTickMs = 0;
};
