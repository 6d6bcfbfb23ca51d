#pragma once
// The editor's model: an ordered list of controls over one drawing surface,
// mouse and keyboard routing to the control under the pointer, parameter
// binding, dirty tracking and the partial redraw, and bitmap loading by
// resource id.
//
// Class tree: IGraphics <- IGraphicsLice (drawing on the surface, image cache)
// <- the window-system class (window, timer, dialogs, menus, text, resources) or
// IGraphicsOffscreen (the same without a window). The window-system operations
// stay pure here.
//
// The control list's index order is the drawing order and, reversed, the
// hit-test order: the last control is topmost.
//
// Scale: the editor draws at one factor of kScaleSteps. Controls live in 1x
// (layout) coordinates; the surface, the window, the mouse coordinates the
// window layer hands in and the rectangles of Draw and IsDirty are device
// pixels, and the drawing primitives map layout to device pixels (ToDevice),
// so no control needs to know the factor. Several sources may ask for a
// factor; the highest-ranked one that asked wins (EScaleSource).
//
// Threads: everything runs on the GUI thread (window messages and the redraw
// timer; the thread of the last dirty check, at first the constructing one).
// SetParameterFromPlug and SetAllControlsDirty may also be called on any other
// thread (the host's parameter changes, programs and state restores, plug-in
// mutex held): there they only leave a lock-free note (the value per
// parameter the plug-in had when this object was made, a redraw counter) that
// the next dirty check takes on the GUI thread. No control is ever written by two threads, and there is no lock of
// the GUI's own.

#include "IControl.h"
#include "IGraphicsStructs.h"
#include "IPopupMenu.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class IPlugBase;
class IPlugParam;
class LICE_IBitmap;

class IGraphics {
public:
  enum EFileAction { kFileOpen = 0, kFileSave = 1 };

  // The factors the editor draws at, smallest first.
  static constexpr int kNumScaleSteps = 5;
  static constexpr double kScaleSteps[kNumScaleSteps] = {1.0, 1.25, 1.5, 1.75, 2.0};
  // Who asks for a factor, lowest rank first: the screen's density, the host
  // (LV2 option, VST3 content scale, a window's DPI), the installation's
  // default (Tavrinel.ini), the user's choice.
  enum EScaleSource { kScaleFromScreen = 0, kScaleFromHost, kScaleFromDefault, kScaleFromUser, kNumScaleSources };

