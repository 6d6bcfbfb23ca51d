#pragma once
// The framework's ready-made controls:
//   IControl <- IBitmapControl <- ISwitchControl <- IContactControl
//   IControl <- IKnobControl <- IKnobMultiControl
//   IControl <- ITextControl <- ISpinnerControl
//
// Bitmap and knob controls show one frame of a multi-frame image for their
// value; their rectangle is (x, y, x + W, y + H / N).
//
// Thread: as IControl (GUI thread only). A control that shows a plug-in
// parameter's text reads the parameter under the plug-in mutex. No lock of
// their own.

#include "IControl.h"

#include <string>

// Frame (1..N) shown for a normalised value: 1 if N < 2, else
// int((N - 1) * value + 0.5) + 1 limited to 1..N.
int IBitmapFrameForValue(int nFrames, double value);
// Source y of frame i (1-based): int(H * (i - 1) / N + 0.5).
int IBitmapFrameSrcY(const IBitmap& bitmap, int frame);

// One frame of a multi-frame image chosen by the value.
class IBitmapControl : public IControl {
public:
  IBitmapControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 int blendMethod = IChannelBlend::kBlendAlpha);
  bool Draw(IGraphics* pGraphics) override;
  const IBitmap& GetBitmap() const { return mBitmap; }

protected:
  IBitmap mBitmap;
};

// Each click steps the value by one frame, 0 .. 1, then wraps to 0; a right-click
// opens the parameter prompt instead. The value is pushed to the plug-in.
class ISwitchControl : public IBitmapControl {
public:
  using IBitmapControl::IBitmapControl;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
};

// On while the button is held: pressing steps as a switch, releasing sets 0.
class IContactControl : public ISwitchControl {
public:
  using ISwitchControl::ISwitchControl;
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
};

// Direction and gearing of a knob; never made on its own.
class IKnobControl : public IControl {
public:
  enum EDirection { kVertical = 0, kHorizontal = 1 };

  int GetDirection() const { return mDirection; }
  double GetGearing() const { return mGearing; }
  void SetGearing(double gearing) { mGearing = gearing; }

protected:
  IKnobControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx, int direction, double gearing);

  int mDirection;
  double mGearing;
};

// A knob drawn from a multi-frame image. A drag over the whole control (height,
// or width when horizontal) changes the value by 1 / gearing, by a tenth of that
// with shift or control; moving up or right raises it.
class IKnobMultiControl : public IKnobControl {
public:
  IKnobMultiControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap, int direction = kVertical,
                    double gearing = 8.0);
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  bool Draw(IGraphics* pGraphics) override;
  const IBitmap& GetBitmap() const { return mBitmap; }

protected:
  IBitmap mBitmap;
};

// A text in a style. Grayed, it draws in the grayed colour: opaque, red, green
// and blue each lowered by 128 (not below 0).
class ITextControl : public IControl {
public:
  ITextControl(IPlugBase* pPlug, const IRECT& rect, const IText& text, const char* str = "");
  ~ITextControl() override;
  bool Draw(IGraphics* pGraphics) override;
  void GrayOut(bool gray) override;

  // Replaces the text and marks the control dirty, unless it is unchanged.
  void SetTextFromPlug(const char* str);
  const char* GetText() const { return mStr.c_str(); }
  const IText& GetIText() const { return mText; }
  const IColor& GetNormalColor() const { return mNormalColor; }
  const IColor& GetGrayedColor() const { return mGrayedColor; }

protected:
  IText mText;
  IColor mNormalColor;
  IColor mGrayedColor;
  std::string mStr;
};

// A text that is changed by dragging and by the mouse wheel, wrapping from 1 to 0
// and back. Bound to a parameter (or, without one, working on its own parameter
// object), it can show the parameter's display text and label.
class ISpinnerControl : public ITextControl {
public:
  enum EDirection { kVertical = 0, kHorizontal = 1 };

  ISpinnerControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx, const IText& text,
                  IPlugParam* pOwnParam = nullptr, bool showValue = true, bool showLabel = false,
                  int direction = kVertical, double gearing = 8.0);
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  // One parameter step per notch for a stepped parameter; otherwise 0.01, or
  // 0.001 with shift or control.
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int d) override;
  bool Draw(IGraphics* pGraphics) override;

  // The bound parameter, else the own one; null when there is neither.
  IPlugParam* GetSpinParam() const;
  void SetShowValue(bool on) { mShowValue = on; }
  void SetShowLabel(bool on) { mShowLabel = on; }

protected:
  void Wrap();

  int mDirection;
  double mGearing;
  bool mShowValue;
  bool mShowLabel;
  IPlugParam* mOwnParam; // not owned
};
