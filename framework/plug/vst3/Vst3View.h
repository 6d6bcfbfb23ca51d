#pragma once
// Our own VST3 declarations, the editor side: the view the controller creates, the
// host's frame around it, content scaling, and on Linux the host's run loop that
// carries the view's file-descriptor and timer callbacks. Sizes are physical
// pixels; every call is made on the host's UI thread.
//
// Thread: plain declarations, no state.

#include "Vst3Base.h"

namespace vst3 {

inline constexpr char kEditor[] = "editor"; // createView's one view name
inline constexpr char kPlatformTypeHWND[] = "HWND"; // Windows: parent is an HWND
// Linux: parent is an X11 window ID carried in the pointer; the child speaks XEmbed.
inline constexpr char kPlatformTypeX11EmbedWindowID[] = "X11EmbedWindowID";

struct ViewRect {
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;
};
static_assert(sizeof(ViewRect) == 16 && alignof(ViewRect) == 4, "ViewRect layout");
static_assert(offsetof(ViewRect, left) == 0, "ViewRect layout");
static_assert(offsetof(ViewRect, top) == 4, "ViewRect layout");
static_assert(offsetof(ViewRect, right) == 8, "ViewRect layout");
static_assert(offsetof(ViewRect, bottom) == 12, "ViewRect layout");

// onKeyDown/onKeyUp: the modifier bits, and the virtual key codes we act on.
enum KeyModifiers : int16 {
  kModShift = 1,
  kModAlt = 2,
  kModCommand = 4, // the Ctrl key on Windows
  kModControl = 8 // the Windows key on Windows
};
enum VirtualKeys : int16 {
  kKeyBackspace = 1,
  kKeyTab = 2,
  kKeyReturn = 4,
  kKeyEscape = 6,
  kKeySpace = 7,
  kKeyLeft = 11,
  kKeyUp = 12,
  kKeyRight = 13,
  kKeyDown = 14,
  kKeyEnter = 19,
  kKeyDelete = 22,
  kKeyF1 = 40
};

struct IPlugView;

// The host's side of a view: a resize asked for by the plug-in. The host calls
// onSize within resizeView if the size changes.
struct IPlugFrame : FUnknown {
  static constexpr Uid kIid = MakeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
  virtual tresult TAV_VST3CALL resizeView(IPlugView* view, ViewRect* size) = 0;
};

struct IPlugView : FUnknown {
  static constexpr Uid kIid = MakeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
  virtual tresult TAV_VST3CALL isPlatformTypeSupported(FIDString type) = 0; // kResultTrue: yes
  virtual tresult TAV_VST3CALL attached(void* parent, FIDString type) = 0; // create the child window
  virtual tresult TAV_VST3CALL removed() = 0; // destroy it
  virtual tresult TAV_VST3CALL onWheel(float distance) = 0;
  // kResultTrue only for keys actually used, or host shortcuts stop working.
  virtual tresult TAV_VST3CALL onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult TAV_VST3CALL onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult TAV_VST3CALL getSize(ViewRect* size) = 0;
  virtual tresult TAV_VST3CALL onSize(ViewRect* newSize) = 0;
  virtual tresult TAV_VST3CALL onFocus(TBool state) = 0;
  virtual tresult TAV_VST3CALL setFrame(IPlugFrame* frame) = 0;
  virtual tresult TAV_VST3CALL canResize() = 0; // kResultTrue: the user may resize
  virtual tresult TAV_VST3CALL checkSizeConstraint(ViewRect* rect) = 0; // adjust to the nearest allowed size
};

// Answered by the view object; may come at any time, before setFrame too.
struct IPlugViewContentScaleSupport : FUnknown {
  static constexpr Uid kIid = MakeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
  virtual tresult TAV_VST3CALL setContentScaleFactor(ScaleFactor factor) = 0;
};

// Optional on the view: which parameter is under a point.
struct IParameterFinder : FUnknown {
  static constexpr Uid kIid = MakeUid(0x0F618302, 0x215D4587, 0xA512073C, 0x77B9D383);
  virtual tresult TAV_VST3CALL findParameter(int32 x, int32 y, ParamID* id) = 0;
};

// ---- Linux run loop ----
// The host's UI loop, asked for on the frame (or on the factory's host context).
// Handlers stay registered, and alive, until unregistered.
struct IEventHandler : FUnknown {
  static constexpr Uid kIid = MakeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
  virtual void TAV_VST3CALL onFDIsSet(FileDescriptor fd) = 0; // fd is readable
};

struct ITimerHandler : FUnknown {
  static constexpr Uid kIid = MakeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
  virtual void TAV_VST3CALL onTimer() = 0;
};

struct IRunLoop : FUnknown {
  static constexpr Uid kIid = MakeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
  virtual tresult TAV_VST3CALL registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
  virtual tresult TAV_VST3CALL unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult TAV_VST3CALL registerTimer(ITimerHandler* handler, TimerInterval milliseconds) = 0;
  virtual tresult TAV_VST3CALL unregisterTimer(ITimerHandler* handler) = 0;
};

} // namespace vst3