  // A frame rate <= 0 means 24 frames per second. w and h are the layout size.
  IGraphics(IPlugBase* pPlug, int w, int h, int frameRate = 0);
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- virtual operations ----
  // Creates the drawing surface.
  virtual void PrepDraw() = 0;
  // Copies the area r (device pixels) of the surface to the window.
  virtual bool DrawScreen(const IRECT& r) = 0;
  // All drawing primitives take layout coordinates and clip to the current
  // draw rectangle (the area of the draw pass) and the surface. A layout pixel
  // covers whole device pixels: lines and rectangles are as many device pixels
  // thick as the factor rounds to. A null blend means method 0 at weight 1.
  // Draws the part of the bitmap at (srcX, srcY) that fits dest; always true.
  virtual bool DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                          const IChannelBlend* pBlend = nullptr) = 0;
  // The whole bitmap turned by angle (radians) about (destCtrX, destCtrY).
  virtual bool DrawRotatedBitmap(const IBitmap& bitmap, int destCtrX, int destCtrY, double angle,
                                 int yOffsetZeroDeg = 0, const IChannelBlend* pBlend = nullptr) = 0;
  // base, then mask added and top copied, both turned by angle (degrees); the
  // result at (x, y).
  virtual bool DrawRotatedMask(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                               double angle, const IChannelBlend* pBlend = nullptr) = 0;
  virtual bool DrawPoint(const IColor& color, float x, float y, const IChannelBlend* pBlend = nullptr) = 0;
  // Writes the pixel without blending.
  virtual bool ForcePixel(const IColor& color, int x, int y) = 0;
  virtual bool DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                        const IChannelBlend* pBlend = nullptr, bool antiAlias = false) = 0;
  // Angles in radians, 0 pointing up, growing clockwise.
  virtual bool DrawArc(const IColor& color, float cx, float cy, float r, float minAngle, float maxAngle,
                       const IChannelBlend* pBlend = nullptr, bool antiAlias = false) = 0;
  virtual bool DrawCircle(const IColor& color, float cx, float cy, float r, const IChannelBlend* pBlend = nullptr,
                          bool antiAlias = false) = 0;
  virtual bool FillIRect(const IColor& color, const IRECT& r, const IChannelBlend* pBlend = nullptr) = 0;
  // True at once for a null or empty text; else whether any text was drawn.
  virtual bool DrawIText(const IText& text, const char* str, const IRECT& r) = 0;
  // The surface pixel at device coordinates; (0, 0, 0, 0) outside it.
  virtual IColor GetPoint(int x, int y) = 0;
  // The surface's pixel memory (null before PrepDraw).
  virtual void* GetBits() = 0;
  // Fills a native menu from pMenu, numbering items from idCounter in depth-first
  // order; returns whether any item at this level is checked.
  virtual bool FillPopupMenu(void* pNativeMenu, int& idCounter, IPopupMenu* pMenu) = 0;
  // Stores the size, resets the mouse state, deletes every control and tells the
  // plug-in (UpdateEditorSize). The window layer then resizes surface and window.
  virtual void Resize(int w, int h);
  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  // The parameter prompt: the control's popup if it makes one, else text entry.
  virtual void PromptUserInput(IControl* pControl, IPlugParam* pParam) = 0;
  // Directory (with its trailing separator) of the host's executable, or of the
  // plug-in library; empty when unknown.
  virtual void HostPath(std::string& path) = 0;
  virtual void PluginPath(std::string& path) = 0;
  // The chosen path, or empty when cancelled.
  virtual void PromptForFile(std::string& path, int action = kFileOpen, const char* directory = nullptr,
                             const char* extension = nullptr) = 0;
  // On OK replaces red, green and blue (alpha stays) and returns true.
  virtual bool PromptForColor(IColor& color, const char* prompt = "") = 0;
  virtual bool OpenURL(const char* url, const char* caption = nullptr, const char* confirmMessage = nullptr,
                       const char* errorMessage = nullptr) = 0;
  // Reserved hook; null.
  virtual void* Reserved() { return nullptr; }
  // The new window inside pParent, or null.
  virtual void* OpenWindow(void* pParent) = 0;
  virtual void CloseWindow() = 0;
  virtual void* GetWindow() = 0;
  // Deletes every control, from the last to the first.
  virtual ~IGraphics();
  // The image with resource id `id`, decoded once per process (image cache).
  virtual IBitmap LoadIBitmap(int id, const char* fileName, int nFrames = 1) = 0;
  // New bitmaps owned by the image cache; the frame count is kept.
  virtual IBitmap ScaleBitmap(const IBitmap& bitmap, int w, int h) = 0;
  virtual IBitmap CropBitmap(const IBitmap& bitmap, const IRECT& r) = 0;
  // Loads the image and puts a bitmap control of its size at (0, 0) in front of
  // the control list (drawn first, hit last), without parameter.
  virtual void AttachBackground(int id, const char* fileName);
  // Straight pixel writes; coordinates are clamped into the surface, both ends
  // are included, and nothing is drawn when the end is before the start.
  virtual bool DrawVerticalLine(const IColor& color, int x, int y1, int y2) = 0;
  virtual bool DrawHorizontalLine(const IColor& color, int y, int x1, int x2) = 0;
  virtual void RetainBitmap(const IBitmap& bitmap) = 0;
  // Removes the bitmap from the image cache and deletes it.
  virtual void ReleaseBitmap(const IBitmap& bitmap) = 0;
  // A popup of the parameter's display texts with a new column every
  // itemsPerColumn entries; the choice goes to the control.
  virtual void PromptForEnum(IControl* pControl, IPlugParam* pParam, int itemsPerColumn) = 0;
  // The image resource (decoded now or when first drawn); null when it is
  // missing or not a PNG.
  virtual LICE_IBitmap* OSLoadBitmap(int id, const char* fileName) = 0;
  // The host's idle call (effEditIdle), on the GUI thread without the plug-in
  // mutex. A window layer whose events arrive only through it (X11) handles
  // them and its redraw here; one with its own timer (Win32) ignores it.
  virtual void OnIdle() {}

  // Every input the editor handles (a mouse or key event, a dialog's answer)
  // is one unit of user input for its plug-in, which then tells the host what
  // it changed in the song (IPlugBase::BeginUserInput). GUI thread.
  class UserInput {
  public:
    explicit UserInput(IGraphics& g);
    ~UserInput();
    UserInput(const UserInput&) = delete;
    UserInput& operator=(const UserInput&) = delete;

  private:
    IGraphics& mG;
  };

  // ---- prompts that do not hold up the host ----
  // The answer of a file dialog: the chosen path, empty when cancelled.
  using FileChosen = std::function<void(const std::string& path)>;
  // The text committed in the editor's own entry box.
  using TextEntered = std::function<void(const std::string& text)>;
  enum EDialogStart { kDialogStarted = 0, kDialogUnavailable = 1, kDialogBusy = 2 };
  // The file dialog of PromptForFile, without waiting for it: done gets the
  // answer on the GUI thread, from a later idle call where the dialog is a
  // program of its own (X11), or before this returns where the system's
  // dialog is modal in the host's thread anyway (here: PromptForFile; Win32).
  // kDialogUnavailable without a window or a dialog program, kDialogBusy while
  // another one is open: done is then never called. Closing the window or
  // deleting the controls ends an open dialog without an answer.
  virtual EDialogStart PromptForFileAsync(FileChosen done, int action = kFileOpen, const char* directory = nullptr,
                                          const char* extension = nullptr);
  // Whether a dialog of PromptForFileAsync has not answered yet.
  virtual bool IsFileDialogOpen() const { return false; }
  // The entry box over pControl for a text that is no parameter value,
  // starting with text: done gets the text when it is committed, nothing when
  // it is cancelled. False where the window layer has no entry box of its own
  // (done is then never called).
  virtual bool PromptForText(IControl* pControl, const char* text, TextEntered done);
  // A line of text over the area r of the editor for a few seconds, or until
  // the next click; a null or empty text takes it away. Nothing without a window.
  virtual void ShowMessage(const char* text, const IRECT& r);

  // ---- scale ----
  // The factor source asks for (0 or less withdraws it). The editor then draws
  // at the step nearest to the factor of the highest-ranked source that asked;
  // when that changes the plug-in is told the new size and the window layer
  // resizes surface and window. A host that refuses the new size (an open
  // window only) leaves the editor at the factor it had: false then.
  bool SetScaleFrom(int source, double factor);
  // The host's factor: SetScaleFrom(kScaleFromHost, factor).
  bool SetScale(double factor) { return SetScaleFrom(kScaleFromHost, factor); }
  double GetScale() const { return mScale; }
  // The factor a source asked for; 0 when it did not.
  double GetScaleAsked(int source) const;
  // The step nearest to a factor (1 for one not positive and finite).
  static double NearestScale(double factor);
  // Window and surface size: the layout size times the factor, rounded.
  int WindowWidth() const { return ToDevice(mWidth); }
  int WindowHeight() const { return ToDevice(mHeight); }
  // Layout to device pixels: a coordinate is multiplied by the factor and
  // rounded, so neighbouring rectangles stay neighbours.
  int ToDevice(int v) const;
  IRECT ToDevice(const IRECT& r) const;
  // Device to layout pixels: the layout pixel that holds the device pixel.
  int FromDevice(int v) const;

  // ---- controls ----
  // Appends the control (the list owns it) and returns its index.
  int AttachControl(IControl* pControl);
  IControl* GetControl(int idx) const;
  int NControls() const { return static_cast<int>(mControls.size()); }

  // ---- values from and to the plug-in ----
  // A plain value is clamped into the parameter's range and normalised first.
  // Every control bound to paramIdx gets SetValueFromPlug.
  void SetParameterFromPlug(int paramIdx, double value, bool normalized);
  // Every control bound to paramIdx takes the value as user input (pushed back).
  void SetControlFromPlug(int paramIdx, double normalizedValue);
  void SetAllControlsDirty();

  // ---- redraw ----
  // Takes what other threads left (parameter values, redraw requests), runs
  // the frame task, notifies the observers of changed controls and collects
  // the device rectangles of the dirty ones in r; whether any control was dirty.
  bool IsDirty(IRECT& r);
  // A task run on the GUI thread at the start of every dirty check, before the
  // controls are asked (null: none). The editor takes the plug-in's published
  // changes there.
  void SetFrameTask(void (*pTask)(void* pArg), void* pArg)
  {
    mpFrameTask = pTask;
    mpFrameTaskArg = pArg;
  }
  // Draws every visible control that overlaps r (device pixels), cleans all
  // controls, and copies r to the window.
  bool Draw(const IRECT& r);
  // The area of the current (or last) draw pass, in device pixels; primitives
  // clip to it.
  const IRECT& GetDrawRECT() const { return mDrawRECT; }
  // Outline: horizontal lines at T and B from L to R, vertical lines at L and R
  // from T to B (so R and B are included); true if all four succeed.
  bool DrawRect(const IColor& color, const IRECT& r);

  // ---- mouse and keyboard ----
  // The handlers take device coordinates (as the window reports them) and hand
  // the controls layout ones.
  // The captured control, else the topmost control that is neither hidden nor
  // grayed and is hit at the layout point (x, y); -1 for none.
  int GetMouseControlIdx(int x, int y);
  void OnMouseDown(int x, int y, const IMouseMod& mod);
  void OnMouseUp(int x, int y, const IMouseMod& mod);
  void OnMouseDrag(int x, int y, const IMouseMod& mod);
  // True when the click was routed as a mouse-down (the window then captures
  // the mouse).
  bool OnMouseDblClick(int x, int y, const IMouseMod& mod);
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int d);
  // False while hover events are off.
  bool OnMouseOver(int x, int y, const IMouseMod& mod);
  void OnMouseOut();
  // mod: the shift, control and alt keys held (the buttons are not set). The
  // key handler hears of the key first; a key it takes reaches no control.
  void OnKeyDown(int x, int y, int key, const IMouseMod& mod = IMouseMod());
  using KeyHandler = bool (*)(void* pArg, int key, const IMouseMod& mod);
  void SetKeyHandler(KeyHandler pHandler, void* pArg)
  {
    mpKeyHandler = pHandler;
    mpKeyHandlerArg = pArg;
  }

  // A control is about to show a prompt (popup menu or entry box). A modal
  // menu takes the button's release with it, so the press that opened it
  // starts no edit gesture for the host.
  void PromptShown() { ++mPromptCount; }

  void HandleMouseOver(bool on) { mHandleMouseOver = on; }
  int GetCaptureIdx() const { return mMouseCapture; }
  int GetMouseOverIdx() const { return mMouseOver; }
  int GetMouseX() const { return mMouseX; } // layout coordinates
  int GetMouseY() const { return mMouseY; }
  bool IsRightButtonGesture() const { return mRightButtonGesture; }

  // ---- properties ----
  IPlugBase* GetPlug() const { return mPlug; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IControl* GetEditControl() const { return mEditControl; }
  IPlugParam* GetEditParam() const { return mEditParam; }

protected:
  void SetEditTarget(IControl* pControl, IPlugParam* pParam)
  {
    mEditControl = pControl;
    mEditParam = pParam;
  }
  void DeleteControls();
  // The factor changed: resize the surface (and the window).
  virtual void OnScaleChanged() {}

  std::vector<std::unique_ptr<IControl>> mControls;
  // Notes left by other threads for the GUI thread.
  bool OnGuiThread() const { return mGuiThread.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
  void TakeNotes();
  void ShowParameter(int paramIdx, double normalizedValue);
  std::atomic<std::thread::id> mGuiThread;
  std::atomic<uint32_t> mRedrawRequests{0};
  uint32_t mRedrawTaken = 0;
  int mNoteParams = 0;
  std::unique_ptr<std::atomic<uint64_t>[]> mParamNoted;  // one bit per parameter
  std::unique_ptr<std::atomic<double>[]> mParamNote;     // normalised values
  void (*mpFrameTask)(void*) = nullptr;
  void* mpFrameTaskArg = nullptr;
  KeyHandler mpKeyHandler = nullptr;
  void* mpKeyHandlerArg = nullptr;
  IPlugBase* mPlug;
  IRECT mDrawRECT;
  IControl* mEditControl = nullptr;
  IPlugParam* mEditParam = nullptr;
  int mWidth, mHeight;
  double mScale = 1.0;
  double mScaleAsked[kNumScaleSources] = {};
  int mFPS;
  int mMouseCapture = -1;
  int mMouseOver = -1;
  int mMouseX = -1, mMouseY = -1;
  bool mHandleMouseOver = false;
  bool mRightButtonGesture = false;
  unsigned mPromptCount = 0;
};
