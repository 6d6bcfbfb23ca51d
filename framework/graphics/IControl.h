#pragma once
// The base of every control of the editor: a rectangle on the editor's surface,
// an optional bound plug-in parameter, a normalised value, and the dirty state
// that drives the partial redraw. A control is a subject (ISubject): marking it
// dirty sets its changed flag, and the next dirty check tells its observers.
//
// Threads: every operation runs on the GUI thread; no field is written by
// another thread. Values and redraw requests from the host's or the audio
// thread reach a control through IGraphics' notes or through counters the
// plug-in publishes, which the control or the editor takes in the dirty check
// of the redraw timer. SetDirty(true) calls IPlugBase::SetParameterFromGUI,
// which takes the plug-in mutex and tells the host after releasing it.

#include "IGraphicsStructs.h"
#include "ISubject.h"

#include <atomic>

class IGraphics;
class IPlugBase;
class IPlugParam;
class IPopupMenu;

class IControl : public ISubject {
public:
  IControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx = -1,
           const IChannelBlend& blend = IChannelBlend());
  ~IControl() override;

  // ---- virtual operations; the defaults are the framework's behaviour ----
  // With the right button: PromptUserInput.
  virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
  virtual void OnMouseUp(int x, int y, const IMouseMod& mod);
  virtual void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod);
  // Back to the default value, if there is one yet, pushed to the plug-in.
  virtual void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  // value += d * 0.01 (d * 0.001 with shift or control), pushed to the plug-in.
  virtual void OnMouseWheel(int x, int y, const IMouseMod& mod, int d);
  virtual void OnKeyDown(int x, int y, int key);
  virtual void OnMouseOver(int x, int y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual bool Draw(IGraphics* pGraphics) = 0;
  // The first value the plug-in pushes becomes the default (see IControl.cpp);
  // later ones redraw the control when they change its value.
  virtual void SetValueFromPlug(double value);
  virtual void Hide(bool hide);
  // A grayed control ignores the mouse and draws at weight 0.25.
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y);
  // Clamps the value, marks the control dirty and changed, and with
  // pushParamToPlug sends the value to the bound parameter.
  virtual void SetDirty(bool pushParamToPlug = true);
  virtual void SetClean();
  virtual bool IsDirty();
  virtual void SetToDefault();
  // The menu the parameter prompt shows instead of a text-entry box, or null.
  virtual IPopupMenu* CreateParamPopup();
  virtual void FreeParamPopup(IPopupMenu* pMenu);
  virtual void OnParamPopupChoice(IPopupMenu* pMenu, int index);
  // Reserved hook; never called by the framework.
  virtual void* Reserved() { return nullptr; }

  // ---- non-virtual ----
  // A value from the text-entry box or a popup: taken and pushed if it differs.
  void SetValueFromUserInput(double value);
  // Opens the parameter prompt (popup or text entry) for a bound parameter
  // unless prompting is disabled.
  void PromptUserInput();

  IPlugBase* GetPlug() const { return mPlug; }
  // The editor the control is attached to (set by IGraphics::AttachControl), or
  // else the plug-in's editor; null when neither exists.
  IGraphics* GetGUI() const;
  void SetGUI(IGraphics* pGraphics) { mGraphics = pGraphics; }
  // The bound parameter, or null.
  IPlugParam* GetParam() const;

  int ParamIdx() const { return mParamIdx; }
  void SetParamIdx(int paramIdx) { mParamIdx = paramIdx; }
  double GetValue() const { return mValue; }
  void SetValue(double value) { mValue = value; } // raw: no clamp, no redraw
  double GetDefaultValue() const { return mDefaultValue; }
  void SetDefaultValue(double value) { mDefaultValue = value; }
  void SetClampRange(double lo, double hi) { mClampLo = lo; mClampHi = hi; }
  double GetClampLo() const { return mClampLo; }
  double GetClampHi() const { return mClampHi; }

  const IRECT& GetRECT() const { return mRECT; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetArea(const IRECT& r) { mTargetRECT = r; }

  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }
  bool GetRedraw() const { return mRedraw; }
  void Redraw() { mRedraw = true; }
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  bool IsPromptDisabled() const { return mDisablePrompt; }
  void SetDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
  bool GetDblAsSingleClick() const { return mDblAsSingleClick; }
  const IChannelBlend& GetBlend() const { return mBlend; }

protected:
  IPlugBase* mPlug;
  IRECT mRECT;
  IRECT mTargetRECT;
  int mParamIdx;
  double mValue = 0.0;
  double mDefaultValue = -1.0; // < 0: none yet
  double mClampLo = 0.0, mClampHi = 1.0;
  std::atomic<bool> mDirty{true};
  bool mHide = false;
  bool mGrayed = false;
  bool mRedraw = false;
  bool mDisablePrompt = false;
  bool mDblAsSingleClick = false;
  IChannelBlend mBlend;
  IGraphics* mGraphics = nullptr;
};
