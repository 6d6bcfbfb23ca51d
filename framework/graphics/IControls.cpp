#include "IControls.h"

#include "IGraphics.h"
#include "IPlugBase.h"

int IBitmapFrameForValue(int nFrames, double value)
{
  if (nFrames < 2) return 1;
  // Values outside 0..1 (and NaN) would pick no frame; the limit below holds
  // them to the first or last one.
  if (!(value >= 0.0)) value = 0.0;
  if (value > 1.0) value = 1.0;
  int i = static_cast<int>(static_cast<double>(nFrames - 1) * value + 0.5) + 1;
  if (i < 1) i = 1;
  if (i > nFrames) i = nFrames;
  return i;
}

int IBitmapFrameSrcY(const IBitmap& bitmap, int frame)
{
  if (frame <= 1) return 0;
  return static_cast<int>(static_cast<double>(bitmap.H) * static_cast<double>(frame - 1) /
                              static_cast<double>(bitmap.N) +
                          0.5);
}

namespace {
IRECT BitmapRect(int x, int y, const IBitmap& bitmap)
{
  return IRECT(x, y, x + bitmap.W, y + bitmap.FrameHeight());
}

bool DrawFrame(IGraphics* pGraphics, const IBitmap& bitmap, const IRECT& rect, double value,
               const IChannelBlend& blend)
{
  const int frame = IBitmapFrameForValue(bitmap.N, value);
  return pGraphics->DrawBitmap(bitmap, rect, 0, IBitmapFrameSrcY(bitmap, frame), &blend);
}
} // namespace

// ---- IBitmapControl ----

IBitmapControl::IBitmapControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               int blendMethod)
  : IControl(pPlug, BitmapRect(x, y, bitmap), paramIdx, IChannelBlend(blendMethod)), mBitmap(bitmap)
{
}

bool IBitmapControl::Draw(IGraphics* pGraphics) { return DrawFrame(pGraphics, mBitmap, mRECT, mValue, mBlend); }

// ---- ISwitchControl, IContactControl ----

void ISwitchControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (mod.R)
    PromptUserInput();
  else if (mBitmap.N < 2)
    mValue += 1.0;
  else
    mValue += 1.0 / static_cast<double>(mBitmap.N - 1);
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

void IContactControl::OnMouseUp(int, int, const IMouseMod&)
{
  mValue = 0.0;
  SetDirty(true);
}

// ---- IKnobControl, IKnobMultiControl ----

IKnobControl::IKnobControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx, int direction, double gearing)
  : IControl(pPlug, rect, paramIdx), mDirection(direction), mGearing(gearing)
{
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                     int direction, double gearing)
  : IKnobControl(pPlug, BitmapRect(x, y, bitmap), paramIdx, direction, gearing), mBitmap(bitmap)
{
}

void IKnobMultiControl::OnMouseDrag(int, int, int dX, int dY, const IMouseMod& mod)
{
  double gearing = mGearing;
  if (mod.S || mod.C) gearing *= 10.0;
  if (mDirection == kVertical) {
    const int span = mRECT.T - mRECT.B;
    if (span == 0) return;
    mValue += static_cast<double>(dY) / static_cast<double>(span) / gearing;
  } else {
    const int span = mRECT.R - mRECT.L;
    if (span == 0) return;
    mValue += static_cast<double>(dX) / static_cast<double>(span) / gearing;
  }
  SetDirty(true);
}

bool IKnobMultiControl::Draw(IGraphics* pGraphics) { return DrawFrame(pGraphics, mBitmap, mRECT, mValue, mBlend); }

// ---- ITextControl ----

ITextControl::ITextControl(IPlugBase* pPlug, const IRECT& rect, const IText& text, const char* str)
  : IControl(pPlug, rect), mText(text), mStr(str ? str : "")
{
  mText.CreateNativeFont();
  mNormalColor = mText.mColor;
  auto lower = [](int c) { return c > 128 ? c - 128 : 0; };
  mGrayedColor = IColor(255, lower(mNormalColor.R), lower(mNormalColor.G), lower(mNormalColor.B));
}

ITextControl::~ITextControl() = default;

void ITextControl::SetTextFromPlug(const char* str)
{
  if (!str) str = "";
  if (mStr == str) return;
  SetDirty(false);
  mStr = str;
}

bool ITextControl::Draw(IGraphics* pGraphics)
{
  if (mStr.empty()) return true;
  return pGraphics->DrawIText(mText, mStr.c_str(), mRECT);
}

void ITextControl::GrayOut(bool gray)
{
  IControl::GrayOut(gray);
  mText.mColor = gray ? mGrayedColor : mNormalColor;
}

// ---- ISpinnerControl ----

ISpinnerControl::ISpinnerControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx, const IText& text,
                                 IPlugParam* pOwnParam, bool showValue, bool showLabel, int direction,
                                 double gearing)
  : ITextControl(pPlug, rect, text), mDirection(direction), mGearing(gearing), mShowValue(showValue),
    mShowLabel(showLabel), mOwnParam(pOwnParam)
{
  mParamIdx = paramIdx;
}

IPlugParam* ISpinnerControl::GetSpinParam() const
{
  if (mParamIdx >= 0) return GetParam();
  return mOwnParam;
}

void ISpinnerControl::Wrap()
{
  if (mValue > 1.0)
    mValue = 0.0;
  else if (mValue < 0.0)
    mValue = 1.0;
}

void ISpinnerControl::OnMouseDrag(int, int, int dX, int dY, const IMouseMod&)
{
  if (mGrayed) return;
  if (mDirection == kVertical) {
    const int span = mRECT.T - mRECT.B;
    if (span == 0) return;
    mValue += static_cast<double>(dY) / static_cast<double>(span) / mGearing;
  } else {
    const int span = mRECT.R - mRECT.L;
    if (span == 0) return;
    mValue += static_cast<double>(dX) / static_cast<double>(span) / mGearing;
  }
  Wrap();
  SetDirty(true);
}

void ISpinnerControl::OnMouseWheel(int, int, const IMouseMod& mod, int d)
{
  if (mGrayed) return;
  double step = static_cast<double>(d) * 0.01;
  const IPlugParam* param = GetSpinParam();
  bool stepped = false;
  if (param && param->Type() != IPlugParam::kTypeDouble) {
    const double range = param->GetMax() - param->GetMin();
    if (range != 0.0 && param->GetStep() / range != 0.0) {
      step = static_cast<double>(d) * param->GetStep() / range;
      stepped = true;
    }
  }
  if (!stepped && (mod.S || mod.C)) step = static_cast<double>(d) * 0.001;
  mValue += step;
  Wrap();
  SetDirty(true);
}

bool ISpinnerControl::Draw(IGraphics* pGraphics)
{
  if (mOwnParam) mOwnParam->SetFromNormalized(mValue);
  if (mShowValue) {
    if (const IPlugParam* param = GetSpinParam()) {
      char display[IPlugParam::MAX_PARAM_DISPLAY_LEN];
      // The plug-in's parameters are written under its mutex by the host's thread.
      const bool shared = param != mOwnParam && mPlug;
      if (shared) mPlug->GetMutex().lock();
      const double value = param->Value();
      if (shared) mPlug->GetMutex().unlock();
      param->FormatDisplay(display, value, false);
      mStr = display;
      if (mShowLabel) {
        mStr += " ";
        mStr += param->GetLabel();
      }
    }
  }
  return ITextControl::Draw(pGraphics);
}
